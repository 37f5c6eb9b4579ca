// abandon_mutex_helper <name>: locks the named mutex and ends without
// releasing it, as a crashed holder would.
#include <csignal>
#include <string>

#include "utils/named_mutex.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string name(argv[1]);
    utils::named_mutex mutex(std::wstring(name.begin(), name.end()));
    mutex.lock();
    std::raise(SIGKILL);
    return 1;
}
