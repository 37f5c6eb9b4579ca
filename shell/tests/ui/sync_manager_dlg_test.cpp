// The sync manager dialog over the user's real binding table, logged in
// with the stand-in service and the real session handler, driven by
// scripts that click and press as a person would.
#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include "folder/module/folder_session.h"
#include "syncer/tables/binding_manager.h"
#include "ui/sync_manager_dlg.h"
#include "vfs/calvimora_exception.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/test_journal.h"
#include "win/win_test.h"

namespace {

using syncer::binding;

binding permanent(const std::wstring& remote, const std::wstring& local, const std::wstring& file,
                  int type = binding::type_user_choice, int mode = 1) {
    return binding(type, mode, remote, local, file, syncer::sync_permission::yes,
                   binding::default_rule(), false, L"");
}

struct row {
    std::wstring name, local, remote;
    bool operator==(const row&) const = default;
};

std::vector<row> rows_of(HWND dialog) {
    HWND list = win_test::control(dialog, IDC_SYNC_MANAGER_LIST);
    std::vector<row> rows;
    for (int i = 0; i < ListView_GetItemCount(list); ++i) {
        wchar_t texts[3][260] = {};
        for (int c = 0; c < 3; ++c) ListView_GetItemText(list, i, c, texts[c], 260);
        rows.push_back({texts[0], texts[1], texts[2]});
    }
    return rows;
}

// Clicks into a row of the list and lets the dialog see it.
void click_row(HWND dialog, int index) {
    HWND list = win_test::control(dialog, IDC_SYNC_MANAGER_LIST);
    RECT cell{};
    ASSERT_TRUE(ListView_GetSubItemRect(list, index, 1, LVIR_LABEL, &cell));
    POINT p{cell.left + 10, (cell.top + cell.bottom) / 2};
    ClientToScreen(list, &p);
    win_test::click(p);
    win_test::pump();
}

class SyncManager : public ::testing::Test {
protected:
    SyncManager() {
        vfs_session_testing::store_pc_id(L"0f8fad5b-d9cb-469f-a165-70867728950e");
        env_.service().add_user("alice", "secret");
    }

    void log_in() {
        vfs_session_testing::login_once_session_is_up(vfs_session_testing::test_module(), L"alice",
                                                      L"secret");
    }

    // Two listed bindings, a folder's and a file's, among three that are not.
    void seed_table() {
        syncer::binding_manager table(L"alice", true);
        table.add_binding(permanent(L"/docs", L"/home/alice/docs", L""));
        table.add_binding(permanent(L"/music", L"/home/alice/music", L"song.mp3"));
        table.add_binding(
            permanent(L"/once", L"/home/alice/once", L"", binding::type_user_choice, 0));
        table.add_binding(
            permanent(L"/saved", L"/home/alice/saved", L"", binding::type_saved_files));
        table.add_binding(permanent(L"/up", L"/home/alice/up", L"", binding::type_upload_only));
        table.save();
    }

    static syncer::binding_set stored() {
        return syncer::binding_manager(L"alice", true).get_bindings();
    }

    static bool forced(const std::wstring& remote) {
        for (const binding& b : stored())
            if (b.dir_remote == remote) return b.force_sync_once;
        return false;
    }

    static bool has(const std::wstring& remote) {
        for (const binding& b : stored())
            if (b.dir_remote == remote) return true;
        return false;
    }

    // Runs the dialog with the script, which ends it by pressing Close.
    INT_PTR run(const std::function<void(HWND)>& script) {
        win_test::scoped_dialog_responder responder([&](HWND dialog) {
            script(dialog);
            win_test::press(dialog, IDCANCEL);
        });
        CDialogSyncManager dialog;
        return dialog.DoModal(nullptr);
    }

    const std::vector<row> listed{{L"<dir>", L"/home/alice/docs", L"/docs"},
                                  {L"song.mp3", L"/home/alice/music", L"/music"}};

    // Boxes answered OK, kept as "caption|text".
    std::vector<std::wstring> boxes_;
    win_test::scoped_message_box_responder box_answers_{
        [this](const std::wstring& text, const std::wstring& caption, UINT) {
            boxes_.push_back(caption + L"|" + text);
            return IDOK;
        }};
    vfs_session_testing::environment env_;
    vfs_session_testing::tray_stand_in tray_;
};

TEST_F(SyncManager, ListsThePermanentBindingsOfTheUserAndKeepsOpenOnEnter) {
    log_in();
    seed_table();
    std::vector<row> seen;
    std::wstring caption;
    win_test::scoped_dialog_responder responder([&](HWND dialog) {
        seen = rows_of(dialog);
        caption = win_test::text(dialog);
        win_test::press_key(VK_RETURN);
        win_test::pump();
        win_test::press_key(VK_ESCAPE);
        win_test::pump();
    });
    CDialogSyncManager dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
    EXPECT_EQ(seen, listed);
    EXPECT_EQ(caption, L"Calvimora synchronization manager");
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(SyncManager, OneTimeSyncFlagsTheChosenBindingOnly) {
    log_in();
    seed_table();
    EXPECT_EQ(run([&](HWND dialog) {
                  // No row chosen yet: nothing happens.
                  win_test::press(dialog, IDC_SYNC_MANAGER_SYNC_ONCE);
                  EXPECT_FALSE(forced(L"/docs") || forced(L"/music"));
                  click_row(dialog, 1);
                  win_test::press(dialog, IDC_SYNC_MANAGER_SYNC_ONCE);
              }),
              IDCANCEL);
    EXPECT_TRUE(forced(L"/music"));
    EXPECT_FALSE(forced(L"/docs"));
    EXPECT_EQ(stored().size(), 5u);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(SyncManager, CancelRemovesTheRowAndTheBindingAndTheOtherRowsStillWork) {
    log_in();
    seed_table();
    std::vector<row> after;
    bool buttons_off_without_selection = false;
    run([&](HWND dialog) {
        click_row(dialog, 0);
        win_test::press(dialog, IDC_SYNC_MANAGER_CANCEL_SYNC);
        after = rows_of(dialog);
        // The row that is left still stands for its own binding.
        click_row(dialog, 0);
        win_test::press(dialog, IDC_SYNC_MANAGER_SYNC_ONCE);
        // A click off the rows clears the selection and the buttons.
        HWND list = win_test::control(dialog, IDC_SYNC_MANAGER_LIST);
        POINT below{20, 150};
        ClientToScreen(list, &below);
        win_test::click(below);
        win_test::pump();
        buttons_off_without_selection =
            !win_test::enabled(win_test::control(dialog, IDC_SYNC_MANAGER_SYNC_ONCE)) &&
            !win_test::enabled(win_test::control(dialog, IDC_SYNC_MANAGER_CANCEL_SYNC));
    });
    EXPECT_EQ(after, std::vector<row>{listed[1]});
    EXPECT_FALSE(has(L"/docs"));
    EXPECT_TRUE(forced(L"/music"));
    EXPECT_EQ(stored().size(), 4u);
    EXPECT_TRUE(buttons_off_without_selection);
}

TEST_F(SyncManager, AFolderAnEarlierTableWroteWithBackslashesShowsNativeAndCanBeCancelled) {
    log_in();
    {
        syncer::binding_manager table(L"alice", true);
        table.add_binding(permanent(L"/docs", L"\\home\\alice\\docs", L""));
        table.save();
    }
    std::vector<row> seen;
    run([&](HWND dialog) {
        seen = rows_of(dialog);
        click_row(dialog, 0);
        win_test::press(dialog, IDC_SYNC_MANAGER_CANCEL_SYNC);
    });
    EXPECT_EQ(seen, std::vector<row>{listed[0]});
    EXPECT_TRUE(stored().empty()) << "the stored form is the binding the row stands for";
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(SyncManager, ATableThatCannotBeWrittenIsReportedAndKeepsTheRow) {
    log_in();
    seed_table();
    // The table is written through its ".tmp" companion; a folder there
    // makes every write fail.
    const auto table = syncer::binding_manager::get_bindings_path(L"alice");
    const auto blocker = boost::filesystem::path(table.string() + ".tmp");
    boost::filesystem::create_directory(blocker);
    std::vector<row> after;
    run([&](HWND dialog) {
        click_row(dialog, 0);
        win_test::press(dialog, IDC_SYNC_MANAGER_CANCEL_SYNC);
        win_test::press(dialog, IDC_SYNC_MANAGER_SYNC_ONCE);
        after = rows_of(dialog);
    });
    boost::filesystem::remove(blocker);
    EXPECT_EQ(after, listed);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[0].substr(0, 23), L"Calvimora syncer error|");
    EXPECT_GT(boxes_[0].size(), 23u);
    // Nothing reached the table, not even when it was closed.
    EXPECT_TRUE(has(L"/docs"));
    EXPECT_FALSE(forced(L"/docs"));
    EXPECT_EQ(stored().size(), 5u);
}

TEST_F(SyncManager, NobodyLoggedInGivesAnEmptyList) {
    seed_table();
    std::vector<row> seen{{L"x", L"", L""}};
    run([&](HWND dialog) { seen = rows_of(dialog); });
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(boxes_.empty());
}

// A session whose user record cannot be read, failing as the service
// client fails.
class failing_session final : public folder_session {
public:
    bool is_logged_in() override { return true; }
    vfs::client_ptr get_client() override { return nullptr; }
    vfs::user_info get_user_info() override {
        throw vfs_calvimora::exception(L"Get user_info failed", L"The record is unreadable");
    }
    bool log_in_with_dialog(HWND) override { return false; }
};

TEST_F(SyncManager, AServiceFailureShowsItsText) {
    failing_session session;
    replace_folder_session(&session);
    run([](HWND) {});
    replace_folder_session(nullptr);
    EXPECT_EQ(boxes_,
              std::vector<std::wstring>{L"Calvimora syncer error|The record is unreadable"});
}

}  // namespace
