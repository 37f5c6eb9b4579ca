// Common controls: their initialisation and the tooltip control. A tooltip
// keeps a list of tools (a window, an id, a rectangle in that window's
// client coordinates and a text); mouse messages relayed to it
// (TTM_RELAYEVENT) show the tool's text after the hover delay while the
// pointer rests over a tool and hide it when the pointer leaves or a button
// goes down. Without TTS_ALWAYSTIP it shows only while the tool window's
// top-level window is active.
#pragma once

#include <cstddef>

#include "win/user_messages.h"
#include "win/user_types.h"

#define ICC_LISTVIEW_CLASSES 0x00000001u
#define ICC_TREEVIEW_CLASSES 0x00000002u
#define ICC_BAR_CLASSES 0x00000004u
#define ICC_TAB_CLASSES 0x00000008u
#define ICC_UPDOWN_CLASS 0x00000010u
#define ICC_PROGRESS_CLASS 0x00000020u
#define ICC_HOTKEY_CLASS 0x00000040u
#define ICC_ANIMATE_CLASS 0x00000080u
#define ICC_WIN95_CLASSES 0x000000FFu
#define ICC_STANDARD_CLASSES 0x00004000u
typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;
// The controls here are always there; FALSE only for a bad record size.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
void InitCommonControls();

#define TOOLTIPS_CLASSW L"tooltips_class32"

#define TTS_ALWAYSTIP 0x01u
#define TTS_NOPREFIX 0x02u
#define TTS_NOANIMATE 0x10u
#define TTS_NOFADE 0x20u
#define TTS_BALLOON 0x40u

#define TTF_IDISHWND 0x0001u  // the id is a window handle: the tool is that window
#define TTF_CENTERTIP 0x0002u
#define TTF_RTLREADING 0x0004u
#define TTF_SUBCLASS 0x0010u
#define TTF_TRACK 0x0020u
#define TTF_ABSOLUTE 0x0080u
#define TTF_TRANSPARENT 0x0100u

#define LPSTR_TEXTCALLBACKW (reinterpret_cast<LPWSTR>(static_cast<LONG_PTR>(-1)))

typedef struct tagTOOLINFOW {
    UINT cbSize;
    UINT uFlags;
    HWND hwnd;
    UINT_PTR uId;
    RECT rect;
    HINSTANCE hinst;  // with a MAKEINTRESOURCEW text: the module of the string
    LPWSTR lpszText;  // a text, a string id, or LPSTR_TEXTCALLBACKW
    LPARAM lParam;
    void* lpReserved;
} TTTOOLINFOW, TOOLINFOW, *LPTOOLINFOW;
// The size of the record without its last two members, which older callers
// leave out.
#define TTTOOLINFOW_V1_SIZE (offsetof(TOOLINFOW, lParam))

#define TTM_ACTIVATE (WM_USER + 1)
#define TTM_SETDELAYTIME (WM_USER + 3)
#define TTM_RELAYEVENT (WM_USER + 7)
#define TTM_GETTOOLCOUNT (WM_USER + 13)
#define TTM_SETMAXTIPWIDTH (WM_USER + 24)
#define TTM_GETMAXTIPWIDTH (WM_USER + 25)
#define TTM_POP (WM_USER + 28)
#define TTM_ADDTOOLW (WM_USER + 50)
#define TTM_DELTOOLW (WM_USER + 51)
#define TTM_NEWTOOLRECTW (WM_USER + 52)
#define TTM_GETTOOLINFOW (WM_USER + 53)
#define TTM_SETTOOLINFOW (WM_USER + 54)
#define TTM_GETTEXTW (WM_USER + 56)
#define TTM_UPDATETIPTEXTW (WM_USER + 57)

#define TTDT_AUTOMATIC 0
#define TTDT_RESHOW 1
#define TTDT_AUTOPOP 2
#define TTDT_INITIAL 3

#define TTN_FIRST (0U - 520U)
#define TTN_SHOW (TTN_FIRST - 1)
#define TTN_POP (TTN_FIRST - 2)

#include "win/commctrl_listview.h"
#include "win/commctrl_propsheet.h"
#include "win/commctrl_tab.h"
