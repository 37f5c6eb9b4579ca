// A second process of the log-on session that downloads one file with a sync
// task of its own, so a test can kill it in the middle.
// Arguments: remote folder, local folder, file name (UTF-8).
// Exit status: 0 when the task is done, 1 when it is not, 2 on bad use.
#include <utf8.h>

#include <chrono>
#include <iterator>
#include <string>
#include <thread>

#include "syncer/tasks/task.h"
#include "utils/locale.h"

namespace {

std::wstring wide(const char* text) {
    const std::string bytes(text);
    std::wstring result;
    utf8::utf8to32(bytes.begin(), bytes.end(), std::back_inserter(result));
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    utils::imbue_utf8_locale();
    try {
        syncer::binding owner(wide(argv[1]), wide(argv[2]), L"", L"");
        owner._type = syncer::binding::type_user_choice;
        syncer::task job(owner, syncer::task::kind_download, wide(argv[1]), wide(argv[2]),
                         wide(argv[3]));
        job.start();
        while (job.is_queued() || job.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return job.is_done() ? 0 : 1;
    } catch (...) {
        return 1;
    }
}
