// Starting the services helper program (built beside the tests) as a second
// process, for the cross-process tests.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace helper_process {

// A program built beside the tests.
inline std::string helper_path(const char* name = "services_helper") {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

// Starts the helper (or another program beside the tests) with the given
// arguments; it inherits the environment, so it shares the test's machine
// root.
inline pid_t start(const std::vector<std::string>& arguments,
                   const char* name = "services_helper") {
    const std::string program = helper_path(name);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + program);
    return pid;
}

// The exit code, or -1 when the helper did not exit normally.
inline int wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline int run(const std::vector<std::string>& arguments, const char* name = "services_helper") {
    return wait(start(arguments, name));
}

// Polls the condition until it holds or the deadline passes.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace helper_process
