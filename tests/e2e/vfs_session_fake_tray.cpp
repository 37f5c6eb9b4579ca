// A stand-in for the tray program in tests: holds the tray program's
// single-instance mutex until the machine root it runs in is removed.
#include <sys/stat.h>

#include <cstdlib>

#include "win/kernel.h"
#include "win/machine.h"

namespace {

bool root_exists(const char* root) {
    struct stat info;
    return stat(root, &info) == 0;
}

}  // namespace

int main() {
    const char* root = std::getenv(win_machine::root_variable);
    if (root == nullptr) {
        return 1;
    }
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON");
    if (mutex == nullptr) {
        return 1;
    }
    // A test lasts well below this bound; it keeps a stray copy from living on.
    for (int tick = 0; tick < 1200 && root_exists(root); ++tick) {
        Sleep(50);
    }
    CloseHandle(mutex);
    return 0;
}
