#include "ui/properties_drive_resources.h"

#include <mutex>

#include "win/process.h"
#include "win/resources.h"
#include "win/user.h"

namespace {

using namespace win_dialogs;

// A value the page fills in: read-only and without a frame, as a label
// that can be selected and copied.
control_template value_text(int id, short x, short y, short cx) {
    control_template c;
    c.class_name = WC_EDITW;
    c.id = id;
    c.style = ES_READONLY | ES_AUTOHSCROLL | WS_VISIBLE | WS_TABSTOP;
    c.x = x;
    c.y = y;
    c.cx = cx;
    c.cy = 10;
    return c;
}

control_template plain_static(int id, DWORD style, short x, short y, short cx, short cy) {
    control_template c;
    c.class_name = WC_STATICW;
    c.id = id;
    c.style = style | WS_VISIBLE;
    c.x = x;
    c.y = y;
    c.cx = cx;
    c.cy = cy;
    return c;
}

control_template line(short y) {
    return plain_static(-1, SS_ETCHEDHORZ, 7, y, 213, 1);
}

dialog_template drive_page_template() {
    dialog_template t;
    t.style = WS_CHILD | DS_CONTROL | DS_SETFONT;
    t.cx = 227;
    t.cy = 215;
    t.caption = L"General";
    t.controls = {
        plain_static(IDC_DRIVE_ICON, SS_ICON, 7, 7, 21, 20),
        value_text(IDC_DRIVE_PRODUCT, 44, 14, 176),
        line(34),
        left_text(-1, L"User name:", 7, 42, 70, 8),
        value_text(IDC_DRIVE_USER_NAME, 80, 42, 140),
        left_text(-1, L"Level:", 7, 56, 70, 8),
        value_text(IDC_DRIVE_LEVEL, 80, 56, 140),
        line(72),
        plain_static(IDC_DRIVE_USED_KEY, 0, 7, 80, 8, 8),
        left_text(-1, L"Used space:", 18, 80, 60, 8),
        value_text(IDC_DRIVE_USED_BYTES, 80, 80, 90),
        value_text(IDC_DRIVE_USED, 172, 80, 48),
        plain_static(IDC_DRIVE_FREE_KEY, 0, 7, 94, 8, 8),
        left_text(-1, L"Free space:", 18, 94, 60, 8),
        value_text(IDC_DRIVE_FREE_BYTES, 80, 94, 90),
        value_text(IDC_DRIVE_FREE, 172, 94, 48),
        line(110),
        left_text(-1, L"Capacity:", 18, 118, 60, 8),
        value_text(IDC_DRIVE_CAPACITY_BYTES, 80, 118, 90),
        value_text(IDC_DRIVE_CAPACITY, 172, 118, 48),
        plain_static(IDC_DRIVE_CHART, 0, 63, 134, 100, 52),
        push_button(IDC_DRIVE_SYNC_MANAGER, L"Permanently syncing files...", 7, 194, 110, 14),
    };
    return t;
}

}  // namespace

void register_properties_drive_resources() {
    static std::once_flag once;
    std::call_once(once, [] {
        const HMODULE module = win_module::this_module();
        register_dialog(module, IDD_PROPERTIES_DRIVE, drive_page_template());
        register_strings(module, {
                                     {IDS_DRIVE_PAGE_TITLE, L"General"},
                                     {IDS_DRIVE_UNLIMITED, L"Unlimited"},
                                 });
    });
}
