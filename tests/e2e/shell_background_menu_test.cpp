// The menu of the view's background as Explorer builds and runs it through
// the shell host, against the stand-in service: the items of each kind of
// folder, new folders made on the service and selected for renaming, the
// paste of a copy, and the folder's own sheet at its page.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "host_background_menu.h"
#include "item_transfer.h"
#include "shell_browser.h"
#include "shell_host.h"
#include "terminal_browser.h"
#include "utils/class_ids.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/commctrl.h"
#include "win/shell.h"
#include "win/shell_view2.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/win_test.h"

namespace {

using namespace vfs_session_testing;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

std::vector<std::wstring> texts_of(const std::vector<shell_host::menu_item>& items) {
    std::vector<std::wstring> texts;
    for (const auto& item : items) texts.push_back(item.separator ? L"-" : item.text);
    return texts;
}

// alice's storage: "Docs" (with "a.txt" and the folder "Sub") and the file
// "beta"; bob shares his folder "Plans" with her.
class ShellBackground : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(shell_host::register_server(module_path), S_OK);
        ASSERT_EQ(apartment_.status(), S_OK);
        auto& service = env_.service();
        const std::string alice = service.add_user("alice", "s3cret");
        const std::string bob = service.add_user("bob", "pw");
        const std::string docs = service.add_folder(alice, "0", "Docs");
        service.add_file(alice, docs, "a.txt", "a");
        service.add_folder(alice, docs, "Sub");
        beta_ = service.add_file(alice, "0", "beta", "bee");
        service.add_share(bob, service.add_folder(bob, "0", "Plans"), alice);
        vfs_calvimora::login(test_module(), L"alice", L"s3cret");
        ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
        ASSERT_EQ(browser.list(), S_OK);
        win_test::clear_shell_notifications();
    }
    void TearDown() override {
        OleSetClipboard(nullptr);
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

    // The current folder's names, listed anew, in name order.
    std::vector<std::wstring> names() {
        EXPECT_EQ(browser.list(), S_OK);
        std::vector<std::wstring> listed;
        for (const auto& item : browser.items()) listed.push_back(item.name);
        std::sort(listed.begin(), listed.end());
        return listed;
    }

    std::vector<std::wstring> menu_texts() {
        std::vector<shell_host::menu_item> items;
        EXPECT_EQ(shell_host::background_menu(browser, items), S_OK);
        return texts_of(items);
    }

    environment env_;
    tray_stand_in tray_;
    shell_host::com_apartment apartment_;
    shell_host::shell_browser browser;
    std::string beta_;
};

TEST_F(ShellBackground, EachKindOfFolderOffersItsItems) {
    EXPECT_EQ(menu_texts(), (std::vector<std::wstring>{L"-", L"New Folder"}))
        << "the root is neither plain nor unfixed";
    ASSERT_EQ(browser.enter(index_of(L"Docs")), S_OK);
    EXPECT_EQ(menu_texts(), (std::vector<std::wstring>{L"-", L"New Folder", L"-", L"Share...",
                                                       L"Synchronize with Computer"}));
    ASSERT_EQ(browser.up(), S_OK);
    ASSERT_EQ(browser.enter(index_of(L"Trash")), S_OK);
    EXPECT_TRUE(menu_texts().empty());
    ASSERT_EQ(browser.up(), S_OK);
    ASSERT_EQ(browser.enter(index_of(L"Shared Folders")), S_OK);
    EXPECT_TRUE(menu_texts().empty());
    ASSERT_EQ(browser.enter(index_of(L"bob")), S_OK);
    EXPECT_TRUE(menu_texts().empty()) << "a users folder";
}

TEST_F(ShellBackground, NewFolderMakesNumberedFoldersOnTheServiceSelectedForRenaming) {
    ASSERT_EQ(browser.enter(index_of(L"Docs")), S_OK);
    ASSERT_EQ(shell_host::invoke_background_command(browser, L"New Folder"), S_OK);
    ASSERT_EQ(shell_host::invoke_background_command(browser, L"New Folder"), S_OK);
    EXPECT_EQ(names(),
              (std::vector<std::wstring>{L"New Folder", L"New Folder (2)", L"Sub", L"a.txt"}));
    const auto notices = win_test::shell_notifications();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].event, SHCNE_MKDIR);
    EXPECT_EQ(notices[1].event, SHCNE_MKDIR);
    const auto selections = win_test::folder_view_selections(browser.view());
    ASSERT_EQ(selections.size(), 2u);
    // From the view's own background: renamed where the menu was opened.
    EXPECT_EQ(selections[0].call, "SelectAndPositionItem");
    EXPECT_EQ(selections[0].name, L"New Folder");
    EXPECT_EQ(selections[1].name, L"New Folder (2)");
    EXPECT_EQ(selections[1].flags, SVSI_EDIT | SVSI_ENSUREVISIBLE | SVSI_TRANSLATEPT);

    // With the first name free again, it is taken before a third number.
    auto root = vfs_calvimora::get_client(test_module())->get_root_directory();
    auto docs = boost::dynamic_pointer_cast<vfs::directory>(root->get_item(L"Docs", true));
    docs->delete_item(docs->get_item(L"New Folder", true), false);
    ASSERT_EQ(shell_host::invoke_background_command(browser, L"NewFolder"), S_OK);
    EXPECT_EQ(names(),
              (std::vector<std::wstring>{L"New Folder", L"New Folder (2)", L"Sub", L"a.txt"}));
}

TEST_F(ShellBackground, PasteAfterACopyCopiesTheItemsAndALinkIsPastedAsACopy) {
    ASSERT_EQ(shell_host::copy_to_clipboard(browser, {index_of(L"beta")}, false), S_OK);
    ASSERT_EQ(browser.enter(index_of(L"Docs")), S_OK);
    ASSERT_EQ(shell_host::invoke_background_command(browser, L"Paste"), S_OK);
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Sub", L"a.txt", L"beta"}));

    // A clipboard that would take a copy or a link: a copy arrives.
    IDataObject* held = nullptr;
    ASSERT_EQ(OleGetClipboard(&held), S_OK);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
    *static_cast<DWORD*>(GlobalLock(block)) = DROPEFFECT_COPY | DROPEFFECT_LINK;
    GlobalUnlock(block);
    FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT)),
                     nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    ASSERT_EQ(held->SetData(&format, &medium, TRUE), S_OK);
    held->Release();
    ASSERT_EQ(browser.enter(index_of(L"Sub")), S_OK);
    ASSERT_EQ(shell_host::invoke_background_command(browser, L"Paste"), S_OK);
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"beta"}));
    ASSERT_EQ(browser.up(), S_OK);
    ASSERT_EQ(browser.up(), S_OK);
    EXPECT_EQ(index_of(L"beta") < browser.items().size(), true) << "the source stays";
    EXPECT_EQ(env_.service().file_content(beta_), "bee");
}

// The sheet the command opens, looked at on its own thread and cancelled.
struct seen_sheet {
    std::mutex lock;
    std::wstring caption;
    std::wstring selected_tab;
};

TEST_F(ShellBackground, ShareAndSynchronizeOpenTheFoldersSheetAtTheirPage) {
    ASSERT_EQ(browser.enter(index_of(L"Docs")), S_OK);
    for (const auto& [command, page] :
         {std::pair<std::wstring, std::wstring>{L"Share...", L"Sharing"},
          {L"Synchronize with Computer", L"Sync && Backup"}}) {
        seen_sheet seen;
        win_test::scoped_dialog_responder answer([&](HWND sheet) {
            win_test::pump();
            HWND tabs = GetDlgItem(sheet, 351);
            wchar_t text[64] = {};
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 64;
            TabCtrl_GetItem(tabs, TabCtrl_GetCurSel(tabs), &item);
            {
                std::lock_guard<std::mutex> hold(seen.lock);
                seen.caption = win_test::text(sheet);
                seen.selected_tab = text;
            }
            win_test::press(sheet, IDCANCEL);
        });
        ASSERT_EQ(shell_host::invoke_background_command(browser, command), S_OK);
        std::lock_guard<std::mutex> hold(seen.lock);
        EXPECT_EQ(seen.caption, L"Docs Properties") << std::string(command.begin(), command.end());
        EXPECT_EQ(seen.selected_tab, page);
    }
}

TEST_F(ShellBackground, APersonUsesTheBackgroundMenuOnTheTerminal) {
    const std::string docs = std::to_string(index_of(L"Docs"));
    browser.close();
    std::istringstream typed(
        "bg\ncd " + docs + "\nbg\nbg do New Folder\nbg do New Folder\nbg do Rename\nbg do\nquit\n");
    std::ostringstream shown;
    ASSERT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, typed, shown), 0);
    const std::string out = shown.str();
    EXPECT_NE(out.find("  ----\n  New Folder\n  ----\n  Paste\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  New Folder\n  ----\n  Share...\n  Synchronize with Computer\n  ----\n"
                       "  Paste\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("selected for renaming: New Folder\n"), std::string::npos) << out;
    EXPECT_NE(out.find("selected for renaming: New Folder (2)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("the background menu has no command \"Rename\""), std::string::npos) << out;
    EXPECT_NE(out.find("usage: bg | bg do TEXT"), std::string::npos) << out;
}

}  // namespace
