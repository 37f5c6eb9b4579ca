#include "vfs/request_parameters.h"

#include <gtest/gtest.h>

namespace vfs_calvimora {
namespace {

TEST(FormBody, KeysInOrderWithEmptyValuesKept) {
    const request_parameters parameters{{L"user_level", L"1"}, {L"user_id", L""},
                                        {L"dir_id", L"12"},    {L"action", L"list_dir"},
                                        {L"user_lang", L"en"}, {L"user_id_access", L""}};
    EXPECT_EQ(form_body(parameters),
              "action=list_dir&dir_id=12&user_id=&user_id_access=&user_lang=en&user_level=1");
}

TEST(FormBody, EmptyParametersGiveEmptyBody) {
    EXPECT_EQ(form_body({}), "");
}

TEST(FormBody, KeysAreOrderedAsUtf16Units) {
    // U+1F600 is sent as the surrogates D83D DE00, which sort before U+E000.
    const request_parameters parameters{{L"\xE000", L"a"}, {L"\U0001F600", L"b"}, {L"z", L"c"}};
    EXPECT_EQ(form_body(parameters), "z=c&\xF0\x9F\x98\x80=b&\xEE\x80\x80=a");
}

TEST(UrlEncode, EscapesExactlyTheReservedAsciiCharacters) {
    EXPECT_EQ(url_encode(L"\"#%&+/<>?[\\]^`{|}", true),
              "%22%23%25%26%2B%2F%3C%3E%3F%5B%5C%5D%5E%60%7B%7C%7D");
    EXPECT_EQ(url_encode(L" =~,;:@$!'()*\t", true), " =~,;:@$!'()*\t");
    EXPECT_EQ(url_encode(L"a/b%c+d", false), "a/b%c+d");
}

TEST(UrlEncode, SendsWholeCodePointsAsUnescapedUtf8) {
    EXPECT_EQ(url_encode(L"\u00E9", true), "\xC3\xA9");
    EXPECT_EQ(url_encode(L"\u0080", true), "\xC2\x80");
    EXPECT_EQ(url_encode(L"\u07FF", true), "\xDF\xBF");
    EXPECT_EQ(url_encode(L"\u0800", true), "\xE0\xA0\x80");
    EXPECT_EQ(url_encode(L"\u20AC", true), "\xE2\x82\xAC");
    EXPECT_EQ(url_encode(L"\uFFFF", true), "\xEF\xBF\xBF");
    EXPECT_EQ(url_encode(L"\U0001F600", true), "\xF0\x9F\x98\x80");
    EXPECT_EQ(url_encode(L"\U0010FFFF", true), "\xF4\x8F\xBF\xBF");
}

TEST(UrlEncode, ValuesThatAreNoCharacterBecomeReplacementCharacter) {
    const std::wstring lone_surrogate(1, static_cast<wchar_t>(0xD800));
    const std::wstring beyond_unicode(1, static_cast<wchar_t>(0x110000));
    EXPECT_EQ(url_encode(lone_surrogate, true), "\xEF\xBF\xBD");
    EXPECT_EQ(url_encode(beyond_unicode, true), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace vfs_calvimora
