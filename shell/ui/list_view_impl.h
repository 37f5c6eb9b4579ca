// A small wrapper around an existing list view control (bound with
// SubclassWindow): the few calls the extension's dialogs make on their
// lists. It handles no message itself; everything goes to the control's
// former procedure. Each call answers -1 when the wrapper holds no window
// (0 for SetExtendedStyle and DeleteItem, which answer IsWindow's FALSE).
#pragma once

#include "win/atl_window.h"
#include "win/commctrl.h"

class CListViewImpl : public CWindowImpl<CListViewImpl> {
public:
    // The new column's index.
    int InsertColumn(int index, LPCWSTR text, int format, int width, int subitem);
    // The new row's index.
    int InsertItem(int index, LPCWSTR text);
    BOOL SetItemText(int item, int subitem, LPCWSTR text);
    BOOL SetItemData(int item, DWORD_PTR data);
    // The row's parameter (0 for a row that is not there).
    DWORD_PTR GetItemData(int item);
    // All extended style bits become the given ones; the former style.
    DWORD SetExtendedStyle(DWORD style);
    int GetSelectionMark();
    BOOL DeleteItem(int index);

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;
};
