#include "ui/sync_manager_resources.h"

#include <mutex>

#include "win/commctrl.h"
#include "win/process.h"
#include "win/user.h"

namespace {

using namespace win_dialogs;

dialog_template sync_manager_template() {
    dialog_template t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    t.cx = 372;
    t.cy = 176;
    t.caption = sync_manager_text::caption;
    control_template list;
    list.class_name = WC_LISTVIEWW;
    list.id = IDC_SYNC_MANAGER_LIST;
    list.style =
        WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
    list.x = 7;
    list.y = 19;
    list.cx = 358;
    list.cy = 115;
    t.controls = {
        push_button(IDCANCEL, L"Close", 315, 155, 50, 14),
        list,
        left_text(-1, L"Permanently synchronizable files:", 7, 7, 270, 8),
        push_button(IDC_SYNC_MANAGER_CANCEL_SYNC, L"Cancel permanent sync", 269, 137, 96, 14),
        push_button(IDC_SYNC_MANAGER_SYNC_ONCE, L"One time sync", 191, 137, 74, 14),
    };
    return t;
}

}  // namespace

void register_sync_manager_resources() {
    static std::once_flag once;
    std::call_once(once, [] {
        register_dialog(win_module::this_module(), IDD_SYNC_MANAGER, sync_manager_template());
    });
}
