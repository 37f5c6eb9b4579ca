// Pictures of the extension's controls for people to look at: a dialog
// with the currency edit holding a price and a link beside it, the link
// drawn over the dialog's background; the general pages of remote items
// (one file, one folder, two files, a folder with a file) and the sharing
// page of a folder with its users listed, filled from the stand-in service,
// each as a child of a plain window of the sheet's page size; the sync page
// in Full Sync and in Backup; the sync manager dialog with two bindings
// listed, the second chosen.
//
//   shell_ui_snapshots <folder>
#include <cstdio>
#include <filesystem>
#include <string>

#include <boost/pointer_cast.hpp>
#include <chrono>
#include <memory>

#include "folder/folder_object/shell_folder_impl.h"
#include "folder/icons/extract_icon.h"
#include "folder/item_ids/pidl_data.h"
#include "folder/module/folder_session.h"
#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "service_fixture.h"
#include "syncer/tables/binding_manager.h"
#include "ui/edit_currency.h"
#include "ui/properties_general.h"
#include "ui/properties_share.h"
#include "ui/properties_sync.h"
#include "ui/property_sheet.h"
#include "ui/snapshot_session.h"
#include "ui/sync_choice.h"
#include "ui/sync_manager_dlg.h"
#include "ui/url_static.h"
#include "vfs/calvimora_client.h"
#include "win/machine.h"
#include "win/user_dialog.h"
#include "win/win_test.h"

namespace {

constexpr WORD price_dialog_id = 100;
constexpr int price_label_id = 1001;
constexpr int price_edit_id = 1002;

INT_PTR CALLBACK keep_default(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

void register_dialog() {
    win_dialogs::dialog_template dialog;
    dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | WS_VISIBLE;
    dialog.cx = 220;
    dialog.cy = 64;
    dialog.caption = L"Price";
    dialog.controls.push_back(
        win_dialogs::left_text(price_label_id, L"Download price:", 8, 10, 70, 10));
    win_dialogs::control_template edit;
    edit.class_name = WC_EDITW;
    edit.id = price_edit_id;
    edit.style = WS_VISIBLE | WS_TABSTOP;
    edit.ex_style = WS_EX_CLIENTEDGE;
    edit.x = 80;
    edit.y = 8;
    edit.cx = 60;
    edit.cy = 13;
    dialog.controls.push_back(edit);
    dialog.controls.push_back(win_dialogs::default_push_button(IDOK, L"OK", 162, 40, 50, 14));
    win_dialogs::register_dialog(win_module::this_module(), price_dialog_id, dialog);
}

LRESULT CALLBACK plain_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcW(window, message, wparam, lparam);
}

// One item's icons: those of its type, as the folder's icon extractor gives
// them to the sheet.
void icons_of_type(const PIDLDATA& record, sheet_selection& selection) {
    IExtractIconW* extractor = nullptr;
    if (FAILED(create_extract_icon(record, &extractor))) return;
    extractor->Extract(nullptr, 0, &selection.large_icon, &selection.small_icon, 0);
    extractor->Release();
}

// One general page of the named items of the folder, filled, its workers
// done, as a picture.
template <typename Page>
bool general_page_picture(const vfs::directory_ptr& folder, const CItemIdList& folder_ids,
                          std::initializer_list<std::wstring> names, const std::string& path) {
    sheet_selection selection;
    selection.folder_directory = folder;
    selection.folder_ids = folder_ids;
    std::vector<PIDLDATA> records;
    for (const std::wstring& name : names) {
        const PIDLDATA record = make_pidl_data(folder->get_item(name, false));
        (record.type == vfs::item_type_directory ? selection.folder_count : selection.file_count)++;
        selection.items.Add(CItemIdList(record).CreatePidl());
        records.push_back(record);
    }
    // The page shows the icons its sheet gives it: the module's own for
    // several items (the sheet keeps them), those of its type for one.
    const CPropertiesFileDlg sheet(folder, folder_ids, selection.items, start_general);
    const bool one = records.size() == 1;
    if (one) {
        icons_of_type(records.front(), selection);
    } else {
        selection.large_icon = sheet.Selection().large_icon;
        selection.small_icon = sheet.Selection().small_icon;
    }
    HWND host = CreateWindowExW(0, L"CalvimoraSnapshotPage", L"", WS_POPUP | WS_VISIBLE, 40, 40, 10,
                                10, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    selection.sheet = host;
    auto page = std::make_unique<Page>(selection);
    HWND window = page->Create(host);
    if (!window) return false;
    RECT size;
    GetWindowRect(window, &size);
    SetWindowPos(host, nullptr, 0, 0, size.right - size.left, size.bottom - size.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window, SW_SHOW);
    page->Fill();
    win_test::pump_until([&] { return !page->WorkersRunning(); }, std::chrono::seconds(30));
    win_test::pump();
    const bool saved = win_test::save_png(host, path);
    page.reset();
    DestroyWindow(host);
    if (one)
        for (HICON icon : {selection.large_icon, selection.small_icon})
            if (icon) DestroyIcon(icon);
    if (saved) std::printf("%s\n", path.c_str());
    return saved;
}

// The sharing page at the size the sheet's tab gives its pages, inside a
// plain window, with three users: one of each mode and one the service
// keeps (no links on its row), the second selected; then the page editing
// that user's mode.
bool snapshot_sharing_page(const std::string& folder) {
    calvimora::testing::service service;
    service.export_url();
    const std::string owner = service.add_user("alice", "secret", "alice@example.com");
    const std::string shared = service.add_folder(owner, "0", "Holiday photos");
    service.add_share(owner, shared, service.add_user("bob", "x"), 0);
    service.add_share(owner, shared, service.add_user("carol.smith", "x"), 1);
    service.control("add_share", calvimora::testing::json_object()
                                     .set("owner_id", owner)
                                     .set("dir_id", shared)
                                     .set("user_id", service.add_user("team-archive", "x"))
                                     .set("mode", 0)
                                     .set("fixed", true));
    const auto session = vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-1");

    sheet_selection selection;
    selection.folder_directory = session->get_root_directory();
    const vfs::item_ptr item = selection.folder_directory->get_item(L"Holiday photos", true);
    selection.items.Add(CItemIdList(make_pidl_data(item)).CreatePidl());
    selection.folder_count = 1;
    icons_of_type(make_pidl_data(item), selection);

    // A plain window that takes the page's size once the page is made.
    HWND window = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr,
                                  nullptr, nullptr, nullptr);
    CPropertiesFileShareDlg page(selection);
    if (!page.Create(window) || FAILED(page.Fill())) {
        DestroyWindow(window);
        return false;
    }
    RECT size{};
    page.GetWindowRect(&size);
    SetWindowPos(window, nullptr, 0, 0, size.right - size.left, size.bottom - size.top,
                 SWP_NOZORDER | SWP_NOMOVE);
    page.ShowWindow(SW_SHOW);
    ListView_SetItemState(page.UserList(), 1, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    bool saved = true;
    const auto picture = [&](const char* name) {
        win_test::pump();
        const std::string path = folder + "/" + name;
        if (win_test::save_png(window, path))
            std::printf("%s\n", path.c_str());
        else
            saved = false;
    };
    picture("sharing_page_with_users.png");
    // The "CH" link of the selected user: the page edits that user's mode.
    SendMessageW(page, CShareUserList::edit_user_message, 0, 1);
    picture("sharing_page_editing_user.png");
    page.DestroyWindow();
    DestroyWindow(window);
    for (HICON icon : {selection.large_icon, selection.small_icon})
        if (icon) DestroyIcon(icon);
    return saved;
}

// The sync page of remote items in "Full Sync" and in "Backup", each as
// the child of a plain window of the sheet's page size, its controls set as
// a person would see them after choosing a local folder.
constexpr WORD sync_page_host_id = 101;

bool save_sync_page_pictures(const std::string& folder) {
    win_dialogs::dialog_template host;
    host.style = WS_POPUP | WS_VISIBLE | DS_SETFONT;
    host.cx = sync_page_width;
    host.cy = sync_page_height;
    win_dialogs::register_dialog(win_module::this_module(), sync_page_host_id, host);
    for (const bool backup : {false, true}) {
        HWND window =
            CreateDialogParamW(win_module::this_module(), MAKEINTRESOURCEW(sync_page_host_id),
                               nullptr, keep_default, 0);
        sheet_selection selection;
        CPropertiesItemSyncDlg page(selection);
        if (!window || !page.Create(window)) return false;
        page.ShowWindow(SW_SHOW);
        SetDlgItemTextW(page.m_hWnd, IDC_SYNC_REMOTE_LOCATION,
                        L"Calvimora\\Documents\\Holiday photos");
        SetDlgItemTextW(page.m_hWnd, IDC_SYNC_LOCAL_FOLDER, L"/home/anna/Pictures/Holiday photos");
        SendDlgItemMessageW(page.m_hWnd, IDC_SYNC_PERMANENT, BM_CLICK, 0, 0);
        SendDlgItemMessageW(page.m_hWnd, backup ? IDC_SYNC_BACKUP : IDC_SYNC_FULL, BM_CLICK, 0, 0);
        win_test::pump();
        const std::string path =
            folder + (backup ? "/sync_page_backup.png" : "/sync_page_full_sync.png");
        const bool saved = win_test::save_png(window, path);
        page.DestroyWindow();
        DestroyWindow(window);
        if (!saved) return false;
        std::printf("%s\n", path.c_str());
    }
    return true;
}

// The sync manager: a logged-in user with a folder's and a file's binding,
// as the sync pages store them (native local folders, remote folders in
// the service's form).
class pictured_session final : public folder_session {
public:
    bool is_logged_in() override { return true; }
    vfs::client_ptr get_client() override { return nullptr; }
    vfs::user_info get_user_info() override { return {L"1", L"", L"alice", L"en", L"1"}; }
    bool log_in_with_dialog(HWND) override { return false; }
};

bool save_sync_manager(const std::string& folder) {
    {
        syncer::binding_manager table(L"alice", true);
        // A folder in Full Sync, a file backed up.
        table.add_binding({syncer::binding::type_user_choice, 1, L"/Documents/Reports",
                           L"/home/alice/Documents/Reports", L"", syncer::sync_permission::not_set,
                           syncer::sync_rule(), false, L""});
        table.add_binding({syncer::binding::type_user_choice, 1, L"/Music", L"/home/alice/Music",
                           L"Evening song.mp3", syncer::sync_permission::not_set, backup_rule(),
                           false, L""});
        table.save();
    }
    pictured_session session;
    replace_folder_session(&session);
    CDialogSyncManager manager;
    HWND dialog = manager.Create(nullptr);
    replace_folder_session(nullptr);
    if (!dialog) return false;
    ShowWindow(dialog, SW_SHOW);
    HWND list = GetDlgItem(dialog, IDC_SYNC_MANAGER_LIST);
    SetFocus(list);
    ListView_SetItemState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    win_test::pump();
    const std::string path = folder + "/sync_manager.png";
    const bool saved = win_test::save_png(dialog, path);
    DestroyWindow(dialog);
    if (saved) std::printf("%s\n", path.c_str());
    return saved;
}

// The general pages against the stand-in service: a priced public file, a
// folder with contents, two files, and a folder with a file.
bool general_page_snapshots(const std::string& folder) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = plain_window;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = L"CalvimoraSnapshotPage";
    RegisterClassExW(&wc);

    calvimora::testing::service service;
    service.export_url();
    const std::string owner = service.add_user("alice", "secret");
    const std::string documents = service.add_folder(owner, "0", "Documents");
    const std::string photos = service.add_folder(owner, documents, "Photos");
    const std::string trip = service.add_folder(owner, photos, "Trip");
    service.add_generated_file(owner, photos, "beach.jpg", 2400000);
    service.add_generated_file(owner, trip, "hills.jpg", 1800000);
    service.add_generated_file(owner, trip, "lake.jpg", 2100000);
    service.add_generated_file(owner, documents, "Annual report 2026.pdf", 153600);
    service.add_generated_file(owner, documents, "Budget 2027.pdf", 88000);
    const auto session = vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-1");
    const auto root = session->get_root_directory();
    const vfs::item_ptr documents_item = root->get_item(L"Documents", false);
    const auto directory = boost::dynamic_pointer_cast<vfs::directory>(documents_item);
    const auto report = boost::dynamic_pointer_cast<vfs::file>(
        directory->get_item(L"Annual report 2026.pdf", false));
    report->set_access(vfs::access_public);
    report->set_description(L"The figures of the year, with the auditors' notes.");
    report->set_price(4.99);
    directory->get_item(L"Photos", false)->set_description(L"Holiday pictures");
    const CItemIdList ids(make_pidl_data(documents_item));

    return general_page_picture<CPropertiesFileGeneralDlg>(
               directory, ids, {L"Annual report 2026.pdf"},
               folder + "/properties_general_file.png") &&
           general_page_picture<CPropertiesFolderGeneralDlg>(
               directory, ids, {L"Photos"}, folder + "/properties_general_folder.png") &&
           general_page_picture<CPropertiesFileGeneralDlg>(
               directory, ids, {L"Annual report 2026.pdf", L"Budget 2027.pdf"},
               folder + "/properties_general_several.png") &&
           general_page_picture<CPropertiesFolderGeneralDlg>(
               directory, ids, {L"Photos", L"Annual report 2026.pdf"},
               folder + "/properties_general_mixed.png");
}

// The folder object of a folder of the remote root, made and browsed as
// Explorer does; null when it cannot be made.
IShellFolder* projects_folder(const vfs::item_ptr& item) {
    // The junction as the desktop folder's id list names it: two 20-byte
    // elements and the end.
    std::vector<BYTE> junction(42, 0);
    junction[0] = 20;
    junction[2] = 0x1F;
    junction[20] = 20;
    junction[22] = 0x2E;
    IShellFolder* root = nullptr;
    if (FAILED(CShellFolderImpl::create_instance(nullptr, IID_IShellFolder,
                                                 reinterpret_cast<void**>(&root))))
        return nullptr;
    IPersistFolder* persist = nullptr;
    root->QueryInterface(IID_IPersistFolder, reinterpret_cast<void**>(&persist));
    const bool placed =
        persist && SUCCEEDED(persist->Initialize(reinterpret_cast<LPCITEMIDLIST>(junction.data())));
    if (persist) persist->Release();
    IShellFolder* folder = nullptr;
    LPITEMIDLIST child = CItemIdList(make_pidl_data(item)).CreatePidl();
    if (placed)
        root->BindToObject(child, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder));
    CoTaskMemFree(child);
    root->Release();
    return folder;
}

// The property sheet of remote items with its pages, filled from the
// stand-in service: one file on its general page, a folder on its sharing
// page, two items on the general page and a folder on the sync page.
bool property_sheet_snapshots(const std::string& folder) {
    calvimora::testing::service service;
    service.export_url();
    const std::string owner = service.add_user("alice", "secret", "alice@example.com");
    const std::string projects = service.add_folder(owner, "0", "Projects");
    const std::string garden = service.add_folder(owner, projects, "Garden plans");
    service.add_generated_file(owner, garden, "layout.png", 640000);
    service.add_share(owner, garden, service.add_user("bob", "x"), 1);
    service.add_generated_file(owner, projects, "Estimate.xlsx", 42000);
    const auto session = vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-1");
    snapshot_session logged_in(session);
    replace_folder_session(&logged_in);
    const vfs::item_ptr projects_item = session->get_root_directory()->get_item(L"Projects", false);
    const auto directory = boost::dynamic_pointer_cast<vfs::directory>(projects_item);
    IShellFolder* shell_folder = projects_folder(projects_item);
    if (!shell_folder) {
        replace_folder_session(nullptr);
        return false;
    }

    const struct {
        std::initializer_list<std::wstring> names;
        int start_page;
        const char* file;
    } sheets[] = {
        {{L"Estimate.xlsx"}, start_general, "property_sheet_file.png"},
        {{L"Garden plans"}, start_sharing, "property_sheet_sharing.png"},
        {{L"Garden plans", L"Estimate.xlsx"}, start_general, "property_sheet_several.png"},
        {{L"Garden plans"}, start_sync, "property_sheet_sync.png"},
    };
    bool saved_all = true;
    for (const auto& picture : sheets) {
        // The selection as Explorer hands it over, so that one item shows
        // the icon the folder gives it.
        std::vector<LPITEMIDLIST> lists;
        for (const std::wstring& name : picture.names)
            lists.push_back(
                CItemIdList(make_pidl_data(directory->get_item(name, false))).CreatePidl());
        std::vector<PCUITEMID_CHILD> children(lists.begin(), lists.end());
        IDataObject* data = nullptr;
        shell_folder->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(),
                                    IID_IDataObject, nullptr, reinterpret_cast<void**>(&data));
        for (LPITEMIDLIST list : lists) CoTaskMemFree(list);
        auto* selection = dynamic_cast<CDataObjectImpl*>(data);
        if (!selection) {
            if (data) data->Release();
            saved_all = false;
            break;
        }
        auto sheet =
            std::make_unique<CPropertiesFileDlg>(shell_folder, *selection, picture.start_page);
        data->Release();
        const std::string path = folder + "/" + picture.file;
        bool saved = false;
        win_test::scoped_dialog_responder look([&](HWND window) {
            win_test::pump_until([&] { return !sheet->PagesLoading(); }, std::chrono::seconds(30));
            win_test::pump();
            saved = win_test::save_png(window, path);
            EndDialog(window, IDCANCEL);
        });
        sheet->DoModal(nullptr);
        saved_all = saved_all && saved;
        if (!saved) break;
        std::printf("%s\n", path.c_str());
    }
    shell_folder->Release();
    replace_folder_session(nullptr);
    return saved_all;
}

}  // namespace

bool local_sync_page_snapshot(const std::string& folder);

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: shell_ui_snapshots <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::filesystem::create_directories(folder);
    win_machine::scoped_root root;
    CCalvimoraModule module;
    register_dialog();

    HWND dialog = CreateDialogParamW(win_module::this_module(), MAKEINTRESOURCEW(price_dialog_id),
                                     nullptr, keep_default, 0);
    if (!dialog) {
        std::fprintf(stderr, "shell_ui_snapshots: the dialog cannot be made\n");
        return 1;
    }
    CEditCurrency price;
    price.SubclassWindow(GetDlgItem(dialog, price_edit_id));
    price.SetAmount(12.5);

    RECT place{0, 0, 130, 16};
    MapDialogRect(dialog, &place);
    RECT edit_place;
    GetWindowRect(GetDlgItem(dialog, price_edit_id), &edit_place);
    POINT below{edit_place.left, edit_place.bottom + 8};
    ScreenToClient(dialog, &below);
    CUrlStatic link;
    link.Create(dialog, RECT{below.x, below.y, below.x + place.right, below.y + place.bottom},
                WS_CHILD | WS_VISIBLE | SS_NOTIFY);
    link.SetText(L"How to sell your files", CUrlStatic::link_address);

    win_test::pump();
    const std::string path = folder + "/currency_edit_and_link.png";
    const bool saved = win_test::save_png(dialog, path);
    DestroyWindow(dialog);
    if (!saved) {
        std::fprintf(stderr, "shell_ui_snapshots: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    if (!general_page_snapshots(folder)) {
        std::fprintf(stderr, "shell_ui_snapshots: the general pages cannot be pictured\n");
        return 1;
    }
    if (!snapshot_sharing_page(folder)) {
        std::fprintf(stderr, "shell_ui_snapshots: cannot write the sharing page\n");
        return 1;
    }
    if (!save_sync_page_pictures(folder)) {
        std::fprintf(stderr, "shell_ui_snapshots: cannot write the sync page's pictures\n");
        return 1;
    }
    if (!property_sheet_snapshots(folder)) {
        std::fprintf(stderr, "shell_ui_snapshots: the property sheet cannot be pictured\n");
        return 1;
    }
    if (!save_sync_manager(folder)) {
        std::fprintf(stderr, "shell_ui_snapshots: the sync manager cannot be pictured\n");
        return 1;
    }
    if (!local_sync_page_snapshot(folder)) {
        std::fprintf(stderr, "shell_ui_snapshots: the page of local items cannot be pictured\n");
        return 1;
    }
    return 0;
}
