// Runs a sync manager for a user in a process of its own, allowing
// everything it is asked, until it is told to stop (SIGTERM) or killed. The
// end-to-end tests kill it in the middle of its transfers.
#include <signal.h>
#include <sys/prctl.h>

#include <cstdio>
#include <memory>

#include "syncer/manager/manager.h"
#include "syncer/scan/tests/scan_scripted_ui.h"
#include "utils/locale.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: sync_manager_helper USER\n");
        return 2;
    }
    // Never outlives the test that started it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    utils::imbue_utf8_locale();
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    syncer::scan_testing::scripted_ui ui;
    for (int kind = syncer::message_kind::upload_new;
         kind <= syncer::message_kind::recurse_subfolders; ++kind)
        ui.answer(kind, syncer::answer_code::yes);
    const std::string user(argv[1]);
    try {
        const auto engine =
            std::make_unique<syncer::manager>(std::wstring(user.begin(), user.end()), &ui);
        std::printf("running\n");
        std::fflush(stdout);
        int received = 0;
        sigwait(&stop_signals, &received);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}
