// Notifications a dialog hands back to the control that sent them, so that
// the control's own object can handle what it drew or what was clicked in
// it: the message number is raised by reflected_message_base.
#pragma once

#include "win/commctrl.h"
#include "win/user.h"

inline constexpr UINT reflected_message_base = 0x2000;

// Sends a control's notification (WM_COMMAND from a control, WM_NOTIFY,
// WM_PARENTNOTIFY of a child's creation or destruction, WM_DRAWITEM,
// WM_MEASUREITEM, WM_COMPAREITEM, WM_DELETEITEM, WM_VKEYTOITEM,
// WM_CHARTOITEM, WM_HSCROLL and WM_VSCROLL of a scroll bar control,
// WM_CTLCOLOR*) back to its control; false, with nothing sent, for any
// other message or when the control is not a child of the parent.
bool reflect_notification(HWND parent, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
