#include "utils/exceptions.h"

#include <gtest/gtest.h>

#include "win/base.h"

namespace utils {
namespace {

TEST(SystemErrorException, BuildsContextCallAndSystemText) {
    const std::string system_text = system_error_exception::format_message(ERROR_FILE_NOT_FOUND);
    ASSERT_NE(system_text, "Unknown error");
    ASSERT_GE(system_text.size(), 2u);
    EXPECT_EQ(system_text.substr(system_text.size() - 2), "\r\n");

    const system_error_exception with_code("void f()", "::Call(x)", ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::string(with_code.what()),
              "void f(): ::Call(x) call returned error: " + system_text);

    const system_error_exception without_code("void f()", "::Call(x)");
    EXPECT_STREQ(without_code.what(), "void f(): ::Call(x) call returned error");
}

TEST(SystemErrorException, NamesCodesWithoutTextUnknown) {
    EXPECT_EQ(system_error_exception::format_message(0x7FFFFFF0), "Unknown error");
}

}  // namespace
}  // namespace utils
