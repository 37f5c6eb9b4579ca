#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kernel/tests/helper_process.h"
#include "win/machine.h"
#include "win/shell.h"
#include "win/test_journal.h"

namespace {

class Shell : public ::testing::Test {
protected:
    win_machine::scoped_root root;
};

}  // namespace

TEST_F(Shell, TheLocalApplicationDataFolderIsUnderTheRoot) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path),
              S_OK);
    const std::string expected = win_machine::app_data_dir();
    EXPECT_EQ(std::wstring(path), std::wstring(expected.begin(), expected.end()));
    EXPECT_EQ(expected.rfind(root.path(), 0), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(expected));

    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                               SHGFP_TYPE_CURRENT, path),
              S_OK);
    // The documents lie in the profile, as on Windows.
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    const std::wstring profile = path;
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    EXPECT_EQ(std::wstring(path).rfind(profile + L"/", 0), 0u);
    EXPECT_EQ(profile.rfind(std::wstring(root.path().begin(), root.path().end()), 0), 0u);
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path),
              E_INVALIDARG);
    EXPECT_EQ(path[0], L'\0');
}

TEST_F(Shell, NotificationsAreJournalledWithTheirItemsAsText) {
    const std::wstring folder = L"C:\\Users\\J\u00fcrgen\\Sync";
    SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW | SHCNF_FLUSH | SHCNF_NOTIFYRECURSIVE,
                   folder.c_str(), nullptr);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    // Two item ids of 4 and 3 bytes, then the closing zero size.
    const BYTE old_list[] = {4, 0, 0xab, 0xcd, 3, 0, 0x01, 0, 0};
    const BYTE new_list[] = {3, 0, 0xff, 0, 0};
    SHChangeNotify(SHCNE_RENAMEITEM, SHCNF_IDLIST | SHCNF_FLUSH, old_list, new_list);
    // Tab and line break in a path must not break the record apart.
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, "odd\tname\nhere", nullptr);

    const auto journal = win_test::shell_notifications();
    ASSERT_EQ(journal.size(), 4u);
    EXPECT_EQ(journal[0].event, SHCNE_UPDATEDIR);
    EXPECT_EQ(journal[0].flags, 0x11005u);
    EXPECT_EQ(journal[0].item1, "C:\\Users\\J\xc3\xbcrgen\\Sync");
    EXPECT_EQ(journal[0].item2, std::nullopt);
    EXPECT_EQ(journal[1].event, SHCNE_ASSOCCHANGED);
    EXPECT_EQ(journal[1].item1, std::nullopt);
    EXPECT_EQ(journal[2].item1, "0400abcd030001");
    EXPECT_EQ(journal[2].item2, "0300ff");
    EXPECT_EQ(journal[3].item1, "odd\tname\nhere");

    win_test::clear_shell_notifications();
    EXPECT_TRUE(win_test::shell_notifications().empty());
}

TEST_F(Shell, AnotherProcesssNotificationsReachTheSameJournal) {
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, L"/first", nullptr);
    ASSERT_EQ(helper_process::run({"notify", "/second folder"}), 0);
    const auto journal = win_test::shell_notifications();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].item1, "/first");
    EXPECT_EQ(journal[1].event, SHCNE_UPDATEDIR);
    EXPECT_EQ(journal[1].flags, SHCNF_PATHW | SHCNF_FLUSH);
    EXPECT_EQ(journal[1].item1, "/second folder");
}
