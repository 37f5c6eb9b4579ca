// The two sync pages driven through the shell host against the stand-in
// service: the sheet of remote items at its "Sync && Backup" page, and the
// "Calvimora" page of local folders that "Synchronize with Calvimora"
// opens. What they refuse to pair (the file system's root, system folders,
// /tmp and /var themselves, the home folder, the program's own data,
// folders nested with another pair, remote names that cannot be local
// ones), and the form of what they write.
#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host_local_items.h"
#include "item_transfer.h"
#include "item_workers.h"
#include "shell_browser.h"
#include "shell_host.h"
#include "syncer/manager/manager.h"
#include "syncer/tables/binding_manager.h"
#include "utils/class_ids.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/commctrl.h"
#include "win/file.h"
#include "win/machine.h"
#include "win/shell_browse.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/win_test.h"

namespace {

using namespace vfs_session_testing;
namespace fs = std::filesystem;
using syncer::binding;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

constexpr int remote_browse = 493, remote_local_folder = 501;
constexpr int local_permanent = 508;

binding user_pair(const std::wstring& remote, const std::wstring& local, int mode = 1) {
    return binding(binding::type_user_choice, mode, remote, local, L"",
                   syncer::sync_permission::not_set, {}, false, L"");
}

// alice's storage: "Albums" with the folders "Photos", "etc" and "work"
// and the file "notes.txt".
class ShellSyncPages : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(shell_host::register_server(module_path), S_OK);
        ASSERT_EQ(apartment_.status(), S_OK);
        auto& service = env_.service();
        user_ = service.add_user("alice", "s3cret");
        albums_ = service.add_folder(user_, "0", "Albums");
        for (const char* name : {"Photos", "etc", "work"}) service.add_folder(user_, albums_, name);
        service.add_file(user_, albums_, "notes.txt", "n");
        vfs_calvimora::login(test_module(), L"alice", L"s3cret");
        base_ = fs::temp_directory_path() /
                ("sync-pages-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(base_);
        ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
        ASSERT_EQ(browser.list(), S_OK);
        win_test::clear_message_boxes();
    }
    void TearDown() override {
        browser.close();
        shell_host::unload_unused_servers();
        fs::remove_all(base_);
    }

    size_t index_of(const std::wstring& name) {
        const auto& items = browser.items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].name == name) return i;
        ADD_FAILURE() << "no item named " << win_file::native_path(name);
        return items.size();
    }
    void enter(const std::wstring& name) { ASSERT_EQ(browser.enter(index_of(name)), S_OK); }

    fs::path made(const std::string& relative) {
        fs::create_directories(base_ / relative);
        return base_ / relative;
    }

    static std::vector<binding> stored() {
        syncer::binding_manager table(L"alice", true);
        std::vector<binding> out;
        for (const binding& b : table.get_bindings())
            if (b._type == binding::type_user_choice) out.push_back(b);
        return out;
    }
    static void store(const std::vector<binding>& bindings) {
        syncer::binding_manager table(L"alice", true);
        for (const binding& b : bindings) table.add_binding(b);
        table.save();
    }
    static size_t wrong_path_boxes() {
        size_t count = 0;
        for (const auto& box : win_test::message_boxes())
            if (box.caption == "Wrong path selected" &&
                box.text ==
                    "Calvimora cannot synchronize files with selected location. Please try again.")
                ++count;
        return count;
    }

    // The item's sheet, opened at its sync page by the item menu's command;
    // each folder in choices is typed into the folder browser in turn when
    // act presses Browse. act runs on the sheet's thread with the page;
    // the sheet is cancelled if act leaves it open.
    void on_sync_page(const std::wstring& item, std::deque<std::wstring> choices,
                      const std::function<void(HWND sheet, HWND page)>& act) {
        win_test::scoped_dialog_responder script([&](HWND dialog) {
            if (win_test::text(dialog) == L"Browse For Folder") {
                const std::wstring choice = choices.empty() ? L"" : choices.front();
                if (!choices.empty()) choices.pop_front();
                SendDlgItemMessageW(dialog, IDC_BROWSE_FOLDER_EDIT, EM_REPLACESEL, TRUE,
                                    reinterpret_cast<LPARAM>(choice.c_str()));
                win_test::press(dialog, IDOK);
                return;
            }
            win_test::pump();
            act(dialog, GetParent(win_test::control(dialog, remote_browse)));
            if (IsWindow(dialog)) win_test::press(dialog, IDCANCEL);
        });
        shell_host::extension_workers workers;
        ASSERT_EQ(shell_host::invoke_item_command(browser, {index_of(item)},
                                                  L"Synchronize with Computer"),
                  S_OK);
        ASSERT_TRUE(workers.wait(std::chrono::seconds(60)));
    }

    // "Synchronize with Calvimora" on local items; press OK on the page
    // that opens, then the sheet is closed.
    HRESULT synchronize_local(const std::vector<std::wstring>& paths) {
        win_test::scoped_dialog_responder script([&](HWND sheet) {
            if (!GetDlgItem(sheet, IDC_PROPSHEET_APPLY)) return;
            win_test::press(sheet, IDOK);
            if (IsWindow(sheet)) win_test::press(sheet, IDCANCEL);
        });
        return shell_host::invoke_local_command(paths, L"Synchronize with Calvimora");
    }

    environment env_;
    tray_stand_in tray_;
    shell_host::com_apartment apartment_;
    shell_host::shell_browser browser;
    std::string user_, albums_;
    fs::path base_;
};

// Each refused choice leaves the page's local folder as it was and says
// so; the first allowed one is taken and written.
TEST_F(ShellSyncPages, TheRemotePageRefusesTheRootSystemFoldersHomesAndTheProgramsData) {
    enter(L"Albums");
    const fs::path app_data = win_machine::app_data_dir();
    const fs::path accepted = made("ok");
    std::vector<std::wstring> shown;
    on_sync_page(
        L"etc",
        {L"/", L"/usr", app_data.wstring(), (app_data / "Calvimora").wstring(), accepted.wstring()},
        [&](HWND sheet, HWND page) {
            for (int i = 0; i < 5; ++i) {
                win_test::press(page, remote_browse);
                shown.push_back(win_test::text(GetDlgItem(page, remote_local_folder)));
            }
            win_test::press(sheet, IDOK);
        });
    ASSERT_EQ(shown.size(), 5u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(shown[i], shown[0]) << "choice " << i << " refused";
    EXPECT_NE(shown[0], L"/etc");
    EXPECT_EQ(shown[4], (accepted / "etc").wstring());
    EXPECT_EQ(wrong_path_boxes(), 4u);
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored()[0].dir_local, (accepted / "etc").wstring());
    EXPECT_EQ(stored()[0].dir_remote, L"/Albums/etc");

    // A file is bound in its folder: that folder is the pair's.
    win_test::clear_message_boxes();
    on_sync_page(L"notes.txt",
                 {L"/tmp", L"/var", fs::path(win_machine::profile_dir()).wstring(), L"/etc",
                  base_.wstring()},
                 [&](HWND sheet, HWND page) {
                     for (int i = 0; i < 5; ++i) win_test::press(page, remote_browse);
                     win_test::press(sheet, IDOK);
                 });
    EXPECT_EQ(wrong_path_boxes(), 4u);
    const std::vector<binding> both = stored();
    ASSERT_EQ(both.size(), 2u);
    const binding& file = both[0].filename.empty() ? both[1] : both[0];
    EXPECT_EQ(file.dir_local, base_.wstring());
    EXPECT_EQ(file.filename, L"notes.txt");
}

TEST_F(ShellSyncPages, APairIsNeverMadeInsideOrAroundAnotherAndTheRuleHoldsAgainOnApply) {
    store({user_pair(L"/Other", made("work").wstring()),
           user_pair(L"/Opened", made("copy").wstring(), 2)});
    enter(L"Albums");
    std::vector<std::wstring> shown;
    on_sync_page(L"Photos", {(base_ / "work").wstring(), (base_ / "copy").wstring()},
                 [&](HWND sheet, HWND page) {
                     win_test::press(page, remote_browse);
                     shown.push_back(win_test::text(GetDlgItem(page, remote_local_folder)));
                     // Inside an opened copy's one-time pair: not a pair the
                     // person made.
                     win_test::press(page, remote_browse);
                     shown.push_back(win_test::text(GetDlgItem(page, remote_local_folder)));
                     win_test::press(sheet, IDOK);
                 });
    EXPECT_EQ(wrong_path_boxes(), 1u);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[0], (base_ / "work" / "Photos").wstring());
    EXPECT_EQ(shown[1], (base_ / "copy" / "Photos").wstring());

    // Around a pair: "work" in the folder that holds the other pair's.
    win_test::clear_message_boxes();
    std::wstring kept;
    on_sync_page(L"work", {base_.wstring()}, [&](HWND, HWND page) {
        const std::wstring before = win_test::text(GetDlgItem(page, remote_local_folder));
        win_test::press(page, remote_browse);
        kept = win_test::text(GetDlgItem(page, remote_local_folder)) == before ? before : L"";
    });
    EXPECT_EQ(wrong_path_boxes(), 1u);
    EXPECT_FALSE(kept.empty()) << "the local folder stays as it was";

    // A pair another page made meanwhile is met on Apply: nothing written,
    // the sheet stays.
    win_test::clear_message_boxes();
    const fs::path later = made("later");
    bool stayed_open = false;
    on_sync_page(L"etc", {later.wstring()}, [&](HWND sheet, HWND page) {
        win_test::press(page, remote_browse);
        store({user_pair(L"/Elsewhere", (later / "etc").wstring())});
        win_test::press(sheet, IDOK);
        stayed_open = IsWindow(sheet);
    });
    EXPECT_TRUE(stayed_open);
    EXPECT_EQ(wrong_path_boxes(), 1u);
    for (const binding& b : stored()) EXPECT_NE(b.dir_remote, L"/Albums/etc");
}

TEST_F(ShellSyncPages, RemoteNamesThatCannotBeLocalNamesAreNeverBound) {
    for (const char* name : {"..", "a\\b"})
        env_.service().control("add_folder", calvimora::testing::json_object()
                                                 .set("owner_id", user_)
                                                 .set("parent_id", albums_)
                                                 .set("name", name)
                                                 .set("unchecked_name", true));
    enter(L"Albums");
    for (const std::wstring& name : {std::wstring(L".."), std::wstring(L"a\\b")}) {
        win_test::clear_message_boxes();
        bool stayed_open = false;
        on_sync_page(name, {made("chosen").wstring()}, [&](HWND sheet, HWND page) {
            win_test::press(page, remote_browse);
            win_test::press(sheet, IDOK);
            stayed_open = IsWindow(sheet);
        });
        EXPECT_TRUE(stayed_open);
        EXPECT_EQ(wrong_path_boxes(), 2u) << "at the browser and on Apply";
    }
    EXPECT_TRUE(stored().empty());
}

TEST_F(ShellSyncPages, BothPagesWriteNativePathsAndReadTheOlderForm) {
    enter(L"Albums");
    const fs::path mine = made("mine");
    on_sync_page(L"Photos", {mine.wstring()}, [&](HWND sheet, HWND page) {
        win_test::press(page, remote_browse);
        win_test::press(sheet, IDOK);
    });
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored()[0].dir_local, (mine / "Photos").wstring());

    // A table of an earlier version, with "\": shown and rewritten native.
    std::wstring older = (made("old") / "etc").wstring();
    std::replace(older.begin(), older.end(), L'/', L'\\');
    store({user_pair(L"/Albums/etc", older)});
    std::wstring shown;
    on_sync_page(L"etc", {}, [&](HWND sheet, HWND page) {
        shown = win_test::text(GetDlgItem(page, remote_local_folder));
        win_test::press(page, 507);  // Backup
        win_test::press(sheet, IDOK);
    });
    EXPECT_EQ(shown, (base_ / "old" / "etc").wstring());
    for (const binding& b : stored()) {
        if (b.dir_remote == L"/Albums/etc") {
            EXPECT_EQ(b.dir_local, (base_ / "old" / "etc").wstring());
        }
    }

    // The page of local items, given the shell's "\" paths.
    const fs::path local = made("local");
    ASSERT_EQ(synchronize_local({local.wstring()}), S_OK);
    bool found = false;
    for (const binding& b : stored())
        if (b.dir_remote == L"/Albums/local") {
            found = true;
            EXPECT_EQ(b.dir_local, local.wstring());
        }
    EXPECT_TRUE(found);
}

TEST_F(ShellSyncPages, TheLocalPageRefusesTheSameFoldersOnApply) {
    store({user_pair(L"/Other", made("work").wstring())});
    const fs::path inner = made("work/inner");
    for (const std::wstring& path :
         {std::wstring(L"/etc"), std::wstring(L"/usr/share"),
          fs::path(win_machine::profile_dir()).wstring(),
          fs::path(win_machine::app_data_dir()).wstring(), inner.wstring(), base_.wstring()}) {
        win_test::clear_message_boxes();
        EXPECT_EQ(synchronize_local({path}), S_OK);
        EXPECT_EQ(wrong_path_boxes(), 1u) << win_file::native_path(path);
    }
    ASSERT_EQ(stored().size(), 1u) << "only the pair there was";
    EXPECT_EQ(stored()[0].dir_remote, L"/Other");
}

TEST_F(ShellSyncPages, TheLocalPagesRemoteFolderNeverTakesANameThatCannotBeLocal) {
    env_.service().control("add_folder", calvimora::testing::json_object()
                                             .set("owner_id", user_)
                                             .set("parent_id", "0")
                                             .set("name", "..\\..\\evil")
                                             .set("unchecked_name", true));
    const fs::path profile = made("profile");
    ASSERT_EQ(synchronize_local({profile.wstring()}), S_OK);
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored()[0].dir_remote, L"/Albums/profile");
}

// A dropped path is read whole, however long.
TEST_F(ShellSyncPages, ALongLocalPathIsBoundWhole) {
    const fs::path deep =
        made(std::string(120, 'a') + "/" + std::string(120, 'b') + "/" + std::string(60, 'c'));
    ASSERT_GT(deep.wstring().size(), 300u);
    ASSERT_EQ(synchronize_local({deep.wstring()}), S_OK);
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored()[0].dir_local, deep.wstring());
    EXPECT_EQ(stored()[0].dir_remote, L"/Albums/" + std::wstring(60, L'c'));
}

}  // namespace
