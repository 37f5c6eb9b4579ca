// Shared pieces of the sync engine's tests: a fresh machine root per test,
// the settings files of its user, and the helper program that plays the
// other process.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <boost/filesystem/operations.hpp>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "serializer/node.h"
#include "syncer/tables/binding_manager.h"
#include "utils/locale.h"
#include "win/machine.h"

extern char** environ;

namespace syncer::testing_support {

namespace fs = boost::filesystem;

// A user name beyond ASCII, so that path conversion is exercised too.
inline const std::wstring user = L"Zo\u00eb";

class settings_test : public testing::Test {
protected:
    settings_test() { utils::imbue_utf8_locale(); }

    fs::path settings_file(const std::wstring& name) const {
        return binding_manager::get_settings_directory(user) / name;
    }

    win_machine::scoped_root root;
};

inline std::string read_bytes(const fs::path& path) {
    std::ifstream in(path.native(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void write_bytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path.native(), std::ios::binary | std::ios::trunc) << bytes;
}

inline serializer::node parse_file(const fs::path& path) {
    std::istringstream in(read_bytes(path));
    return serializer::node(in);
}

// A folder binding of the user's choice.
inline binding folder_binding(const std::wstring& remote, const std::wstring& local) {
    binding result(remote, local, L"", L"");
    result._type = binding::type_user_choice;
    return result;
}

// Runs the helper program with the arguments; kill_step, when not empty,
// makes it kill itself (SIGKILL) once that step of a table save is done.
// Returns the raw wait status, or -1 when it could not be started or did not
// end within the deadline (it is killed then).
inline int run_helper(const std::vector<std::string>& arguments, const std::string& kill_step = "",
                      std::chrono::seconds deadline = std::chrono::seconds(60)) {
    const std::string program =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "syncer_table_helper")
            .string();
    std::vector<std::string> argument_texts{program};
    argument_texts.insert(argument_texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : argument_texts) argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<char*> envp;
    for (char** variable = environ; *variable; ++variable) envp.push_back(*variable);
    std::string kill_variable = "SYNCER_HELPER_KILL_AT=" + kill_step;
    if (!kill_step.empty()) envp.push_back(kill_variable.data());
    envp.push_back(nullptr);

    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    const auto give_up = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child) return status;
        if (ended < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= give_up) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

inline std::string to_narrow(const std::wstring& text) {
    return fs::path(text).string();
}

}  // namespace syncer::testing_support
