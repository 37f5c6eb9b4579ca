// The context menu and the "Calvimora" page of local folders through the
// shell host while the real tray program runs: "Synchronize with
// Calvimora" binds a local folder to the remote folder the page chose,
// the tray's running engine brings the remote files into it; "Backup to
// Calvimora" chooses Backup; unchecking removes the page's binding and
// leaves the open worker's.
#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <sstream>

#include "host_local_items.h"
#include "shell_host.h"
#include "syncer/core/paths.h"
#include "syncer/tables/binding_manager.h"
#include "tray_process_support.h"
#include "win/commctrl.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/win_test.h"

namespace tray_process_testing {
namespace {

const std::wstring extension(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

constexpr int permanent_box = 508, full_sync = 509, backup = 510, remote_folder = 468;

std::string read_file(const fs::path& path) {
    std::ifstream in(path.string(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<syncer::binding> bindings_of(const std::wstring& local) {
    std::vector<syncer::binding> found;
    syncer::binding_manager table(L"alice", true);
    for (const syncer::binding& b : table.get_bindings())
        if (syncer::paths_equal(b.dir_local, local)) found.push_back(b);
    return found;
}

// What the page showed when the sheet came up.
struct page_state {
    bool permanent = false, full = false, backup = false;
    std::wstring remote;
};

// Runs the menu entry; the sheet it opens is looked at, the script's
// buttons pressed, and closed.
HRESULT run_entry(const std::wstring& path, const std::wstring& entry, page_state& seen,
                  std::function<void(HWND sheet, HWND page)> act) {
    win_test::scoped_dialog_responder script([&](HWND sheet) {
        if (!GetDlgItem(sheet, IDC_PROPSHEET_APPLY)) return;
        const HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        seen.permanent = IsDlgButtonChecked(page, permanent_box) == BST_CHECKED;
        seen.full = IsDlgButtonChecked(page, full_sync) == BST_CHECKED;
        seen.backup = IsDlgButtonChecked(page, backup) == BST_CHECKED;
        seen.remote = win_test::text(GetDlgItem(page, remote_folder));
        act(sheet, page);
        if (IsWindow(sheet)) win_test::press(sheet, IDCANCEL);
    });
    return shell_host::invoke_local_command({path}, entry);
}

using TrayLocalItems = TrayProcessTest;

TEST_F(TrayLocalItems, ALocalFolderSynchronizedThroughTheMenuIsSyncedByTheRunningTray) {
    ASSERT_EQ(shell_host::register_server(extension), S_OK);
    const std::string mine_remote = service_.add_folder(user_id_, documents_id_, "mine");
    service_.add_file(user_id_, mine_remote, "beach.jpg", "sand and sea");
    const fs::path mine = fs::path(root_.path()) / "mine";
    fs::create_directories(mine);
    const std::wstring path = mine.wstring();

    tray_process tray;
    ASSERT_TRUE(eventually([] { return last_tray_icon() == 130; })) << "logged in";
    {
        shell_host::com_apartment apartment;
        ASSERT_EQ(apartment.status(), S_OK);
        std::vector<shell_host::menu_item> items;
        ASSERT_EQ(shell_host::local_item_menu({path}, items), S_OK);
        std::vector<std::wstring> texts;
        for (const auto& item : items) texts.push_back(item.text);
        EXPECT_EQ(texts, (std::vector<std::wstring>{L"Backup to Calvimora",
                                                    L"Synchronize with Calvimora"}));

        // Backup chooses Backup; cancelled, nothing is written.
        page_state seen;
        EXPECT_EQ(run_entry(path, L"Backup to Calvimora", seen, [](HWND, HWND) {}), S_OK);
        EXPECT_TRUE(seen.permanent && seen.backup && !seen.full);
        EXPECT_TRUE(bindings_of(path).empty());

        seen = {};
        EXPECT_EQ(run_entry(path, L"Synchronize with Calvimora", seen,
                            [](HWND sheet, HWND) { win_test::press(sheet, IDOK); }),
                  S_OK);
        EXPECT_TRUE(seen.permanent && seen.full && !seen.backup);
        EXPECT_EQ(seen.remote, L"Calvimora\\Documents\\mine");
    }
    const std::vector<syncer::binding> bound = bindings_of(path);
    ASSERT_EQ(bound.size(), 1u);
    EXPECT_EQ(bound.front().dir_remote, L"/Documents/mine");
    EXPECT_EQ(bound.front()._mode, 1);
    // The running engine finds the pair on its next scan; its questions
    // (Full Sync leaves them to the user) get their default answer.
    EXPECT_TRUE(eventually([&] { return read_file(mine / "beach.jpg") == "sand and sea"; },
                           std::chrono::seconds(90)))
        << "the remote file arrived in the local folder";

    // An opened copy's one-time binding of the same folder is not the
    // page's: unchecking and applying leaves it.
    {
        syncer::binding_manager table(L"alice", true);
        syncer::binding once(syncer::binding::type_user_choice, 2, L"/Documents/other", path, L"",
                             syncer::sync_permission::not_set, {}, false, L"");
        table.add_binding(once);
        table.save();
    }
    {
        shell_host::com_apartment apartment;
        page_state seen;
        // The items' own sheet shows the binding.
        {
            win_test::scoped_dialog_responder script([&](HWND sheet) {
                if (!GetDlgItem(sheet, IDC_PROPSHEET_APPLY)) return;
                const HWND page = PropSheet_GetCurrentPageHwnd(sheet);
                seen.permanent = IsDlgButtonChecked(page, permanent_box) == BST_CHECKED;
                seen.full = IsDlgButtonChecked(page, full_sync) == BST_CHECKED;
                seen.remote = win_test::text(GetDlgItem(page, remote_folder));
                win_test::press(sheet, IDCANCEL);
            });
            EXPECT_EQ(shell_host::open_local_properties({path}), S_OK);
        }
        EXPECT_TRUE(seen.permanent && seen.full);
        EXPECT_EQ(seen.remote, L"Calvimora\\Documents\\mine");
        EXPECT_EQ(run_entry(path, L"Synchronize with Calvimora", seen,
                            [](HWND sheet, HWND page) {
                                win_test::press(page, permanent_box);
                                win_test::press(sheet, IDOK);
                            }),
                  S_OK);
    }
    shell_host::unload_unused_servers();
    const std::vector<syncer::binding> left = bindings_of(path);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left.front()._mode, 2);
    EXPECT_TRUE(win_test::message_boxes().empty());
}

}  // namespace
}  // namespace tray_process_testing
