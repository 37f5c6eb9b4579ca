#include "vfs/shared_user_record.h"

#include <gtest/gtest.h>

namespace vfs_calvimora {
namespace {

template <std::size_t size>
std::size_t units_used(const char16_t (&field)[size]) {
    std::size_t used = 0;
    while (used < size && field[used] != 0) {
        ++used;
    }
    return used;
}

TEST(SharedUserRecord, FieldsAreCutSoThatEachEndsWithANul) {
    const vfs::user_info user{std::wstring(70, L'1'), std::wstring(64, L'2'),
                              std::wstring(130, L'n'), std::wstring(8, L'l'),
                              std::wstring(9, L'v')};
    const shared_user_record record = pack_user_record(user);
    EXPECT_EQ(units_used(record.user_id), 63u);
    EXPECT_EQ(units_used(record.access_id), 63u);
    EXPECT_EQ(units_used(record.user_name), 127u);
    EXPECT_EQ(units_used(record.language), 7u);
    EXPECT_EQ(units_used(record.level), 7u);

    const vfs::user_info read = unpack_user_record(record);
    EXPECT_EQ(read.user_id, std::wstring(63, L'1'));
    EXPECT_EQ(read.user_name, std::wstring(127, L'n'));
    EXPECT_EQ(read.level, std::wstring(7, L'v'));
}

TEST(SharedUserRecord, KeepsCharactersOutsideTheBasicPlaneWhole) {
    const vfs::user_info user{L"42", L"", L"J\u00F6rg \U0001F600", L"de", L"1"};
    const shared_user_record record = pack_user_record(user);
    EXPECT_EQ(record.user_name[5], 0xD83D);
    EXPECT_EQ(record.user_name[6], 0xDE00);
    EXPECT_EQ(unpack_user_record(record), user);

    // Six units are left in the level field: the pair would need the 7th
    // and the 8th, so the character is dropped rather than split.
    const vfs::user_info long_level{L"1", L"", L"n", L"en", L"abcdef\U0001F600"};
    EXPECT_EQ(unpack_user_record(pack_user_record(long_level)).level, L"abcdef");
    const vfs::user_info fitting_level{L"1", L"", L"n", L"en", L"abcde\U0001F600"};
    EXPECT_EQ(unpack_user_record(pack_user_record(fitting_level)).level, L"abcde\U0001F600");
}

TEST(SharedUserRecord, UnpackReadsUpToTheFirstNulAndRepairsBrokenPairs) {
    shared_user_record record = {};
    record.user_id[0] = u'7';
    record.user_id[1] = 0;
    record.user_id[2] = u'9';
    record.user_name[0] = 0xD83D;  // a lead unit without its trail
    record.user_name[1] = u'x';
    record.level[0] = 0xDE00;  // a trail unit alone
    for (char16_t& unit : record.language) {
        unit = u'e';  // no NUL at all
    }
    const vfs::user_info user = unpack_user_record(record);
    EXPECT_EQ(user.user_id, L"7");
    EXPECT_EQ(user.user_name, L"\uFFFDx");
    EXPECT_EQ(user.level, L"\uFFFD");
    EXPECT_EQ(user.language, std::wstring(8, L'e'));
}

}  // namespace
}  // namespace vfs_calvimora
