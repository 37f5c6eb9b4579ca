#include "ui/properties_sync.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "folder/item_ids/item_id_list.h"
#include "folder_fakes.h"
#include "stand_in_sheet.h"
#include "syncer/tables/binding_manager.h"
#include "ui/sync_manager_dlg.h"
#include "win/shell.h"
#include "win/shell_browse.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/win_test.h"

namespace {

using namespace shell_testing;
using syncer::binding;
using syncer::sync_permission;

// A folder whose remote path the test gives.
class pathed_folder : public steered_folder {
public:
    using steered_folder::steered_folder;
    std::wstring path;
    std::wstring get_path() override { return path; }
};

std::wstring with_backslashes(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// The test's paths are ASCII.
std::wstring wide(const std::string& native) {
    return std::wstring(native.begin(), native.end());
}

syncer::sync_rule backup_rule() {
    const sync_permission no = sync_permission::no, yes = sync_permission::yes;
    return syncer::sync_rule({yes, no, yes, no, no, no, no, no});
}

binding user_binding(const std::wstring& remote, const std::wstring& local,
                     const std::wstring& file, const syncer::sync_rule& rule = {}) {
    return binding(binding::type_user_choice, 1, remote, local, file, sync_permission::not_set,
                   rule, false, L"");
}

// The bindings' paths and kinds, to compare them.
std::vector<std::wstring> described(const std::vector<binding>& bindings) {
    std::vector<std::wstring> out;
    for (const binding& b : bindings)
        out.push_back(b.to_string() + L" type " + std::to_wstring(b._type) + L" mode " +
                      std::to_wstring(b._mode));
    return out;
}

class SyncPage : public FolderTest {
protected:
    SyncPage() {
        folder = boost::make_shared<pathed_folder>(item_values{L"Docs", L"id-Docs"});
        folder->path = L"/Docs";
        beta = make_steered(L"beta");
        gamma = make_steered(L"gamma");
        folder->children = {text_file, beta, gamma};
        documents = wide(win_machine::documents_dir());
    }
    ~SyncPage() override { page.reset(); }

    // The page of the items, made as the sheet makes it, and filled.
    HRESULT open(std::vector<vfs::item_ptr> items, int start_page = 0) {
        sheet_selection selection;
        selection.folder_directory = folder;
        for (const vfs::item_ptr& item : items)
            selection.items.Add(CItemIdList(make_pidl_data(item)).CreatePidl());
        selection.sheet = sheet;
        page = std::make_unique<CPropertiesItemSyncDlg>(selection);
        EXPECT_TRUE(page->Create(sheet));
        page->ShowWindow(SW_SHOW);
        return page->Fill(start_page);
    }

    HWND control(int id) const { return GetDlgItem(page->m_hWnd, id); }
    bool checked(int id) const { return IsDlgButtonChecked(page->m_hWnd, id) == BST_CHECKED; }
    std::wstring text(int id) const { return CWindow(control(id)).GetWindowText(); }
    bool apply_enabled() const { return sheet.apply_enabled(); }
    void click(int id) {
        SendMessageW(control(id), BM_CLICK, 0, 0);
        win_test::pump();
    }
    // Browse, with the text typed into the browser and OK pressed.
    void choose_in_browser(const std::wstring& path) {
        win_test::scoped_dialog_responder script([&](HWND browser) {
            wchar_t title[100];
            GetDlgItemTextW(browser, IDC_BROWSE_TITLE, title, 100);
            EXPECT_STREQ(title, L"Select Calvimora folder");
            const HWND edit = GetDlgItem(browser, IDC_BROWSE_FOLDER_EDIT);
            SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
            SendMessageW(GetDlgItem(browser, IDOK), BM_CLICK, 0, 0);
        });
        click(IDC_SYNC_BROWSE);
    }

    static syncer::binding_set table() {
        syncer::binding_manager bindings(L"alice", true);
        return bindings.get_bindings();
    }
    static void store(const std::vector<binding>& bindings) {
        syncer::binding_manager table(L"alice", true);
        for (const binding& b : bindings) table.add_binding(b);
        table.save();
    }
    static std::string table_file() {
        std::ifstream in(syncer::binding_manager::get_bindings_path(L"alice").native());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The user's bindings as the page lists them (the engine's own default
    // binding of files saved aside aside).
    static std::vector<binding> user_bindings() {
        std::vector<binding> out;
        for (const binding& b : table())
            if (b._type == binding::type_user_choice) out.push_back(b);
        return out;
    }

    boost::shared_ptr<pathed_folder> folder;
    boost::shared_ptr<steered_folder> beta, gamma;
    std::wstring documents;
    stand_in_sheet sheet;
    std::unique_ptr<CPropertiesItemSyncDlg> page;
};

TEST_F(SyncPage, StartingAtBackupOnAnUnboundFolderChoosesBackupAndWritesIt) {
    ASSERT_EQ(open({beta}, CPropertiesItemSyncDlg::start_backup), S_OK);
    EXPECT_EQ(text(IDC_SYNC_REMOTE_LOCATION), L"Calvimora\\Docs\\beta");
    EXPECT_EQ(text(IDC_SYNC_LOCAL_FOLDER), documents + L"/beta");
    EXPECT_TRUE(checked(IDC_SYNC_PERMANENT));
    EXPECT_TRUE(checked(IDC_SYNC_BACKUP));
    EXPECT_FALSE(checked(IDC_SYNC_FULL));
    EXPECT_TRUE(IsWindowEnabled(control(IDC_SYNC_FULL)));
    EXPECT_TRUE(IsWindowVisible(control(IDC_SYNC_BACKUP_NOTE)));
    EXPECT_TRUE(IsWindowVisible(control(IDC_SYNC_HIDDEN_NOTE)));
    EXPECT_FALSE(IsWindowVisible(control(IDC_SYNC_FULL_NOTE)));
    EXPECT_TRUE(apply_enabled());
    EXPECT_TRUE(page->IsModified());

    ASSERT_EQ(page->Apply(), S_OK);
    EXPECT_FALSE(page->IsModified());
    const std::vector<binding> written = user_bindings();
    ASSERT_EQ(written.size(), 1u);
    const binding& b = written.front();
    EXPECT_EQ(b.dir_remote, L"/Docs/beta");
    EXPECT_EQ(b.dir_local, documents + L"/beta");
    EXPECT_EQ(b.filename, L"");
    EXPECT_EQ(b._mode, 1);
    EXPECT_EQ(b.can_recourse_subdirs, sync_permission::not_set);
    EXPECT_EQ(b.rule, backup_rule());
    EXPECT_FALSE(b.force_sync_once);
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(SyncPage, AFileIsBoundInItsFolderAndSeveralFoldersEachInTheirOwn) {
    ASSERT_EQ(open({text_file}, CPropertiesItemSyncDlg::start_full_sync), S_OK);
    EXPECT_TRUE(checked(IDC_SYNC_FULL));
    EXPECT_TRUE(IsWindowVisible(control(IDC_SYNC_FULL_NOTE)));
    EXPECT_FALSE(IsWindowVisible(control(IDC_SYNC_BACKUP_NOTE)));
    // The full-sync note takes the backup note's place.
    RECT full{}, backup{};
    GetWindowRect(control(IDC_SYNC_FULL_NOTE), &full);
    GetWindowRect(control(IDC_SYNC_BACKUP_NOTE), &backup);
    EXPECT_EQ(full.top, backup.top);
    EXPECT_EQ(text(IDC_SYNC_LOCAL_FOLDER), documents + L"/a.txt");
    ASSERT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(described(user_bindings()), described({user_binding(L"/Docs", documents, L"a.txt")}));
    EXPECT_EQ(user_bindings().front().rule, syncer::sync_rule());

    ASSERT_EQ(open({beta, gamma}, CPropertiesItemSyncDlg::start_full_sync), S_OK);
    EXPECT_EQ(text(IDC_SYNC_REMOTE_LOCATION), L"Multiple Items");
    EXPECT_EQ(text(IDC_SYNC_LOCAL_FOLDER), documents);
    ASSERT_EQ(page->Apply(), S_OK);
    const std::vector<binding> written = user_bindings();
    ASSERT_EQ(written.size(), 3u);  // the file's, and one of each folder
    EXPECT_EQ(written[1].dir_local, documents + L"/beta");
    EXPECT_EQ(written[2].dir_local, documents + L"/gamma");
    EXPECT_EQ(written[2].dir_remote, L"/Docs/gamma");
    EXPECT_EQ(written[2].rule, syncer::sync_rule());
}

TEST_F(SyncPage, OneBindingIsShownAndAnUnchangedOneKeepsItsItemTable) {
    const std::wstring local = wide(root_.path());
    store({user_binding(L"/Docs/beta", local + L"/beta", L"", backup_rule())});
    const std::wstring items_table = user_bindings().front().items_filename;
    ASSERT_EQ(open({beta}), S_OK);
    EXPECT_EQ(text(IDC_SYNC_LOCAL_FOLDER), local + L"/beta");
    EXPECT_TRUE(checked(IDC_SYNC_PERMANENT));
    EXPECT_TRUE(checked(IDC_SYNC_BACKUP));
    EXPECT_FALSE(page->IsModified());
    EXPECT_FALSE(apply_enabled());

    // Chosen again as it was: the stored binding stays with its history.
    click(IDC_SYNC_FULL);
    click(IDC_SYNC_BACKUP);
    EXPECT_TRUE(page->IsModified());
    EXPECT_TRUE(apply_enabled());
    ASSERT_EQ(page->Apply(), S_OK);
    ASSERT_EQ(user_bindings().size(), 1u);
    EXPECT_EQ(user_bindings().front().items_filename, items_table);

    // Full Sync replaces it; applying twice changes nothing more.
    click(IDC_SYNC_FULL);
    EXPECT_FALSE(checked(IDC_SYNC_BACKUP));
    ASSERT_EQ(page->Apply(), S_OK);
    ASSERT_EQ(user_bindings().size(), 1u);
    EXPECT_EQ(user_bindings().front().rule, syncer::sync_rule());
    const std::string after = table_file();
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(table_file(), after);
}

TEST_F(SyncPage, TwoBindingsShowUncheckedAndApplyLeavesOneOrNone) {
    const std::wstring local = wide(root_.path());
    const binding other = user_binding(L"/Docs/gamma", local + L"/g", L"");
    store({user_binding(L"/Docs/beta", local + L"/one", L""),
           user_binding(L"/Docs", local + L"/two", L"beta"), other});
    ASSERT_EQ(open({beta}), S_OK);
    EXPECT_FALSE(checked(IDC_SYNC_PERMANENT));
    EXPECT_TRUE(checked(IDC_SYNC_FULL));
    EXPECT_FALSE(IsWindowEnabled(control(IDC_SYNC_FULL)));
    EXPECT_FALSE(IsWindowVisible(control(IDC_SYNC_FULL_NOTE)));
    EXPECT_EQ(text(IDC_SYNC_LOCAL_FOLDER), documents + L"/beta");

    click(IDC_SYNC_PERMANENT);
    EXPECT_TRUE(IsWindowEnabled(control(IDC_SYNC_FULL)));
    ASSERT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(described(user_bindings()),
              described({user_binding(L"/Docs/beta", documents + L"/beta", L""), other}));

    // Unchecked: the item's binding goes, nothing else.
    click(IDC_SYNC_PERMANENT);
    ASSERT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(described(user_bindings()), described({other}));
}

TEST_F(SyncPage, AFailedApplyLeavesTheTableAsItWasAndSaysSo) {
    const std::wstring local = wide(root_.path());
    // A copy of an opened file holds the paths the new binding would take,
    // so adding fails after the item's own binding was removed.
    binding copy = user_binding(L"/Docs/beta", documents + L"/beta", L"");
    copy._type = binding::type_open_copy;
    copy._mode = 2;
    store({user_binding(L"/Docs/beta", local + L"/old", L""), copy});
    const std::string before = table_file();
    ASSERT_EQ(open({beta}), S_OK);
    EXPECT_EQ(text(IDC_SYNC_LOCAL_FOLDER), local + L"/old");
    choose_in_browser(documents);
    ASSERT_EQ(text(IDC_SYNC_LOCAL_FOLDER), documents + L"/beta");
    EXPECT_EQ(page->Apply(), E_FAIL);
    EXPECT_EQ(table_file(), before);
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(win_test::message_boxes().back().caption, "Error saving bindings");
    EXPECT_TRUE(page->IsModified());
}

TEST_F(SyncPage, AFailedSaveIsReportedAndNothingIsWritten) {
    store({user_binding(L"/Docs/gamma", wide(root_.path()) + L"/g", L"")});
    const std::string before = table_file();
    const auto bindings_path = syncer::binding_manager::get_bindings_path(L"alice");
    // The temporary file cannot be made: a folder holds its name.
    std::filesystem::create_directory(bindings_path.native() + ".tmp");
    ASSERT_EQ(open({beta}, CPropertiesItemSyncDlg::start_full_sync), S_OK);
    EXPECT_EQ(page->Apply(), E_FAIL);
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(win_test::message_boxes().back().caption, "Error saving bindings");
    std::filesystem::remove(bindings_path.native() + ".tmp");
    EXPECT_EQ(table_file(), before);
    EXPECT_TRUE(page->IsModified());
    // Once the table can be written, the same Apply succeeds.
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(user_bindings().size(), 2u);
}

TEST_F(SyncPage, TheBrowserChoosesTheLocalFolderAndRefusesOthers) {
    ASSERT_EQ(open({beta}), S_OK);
    EXPECT_FALSE(page->IsModified());
    const std::string chosen = root_.path() + "/mine";
    std::filesystem::create_directories(chosen);
    choose_in_browser(wide(chosen));
    EXPECT_EQ(win_test::dialogs().back().caption, "Browse For Folder");
    EXPECT_EQ(win_test::dialogs().back().result, IDOK);
    const std::wstring local = wide(chosen) + L"/beta";
    EXPECT_EQ(text(IDC_SYNC_LOCAL_FOLDER), local);
    EXPECT_TRUE(page->IsModified());
    EXPECT_TRUE(apply_enabled());

    {
        choose_in_browser(L"\\\\server\\share");
        ASSERT_FALSE(win_test::message_boxes().empty());
        const win_test::message_box box = win_test::message_boxes().back();
        EXPECT_EQ(box.caption, "Wrong path selected");
        EXPECT_EQ(box.text,
                  "Calvimora cannot synchronize files with selected location. Please try again.");
        EXPECT_EQ(box.type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
        EXPECT_EQ(text(IDC_SYNC_LOCAL_FOLDER), local);
    }
    // Cancel keeps what was there.
    {
        win_test::scoped_dialog_responder script(
            [&](HWND browser) { SendMessageW(GetDlgItem(browser, IDCANCEL), BM_CLICK, 0, 0); });
        click(IDC_SYNC_BROWSE);
    }
    EXPECT_EQ(text(IDC_SYNC_LOCAL_FOLDER), local);

    click(IDC_SYNC_PERMANENT);
    ASSERT_EQ(page->Apply(), S_OK);
    ASSERT_EQ(user_bindings().size(), 1u);
    EXPECT_EQ(user_bindings().front().dir_local, local);
}

TEST_F(SyncPage, ApplyRefusesALocalFolderThatIsNoLongerOne) {
    ASSERT_EQ(open({beta}, CPropertiesItemSyncDlg::start_full_sync), S_OK);
    SetDlgItemTextW(page->m_hWnd, IDC_SYNC_LOCAL_FOLDER, L"relative\\beta");
    EXPECT_EQ(page->Apply(), E_FAIL);
    EXPECT_EQ(win_test::message_boxes().back().caption, "Wrong path selected");
    EXPECT_TRUE(user_bindings().empty());
}

TEST_F(SyncPage, AnItemThatCannotBeFoundDisablesThePage) {
    const auto gone = make_steered(L"gone");
    ASSERT_EQ(open({gone}, CPropertiesItemSyncDlg::start_full_sync), E_FAIL);
    EXPECT_FALSE(IsWindowEnabled(page->m_hWnd));
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(win_test::message_boxes().back().caption, "Error loading items");
    EXPECT_EQ(win_test::message_boxes().back().text, "No such item");
    EXPECT_FALSE(apply_enabled());
}

TEST_F(SyncPage, ManageSyncingTasksOpensTheSyncManagerOverTheSameTable) {
    store({user_binding(L"/Docs/gamma", wide(root_.path()) + L"/g", L"")});
    ASSERT_EQ(open({beta}), S_OK);
    int rows = -1;
    {
        win_test::scoped_dialog_responder script([&](HWND manager) {
            rows = ListView_GetItemCount(GetDlgItem(manager, IDC_SYNC_MANAGER_LIST));
            EndDialog(manager, IDCANCEL);
        });
        click(IDC_SYNC_MANAGE);
    }
    EXPECT_EQ(rows, 1);
    ASSERT_FALSE(win_test::dialogs().empty());
    EXPECT_EQ(win_test::dialogs().back().template_name, "2206");
    EXPECT_FALSE(page->IsModified());
}

TEST(LocalFolderRule, OnlyExistingAbsoluteLocalFolders) {
    win_machine::scoped_root root;
    const std::string folder = root.path() + "/folder";
    std::filesystem::create_directories(folder);
    std::ofstream(root.path() + "/file") << "x";
    const std::wstring base = wide(root.path());
    EXPECT_TRUE(is_syncable_local_folder(wide(folder)));
    EXPECT_TRUE(is_syncable_local_folder(with_backslashes(wide(folder)) + L"\\"));
    EXPECT_FALSE(is_syncable_local_folder(base + L"/file"));
    EXPECT_FALSE(is_syncable_local_folder(base + L"/missing"));
    EXPECT_FALSE(is_syncable_local_folder(base + L"/folder/../folder"));
    EXPECT_FALSE(is_syncable_local_folder(base + L"//folder"));
    EXPECT_FALSE(is_syncable_local_folder(L"folder"));
    EXPECT_FALSE(is_syncable_local_folder(L"C:\\"));
    EXPECT_FALSE(is_syncable_local_folder(L"\\\\server\\share"));
    EXPECT_FALSE(is_syncable_local_folder(L""));
}

}  // namespace
