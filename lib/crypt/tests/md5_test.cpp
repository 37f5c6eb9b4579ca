#include "crypt/md5.h"

#include <gtest/gtest.h>

namespace cm_crypt {
namespace {

TEST(Md5, MatchesTheRfcTestSuite) {
    const std::pair<std::string, std::string> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456"
         "7890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [input, digest] : suite) EXPECT_EQ(md5(input).digest(), digest) << input;
}

TEST(Md5, HashesEveryByteIncludingZeros) {
    EXPECT_EQ(md5(std::string("a\0b", 3)).digest(), "70350f6027bce3713f6b76473084309b");
    EXPECT_NE(md5(std::string("a\0b", 3)).digest(), md5("a").digest());
}

}  // namespace
}  // namespace cm_crypt
