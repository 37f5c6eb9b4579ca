#include "crypt/base64.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace cm_crypt {
namespace {

std::string decode(const std::string& text) {
    std::vector<unsigned char> buffer(base64_decoded_size_limit(text.size()) + 1, 0xAA);
    const std::size_t written = base64_decode(text, buffer.data(), buffer.size() - 1);
    EXPECT_EQ(buffer.back(), 0xAA) << "wrote past the buffer";
    return std::string(buffer.begin(), buffer.begin() + static_cast<long>(written));
}

TEST(Base64, DecodesThePublishedVectors) {
    EXPECT_EQ(decode(""), "");
    EXPECT_EQ(decode("Zg=="), "f");
    EXPECT_EQ(decode("Zm8="), "fo");
    EXPECT_EQ(decode("Zm9v"), "foo");
    EXPECT_EQ(decode("Zm9vYg=="), "foob");
    EXPECT_EQ(decode("Zm9vYmE="), "fooba");
    EXPECT_EQ(decode("Zm9vYmFy"), "foobar");
    EXPECT_EQ(decode("+/+/"), "\xfb\xff\xbf");
}

TEST(Base64, StopsAtTheFirstPaddingCharacter) {
    EXPECT_EQ(decode("Zg==Zm9v"), "f");
    // A group that starts with "=" completes no byte.
    EXPECT_EQ(decode("Zm9v=Zm9v"), "foo");
}

TEST(Base64, IgnoresAnIncompleteLastGroup) {
    EXPECT_EQ(decode("Zm9vYm"), "foo");
    EXPECT_EQ(decode("Zm9vY"), "foo");
}

TEST(Base64, CountsForeignCharactersAsZeroValuedPositions) {
    // The blank takes a position: "Zm9 " is one group, "v" is left over.
    EXPECT_EQ(decode("Zm9 v"), decode("Zm9A"));
    EXPECT_EQ(decode("Zm9 v").size(), 3u);
}

TEST(Base64, NeverWritesPastTheGivenSize) {
    unsigned char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 0xAA);
    EXPECT_EQ(base64_decode("Zm9vYmFyZm9vYmFy", buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, buffer + 4), "foob");
    EXPECT_EQ(buffer[4], 0xAA);
    EXPECT_EQ(base64_decode("Zm9v", nullptr, 0), 0u);
}

// Every text up to nine characters long over characters that reach each
// case of the decoder: the limit is never passed, and some text of each
// length reaches it.
TEST(Base64, SizeLimitIsTheMostAnyTextOfThatLengthDecodesTo) {
    const char characters[] = {'Q', '=', ' '};
    for (std::size_t length = 0; length <= 9; ++length) {
        const std::size_t limit = base64_decoded_size_limit(length);
        std::vector<unsigned char> buffer(limit + 8);
        std::size_t most = 0;
        std::string text(length, 'Q');
        for (std::size_t combination = 0;; ++combination) {
            std::size_t digits = combination;
            for (char& c : text) {
                c = characters[digits % 3];
                digits /= 3;
            }
            if (digits != 0) break;
            most = std::max(most, base64_decode(text, buffer.data(), buffer.size()));
        }
        EXPECT_EQ(most, limit) << "length " << length;
    }
}

TEST(Base64, TellsWhetherATextDecodesWhole) {
    for (const char* whole : {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYmFy", "+/+/", "Zm9vYg=="})
        EXPECT_TRUE(base64_decodes_whole(whole)) << whole;
    for (const char* cut : {"Zm9vYm", "Zm9vY", "Zg=", "Zg==Zm9v", "Zm9v=", "Zm9v====", "Z===",
                            "====", "Zm=v", "Zm9 ", "Zm9\n", "Zm9v\nYmFy"})
        EXPECT_FALSE(base64_decodes_whole(cut)) << cut;
    EXPECT_FALSE(base64_decodes_whole(std::string("Zm9v\0AAA", 8)));
}

}  // namespace
}  // namespace cm_crypt
