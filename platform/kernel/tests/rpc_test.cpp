#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "win/rpc.h"

namespace {

std::string text_of(const UUID& uuid) {
    RPC_WSTR text = nullptr;
    EXPECT_EQ(UuidToStringW(&uuid, &text), RPC_S_OK);
    const std::wstring wide = text;
    EXPECT_EQ(RpcStringFreeW(&text), RPC_S_OK);
    EXPECT_EQ(text, nullptr);
    return std::string(wide.begin(), wide.end());
}

}  // namespace

TEST(Uuid, TextIsTheFieldsInLowerCase) {
    const UUID known{0x0123ABCD, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    EXPECT_EQ(text_of(known), "0123abcd-89ab-cdef-0123-456789abcdef");
}

TEST(Uuid, NewIdentifiersAreRandomAndDiffer) {
    UUID first{}, second{};
    ASSERT_EQ(UuidCreate(&first), RPC_S_OK);
    ASSERT_EQ(UuidCreate(&second), RPC_S_OK);
    EXPECT_FALSE(first == second);
    const std::string text = text_of(first);
    EXPECT_EQ(text.size(), 36u);
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        EXPECT_TRUE(dash ? text[i] == '-' : std::isxdigit(text[i]) && !std::isupper(text[i]))
            << text;
    }
    EXPECT_EQ(text[14], '4') << text;  // a random identifier's version
    EXPECT_NE(text, text_of(second));
}
