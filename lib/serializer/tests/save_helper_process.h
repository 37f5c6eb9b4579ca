// Runs the save helper program (built beside the test) and waits for it.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace serializer::testing_support {

// The raw wait status of the helper run as "save_helper path value
// keep_backup", with SAVE_HELPER_KILL_AT set to kill_step when it is not
// empty.
inline int run_save_helper(const std::string& path, const std::string& value, bool keep_backup,
                           const std::string& kill_step = "") {
    const std::string program =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "serializer_save_helper")
            .string();
    std::vector<std::string> arguments{program, path, value, keep_backup ? "1" : "0"};
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable) {
        if (std::string(*variable).rfind("SAVE_HELPER_KILL_AT=", 0) != 0)
            variables.push_back(*variable);
    }
    if (!kill_step.empty()) variables.push_back("SAVE_HELPER_KILL_AT=" + kill_step);
    std::vector<char*> envp;
    for (auto& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

}  // namespace serializer::testing_support
