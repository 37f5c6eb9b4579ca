#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kernel/process_command_line.h"
#include "kernel/wide_text.h"
#include "kernel_test_support.h"

namespace {

using kernel_test::bin_folder;
using kernel_test::holder_process;
using kernel_test::patience_ms;

using Processes = kernel_test::KernelTest;

TEST_F(Processes, ADotExeNameRunsTheBuiltProgramAndReportsItsExitCode) {
    holder_process holder(L"exit 7");
    ASSERT_TRUE(holder.started());
    EXPECT_EQ(holder.exit_code(), 7u);
    // Signalled for good, and reaped: no zombie is left.
    EXPECT_EQ(WaitForSingleObject(holder.handle(), 0), WAIT_OBJECT_0);
    EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(holder.pid())));
}

TEST_F(Processes, TheProgramMayComeFromTheCommandLineAlone) {
    std::wstring command_line = L"\"" + bin_folder() + L"object_holder.exe\" exit 3";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info));
    EXPECT_EQ(WaitForSingleObject(info.hThread, patience_ms), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 3u);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

TEST_F(Processes, ArgumentsWithSpacesArriveWhole) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"Local\\José with spaces");
    holder_process holder(L"\"signal\" \"Local\\José with spaces\"");
    EXPECT_EQ(holder.exit_code(), 0u);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST_F(Processes, ARunningProcessIsStillActiveUntilTerminated) {
    holder_process holder(L"hang");
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(holder.handle(), &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(holder.handle(), 0), WAIT_TIMEOUT);
    EXPECT_TRUE(TerminateProcess(holder.handle(), 42));
    EXPECT_EQ(holder.exit_code(), 42u);
    EXPECT_FALSE(TerminateProcess(holder.handle(), 43));
    EXPECT_EQ(holder.exit_code(), 42u);
}

TEST_F(Processes, AMissingProgramFails) {
    const std::wstring program = bin_folder() + L"no_such_program.exe";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    EXPECT_FALSE(CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    std::wstring blank = L"   ";
    EXPECT_FALSE(CreateProcessW(nullptr, blank.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CommandLines, SplitAsTheCRuntimeDoes) {
    using win_process::split_command_line;
    using words = std::vector<std::wstring>;
    EXPECT_EQ(split_command_line(L""), words{});
    EXPECT_EQ(split_command_line(L"  prog  a\tb  "), (words{L"prog", L"a", L"b"}));
    EXPECT_EQ(split_command_line(L"\"C:\\Program Files\\x.exe\" \"a b\" c"),
              (words{L"C:\\Program Files\\x.exe", L"a b", L"c"}));
    EXPECT_EQ(split_command_line(L"p a\\\\b \\\"q\\\" \"x\\\\\" y"),
              (words{L"p", L"a\\\\b", L"\"q\"", L"x\\", L"y"}));
    EXPECT_EQ(split_command_line(L"p \"say \"\"hi\"\"\" a\\\\\\\"b"),
              (words{L"p", L"say \"hi\"", L"a\\\"b"}));
    EXPECT_EQ(split_command_line(L"C:\\dir\\ a"), (words{L"C:\\dir\\", L"a"}));
}

TEST(ModuleNames, NameTheExecutableAndTheSharedObjectThatHoldsTheCode) {
    wchar_t path[4096];
    const DWORD length = GetModuleFileNameW(nullptr, path, 4096);
    ASSERT_GT(length, 0u);
    std::string expected = std::filesystem::read_symlink("/proc/self/exe").string();
    for (char& c : expected)
        if (c == '/') c = '\\';
    EXPECT_EQ(win_detail::to_utf8(std::wstring(path, length)), expected);

    const HMODULE executable = GetModuleHandleW(nullptr);
    EXPECT_EQ(win_module::this_module(), executable);
    EXPECT_EQ(GetModuleFileNameW(executable, path, 4096), length);

    HMODULE library = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&CreateMutexW), &library));
    EXPECT_NE(library, executable);
    const DWORD library_length = GetModuleFileNameW(library, path, 4096);
    EXPECT_TRUE(std::wstring(path, library_length).ends_with(L"\\libplatform.so"));

    // Too small: cut and terminated.
    wchar_t small[5];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::wstring(small), std::wstring(path, 4));

    int not_code = 0;
    HMODULE none = nullptr;
    EXPECT_FALSE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                    reinterpret_cast<LPCWSTR>(&not_code), &none));
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(&not_code), path, 4096), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
