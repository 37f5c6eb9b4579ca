#include "vfs/login_data.h"

#include <gtest/gtest.h>

#include "login_data_sealing.h"
#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {
namespace {

// Enciphered by the service's own code (key of user 7, "alice", "pw").
const wchar_t* const no_padding_data =
    L"3C7o5hcw9ZIQGiOmkgngc9vrbWIyr9UN7oGrhWvkup+Cm9POcojVcFGWd8Bx/Pp+";
const wchar_t* const non_ascii_data = L"pFlBrkp0fzwbjTsGTuv0Wg==";

std::wstring seal(const std::string& key, const std::string& plain) {
    return testing_support::seal_login_data(key, plain);
}

std::string key_of(const std::string& seed) {
    return testing_support::login_key_text(seed);
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

void expect_damaged(const std::wstring& data) {
    try {
        decipher_login_data(data, L"7", restore_key_name, restore_key_password);
        ADD_FAILURE() << "deciphered";
    } catch (const damaged_login_data& failure) {
        EXPECT_EQ(failure.get_title(), L"Login failed");
        EXPECT_EQ(failure.get_text(),
                  L"The transfer credentials in the server's reply are damaged");
    }
}

const wchar_t* const restore_data =
    L"IGbcKSSIecZ4wPvUlDuxWwQY75Cgu3cBICrUinNb45zw/XHgFeh9i8ptMxufj/u0";

TEST(LoginData, DeciphersWhatTheServiceEnciphered) {
    // Key of user 7 with the name and password as typed, "é" sent as UTF-8.
    EXPECT_EQ(
        decipher_login_data(L"gGOaOm2gt8iNrFllS5q1D1DHPJNzzrKLJkBiZrGzVNrnAhQuZQGlXPB63WWtWwJ+"
                            L"Iezurkd2C4u8C5g9K2YYiw==",
                            L"7", L"alice", L"s\u00E9cret"),
        L"<Host>ftp://127.0.0.1:2121</Host><User>u7</User><Pass>pw</Pass>");
    // "restore_session" keys with "R" and "S".
    EXPECT_EQ(decipher_login_data(restore_data, L"7", restore_key_name, restore_key_password),
              L"<Host>h</Host><User>u</User><Pass>p</Pass>");
    // The test's own sealing agrees with the service's.
    EXPECT_EQ(seal(key_of("7RS"), "<Host>h</Host><User>u</User><Pass>p</Pass>"), restore_data);
}

TEST(LoginData, TextWithoutNulEndsWithTheDecipheredBytes) {
    EXPECT_EQ(decipher_login_data(no_padding_data, L"7", L"alice", L"pw"),
              L"<Host>abc</Host><User>u</User><Pass>p</Pass>1234");
}

TEST(LoginData, WhatCannotBeDecipheredIsInvalidParameter) {
    expect_invalid(L"");
    expect_invalid(L"QUJD");                // 3 bytes: not a whole block
    expect_invalid(L"QUJDREVGR0hJSktM");    // 12 bytes
    expect_invalid(no_padding_data, L"8");  // another user's key
    const std::wstring bad_seed(1, static_cast<wchar_t>(0xD800));
    expect_invalid(no_padding_data, L"7", L"alice", bad_seed);
}

TEST(LoginData, ATextThatDoesNotDecodeWholeIsDamaged) {
    // Whole groups with something after them: a cut group, a stray padding,
    // a group after the padding.
    for (const wchar_t* tail : {L"9=", L"Q", L"QQ", L"QQQ", L"=", L"====", L"Zg==Zg=="}) {
        expect_damaged(restore_data + std::wstring(tail));
    }
    // Characters outside the alphabet, which the decoder would take as zero.
    std::wstring blank = restore_data;
    blank[10] = L' ';
    expect_damaged(blank);
    expect_damaged(std::wstring(restore_data) + L"\n");
    expect_damaged(L"pFlBrkp0fzwb\u00E9TsGTuv0Wg==");
    expect_damaged(L"====");
}

TEST(LoginData, DeciphersTheWindowsCodePage) {
    EXPECT_EQ(decipher_login_data(non_ascii_data, L"7", L"alice", L"pw"), L"<Host>\u00E9</Host>");
    const std::string key = key_of("7alicepw");
    EXPECT_EQ(decipher_login_data(seal(key, "<User>\x80\x8a\x9f</User><Pass>\xa0\xe4\xff</Pass>"),
                                  L"7", L"alice", L"pw"),
              L"<User>\u20AC\u0160\u0178</User><Pass>\u00A0\u00E4\u00FF</Pass>");
}

// Under a wrong key the plaintext is noise; credentials are elements of
// printable text.
TEST(LoginData, NoiseIsNotTakenForCredentials) {
    const std::string key = key_of("7alicepw");
    expect_invalid(seal(key, "Host>h</Host>"));
    expect_invalid(seal(key, "<Host>h\x01</Host>"));
    expect_invalid(seal(key, "<Host>h\x7f</Host>"));
    // Bytes the code page leaves undefined stand for control characters.
    expect_invalid(seal(key, "<Host>h\x81</Host>"));
    expect_invalid(seal(key, "<Host>h\x9d</Host>"));
    expect_invalid(seal(key, ""));
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
