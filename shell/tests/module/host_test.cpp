// The shell host's registration of modules that cannot be registered.
#include "shell_host.h"

#include <gtest/gtest.h>

#include "win/library.h"

namespace {

TEST(ShellHost, AModuleThatDoesNotLoadOrHasNoRegistrationIsReported) {
    EXPECT_EQ(shell_host::register_server(L"\\nowhere\\module.so"),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    std::wstring without_export(TEST_FOLDER_SERVER,
                                TEST_FOLDER_SERVER + sizeof TEST_FOLDER_SERVER - 1);
    EXPECT_EQ(shell_host::register_server(without_export),
              HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(shell_host::unregister_server(without_export),
              HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
}

}  // namespace
