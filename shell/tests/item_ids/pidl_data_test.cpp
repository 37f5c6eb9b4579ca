// The record of a remote item: what the builder fills in, texts cut to
// their fields, dates, and what equality looks at.
#include "folder/item_ids/pidl_data.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fake_items.h"
#include "win/machine.h"
#include "win/registry.h"

namespace {

using shell_testing::make_file;
using shell_testing::make_folder;

void set_default(const std::wstring& key_name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, key_name.c_str(), &key), ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

class PidlData : public ::testing::Test {
protected:
    void SetUp() override {
        set_default(L".gz", L"GzipFile");
        set_default(L"GzipFile", L"Gzip archive");
        set_default(L".tar", L"TarFile");
        set_default(L"TarFile", L"Tape archive");
    }
    win_machine::scoped_root root;
};

TEST_F(PidlData, AFileGetsItsValuesTheTypeOfItsLastExtensionAndItsDates) {
    auto file = make_file(L"archive.tar.gz", 1234);
    file->accessed = 86400;
    file->modified = 129600;
    file->attributes = 0x20;
    const PIDLDATA data = make_pidl_data(file);
    EXPECT_EQ(data.cb, 840);
    EXPECT_EQ(data.type, 2);
    EXPECT_EQ(pidl_name(data), L"archive.tar.gz");
    EXPECT_EQ(pidl_type_name(data), L"Gzip archive");
    EXPECT_EQ(pidl_id(data), L"id-archive.tar.gz");
    EXPECT_EQ(data.size, 1234);
    EXPECT_EQ(data.date_created, -1.0);
    EXPECT_EQ(data.date_accessed, 25570.0);
    EXPECT_EQ(data.date_modified, 25570.5);  // the time of day is kept
    EXPECT_EQ(data.date_deleted, -1.0);
    EXPECT_EQ(data.attributes, 0x20u);
    EXPECT_EQ(data.has_subfolders + data.is_shared + data.is_plain_directory + data.is_fixed_folder,
              0);

    EXPECT_EQ(pidl_type_name(make_pidl_data(make_file(L"README", 1))), L"File");
    EXPECT_EQ(pidl_type_name(make_pidl_data(make_file(L"photo.JPG", 1))), L"JPG File");
}

TEST_F(PidlData, DatesOfZeroAndBelowStayAsTheyAre) {
    EXPECT_EQ(ole_date_from_time(0), 0.0);
    EXPECT_EQ(ole_date_from_time(-1), -1.0);
    EXPECT_EQ(ole_date_from_time(-86400), -86400.0);
    EXPECT_EQ(ole_date_from_time(86400), 25570.0);
    EXPECT_DOUBLE_EQ(ole_date_from_time(1), 25569.0 + 1.0 / 86400.0);
}

TEST_F(PidlData, AFolderHasNoSizeNoFileDatesAndItsFlags) {
    auto folder = make_folder(L"Music");
    folder->subdirectories = true;
    folder->shared = true;
    folder->plain = false;
    folder->fixed = true;
    const PIDLDATA data = make_pidl_data(folder);
    EXPECT_EQ(data.type, 1);
    EXPECT_EQ(data.size, -1);
    EXPECT_EQ(data.date_accessed, -1.0);
    EXPECT_EQ(data.date_modified, -1.0);
    EXPECT_EQ(data.attributes, 0u);
    EXPECT_EQ(data.has_subfolders, 1);
    EXPECT_EQ(data.is_shared, 1);
    EXPECT_EQ(data.is_plain_directory, 0);
    EXPECT_EQ(data.is_fixed_folder, 1);
    EXPECT_EQ(pidl_type_name(data), L"File folder");

    // A folder in the trash carries the date of its move there.
    auto trashed = boost::make_shared<shell_testing::fake_directory>(
        shell_testing::item_values{L"Old", L"7", 86400, 172800});
    const PIDLDATA old = make_pidl_data(trashed);
    EXPECT_EQ(old.date_created, 25570.0);
    EXPECT_EQ(old.date_deleted, 25571.0);
}

TEST_F(PidlData, LongTextsAreCutToTheirFieldsWithoutSplittingACharacter) {
    const PIDLDATA cut = make_pidl_data(make_file(std::wstring(300, L'n'), 0));
    EXPECT_EQ(pidl_name(cut), std::wstring(259, L'n'));
    EXPECT_EQ(cut.name[259], 0);

    // A character of two units that would take units 258 and 259 is left
    // out whole, and so is one at the end of the id.
    const std::wstring name = std::wstring(258, L'a') + L"\U0001F600";
    const PIDLDATA pair = make_pidl_data(make_file(name, 0));
    EXPECT_EQ(pidl_name(pair), std::wstring(258, L'a'));
    EXPECT_EQ(pair.name[258], 0);
    auto file = boost::make_shared<shell_testing::fake_file>(
        shell_testing::item_values{L"x", std::wstring(48, L'i') + L"\U00010400"});
    EXPECT_EQ(pidl_id(make_pidl_data(file)), std::wstring(48, L'i'));

    // A character that fits is kept whole.
    const std::wstring fits = std::wstring(257, L'a') + L"\U0001F600";
    EXPECT_EQ(pidl_name(make_pidl_data(make_file(fits, 0))), fits);
}

TEST_F(PidlData, TextsWithoutTheirZeroAreReadWithinTheirFields) {
    PIDLDATA data = make_pidl_data(make_file(L"a", 0));
    std::fill(std::begin(data.name), std::end(data.name), u'z');
    data.name[3] = 0xD800;  // a lone half of a pair
    const std::wstring name = pidl_name(data);
    EXPECT_EQ(name.size(), 260u);
    EXPECT_EQ(name[3], L'\uFFFD');
}

TEST_F(PidlData, EqualityLooksAtKindNameTypeAndSizeOnly) {
    auto file = make_file(L"same.txt", 10);
    const PIDLDATA one = make_pidl_data(file);
    PIDLDATA other = one;
    other.id[0] = u'X';
    other.is_shared = 1;
    other.is_plain_directory = 1;
    other.is_fixed_folder = 1;
    other.date_modified = 3.0;
    other.attributes = 7;
    EXPECT_TRUE(one == other);
    // Bytes after the name's zero do not count either.
    other.name[200] = u'q';
    EXPECT_TRUE(one == other);

    PIDLDATA folders = other;
    folders.has_subfolders = 1;
    EXPECT_FALSE(one == folders);
    PIDLDATA bigger = one;
    bigger.size = 11;
    EXPECT_FALSE(one == bigger);
    PIDLDATA renamed = one;
    renamed.name[0] = u'S';
    EXPECT_FALSE(one == renamed);
}

}  // namespace
