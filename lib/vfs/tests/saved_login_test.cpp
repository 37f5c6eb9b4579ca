// The saved login: its scrambled form and its place in the registry.
#include "vfs/saved_login.h"

#include <gtest/gtest.h>

#include "win/machine.h"
#include "win/registry.h"

namespace vfs_calvimora {
namespace {

char16_t unscrambled(char16_t unit, std::size_t index) {
    return static_cast<char16_t>(unit ^ static_cast<std::uint16_t>(index - 0x3B71));
}

TEST(SavedLogin, EachUnitIsScrambledByItsIndexAndZeroesStay) {
    const std::vector<char16_t> units = scramble_login({L"ab", L"x"});
    ASSERT_EQ(units.size(), 5u);
    EXPECT_EQ(unscrambled(units[0], 0), u'a');
    EXPECT_EQ(unscrambled(units[1], 1), u'b');
    EXPECT_EQ(units[2], 0);
    // The password's first unit has the index of the user name's length + 1.
    EXPECT_EQ(unscrambled(units[3], 3), u'x');
    EXPECT_EQ(units[4], 0);
    EXPECT_EQ(scramble_login({L"", L""}), (std::vector<char16_t>{0, 0}));
}

TEST(SavedLogin, WhatIsReadBackIsWhatWasWrittenAndPartialValuesStayInBounds) {
    const saved_login login{L"j\u00f6rg\U0001F600", L"p\u20acss"};
    const saved_login back = unscramble_login(scramble_login(login));
    EXPECT_EQ(back.user_name, login.user_name);
    EXPECT_EQ(back.password, login.password);

    // Only the user name, without its end: the name, an empty password.
    std::vector<char16_t> units = scramble_login({L"alice", L""});
    units.resize(5);
    EXPECT_EQ(unscramble_login(units).user_name, L"alice");
    EXPECT_EQ(unscramble_login(units).password, L"");
    EXPECT_EQ(unscramble_login({}).user_name, L"");

    // A lone half of a pair is no character.
    units = scramble_login({L"a", L""});
    units[0] = static_cast<char16_t>(0xD800 ^ static_cast<std::uint16_t>(0 - 0x3B71));
    EXPECT_EQ(unscramble_login(units).user_name, L"\uFFFD");
}

char16_t mask(std::size_t index) {
    return static_cast<char16_t>(static_cast<std::uint16_t>(index - 0x3B71));
}

// A login is written only when it reads back as it is: a character that its
// place scrambles to zero would end its field there.
TEST(SavedLogin, TheWriterRefusesALoginThatWouldReadBackOtherwise) {
    win_machine::scoped_root root;
    ASSERT_TRUE(store_saved_login({L"bob", L"secret"}));
    const std::wstring user_masked(1, static_cast<wchar_t>(mask(0)));
    // The password starts at index 4, after "bob" and its zero.
    const std::wstring password_masked = L"s" + std::wstring(1, static_cast<wchar_t>(mask(5)));
    const saved_login refused[] = {
        {user_masked, L"pw"},
        {L"bob", password_masked},
        {std::wstring(L"a\0b", 3), L"pw"},
        {L"bob", std::wstring(1, static_cast<wchar_t>(0xD800))},
        {std::wstring(1, static_cast<wchar_t>(0x110000)), L"pw"},
    };
    for (const saved_login& login : refused) {
        EXPECT_FALSE(reads_back_identically(login));
        EXPECT_FALSE(store_saved_login(login));
    }
    saved_login read;
    ASSERT_TRUE(load_saved_login(read));
    EXPECT_EQ(read.user_name, L"bob");
    EXPECT_EQ(read.password, L"secret");

    // The same characters elsewhere scramble to other units and are kept.
    const saved_login moved{L"x" + user_masked, password_masked};
    EXPECT_TRUE(reads_back_identically(moved));
    ASSERT_TRUE(store_saved_login(moved));
    ASSERT_TRUE(load_saved_login(read));
    EXPECT_EQ(read.user_name, moved.user_name);
    EXPECT_EQ(read.password, moved.password);
}

// What a hostile or damaged value reads as: never U+0000 inside a field, and
// only the units that pair into no character replaced.
TEST(SavedLogin, TheReaderReplacesOnlyWhatIsNoCharacter) {
    auto scrambled = [](std::vector<char16_t> plain) {
        for (std::size_t i = 0; i < plain.size(); ++i)
            if (plain[i] != 0) plain[i] = static_cast<char16_t>(plain[i] ^ mask(i));
        return plain;
    };
    // A stored unit equal to its mask reads as U+0000.
    const std::vector<char16_t> units = {mask(0), static_cast<char16_t>(u'a' ^ mask(1)), 0,
                                         static_cast<char16_t>(u'p' ^ mask(3)), 0};
    saved_login read = unscramble_login(units);
    EXPECT_EQ(read.user_name, L"\uFFFDa");
    EXPECT_EQ(read.password, L"p");

    // A lone half beside a whole pair: only the half is replaced.
    read =
        unscramble_login(scrambled({0xD83D, 0xDE00, 0xD800, u'x', 0, 0xDC00, 0xD83D, 0xDE00, 0}));
    EXPECT_EQ(read.user_name, L"\U0001F600\uFFFDx");
    EXPECT_EQ(read.password, L"\uFFFD\U0001F600");
    // A high half at the end of a field, and one before a non-half.
    read = unscramble_login(scrambled({u'a', 0xDBFF, 0, 0xDBFF, u'b', 0}));
    EXPECT_EQ(read.user_name, L"a\uFFFD");
    EXPECT_EQ(read.password, L"\uFFFDb");
}

TEST(SavedLogin, TheValueLivesUnderTheCurrentUser) {
    win_machine::scoped_root root;
    saved_login read;
    EXPECT_FALSE(load_saved_login(read));
    ASSERT_TRUE(store_saved_login({L"bob", L"secret"}));
    ASSERT_TRUE(load_saved_login(read));
    EXPECT_EQ(read.user_name, L"bob");
    EXPECT_EQ(read.password, L"secret");

    // An odd number of bytes: the last one is not read.
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyW(HKEY_CURRENT_USER, L"CLSID\\{6D3F2A61-9C84-4E1B-B57A-2C0E8F4D9A13}", &key),
        ERROR_SUCCESS);
    const BYTE odd[] = {0x10, 0x3B, 0x00};
    ASSERT_EQ(RegSetValueExW(key, L"Data1", 0, REG_BINARY, odd, 3), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_TRUE(load_saved_login(read));
    EXPECT_EQ(read.password, L"");
}

}  // namespace
}  // namespace vfs_calvimora
