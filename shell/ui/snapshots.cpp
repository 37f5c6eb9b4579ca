// Pictures of the extension's controls for people to look at: a dialog
// with the currency edit holding a price and a link beside it, the link
// drawn over the dialog's background; the sharing page of a folder with its
// users listed, filled from the stand-in service.
//
//   shell_ui_snapshots <folder>
#include <cstdio>
#include <filesystem>
#include <string>

#include "folder/item_ids/pidl_data.h"
#include "folder/module/module.h"
#include "service_fixture.h"
#include "ui/edit_currency.h"
#include "ui/properties_share.h"
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
    selection.large_icon = LoadIconW(nullptr, IDI_APPLICATION);

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
    return saved;
}

}  // namespace

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
    if (!snapshot_sharing_page(folder)) {
        std::fprintf(stderr, "shell_ui_snapshots: cannot write the sharing page\n");
        return 1;
    }
    return 0;
}
