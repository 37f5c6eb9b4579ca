// The sync page of remote items while the real tray program runs: a remote
// folder bound through the page, its local folder chosen in the folder
// browser, is picked up by the tray's running engine, which brings the
// remote files into that folder.
#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <sstream>

#include "folder/item_ids/item_id_list.h"
#include "folder/module/failure_text.h"
#include "folder/module/folder_session.h"
#include "stand_in_sheet.h"
#include "syncer/core/paths.h"
#include "syncer/tables/binding_manager.h"
#include "tray_process_support.h"
#include "ui/properties_sync.h"
#include "win/com.h"
#include "win/shell_browse.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/win_test.h"

namespace tray_process_testing {
namespace {

std::string read_file(const fs::path& path) {
    std::ifstream in(path.string(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<syncer::binding> bindings_of(const std::wstring& remote) {
    std::vector<syncer::binding> found;
    syncer::binding_manager table(L"alice", true);
    for (const syncer::binding& b : table.get_bindings())
        if (b.dir_remote == remote) found.push_back(b);
    return found;
}

using TraySyncPage = TrayProcessTest;

TEST_F(TraySyncPage, AFolderBoundOnThePageIsSyncedByTheRunningTray) {
    const std::string albums = service_.add_folder(user_id_, "0", "Albums");
    const std::string photos = service_.add_folder(user_id_, albums, "Photos");
    service_.add_file(user_id_, photos, "beach.jpg", "sand and sea");
    const fs::path mine = fs::path(root_.path()) / "mine";
    fs::create_directories(mine);

    tray_process tray;
    ASSERT_TRUE(eventually([] { return last_tray_icon() == 130; })) << "logged in";
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        // The tray shows itself logged in a moment before this process's
        // session answers: ask until it does.
        vfs::directory_ptr folder;
        vfs::item_ptr item;
        std::wstring failure;
        ASSERT_TRUE(eventually([&] {
            try {
                folder = current_folder_session().get_client()->get_item_by_path(L"Albums", false);
                item = folder->get_item(L"Photos", false);
                return true;
            } catch (...) {
                failure = current_failure().text;
                return false;
            }
        })) << std::string(failure.begin(), failure.end());
        sheet_selection selection;
        selection.folder_directory = folder;
        selection.items.Add(CItemIdList(make_pidl_data(item)).CreatePidl());
        shell_testing::stand_in_sheet sheet(L"Albums Properties");
        selection.sheet = sheet;
        CPropertiesItemSyncDlg page(selection);
        ASSERT_TRUE(page.Create(selection.sheet));
        ASSERT_EQ(page.Fill(CPropertiesItemSyncDlg::start_full_sync), S_OK);
        EXPECT_EQ(IsDlgButtonChecked(page.m_hWnd, IDC_SYNC_FULL), static_cast<UINT>(BST_CHECKED));

        win_test::scoped_dialog_responder script([&](HWND browser) {
            const std::wstring path = mine.wstring();
            SendDlgItemMessageW(browser, IDC_BROWSE_FOLDER_EDIT, EM_REPLACESEL, TRUE,
                                reinterpret_cast<LPARAM>(path.c_str()));
            SendDlgItemMessageW(browser, IDOK, BM_CLICK, 0, 0);
        });
        SendDlgItemMessageW(page.m_hWnd, IDC_SYNC_BROWSE, BM_CLICK, 0, 0);
        EXPECT_TRUE(sheet.apply_enabled());
        ASSERT_EQ(page.Apply(), S_OK);
        page.DestroyWindow();
    }
    CoUninitialize();
    EXPECT_TRUE(win_test::message_boxes().empty());

    const std::vector<syncer::binding> bound = bindings_of(L"/Albums/Photos");
    ASSERT_EQ(bound.size(), 1u);
    EXPECT_TRUE(syncer::paths_equal(bound.front().dir_local, (mine / "Photos").wstring()));
    // The running engine finds the new pair on its next scan; its questions
    // (Full Sync leaves them to the user) get their default answer, "Yes".
    EXPECT_TRUE(
        eventually([&] { return read_file(mine / "Photos" / "beach.jpg") == "sand and sea"; },
                   std::chrono::seconds(90)))
        << "the remote file arrived in the chosen folder";
}

}  // namespace
}  // namespace tray_process_testing
