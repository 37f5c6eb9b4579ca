// What a list view control keeps: its columns, its rows and their states,
// the selection mark and the extended style; shared by the files of the
// control (messages, mouse, painting) and the test API.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "user_state.h"
#include "win/commctrl.h"

namespace win_user {

struct listview_column {
    int format = LVCFMT_LEFT;
    int width = 0;
    std::wstring text;
    int subitem = 0;  // the row text the column shows
};

struct listview_row {
    std::map<int, std::wstring> texts;  // by sub-item
    LPARAM param = 0;
    UINT state = 0;
};

// Changed on the control's thread only; the lock lets tests on other
// threads read it, and is never held while a notification is out.
struct listview_data : control_data {
    std::mutex lock;
    HWND notify = nullptr;  // the parent at creation, who gets the notifications
    HWND header = nullptr;
    std::vector<listview_column> columns;
    std::vector<listview_row> rows;
    int selection_mark = -1;
    DWORD extended_style = 0;
    COLORREF background = CLR_INVALID;  // CLR_INVALID: the window colour
    COLORREF text_color = CLR_INVALID;
    COLORREF text_background = CLR_INVALID;
    bool pressed = false;  // the left button went down inside the list
};

// Sends a notification to the list's parent, filling the header.
LRESULT listview_notify(HWND list, const listview_data& data, NMHDR& header, UINT code);
// Changes a row's state bits keeping one focused row (and one selected in a
// single-selection list), with LVN_ITEMCHANGING/LVN_ITEMCHANGED; false
// when refused or the row is not there.
bool listview_set_state(HWND list, listview_data& data, int index, UINT state, UINT mask);
// The messages of the rows' geometry, the mouse, the keys, the focus and
// painting; handled tells whether the message was one of them.
LRESULT listview_view_message(HWND list, listview_data& data, UINT message, WPARAM wparam,
                              LPARAM lparam, bool* handled);

LRESULT CALLBACK listview_procedure(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK header_procedure(HWND, UINT, WPARAM, LPARAM);

}  // namespace win_user
