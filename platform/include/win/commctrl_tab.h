// The tab control ("SysTabControl32"): one row of tabs, each with a text
// and a caller's parameter, above a display area where the parent shows
// the page of the selected tab. The first tab inserted becomes the
// selected one. TCM_SETCURSEL selects silently; TCM_SETCURFOCUS and a
// click on a tab ask the parent first (TCN_SELCHANGING, a TRUE answer
// refuses) and then tell it (TCN_SELCHANGE), as the user's own choice does.
// A tab's "&&" shows as one "&", as in other control texts.
#pragma once

#include "win/rect.h"
#include "win/user_messages.h"
#include "win/user_queue.h"
#include "win/user_types.h"

#define WC_TABCONTROLW L"SysTabControl32"

#define TCS_SINGLELINE 0x0000u
#define TCS_FOCUSNEVER 0x8000u

#define TCIF_TEXT 0x0001u
#define TCIF_IMAGE 0x0002u
#define TCIF_RTLREADING 0x0004u
#define TCIF_PARAM 0x0008u
#define TCIF_STATE 0x0010u

typedef struct tagTCITEMW {
    UINT mask;
    DWORD dwState;
    DWORD dwStateMask;
    LPWSTR pszText;
    int cchTextMax;  // TCM_GETITEMW: the room at pszText, its zero included
    int iImage;
    LPARAM lParam;
} TCITEMW, *LPTCITEMW;

#define TCM_FIRST 0x1300u
#define TCM_GETITEMCOUNT (TCM_FIRST + 4)
#define TCM_DELETEITEM (TCM_FIRST + 8)
#define TCM_DELETEALLITEMS (TCM_FIRST + 9)
#define TCM_GETITEMRECT (TCM_FIRST + 10)
#define TCM_GETCURSEL (TCM_FIRST + 11)
#define TCM_SETCURSEL (TCM_FIRST + 12)
#define TCM_ADJUSTRECT (TCM_FIRST + 40)
#define TCM_GETROWCOUNT (TCM_FIRST + 44)
#define TCM_GETCURFOCUS (TCM_FIRST + 47)
#define TCM_SETCURFOCUS (TCM_FIRST + 48)
#define TCM_GETITEMW (TCM_FIRST + 60)
#define TCM_INSERTITEMW (TCM_FIRST + 62)

#define TCN_FIRST (0U - 550U)
#define TCN_SELCHANGE (TCN_FIRST - 1)
#define TCN_SELCHANGING (TCN_FIRST - 2)

// The drawing flags of WM_PRINTCLIENT.
#ifndef PRF_CHECKVISIBLE
#define PRF_CHECKVISIBLE 0x00000001u
#define PRF_NONCLIENT 0x00000002u
#define PRF_CLIENT 0x00000004u
#define PRF_ERASEBKGND 0x00000008u
#define PRF_CHILDREN 0x00000010u
#define PRF_OWNED 0x00000020u
#endif

// The messages above as calls.
inline int TabCtrl_GetItemCount(HWND tab) {
    return static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
}
inline int TabCtrl_InsertItem(HWND tab, int index, const TCITEMW* item) {
    return static_cast<int>(SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                                         reinterpret_cast<LPARAM>(item)));
}
inline BOOL TabCtrl_GetItem(HWND tab, int index, TCITEMW* item) {
    return static_cast<BOOL>(SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(index),
                                          reinterpret_cast<LPARAM>(item)));
}
inline BOOL TabCtrl_DeleteItem(HWND tab, int index) {
    return static_cast<BOOL>(SendMessageW(tab, TCM_DELETEITEM, static_cast<WPARAM>(index), 0));
}
inline BOOL TabCtrl_DeleteAllItems(HWND tab) {
    return static_cast<BOOL>(SendMessageW(tab, TCM_DELETEALLITEMS, 0, 0));
}
inline BOOL TabCtrl_GetItemRect(HWND tab, int index, RECT* rect) {
    return static_cast<BOOL>(SendMessageW(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index),
                                          reinterpret_cast<LPARAM>(rect)));
}
inline int TabCtrl_GetCurSel(HWND tab) {
    return static_cast<int>(SendMessageW(tab, TCM_GETCURSEL, 0, 0));
}
inline int TabCtrl_SetCurSel(HWND tab, int index) {
    return static_cast<int>(SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0));
}
inline int TabCtrl_GetCurFocus(HWND tab) {
    return static_cast<int>(SendMessageW(tab, TCM_GETCURFOCUS, 0, 0));
}
inline void TabCtrl_SetCurFocus(HWND tab, int index) {
    SendMessageW(tab, TCM_SETCURFOCUS, static_cast<WPARAM>(index), 0);
}
inline int TabCtrl_GetRowCount(HWND tab) {
    return static_cast<int>(SendMessageW(tab, TCM_GETROWCOUNT, 0, 0));
}
inline void TabCtrl_AdjustRect(HWND tab, BOOL larger, RECT* rect) {
    SendMessageW(tab, TCM_ADJUSTRECT, static_cast<WPARAM>(larger), reinterpret_cast<LPARAM>(rect));
}
