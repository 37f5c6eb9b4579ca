// The list view control ("SysListView32") in its report form: columns under
// a header control, rows of texts with an item parameter and a state
// (selected, focused), the selection mark, extended styles, and the
// notifications its parent gets through WM_NOTIFY: LVN_ITEMCHANGING and
// LVN_ITEMCHANGED around every state change, LVN_INSERTITEM,
// LVN_DELETEALLITEMS and LVN_DELETEITEM for every row removed (one by one,
// all at once, or with the control when it is destroyed), NM_CLICK and
// friends for mouse clicks. Rows of an LVS_OWNERDRAWFIXED list are drawn by
// the parent on WM_DRAWITEM. Text metrics are fixed (see listview_row_height)
// so that a test can click into a row.
#pragma once

#include "win/gdi.h"
#include "win/user_messages.h"
#include "win/user_queue.h"
#include "win/user_types.h"

#define WC_LISTVIEWW L"SysListView32"
#define WC_HEADERW L"SysHeader32"

// Styles.
#define LVS_ICON 0x0000u
#define LVS_REPORT 0x0001u
#define LVS_SMALLICON 0x0002u
#define LVS_LIST 0x0003u
#define LVS_TYPEMASK 0x0003u
#define LVS_SINGLESEL 0x0004u
#define LVS_SHOWSELALWAYS 0x0008u
#define LVS_SORTASCENDING 0x0010u
#define LVS_SORTDESCENDING 0x0020u
#define LVS_SHAREIMAGELISTS 0x0040u
#define LVS_NOLABELWRAP 0x0080u
#define LVS_AUTOARRANGE 0x0100u
#define LVS_EDITLABELS 0x0200u
#define LVS_OWNERDRAWFIXED 0x0400u
#define LVS_ALIGNLEFT 0x0800u
#define LVS_OWNERDATA 0x1000u
#define LVS_NOSCROLL 0x2000u
#define LVS_NOCOLUMNHEADER 0x4000u
#define LVS_NOSORTHEADER 0x8000u

// Extended styles (LVM_SETEXTENDEDLISTVIEWSTYLE).
#define LVS_EX_GRIDLINES 0x00000001u
#define LVS_EX_SUBITEMIMAGES 0x00000002u
#define LVS_EX_CHECKBOXES 0x00000004u
#define LVS_EX_TRACKSELECT 0x00000008u
#define LVS_EX_HEADERDRAGDROP 0x00000010u
#define LVS_EX_FULLROWSELECT 0x00000020u
#define LVS_EX_ONECLICKACTIVATE 0x00000040u
#define LVS_EX_TWOCLICKACTIVATE 0x00000080u
#define LVS_EX_INFOTIP 0x00000400u
#define LVS_EX_LABELTIP 0x00004000u
#define LVS_EX_DOUBLEBUFFER 0x00010000u

// Messages.
#define LVM_FIRST 0x1000u
#define LVM_SETBKCOLOR (LVM_FIRST + 1)
#define LVM_GETITEMCOUNT (LVM_FIRST + 4)
#define LVM_DELETEITEM (LVM_FIRST + 8)
#define LVM_DELETEALLITEMS (LVM_FIRST + 9)
#define LVM_GETNEXTITEM (LVM_FIRST + 12)
#define LVM_GETITEMRECT (LVM_FIRST + 14)
#define LVM_HITTEST (LVM_FIRST + 18)
#define LVM_ENSUREVISIBLE (LVM_FIRST + 19)
#define LVM_DELETECOLUMN (LVM_FIRST + 28)
#define LVM_GETCOLUMNWIDTH (LVM_FIRST + 29)
#define LVM_SETCOLUMNWIDTH (LVM_FIRST + 30)
#define LVM_GETHEADER (LVM_FIRST + 31)
#define LVM_SETTEXTCOLOR (LVM_FIRST + 36)
#define LVM_SETTEXTBKCOLOR (LVM_FIRST + 38)
#define LVM_GETTOPINDEX (LVM_FIRST + 39)
#define LVM_GETCOUNTPERPAGE (LVM_FIRST + 40)
#define LVM_SETITEMSTATE (LVM_FIRST + 43)
#define LVM_GETITEMSTATE (LVM_FIRST + 44)
#define LVM_GETSELECTEDCOUNT (LVM_FIRST + 50)
#define LVM_SETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 54)
#define LVM_GETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 55)
#define LVM_GETSUBITEMRECT (LVM_FIRST + 56)
#define LVM_SUBITEMHITTEST (LVM_FIRST + 57)
#define LVM_GETSELECTIONMARK (LVM_FIRST + 66)
#define LVM_SETSELECTIONMARK (LVM_FIRST + 67)
#define LVM_GETITEMW (LVM_FIRST + 75)
#define LVM_SETITEMW (LVM_FIRST + 76)
#define LVM_INSERTITEMW (LVM_FIRST + 77)
#define LVM_GETCOLUMNW (LVM_FIRST + 95)
#define LVM_SETCOLUMNW (LVM_FIRST + 96)
#define LVM_INSERTCOLUMNW (LVM_FIRST + 97)
#define LVM_GETITEMTEXTW (LVM_FIRST + 115)
#define LVM_SETITEMTEXTW (LVM_FIRST + 116)

// Item records.
#define LVIF_TEXT 0x0001u
#define LVIF_IMAGE 0x0002u
#define LVIF_PARAM 0x0004u
#define LVIF_STATE 0x0008u
#define LVIF_INDENT 0x0010u

#define LVIS_FOCUSED 0x0001u
#define LVIS_SELECTED 0x0002u
#define LVIS_CUT 0x0004u
#define LVIS_DROPHILITED 0x0008u
#define LVIS_OVERLAYMASK 0x0F00u
#define LVIS_STATEIMAGEMASK 0xF000u

typedef struct tagLVITEMW {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
    int iIndent;
    int iGroupId;
    UINT cColumns;
    UINT* puColumns;
    int* piColFmt;
    int iGroup;
} LVITEMW, *LPLVITEMW;

// LVM_GETNEXTITEM flags.
#define LVNI_ALL 0x0000u
#define LVNI_FOCUSED 0x0001u
#define LVNI_SELECTED 0x0002u
#define LVNI_CUT 0x0004u
#define LVNI_DROPHILITED 0x0008u
#define LVNI_ABOVE 0x0100u
#define LVNI_BELOW 0x0200u

// Column records.
#define LVCF_FMT 0x0001u
#define LVCF_WIDTH 0x0002u
#define LVCF_TEXT 0x0004u
#define LVCF_SUBITEM 0x0008u
#define LVCF_IMAGE 0x0010u
#define LVCF_ORDER 0x0020u

#define LVCFMT_LEFT 0x0000
#define LVCFMT_RIGHT 0x0001
#define LVCFMT_CENTER 0x0002
#define LVCFMT_JUSTIFYMASK 0x0003

typedef struct tagLVCOLUMNW {
    UINT mask;
    int fmt;
    int cx;
    LPWSTR pszText;
    int cchTextMax;
    int iSubItem;
    int iImage;
    int iOrder;
    int cxMin;
    int cxDefault;
    int cxIdeal;
} LVCOLUMNW, *LPLVCOLUMNW;

// Rectangles (LVM_GETITEMRECT, LVM_GETSUBITEMRECT): the code goes in the
// rectangle's left member.
#define LVIR_BOUNDS 0
#define LVIR_ICON 1
#define LVIR_LABEL 2
#define LVIR_SELECTBOUNDS 3

// Hit tests.
#define LVHT_NOWHERE 0x0001u
#define LVHT_ONITEMICON 0x0002u
#define LVHT_ONITEMLABEL 0x0004u
#define LVHT_ONITEMSTATEICON 0x0008u
#define LVHT_ONITEM (LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON)
#define LVHT_ABOVE 0x0008u
#define LVHT_BELOW 0x0010u
#define LVHT_TORIGHT 0x0020u
#define LVHT_TOLEFT 0x0040u

typedef struct tagLVHITTESTINFO {
    POINT pt;
    UINT flags;
    int iItem;
    int iSubItem;
    int iGroup;
} LVHITTESTINFO, *LPLVHITTESTINFO;

// Notifications.
#define NM_FIRST (0U - 0U)
#define NM_CLICK (NM_FIRST - 2)
#define NM_DBLCLK (NM_FIRST - 3)
#define NM_RCLICK (NM_FIRST - 5)
#define NM_SETFOCUS (NM_FIRST - 7)
#define NM_KILLFOCUS (NM_FIRST - 8)

#define LVN_FIRST (0U - 100U)
#define LVN_ITEMCHANGING (LVN_FIRST - 0)
#define LVN_ITEMCHANGED (LVN_FIRST - 1)
#define LVN_INSERTITEM (LVN_FIRST - 2)
#define LVN_DELETEITEM (LVN_FIRST - 3)
#define LVN_DELETEALLITEMS (LVN_FIRST - 4)
#define LVN_COLUMNCLICK (LVN_FIRST - 8)
#define LVN_KEYDOWN (LVN_FIRST - 55)

// LVN_ITEMCHANG* and LVN_*ITEM*: which row, what changed (LVIF_STATE,
// LVIF_TEXT, LVIF_PARAM), the states before and after, and the row's
// parameter. An LVN_ITEMCHANGING answered with TRUE stops the change.
typedef struct tagNMLISTVIEW {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
} NMLISTVIEW, *LPNMLISTVIEW;

// NM_CLICK, NM_DBLCLK, NM_RCLICK: the row and column under the pointer
// (iItem -1 off the rows) and the point in the list's client area.
typedef struct tagNMITEMACTIVATE {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
    UINT uKeyFlags;
} NMITEMACTIVATE, *LPNMITEMACTIVATE;

// LVN_KEYDOWN: the key pressed while the list has the focus.
typedef struct tagLVKEYDOWN {
    NMHDR hdr;
    WORD wVKey;
    UINT flags;
} NMLVKEYDOWN, *LPNMLVKEYDOWN;

// The header control of a report list: one item per column, left to right.
#define HDM_FIRST 0x1200u
#define HDM_GETITEMCOUNT (HDM_FIRST + 0)
#define HDM_GETITEMRECT (HDM_FIRST + 7)

// Owner-drawn rows: WM_DRAWITEM goes to the list's parent with this record.
#define WM_DRAWITEM 0x002Bu
#define ODT_LISTVIEW 102u
#define ODA_DRAWENTIRE 0x0001u
#define ODA_SELECT 0x0002u
#define ODA_FOCUS 0x0004u
#define ODS_SELECTED 0x0001u
#define ODS_DISABLED 0x0004u
#define ODS_FOCUS 0x0010u

typedef struct tagDRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
} DRAWITEMSTRUCT, *LPDRAWITEMSTRUCT;

// The fixed metrics of the stand-in: every row of a report list is this
// many pixels high, and the header above the rows this many. A row's text
// is drawn 4 pixels inside its column.
#define LISTVIEW_ROW_HEIGHT 17
#define LISTVIEW_HEADER_HEIGHT 20

// The wrappers of the messages, as functions so that a caller may leave
// an answer unused.
inline LRESULT listview_send(HWND w, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendMessageW(w, message, wparam, lparam);
}
template <typename T>
LPARAM listview_pointer(T* p) {
    return reinterpret_cast<LPARAM>(p);
}

inline int ListView_GetItemCount(HWND w) {
    return static_cast<int>(listview_send(w, LVM_GETITEMCOUNT, 0, 0));
}
inline int ListView_InsertItem(HWND w, const LVITEMW* item) {
    return static_cast<int>(listview_send(w, LVM_INSERTITEMW, 0, listview_pointer(item)));
}
inline BOOL ListView_SetItem(HWND w, const LVITEMW* item) {
    return static_cast<BOOL>(listview_send(w, LVM_SETITEMW, 0, listview_pointer(item)));
}
inline BOOL ListView_GetItem(HWND w, LVITEMW* item) {
    return static_cast<BOOL>(listview_send(w, LVM_GETITEMW, 0, listview_pointer(item)));
}
inline BOOL ListView_DeleteItem(HWND w, int i) {
    return static_cast<BOOL>(listview_send(w, LVM_DELETEITEM, static_cast<WPARAM>(i), 0));
}
inline BOOL ListView_DeleteAllItems(HWND w) {
    return static_cast<BOOL>(listview_send(w, LVM_DELETEALLITEMS, 0, 0));
}
inline int ListView_GetNextItem(HWND w, int i, UINT flags) {
    return static_cast<int>(
        listview_send(w, LVM_GETNEXTITEM, static_cast<WPARAM>(i), static_cast<LPARAM>(flags)));
}
inline int ListView_InsertColumn(HWND w, int i, const LVCOLUMNW* column) {
    return static_cast<int>(
        listview_send(w, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), listview_pointer(column)));
}
inline BOOL ListView_GetColumn(HWND w, int i, LVCOLUMNW* column) {
    return static_cast<BOOL>(
        listview_send(w, LVM_GETCOLUMNW, static_cast<WPARAM>(i), listview_pointer(column)));
}
inline BOOL ListView_SetColumn(HWND w, int i, const LVCOLUMNW* column) {
    return static_cast<BOOL>(
        listview_send(w, LVM_SETCOLUMNW, static_cast<WPARAM>(i), listview_pointer(column)));
}
inline BOOL ListView_DeleteColumn(HWND w, int i) {
    return static_cast<BOOL>(listview_send(w, LVM_DELETECOLUMN, static_cast<WPARAM>(i), 0));
}
inline int ListView_GetColumnWidth(HWND w, int i) {
    return static_cast<int>(listview_send(w, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
}
inline BOOL ListView_SetColumnWidth(HWND w, int i, int cx) {
    return static_cast<BOOL>(
        listview_send(w, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), MAKELPARAM(cx, 0)));
}
inline HWND ListView_GetHeader(HWND w) {
    return reinterpret_cast<HWND>(listview_send(w, LVM_GETHEADER, 0, 0));
}
inline BOOL ListView_SetItemState(HWND w, int i, UINT state, UINT mask) {
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    return static_cast<BOOL>(
        listview_send(w, LVM_SETITEMSTATE, static_cast<WPARAM>(i), listview_pointer(&item)));
}
inline UINT ListView_GetItemState(HWND w, int i, UINT mask) {
    return static_cast<UINT>(
        listview_send(w, LVM_GETITEMSTATE, static_cast<WPARAM>(i), static_cast<LPARAM>(mask)));
}
inline BOOL ListView_SetItemText(HWND w, int i, int subitem, LPCWSTR text) {
    LVITEMW item{};
    item.iSubItem = subitem;
    item.pszText = const_cast<LPWSTR>(text);
    return static_cast<BOOL>(
        listview_send(w, LVM_SETITEMTEXTW, static_cast<WPARAM>(i), listview_pointer(&item)));
}
// The number of characters copied.
inline int ListView_GetItemText(HWND w, int i, int subitem, LPWSTR text, int capacity) {
    LVITEMW item{};
    item.iSubItem = subitem;
    item.cchTextMax = capacity;
    item.pszText = text;
    return static_cast<int>(
        listview_send(w, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), listview_pointer(&item)));
}
inline int ListView_GetSelectionMark(HWND w) {
    return static_cast<int>(listview_send(w, LVM_GETSELECTIONMARK, 0, 0));
}
// The former mark.
inline int ListView_SetSelectionMark(HWND w, int i) {
    return static_cast<int>(listview_send(w, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(i)));
}
inline UINT ListView_GetSelectedCount(HWND w) {
    return static_cast<UINT>(listview_send(w, LVM_GETSELECTEDCOUNT, 0, 0));
}
// Every extended style bit becomes the given one; the former style.
inline DWORD ListView_SetExtendedListViewStyle(HWND w, DWORD style) {
    return static_cast<DWORD>(
        listview_send(w, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
}
// Only the bits of the mask change (0: all of them); the former style.
inline DWORD ListView_SetExtendedListViewStyleEx(HWND w, DWORD mask, DWORD style) {
    return static_cast<DWORD>(listview_send(w, LVM_SETEXTENDEDLISTVIEWSTYLE,
                                            static_cast<WPARAM>(mask), static_cast<LPARAM>(style)));
}
inline DWORD ListView_GetExtendedListViewStyle(HWND w) {
    return static_cast<DWORD>(listview_send(w, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}
inline BOOL ListView_GetItemRect(HWND w, int i, RECT* rect, int code) {
    rect->left = code;
    return static_cast<BOOL>(
        listview_send(w, LVM_GETITEMRECT, static_cast<WPARAM>(i), listview_pointer(rect)));
}
inline BOOL ListView_GetSubItemRect(HWND w, int i, int subitem, int code, RECT* rect) {
    rect->top = subitem;
    rect->left = code;
    return static_cast<BOOL>(
        listview_send(w, LVM_GETSUBITEMRECT, static_cast<WPARAM>(i), listview_pointer(rect)));
}
inline int ListView_HitTest(HWND w, LVHITTESTINFO* info) {
    return static_cast<int>(listview_send(w, LVM_HITTEST, 0, listview_pointer(info)));
}
inline int ListView_SubItemHitTest(HWND w, LVHITTESTINFO* info) {
    return static_cast<int>(listview_send(w, LVM_SUBITEMHITTEST, 0, listview_pointer(info)));
}
inline BOOL ListView_EnsureVisible(HWND w, int i, BOOL partial) {
    return static_cast<BOOL>(
        listview_send(w, LVM_ENSUREVISIBLE, static_cast<WPARAM>(i), static_cast<LPARAM>(partial)));
}
inline BOOL ListView_SetBkColor(HWND w, COLORREF color) {
    return static_cast<BOOL>(listview_send(w, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(color)));
}
inline BOOL ListView_SetTextColor(HWND w, COLORREF color) {
    return static_cast<BOOL>(listview_send(w, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(color)));
}
inline BOOL ListView_SetTextBkColor(HWND w, COLORREF color) {
    return static_cast<BOOL>(listview_send(w, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(color)));
}
inline int ListView_GetTopIndex(HWND w) {
    return static_cast<int>(listview_send(w, LVM_GETTOPINDEX, 0, 0));
}
inline int ListView_GetCountPerPage(HWND w) {
    return static_cast<int>(listview_send(w, LVM_GETCOUNTPERPAGE, 0, 0));
}

inline int Header_GetItemCount(HWND w) {
    return static_cast<int>(listview_send(w, HDM_GETITEMCOUNT, 0, 0));
}
inline BOOL Header_GetItemRect(HWND w, int i, RECT* rect) {
    return static_cast<BOOL>(
        listview_send(w, HDM_GETITEMRECT, static_cast<WPARAM>(i), listview_pointer(rect)));
}
