#include "vfs/login_data.h"

#include <gtest/gtest.h>

#include "crypt/blowfish.h"
#include "crypt/md5.h"
#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {
namespace {

// Enciphered by the service's own code (key of user 7, "alice", "pw").
const wchar_t* const no_padding_data =
    L"3C7o5hcw9ZIQGiOmkgngc9vrbWIyr9UN7oGrhWvkup+Cm9POcojVcFGWd8Bx/Pp+";
const wchar_t* const non_ascii_data = L"pFlBrkp0fzwbjTsGTuv0Wg==";

// The service's way of building Data, for plaintexts of any length: CBC
// with a zero IV under the key text, then Base64.
std::wstring seal(const std::string& key, std::string plain) {
    plain.resize((plain.size() + 8) / 8 * 8, '\0');
    const unsigned char iv[8] = {};
    const cm_crypt::blowfish context(reinterpret_cast<const unsigned char*>(key.data()), key.size(),
                                     iv);
    std::uint32_t chain[2] = {0, 0};
    std::string cipher(plain.size(), '\0');
    for (std::size_t at = 0; at < plain.size(); at += 8) {
        std::uint32_t left, right;
        cm_crypt::load_block(reinterpret_cast<const unsigned char*>(plain.data()) + at, left,
                             right);
        left ^= chain[0];
        right ^= chain[1];
        context.encrypt_block(left, right);
        chain[0] = left;
        chain[1] = right;
        cm_crypt::store_block(left, right, reinterpret_cast<unsigned char*>(cipher.data()) + at);
    }
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::wstring text;
    for (std::size_t at = 0; at < cipher.size(); at += 3) {
        std::uint32_t group = static_cast<unsigned char>(cipher[at]) << 16;
        if (at + 1 < cipher.size()) group |= static_cast<unsigned char>(cipher[at + 1]) << 8;
        if (at + 2 < cipher.size()) group |= static_cast<unsigned char>(cipher[at + 2]);
        text += alphabet[(group >> 18) & 63];
        text += alphabet[(group >> 12) & 63];
        text += at + 1 < cipher.size() ? alphabet[(group >> 6) & 63] : '=';
        text += at + 2 < cipher.size() ? alphabet[group & 63] : '=';
    }
    return text;
}

std::string key_of(const std::string& seed) {
    return cm_crypt::md5(seed).digest().substr(0, 24);
}

void expect_invalid(const std::wstring& data, const std::wstring& user_id = L"7",
                    const std::wstring& name = L"alice", const std::wstring& password = L"pw") {
    try {
        decipher_login_data(data, user_id, name, password);
        ADD_FAILURE() << "deciphered";
    } catch (const exception& failure) {
        EXPECT_EQ(failure.get_title(), L"Login failed");
        EXPECT_EQ(failure.get_text(), L"Invalid parameter");
    }
}

TEST(LoginData, DeciphersWhatTheServiceEnciphered) {
    // Key of user 7 with the name and password as typed, "é" sent as UTF-8.
    EXPECT_EQ(
        decipher_login_data(L"gGOaOm2gt8iNrFllS5q1D1DHPJNzzrKLJkBiZrGzVNrnAhQuZQGlXPB63WWtWwJ+"
                            L"Iezurkd2C4u8C5g9K2YYiw==",
                            L"7", L"alice", L"s\u00E9cret"),
        L"<Host>ftp://127.0.0.1:2121</Host><User>u7</User><Pass>pw</Pass>");
    // "restore_session" keys with "R" and "S".
    const std::wstring restore_data =
        L"IGbcKSSIecZ4wPvUlDuxWwQY75Cgu3cBICrUinNb45zw/XHgFeh9i8ptMxufj/u0";
    EXPECT_EQ(decipher_login_data(restore_data, L"7", restore_key_name, restore_key_password),
              L"<Host>h</Host><User>u</User><Pass>p</Pass>");
    // The test's own sealing agrees with the service's.
    EXPECT_EQ(seal(key_of("7RS"), "<Host>h</Host><User>u</User><Pass>p</Pass>"), restore_data);
}

TEST(LoginData, TextWithoutNulEndsWithTheDecipheredBytes) {
    EXPECT_EQ(decipher_login_data(no_padding_data, L"7", L"alice", L"pw"),
              L"<Host>abc</Host><User>u</User><Pass>p</Pass>1234");
}

TEST(LoginData, EveryFailureIsInvalidParameter) {
    expect_invalid(L"");
    expect_invalid(L"====");
    expect_invalid(L"QUJD");                           // 3 bytes: not a whole block
    expect_invalid(L"QUJDREVGR0hJSktM");               // 12 bytes
    expect_invalid(L"pFlBrkp0fzwb\u00E9TsGTuv0Wg==");  // not Base64 text
    expect_invalid(non_ascii_data);                    // deciphers to a byte above 0x7F
    expect_invalid(no_padding_data, L"8");             // another user's key
    const std::wstring bad_seed(1, static_cast<wchar_t>(0xD800));
    expect_invalid(no_padding_data, L"7", L"alice", bad_seed);
}

TEST(LoginData, CiphertextIsBoundedTo1024Bytes) {
    const std::string key = key_of("7alicepw");
    // 1,023 characters and one NUL fill 1,024 bytes; one more needs 1,032.
    const std::string longest = "<Host>" + std::string(1023 - 13, 'h') + "</Host>";
    EXPECT_EQ(decipher_login_data(seal(key, longest), L"7", L"alice", L"pw").size(), 1023u);
    expect_invalid(seal(key, longest + "x"));
}

}  // namespace
}  // namespace vfs_calvimora
