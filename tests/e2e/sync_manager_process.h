// The sync manager of the end-to-end tests' user in a process of its own
// (sync_manager_helper, beside the test program), its output discarded, so
// that a test can kill it at any moment as a crash or a power cut would.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <stdexcept>
#include <string>

extern char** environ;

namespace sync_testing {

class manager_process {
public:
    manager_process() {
        const std::string program =
            (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "sync_manager_helper")
                .string();
        std::string user = "alice";
        char* argv[] = {const_cast<char*>(program.c_str()), user.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) throw std::runtime_error("cannot start the helper");
    }
    ~manager_process() { kill_now(); }
    manager_process(const manager_process&) = delete;
    manager_process& operator=(const manager_process&) = delete;

    // SIGKILL, and waits until the process is gone.
    void kill_now() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

}  // namespace sync_testing
