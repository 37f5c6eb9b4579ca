// Shared pieces of the kernel-object tests: a fresh machine root per test
// and the helper process.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "win/kernel.h"
#include "win/machine.h"
#include "win/process.h"

namespace kernel_test {

// Long enough for a sanitizer build on a busy machine; waits end as soon as
// their condition holds.
inline constexpr DWORD patience_ms = 10000;

// Every test gets its own session namespace.
class KernelTest : public ::testing::Test {
protected:
    win_machine::scoped_root root_;
};

// The folder of the test executable, in the system's form, with its
// trailing backslash.
inline std::wstring bin_folder() {
    wchar_t path[4096];
    const DWORD length = GetModuleFileNameW(nullptr, path, 4096);
    const std::wstring full(path, length);
    return full.substr(0, full.rfind(L'\\') + 1);
}

// object_holder started through CreateProcessW by its Windows name; killed
// and waited for when the test ends early.
class holder_process {
public:
    // steps: the holder's command line after the program.
    explicit holder_process(const std::wstring& steps) {
        const std::wstring program = bin_folder() + L"object_holder.exe";
        std::wstring command_line = L"\"" + program + L"\" " + steps;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                                  nullptr, nullptr, &startup, &info_) != FALSE;
    }
    ~holder_process() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, patience_ms);
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
    holder_process(const holder_process&) = delete;
    holder_process& operator=(const holder_process&) = delete;

    bool started() const { return started_; }
    HANDLE handle() const { return info_.hProcess; }
    DWORD pid() const { return info_.dwProcessId; }

    // The exit code, or STILL_ACTIVE when it did not end in time.
    DWORD exit_code() const {
        WaitForSingleObject(info_.hProcess, patience_ms);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
};

}  // namespace kernel_test
