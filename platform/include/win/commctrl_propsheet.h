// Property sheets: a dialog with a row of tabs, one page per tab, and the
// buttons OK, Cancel and Apply. A page is made from a PROPSHEETPAGEW record
// by CreatePropertySheetPageW (the record is copied; with PSP_USECALLBACK
// its callback gets PSPCB_ADDREF at once when the record is longer than
// PROPSHEETPAGEW_V1_SIZE, PSPCB_CREATE just before the page's dialog is
// made, and PSPCB_RELEASE when the page is destroyed, whatever its size). A
// page's dialog is made only when its tab is first shown, as a child of the
// sheet (so its parent is the sheet), and gets a pointer to the sheet's
// copy of its record as the WM_INITDIALOG parameter.
//
// The sheet talks to its pages with WM_NOTIFY (a PSHNOTIFY, hwndFrom the
// sheet, idFrom 0); a page answers through DWLP_MSGRESULT:
// - PSN_SETACTIVE when its tab comes to the front;
// - PSN_KILLACTIVE before it leaves (OK, another tab): TRUE keeps it;
// - PSN_APPLY to every page made so far on OK and Apply (lParam TRUE for
//   OK): PSNRET_INVALID brings that page to the front and stops,
//   PSNRET_INVALID_NOCHANGEPAGE stops; the sheet stays open either way;
// - PSN_QUERYCANCEL to the page in front, TRUE refusing the cancel, then
//   PSN_RESET to every page made on Cancel (and on WM_CLOSE, as Cancel).
// Apply is enabled while some page has told the sheet PSM_CHANGED and not
// PSM_UNCHANGED; a successful apply disables it again.
#pragma once

#include <cstddef>

#include "win/user_dialog.h"
#include "win/user_messages.h"
#include "win/user_queue.h"
#include "win/user_types.h"

struct _PSP;
typedef struct _PSP* HPROPSHEETPAGE;
struct _PROPSHEETPAGEW;
typedef UINT(CALLBACK* LPFNPSPCALLBACKW)(HWND window, UINT message, _PROPSHEETPAGEW* page);

#define PSP_DEFAULT 0x00000000u
#define PSP_DLGINDIRECT 0x00000001u
#define PSP_USEHICON 0x00000002u
#define PSP_USEICONID 0x00000004u
#define PSP_USETITLE 0x00000008u
#define PSP_RTLREADING 0x00000010u
#define PSP_HASHELP 0x00000020u
#define PSP_USEREFPARENT 0x00000040u
#define PSP_USECALLBACK 0x00000080u
#define PSP_PREMATURE 0x00000400u

#define PSPCB_ADDREF 0
#define PSPCB_RELEASE 1
#define PSPCB_CREATE 2

typedef struct _PROPSHEETPAGEW {
    DWORD dwSize;
    DWORD dwFlags;
    HINSTANCE hInstance;
    union {
        LPCWSTR pszTemplate;  // a dialog template of hInstance
        const void* pResource;
    };
    union {
        HICON hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszTitle;  // with PSP_USETITLE; else the template's caption
    DLGPROC pfnDlgProc;
    LPARAM lParam;
    LPFNPSPCALLBACKW pfnCallback;
    UINT* pcRefParent;  // with PSP_USEREFPARENT: counts the live pages
    LPCWSTR pszHeaderTitle;
    LPCWSTR pszHeaderSubTitle;
    HANDLE hActCtx;
} PROPSHEETPAGEW, *LPPROPSHEETPAGEW;
typedef const PROPSHEETPAGEW* LPCPROPSHEETPAGEW;
// The sizes of the record's older forms; a record shorter than the first
// is refused.
#define PROPSHEETPAGEW_V1_SIZE (offsetof(PROPSHEETPAGEW, pszHeaderTitle))
#define PROPSHEETPAGEW_V2_SIZE (offsetof(PROPSHEETPAGEW, hActCtx))
#define PROPSHEETPAGEW_V3_SIZE (sizeof(PROPSHEETPAGEW))

// Null for a record that is too short or has no dialog procedure; the
// caller's record may be freed afterwards.
HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page);
// For a page that was never handed to a sheet: its callback gets
// PSPCB_RELEASE (a dialog that exists is destroyed first).
BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page);

// How a property-sheet extension hands its pages to the sheet: TRUE when
// the sheet took the page (it destroys it then), FALSE when the caller
// must destroy it.
typedef BOOL(CALLBACK* LPFNADDPROPSHEETPAGE)(HPROPSHEETPAGE page, LPARAM parameter);

#define MAXPROPPAGES 100

#define PSH_DEFAULT 0x00000000u
#define PSH_PROPTITLE 0x00000001u  // the caption is "<pszCaption> Properties"
#define PSH_USEHICON 0x00000002u
#define PSH_USEICONID 0x00000004u
#define PSH_PROPSHEETPAGE 0x00000008u  // ppsp, not phpage
#define PSH_USEPSTARTPAGE 0x00000040u  // start at the page of that title
#define PSH_NOAPPLYNOW 0x00000080u
#define PSH_USECALLBACK 0x00000100u
#define PSH_MODELESS 0x00000400u
#define PSH_NOCONTEXTHELP 0x02000000u

typedef int(CALLBACK* PFNPROPSHEETCALLBACK)(HWND sheet, UINT message, LPARAM parameter);

typedef struct _PROPSHEETHEADERW {
    DWORD dwSize;
    DWORD dwFlags;
    HWND hwndParent;
    HINSTANCE hInstance;
    union {
        HICON hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszCaption;
    UINT nPages;
    union {
        UINT nStartPage;
        LPCWSTR pStartPage;
    };
    union {
        LPCPROPSHEETPAGEW ppsp;
        HPROPSHEETPAGE* phpage;
    };
    PFNPROPSHEETCALLBACK pfnCallback;
} PROPSHEETHEADERW, *LPPROPSHEETHEADERW;
typedef const PROPSHEETHEADERW* LPCPROPSHEETHEADERW;

// Runs the sheet modally on the calling thread (PSH_MODELESS is refused).
// 1 when some apply succeeded, 0 when none did, -1 when the sheet could not
// be shown (no pages, a bad record, no start page that can be made). The
// sheet destroys every page it was given, shown or not.
INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header);

// What the sheet tells its pages.
typedef struct _PSHNOTIFY {
    NMHDR hdr;
    LPARAM lParam;
} PSHNOTIFY, *LPPSHNOTIFY;

#define PSN_FIRST (0U - 200U)
#define PSN_SETACTIVE (PSN_FIRST - 0)
#define PSN_KILLACTIVE (PSN_FIRST - 1)
#define PSN_APPLY (PSN_FIRST - 2)
#define PSN_RESET (PSN_FIRST - 3)
#define PSN_HELP (PSN_FIRST - 5)
#define PSN_QUERYCANCEL (PSN_FIRST - 9)

#define PSNRET_NOERROR 0
#define PSNRET_INVALID 1
#define PSNRET_INVALID_NOCHANGEPAGE 2
#define PSNRET_MESSAGEHANDLED 3

// What pages and callers tell the sheet.
#define PSM_SETCURSEL (WM_USER + 101)  // wparam an index, or lparam a page
#define PSM_CHANGED (WM_USER + 104)    // wparam the page window
#define PSM_CANCELTOCLOSE (WM_USER + 107)
#define PSM_UNCHANGED (WM_USER + 109)    // wparam the page window
#define PSM_APPLY (WM_USER + 110)        // TRUE when every page applied
#define PSM_PRESSBUTTON (WM_USER + 111)  // wparam one of PSBTN_*
#define PSM_GETTABCONTROL (WM_USER + 116)
#define PSM_GETCURRENTPAGEHWND (WM_USER + 118)

#define PSBTN_OK 1
#define PSBTN_CANCEL 5
#define PSBTN_APPLYNOW 4

// The ids of the sheet's own controls.
#define IDC_PROPSHEET_APPLY 0x3021
#define IDC_PROPSHEET_TABS 0x3020

inline void PropSheet_Changed(HWND sheet, HWND page) {
    SendMessageW(sheet, PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
}
inline void PropSheet_UnChanged(HWND sheet, HWND page) {
    SendMessageW(sheet, PSM_UNCHANGED, reinterpret_cast<WPARAM>(page), 0);
}
inline HWND PropSheet_GetTabControl(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
}
inline HWND PropSheet_GetCurrentPageHwnd(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}
inline BOOL PropSheet_SetCurSel(HWND sheet, HPROPSHEETPAGE page, int index) {
    return static_cast<BOOL>(SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index),
                                          reinterpret_cast<LPARAM>(page)));
}
inline BOOL PropSheet_PressButton(HWND sheet, int button) {
    return static_cast<BOOL>(SendMessageW(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0));
}
