#include "ui/list_view_impl.h"

namespace {

// What a call answers when the wrapper holds no window.
constexpr int no_window = -1;

}  // namespace

int CListViewImpl::InsertColumn(int index, LPCWSTR text, int format, int width, int subitem) {
    if (!IsWindow()) return no_window;
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<LPWSTR>(text);
    column.iSubItem = subitem;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(&column)));
}

int CListViewImpl::InsertItem(int index, LPCWSTR text) {
    if (!IsWindow()) return no_window;
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<LPWSTR>(text);
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListViewImpl::SetItemText(int item, int subitem, LPCWSTR text) {
    if (!IsWindow()) return no_window;
    LVITEMW record{};
    record.iSubItem = subitem;
    record.pszText = const_cast<LPWSTR>(text);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item),
                                         reinterpret_cast<LPARAM>(&record)));
}

BOOL CListViewImpl::SetItemData(int item, DWORD_PTR data) {
    if (!IsWindow()) return no_window;
    LVITEMW record{};
    record.mask = LVIF_PARAM;
    record.iItem = item;
    record.lParam = static_cast<LPARAM>(data);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&record)));
}

DWORD_PTR CListViewImpl::GetItemData(int item) {
    if (!IsWindow()) return static_cast<DWORD_PTR>(no_window);
    LVITEMW record{};
    record.mask = LVIF_PARAM;
    record.iItem = item;
    SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&record));
    return static_cast<DWORD_PTR>(record.lParam);
}

DWORD CListViewImpl::SetExtendedStyle(DWORD style) {
    if (!IsWindow()) return 0;
    return static_cast<DWORD>(
        SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
}

int CListViewImpl::GetSelectionMark() {
    if (!IsWindow()) return no_window;
    return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK));
}

BOOL CListViewImpl::DeleteItem(int index) {
    if (!IsWindow()) return FALSE;
    return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index)));
}

BOOL CListViewImpl::ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&, DWORD) {
    return FALSE;
}
