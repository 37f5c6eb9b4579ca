// The item menu's Delete and Restore as Explorer drives them through the
// shell host, against the stand-in service: what reaches the service, what
// the user is asked and shown, and what the shell is told.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "item_workers.h"
#include "shell_browser.h"
#include "shell_host.h"
#include "syncer/tables/binding_manager.h"
#include "terminal_browser.h"
#include "utils/class_ids.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/progress_dialog.h"
#include "win/shell.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace {

using namespace vfs_session_testing;
using calvimora::testing::request_fault;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

using request = std::pair<std::string, std::string>;  // action, item id

// alice's storage: "Docs" (with the folder "Sub" holding "c.txt", and
// "a.txt"), and the files "beta" and "gamma".
class ShellDelete : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(shell_host::register_server(module_path), S_OK);
        ASSERT_EQ(apartment_.status(), S_OK);
        auto& service = env_.service();
        user_ = service.add_user("alice", "s3cret");
        docs_ = service.add_folder(user_, "0", "Docs");
        sub_ = service.add_folder(user_, docs_, "Sub");
        c_ = service.add_file(user_, sub_, "c.txt", "see");
        a_ = service.add_file(user_, docs_, "a.txt", "a");
        beta_ = service.add_file(user_, "0", "beta", "b");
        gamma_ = service.add_file(user_, "0", "gamma", "g");
        vfs_calvimora::login(test_module(), L"alice", L"s3cret");
        ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
        ASSERT_EQ(browser.list(), S_OK);
        win_test::clear_progress_dialogs();
        win_test::clear_message_boxes();
        win_test::clear_shell_notifications();
    }
    void TearDown() override {
        win_test::set_progress_cancel_script(nullptr);
        browser.close();
        shell_host::unload_unused_servers();
    }

    size_t index_of(const std::wstring& name) {
        const auto& items = browser.items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].name == name) return i;
        ADD_FAILURE() << "no item named " << std::string(name.begin(), name.end());
        return items.size();
    }

    std::vector<std::wstring> names() {
        EXPECT_EQ(browser.list(), S_OK);
        std::vector<std::wstring> listed;
        for (const auto& item : browser.items()) listed.push_back(item.name);
        return listed;
    }

    // Moves items of the remote root to the trash as another program would.
    void trash(std::initializer_list<const wchar_t*> items) {
        auto root = vfs_calvimora::get_client(test_module())->get_root_directory();
        for (const wchar_t* name : items) root->delete_item(root->get_item(name, true), true);
    }

    void enter_trash() {
        ASSERT_EQ(browser.list(), S_OK);
        ASSERT_EQ(browser.enter(index_of(L"Trash")), S_OK);
    }

    // The requests that delete or restore, in order, with the item's id.
    std::vector<request> changes() {
        static const std::set<std::string> kinds{
            "move_dir_to_trash", "move_file_to_trash",     "remove_dir",
            "remove_file",       "restore_dir_from_trash", "restore_file_from_trash"};
        std::vector<request> seen;
        for (const auto& logged : env_.service().requests())
            if (kinds.contains(logged.action)) {
                const auto dir = logged.params.find("dir_id");
                const auto file = logged.params.find("file_id");
                seen.emplace_back(logged.action,
                                  logged.action.find("dir") != std::string::npos
                                      ? (dir == logged.params.end() ? "" : dir->second)
                                      : (file == logged.params.end() ? "" : file->second));
            }
        return seen;
    }

    static std::vector<LONG> notified_events() {
        std::vector<LONG> events;
        for (const auto& notice : win_test::shell_notifications()) events.push_back(notice.event);
        return events;
    }

    environment env_;
    tray_stand_in tray_;
    shell_host::com_apartment apartment_;
    shell_host::shell_browser browser;
    std::string user_, docs_, sub_, c_, a_, beta_, gamma_;
};

TEST_F(ShellDelete, InAFolderEachSelectedItemGoesToTheTrashWithOneRequest) {
    env_.service().requests(true);
    ASSERT_EQ(shell_host::delete_items(browser, {index_of(L"Docs"), index_of(L"beta")}), S_OK);

    // Nothing below the folder is touched, although the count covers it.
    EXPECT_EQ(changes(),
              (std::vector<request>{{"move_dir_to_trash", docs_}, {"move_file_to_trash", beta_}}));
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Delete Multiple Items");
    EXPECT_EQ(boxes[0].text, "Are you sure you want to move these 2 items to the Trash?");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
    const auto dialogs = win_test::progress_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].title, L"Deleting...");
    EXPECT_EQ(dialogs[0].line1_history,
              (std::vector<std::wstring>{L"Preparing to delete...", L"Deleting 'Docs'",
                                         L"Deleting 'beta'"}));
    EXPECT_EQ(dialogs[0].total, 5u);
    EXPECT_EQ(dialogs[0].completed, 2u);
    EXPECT_TRUE(dialogs[0].stopped);
    ASSERT_FALSE(win_test::shell_notifications().empty());
    EXPECT_EQ(win_test::shell_notifications().back().event, SHCNE_UPDATEDIR);

    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Trash", L"gamma"}));
    enter_trash();
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Docs", L"beta"}));
}

TEST_F(ShellDelete, InTheTrashAFolderGoesForGoodDepthFirst) {
    trash({L"Docs"});
    enter_trash();
    env_.service().requests(true);
    ASSERT_EQ(shell_host::delete_items(browser, {index_of(L"Docs")}), S_OK);

    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Delete Folder");
    EXPECT_EQ(boxes[0].text, "Are you sure you want to permanently delete this folder?");
    EXPECT_EQ(changes(), (std::vector<request>{{"remove_file", c_},
                                               {"remove_dir", sub_},
                                               {"remove_file", a_},
                                               {"remove_dir", docs_}}));
    const auto dialogs = win_test::progress_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].total, 4u);
    EXPECT_EQ(dialogs[0].completed, 4u);
    EXPECT_TRUE(names().empty());
}

// A folder shown in the trash is in the trash with all it holds: what is
// deleted there is removed for good, bottom-up, after asking so.
TEST_F(ShellDelete, InAFolderShownInTheTrashItemsGoForGood) {
    trash({L"Docs"});
    enter_trash();
    ASSERT_EQ(browser.enter(index_of(L"Docs")), S_OK);
    env_.service().requests(true);
    ASSERT_EQ(shell_host::delete_items(browser, {index_of(L"a.txt")}), S_OK);
    ASSERT_EQ(win_test::message_boxes().size(), 1u) << "no failure to retry";
    EXPECT_EQ(win_test::message_boxes()[0].text,
              "Are you sure you want to permanently delete this file?");
    EXPECT_EQ(changes(), (std::vector<request>{{"remove_file", a_}}));
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Sub"}));

    // A folder in it: its contents first.
    env_.service().requests(true);
    ASSERT_EQ(shell_host::delete_items(browser, {index_of(L"Sub")}), S_OK);
    EXPECT_EQ(win_test::message_boxes().back().text,
              "Are you sure you want to permanently delete this folder?");
    EXPECT_EQ(changes(), (std::vector<request>{{"remove_file", c_}, {"remove_dir", sub_}}));
    EXPECT_TRUE(names().empty());
    ASSERT_EQ(browser.up(), S_OK);
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Docs"})) << "the emptied folder stays";
}

TEST_F(ShellDelete, OfTwoItemsOfOneNameInTheTrashOnlyTheSelectedGoes) {
    // Told apart by their sizes in the listing.
    auto& service = env_.service();
    service.add_generated_file(user_, "0", "dup.txt", 1000, 1);
    trash({L"dup.txt"});
    const std::string larger = service.add_generated_file(user_, "0", "dup.txt", 5000, 2);
    trash({L"dup.txt"});
    enter_trash();
    size_t selected = browser.items().size();
    for (size_t i = 0; i < browser.items().size(); ++i)
        if (browser.items()[i].columns[2] == L"5 KB") selected = i;
    ASSERT_LT(selected, browser.items().size());

    service.requests(true);
    ASSERT_EQ(shell_host::delete_items(browser, {selected}), S_OK);
    EXPECT_EQ(win_test::message_boxes().at(0).caption, "Delete File");
    EXPECT_EQ(win_test::message_boxes().at(0).text,
              "Are you sure you want to permanently delete this file?");
    EXPECT_EQ(changes(), (std::vector<request>{{"remove_file", larger}}));
    ASSERT_EQ(browser.list(), S_OK);
    ASSERT_EQ(browser.items().size(), 1u);
    EXPECT_EQ(browser.items()[0].columns[2], L"1 KB");
}

TEST_F(ShellDelete, NoAndCancelWhileCountingDeleteNothing) {
    env_.service().requests(true);
    {
        win_test::scoped_message_box_responder no(
            [](const std::wstring&, const std::wstring&, UINT) { return IDNO; });
        EXPECT_EQ(shell_host::delete_items(browser, {index_of(L"beta")}), S_OK);
    }
    EXPECT_TRUE(win_test::progress_dialogs().empty());
    EXPECT_TRUE(win_test::shell_notifications().empty());

    // Cancelled as the count reaches the folder's sub-folder.
    win_test::set_progress_cancel_script(
        [](const win_test::progress_record& dialog) { return dialog.cancel_checks >= 3; });
    ASSERT_EQ(shell_host::delete_items(browser, {index_of(L"Docs"), index_of(L"beta")}), S_OK);
    EXPECT_TRUE(changes().empty());
    const auto dialogs = win_test::progress_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].stopped);
    EXPECT_EQ(dialogs[0].completed, 0u);
    EXPECT_EQ(notified_events(), std::vector<LONG>{SHCNE_UPDATEDIR});
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Docs", L"Trash", L"beta", L"gamma"}));
}

TEST_F(ShellDelete, RetryRepeatsARefusedDeleteAndCancelEndsTheJobKeepingEarlierOnes) {
    auto& service = env_.service();
    request_fault refused;
    refused.target = "move_file_to_trash";
    refused.kind = "error";
    refused.count = 0;  // every time
    refused.skip = 1;   // "beta" goes through
    service.arm(refused);
    std::vector<int> answers{IDRETRY, IDCANCEL};
    std::vector<std::string> asked;
    win_test::scoped_message_box_responder responder(
        [&](const std::wstring& text, const std::wstring& caption, UINT) {
            if (caption != L"Error") return IDYES;
            asked.push_back(std::string(text.begin(), text.end()));
            const int answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        });
    service.requests(true);
    ASSERT_EQ(shell_host::delete_items(browser, {index_of(L"beta"), index_of(L"gamma")}), S_OK);
    service.disarm();

    EXPECT_EQ(changes(), (std::vector<request>{{"move_file_to_trash", beta_},
                                               {"move_file_to_trash", gamma_},
                                               {"move_file_to_trash", gamma_}}));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[0].starts_with("Can't delete 'gamma': ")) << asked[0];
    EXPECT_EQ(asked[1], asked[0]);
    EXPECT_EQ(win_test::progress_dialogs().at(0).completed, 1u);
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Docs", L"Trash", L"gamma"}));
}

TEST_F(ShellDelete, RestoredItemsAreBackInTheirFoldersWithANoticeEachAndOneForTheFolder) {
    trash({L"Docs", L"beta"});
    enter_trash();
    ASSERT_EQ(browser.items().size(), 2u);
    env_.service().requests(true);
    EXPECT_EQ(shell_host::restore_items(browser, {0, 1}), S_OK);
    EXPECT_EQ(changes(), (std::vector<request>{{"restore_dir_from_trash", docs_},
                                               {"restore_file_from_trash", beta_}}));
    EXPECT_EQ(notified_events(), (std::vector<LONG>{SHCNE_DELETE, SHCNE_DELETE, SHCNE_UPDATEDIR}));
    EXPECT_TRUE(win_test::message_boxes().empty());
    EXPECT_TRUE(names().empty());
    ASSERT_EQ(browser.up(), S_OK);
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Docs", L"Trash", L"beta", L"gamma"}));
}

TEST_F(ShellDelete, RestoreOutsideTheTrashIsRefused) {
    env_.service().requests(true);
    EXPECT_EQ(shell_host::restore_items(browser, {index_of(L"beta")}), E_INVALIDARG);
    EXPECT_TRUE(changes().empty());
    EXPECT_TRUE(win_test::shell_notifications().empty());
}

TEST_F(ShellDelete, ARestoreRefusedAtTheSecondItemKeepsTheFirstAndShowsOneBox) {
    trash({L"Docs", L"beta"});
    enter_trash();
    request_fault refused;
    refused.target = "restore_file_from_trash";
    refused.kind = "error";
    env_.service().arm(refused);
    EXPECT_EQ(shell_host::restore_items(browser, {0, 1}), E_FAIL);
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(notified_events(), std::vector<LONG>{SHCNE_DELETE});
    EXPECT_EQ(names(), std::vector<std::wstring>{L"beta"});
    ASSERT_EQ(browser.up(), S_OK);
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Docs", L"Trash", L"gamma"}));
}

}  // namespace

TEST_F(ShellDelete, APersonDeletesRestoresAndAsksAboutOverlaysOnTheTerminal) {
    browser.close();
    {
        syncer::binding_manager table(L"alice", true);
        table.add_binding(syncer::binding(
            syncer::binding::type_user_choice, 1, L"Docs", L"C:\\Users\\alice\\Docs", L"",
            syncer::sync_permission::yes, syncer::binding::default_rule(), false, L""));
    }
    // The root lists Docs, Trash, beta, gamma.
    std::istringstream typed(
        "rm 2\ncd 1\nrestore 0\ncd ..\nrestore 2\nrm\noverlay C:/Users/alice/Docs\n"
        "overlay C:\\Users\\alice\\docs\nquit\n");
    std::ostringstream shown;
    ASSERT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, typed, shown), 0);
    const std::string text = shown.str();
    EXPECT_NE(text.find("rm N[,M..]"), std::string::npos) << "help lists the commands";
    EXPECT_EQ(win_test::message_boxes().at(0).text,
              "Are you sure you want to move this file to the Trash?");
    EXPECT_NE(text.find("only items of the trash can be restored"), std::string::npos) << text;
    EXPECT_NE(text.find("usage: rm N[,M..]"), std::string::npos) << text;
    EXPECT_NE(text.find("Calvimora_ShellOverlayIcon: marked\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Calvimora_ShellOverlayIcon: not marked\n"), std::string::npos) << text;
    // beta went to the trash and came back.
    EXPECT_EQ(changes(), (std::vector<request>{{"move_file_to_trash", beta_},
                                               {"restore_file_from_trash", beta_}}));
}
