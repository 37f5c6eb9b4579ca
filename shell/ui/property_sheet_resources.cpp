#include "ui/property_sheet_resources.h"

#include <mutex>

#include "win/commctrl.h"
#include "win/process.h"
#include "win/resources.h"
#include "win/user.h"

namespace {

using namespace win_dialogs;

dialog_template sheet_template() {
    dialog_template t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    t.cx = 263;
    t.cy = 279;
    t.caption = L"Dialog";
    control_template tabs;
    tabs.class_name = WC_TABCONTROLW;
    tabs.id = IDC_SHEET_TABS;
    tabs.style = WS_VISIBLE | WS_TABSTOP;
    tabs.x = 4;
    tabs.y = 6;
    tabs.cx = 252;
    tabs.cy = 246;
    control_template apply = push_button(IDC_SHEET_APPLY, L"&Apply", 207, 258, 50, 14);
    apply.style |= WS_DISABLED;
    t.controls = {
        tabs,
        default_push_button(IDOK, L"OK", 99, 258, 50, 14),
        push_button(IDCANCEL, L"Cancel", 153, 258, 50, 14),
        apply,
    };
    return t;
}

}  // namespace

void register_property_sheet_resources() {
    static std::once_flag once;
    std::call_once(once, [] {
        const HMODULE module = win_module::this_module();
        register_dialog(module, IDD_PROPERTY_SHEET, sheet_template());
        register_strings(module, {
                                     {IDS_TAB_GENERAL, L"General"},
                                     {IDS_SHEET_CAPTION_ONE, L"%s Properties"},
                                     {IDS_SHEET_CAPTION_SEVERAL, L"%s, ... Properties"},
                                     {IDS_ERROR_LOADING_DESCRIPTION, L"Error loading description"},
                                     {IDS_TAB_SHARING, L"Sharing"},
                                     {IDS_TAB_SYNC, L"Sync && Backup"},
                                 });
    });
}
