#include "ui/reflected_messages.h"

namespace {

HWND sender(HWND parent, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<HWND>(lparam);
        case WM_NOTIFY:
            return lparam ? reinterpret_cast<const NMHDR*>(lparam)->hwndFrom : nullptr;
        case WM_PARENTNOTIFY: {
            const UINT event = LOWORD(wparam);
            return event == WM_CREATE || event == WM_DESTROY ? reinterpret_cast<HWND>(lparam)
                                                             : nullptr;
        }
        case WM_DRAWITEM:
            return lparam ? reinterpret_cast<const DRAWITEMSTRUCT*>(lparam)->hwndItem : nullptr;
        // These name their control by its id; 0 is a menu's.
        case WM_MEASUREITEM:
        case WM_COMPAREITEM:
        case WM_DELETEITEM:
            return wparam ? GetDlgItem(parent, static_cast<int>(wparam)) : nullptr;
        default:
            return nullptr;
    }
}

}  // namespace

bool reflect_notification(HWND parent, UINT message, WPARAM wparam, LPARAM lparam,
                          LRESULT& result) {
    const HWND control = sender(parent, message, wparam, lparam);
    if (!control || !IsWindow(control) || GetParent(control) != parent) return false;
    result = SendMessageW(control, reflected_message_base + message, wparam, lparam);
    return true;
}
