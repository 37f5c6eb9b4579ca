#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "win/crypt.h"

namespace {

// The digest as the library writes it: 32 lower-case hexadecimal digits.
std::string md5_hex(const std::string& bytes, size_t chunk = std::string::npos) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    EXPECT_TRUE(CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL,
                                     CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET));
    EXPECT_TRUE(CryptCreateHash(provider, CALG_MD5, 0, 0, &hash));
    for (size_t at = 0; at < bytes.size(); at += chunk) {
        const std::string part = bytes.substr(at, chunk);
        EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>(part.data()),
                                  static_cast<DWORD>(part.size()), 0));
    }
    BYTE value[16] = {};
    DWORD size = sizeof value;
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0));
    EXPECT_EQ(size, 16u);
    EXPECT_TRUE(CryptDestroyHash(hash));
    EXPECT_TRUE(CryptReleaseContext(provider, 0));
    std::string hex;
    for (BYTE b : value) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", b);
        hex += digits;
    }
    return hex;
}

}  // namespace

TEST(Crypt, Md5OfTheReferenceSuite) {
    EXPECT_EQ(md5_hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5_hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5_hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5_hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5_hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5_hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    const std::string digits =
        "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
    EXPECT_EQ(md5_hex(digits), "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(md5_hex(digits, 7), "57edf4a22be3c955ac49da2e2107b67a");  // fed in pieces
}

TEST(Crypt, HashParametersFollowTheSizeProtocol) {
    HCRYPTPROV provider = 0;
    ASSERT_TRUE(
        CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    HCRYPTHASH hash = 0;
    ASSERT_TRUE(CryptCreateHash(provider, CALG_MD5, 0, 0, &hash));

    DWORD hash_size = 0;
    DWORD length = sizeof hash_size;
    ASSERT_TRUE(
        CryptGetHashParam(hash, HP_HASHSIZE, reinterpret_cast<BYTE*>(&hash_size), &length, 0));
    EXPECT_EQ(hash_size, 16u);
    length = 0;
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, nullptr, &length, 0));
    EXPECT_EQ(length, 16u);
    BYTE small[8];
    length = sizeof small;
    EXPECT_FALSE(CryptGetHashParam(hash, HP_HASHVAL, small, &length, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(length, 16u);

    // Asking for the size did not finish the hash; reading the value does.
    EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>("abc"), 3, 0));
    BYTE first[16], second[16];
    length = 16;
    ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, first, &length, 0));
    EXPECT_FALSE(CryptHashData(hash, reinterpret_cast<const BYTE*>("more"), 4, 0));
    EXPECT_EQ(GetLastError(), NTE_BAD_HASH_STATE);
    ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, second, &length, 0));
    EXPECT_EQ(std::string(first, first + 16), std::string(second, second + 16));
    EXPECT_EQ(first[0], 0x90);

    EXPECT_TRUE(CryptDestroyHash(hash));
    EXPECT_FALSE(CryptDestroyHash(hash));
    EXPECT_TRUE(CryptReleaseContext(provider, 0));
}

TEST(Crypt, RefusesWhatItDoesNotHave) {
    HCRYPTPROV provider = 0;
    EXPECT_FALSE(CryptAcquireContextW(&provider, L"container", nullptr, PROV_RSA_FULL, 0));
    EXPECT_EQ(GetLastError(), NTE_BAD_KEYSET);
    EXPECT_FALSE(CryptAcquireContextW(&provider, nullptr, nullptr, 24, CRYPT_VERIFYCONTEXT));
    EXPECT_EQ(GetLastError(), NTE_BAD_PROV_TYPE);

    ASSERT_TRUE(
        CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    HCRYPTHASH hash = 0;
    EXPECT_FALSE(CryptCreateHash(provider, 0x8004, 0, 0, &hash));
    EXPECT_EQ(GetLastError(), NTE_BAD_ALGID);
    EXPECT_TRUE(CryptReleaseContext(provider, 0));
    EXPECT_FALSE(CryptCreateHash(provider, CALG_MD5, 0, 0, &hash));
    EXPECT_EQ(GetLastError(), NTE_BAD_UID);
    EXPECT_FALSE(CryptHashData(12345, reinterpret_cast<const BYTE*>("x"), 1, 0));
    EXPECT_EQ(GetLastError(), NTE_BAD_HASH);
}
