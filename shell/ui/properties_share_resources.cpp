#include "ui/properties_share_resources.h"

#include <mutex>

#include "win/commctrl.h"
#include "win/process.h"
#include "win/user.h"

namespace {

using namespace win_dialogs;

control_template control(const wchar_t* class_name, int id, std::wstring text, DWORD style, short x,
                         short y, short cx, short cy) {
    control_template c;
    c.class_name = class_name;
    c.id = id;
    c.text = std::move(text);
    c.style = style | WS_CHILD | WS_VISIBLE;
    c.x = x;
    c.y = y;
    c.cx = cx;
    c.cy = cy;
    return c;
}

// The page fills the sheet's tab; its controls sit in two frames: sharing
// with a new user and the list above, the mode of the user being edited (or
// the message about the last Share) below. The list draws its own rows and
// has no header: the four statics above it name its columns, each starting
// where its column starts (the columns' pixel widths 165, 33, 55 and 70 are
// 110, 22, 36.7 and 46.7 dialog units). "Change/Remove" is wider than its
// column, so its static ends where the list ends and holds the title
// against that edge, over the right of the column before it, which holds
// no more than a centred check mark.
dialog_template share_template() {
    dialog_template t;
    t.style = WS_CHILD | DS_CONTROL | DS_SETFONT;
    t.cx = 244;
    t.cy = 226;
    t.controls = {
        control(L"Static", IDC_SHARE_ICON, L"", SS_ICON, 14, 16, 21, 20),
        left_text(IDC_SHARE_FOLDER_NAME, L"", 42, 17, 188, 8),
        left_text(IDC_SHARE_STATE, L"", 42, 28, 188, 8),
        left_text(IDC_SHARE_PROMPT, L"", 14, 44, 216, 8),
        edit_text(IDC_SHARE_USER, 14, 55, 160, 14, ES_AUTOHSCROLL),
        push_button(IDC_SHARE_BUTTON, L"Share...", 178, 55, 52, 14),
        left_text(IDC_SHARE_EDITED_USER, L"", 14, 57, 216, 10),
        left_text(IDC_SHARE_HINT, L"(Enter Calvimora Username or email address)", 14, 71, 216, 8),
        left_text(IDC_SHARE_COLUMN_USERS, L"Users of this folder", 14, 86, 110, 8),
        left_text(IDC_SHARE_COLUMN_VIEW, L"View", 124, 86, 22, 8),
        left_text(IDC_SHARE_COLUMN_FULL, L"Full", 146, 86, 26, 8),
        control(L"Static", IDC_SHARE_COLUMN_LINKS, L"Change/Remove", SS_RIGHT | WS_GROUP, 172, 86,
                58, 8),
        control(WC_LISTVIEWW, IDC_SHARE_USER_LIST, L"",
                LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER |
                    LVS_OWNERDRAWFIXED | WS_BORDER | WS_TABSTOP,
                14, 96, 216, 52),
        group_box(-1, L"Network File and Folder Sharing", 7, 4, 230, 150),
        left_text(IDC_SHARE_PERMISSIONS, L"Set user permissions for files in this folder", 14, 170,
                  216, 8),
        control(L"Button", IDC_SHARE_MODE_VIEW, L"View - other user can open or copy your files",
                BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 14, 182, 216, 10),
        control(L"Button", IDC_SHARE_MODE_FULL,
                L"Full - other user can open, copy, delete or modify your files",
                BS_AUTORADIOBUTTON, 14, 194, 216, 10),
        push_button(IDC_SHARE_SAVE, L"Save changes", 176, 206, 54, 14),
        left_text(IDC_SHARE_MESSAGE, L"", 14, 170, 216, 48),
        group_box(IDC_SHARE_ADVANCED, L"Advanced Sharing", 7, 158, 230, 66),
    };
    return t;
}

}  // namespace

void register_share_resources() {
    static std::once_flag once;
    std::call_once(once, [] {
        const HMODULE module = win_module::this_module();
        register_dialog(module, IDD_PROPERTIES_SHARE, share_template());
        register_strings(
            module,
            {
                {IDS_SHARE_SHARED, L"Shared"},
                {IDS_SHARE_NOT_SHARED, L"Not Shared"},
                {IDS_SHARE_NO_SUCH_USER, L"User '%s' doesn't exist"},
                {IDS_SHARE_ADD_USER, L"Add new user for this folder"},
                {IDS_SHARE_WITH, L"Share this folder with:"},
                {IDS_SHARE_CONFIRM_REMOVE, L"Are you sure you want to remove user?"},
                {IDS_SHARE_INVITATION_SENT,
                 L"User \u2019%s\u2019 is not registered with Calvimora yet. We already sent "
                 L"email to this email address with link to create Calvimora account and have "
                 L"access to selected folder."},
                {IDS_SHARE_ERROR_SHARING, L"Error sharing"},
                {IDS_SHARE_ERROR_LOADING, L"Error loading users"},
                {IDS_SHARE_ERROR_CHANGING, L"Error changing share mode"},
                {IDS_SHARE_ERROR_REMOVING, L"Error removing user"},
            });
    });
}
