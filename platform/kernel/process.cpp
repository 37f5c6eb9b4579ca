// Child processes: started with posix_spawn, watched by one thread each that
// learns the exit status and then reaps the child, so no zombie remains and
// the process handle stays signalled with its exit code.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "handle_table.h"
#include "kernel_thread.h"
#include "process_command_line.h"
#include "wide_text.h"
#include "win/process.h"

extern char** environ;

namespace {

// Reported when the status of a child could not be learnt (someone else
// reaped it).
constexpr DWORD unknown_exit_code = 0xFFFFFFFFu;

struct child_state {
    pid_t pid = 0;
    // Orders TerminateProcess against the reaping: a reaped pid may belong
    // to another process at once.
    std::mutex lock;
    std::optional<UINT> terminate_code;
    // Also ends the main thread's handle.
    std::shared_ptr<win_kernel::thread_end> end = std::make_shared<win_kernel::thread_end>();
};

class process_object : public win_detail::kernel_object {
public:
    explicit process_object(std::shared_ptr<child_state> child) : child_(std::move(child)) {}

    bool waitable() const override { return true; }
    DWORD try_wait() override { return child_->end->ended() ? WAIT_OBJECT_0 : WAIT_TIMEOUT; }
    wake_word watch() const override { return {&child_->end->word(), false}; }

    DWORD exit_code() const { return child_->end->exit_code(); }

    bool terminate(UINT exit_code) {
        std::lock_guard<std::mutex> guard(child_->lock);
        if (child_->end->ended()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        child_->terminate_code = exit_code;
        kill(child_->pid, SIGKILL);
        return true;
    }

private:
    std::shared_ptr<child_state> child_;
};

DWORD exit_code_of(const siginfo_t& info, const std::optional<UINT>& terminate_code) {
    if (info.si_code == CLD_EXITED) return static_cast<DWORD>(info.si_status);
    if (terminate_code && info.si_status == SIGKILL) return *terminate_code;
    return 128u + static_cast<DWORD>(info.si_status);
}

void watch_child(const std::shared_ptr<child_state>& child) {
    siginfo_t info{};
    int result;
    do {
        result = waitid(P_PID, child->pid, &info, WEXITED | WNOWAIT);
    } while (result < 0 && errno == EINTR);
    DWORD exit_code = unknown_exit_code;
    {
        std::lock_guard<std::mutex> guard(child->lock);
        if (result == 0) {
            exit_code = exit_code_of(info, child->terminate_code);
            waitpid(child->pid, nullptr, 0);
        }
        child->end->finish(exit_code);
    }
}

DWORD error_of_spawn(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return ERROR_FILE_NOT_FOUND;
        case ENOMEM:
        case EAGAIN:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_ACCESS_DENIED;
    }
}

// Spawns the program; the pid, or 0 with the last error set.
pid_t spawn(const std::string& program, const std::vector<std::wstring>& arguments,
            LPCWSTR current_directory) {
    std::vector<std::string> narrow;
    for (const std::wstring& argument : arguments) narrow.push_back(win_detail::to_utf8(argument));
    std::vector<char*> argv;
    for (std::string& argument : narrow) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string folder;
    if (current_directory && *current_directory) {
        folder = win_detail::to_utf8(current_directory);
        for (char& c : folder)
            if (c == '\\') c = '/';
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    }
    // The child starts with no blocked signals and default handling of
    // those a test runner or server may have set aside.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int result =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        SetLastError(error_of_spawn(result));
        return 0;
    }
    return pid;
}

}  // namespace

BOOL CreateProcessW(LPCWSTR application_name, LPWSTR command_line, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID environment,
                    LPCWSTR current_directory, LPSTARTUPINFOW startup_info,
                    LPPROCESS_INFORMATION process_information) {
    if (!startup_info || !process_information || environment) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::wstring> arguments;
    if (command_line) arguments = win_process::split_command_line(command_line);
    if (!application_name && arguments.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring program = application_name ? std::wstring(application_name) : arguments[0];
    const std::optional<std::string> path = win_process::find_program(program, !application_name);
    if (!path) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (arguments.empty()) arguments.push_back(win_detail::from_utf8(*path));

    auto child = std::make_shared<child_state>();
    child->pid = spawn(*path, arguments, current_directory);
    if (child->pid == 0) return FALSE;
    try {
        std::thread(watch_child, child).detach();
    } catch (const std::system_error&) {
        // Without a watcher nobody would reap it: take it back.
        kill(child->pid, SIGKILL);
        waitpid(child->pid, nullptr, 0);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    process_information->hProcess =
        win_detail::register_handle(std::make_shared<process_object>(child));
    process_information->hThread =
        win_detail::register_handle(std::make_shared<win_kernel::thread_object>(child->end));
    process_information->dwProcessId = static_cast<DWORD>(child->pid);
    // A process's main thread has the process's id.
    process_information->dwThreadId = static_cast<DWORD>(child->pid);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exit_code) {
    const auto object = win_detail::lookup_handle_as<process_object>(process);
    if (!object) return FALSE;
    if (!exit_code) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *exit_code = object->exit_code();
    return TRUE;
}

BOOL TerminateProcess(HANDLE process, UINT exit_code) {
    const auto object = win_detail::lookup_handle_as<process_object>(process);
    return object && object->terminate(exit_code) ? TRUE : FALSE;
}
