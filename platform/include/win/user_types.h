// Types shared by the windowing calls: message parameters, window
// procedures, the message record and the handles the windowing calls pass
// around.
#pragma once

#include "win/base.h"
#include "win/rect.h"
#include "win/resources.h"

typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef short SHORT;
typedef unsigned short USHORT;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef WORD ATOM;

typedef struct menu_tag* HMENU;
typedef struct icon_tag* HICON;
typedef HICON HCURSOR;
typedef struct monitor_tag* HMONITOR;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | (((WORD)((BYTE)(high))) << 8)))
#define MAKELONG(low, high) ((LONG)(((WORD)(low)) | (((DWORD)((WORD)(high))) << 16)))
#define LOWORD(value) ((WORD)(((DWORD_PTR)(value)) & 0xffff))
#define HIWORD(value) ((WORD)((((DWORD_PTR)(value)) >> 16) & 0xffff))
#define MAKEWPARAM(low, high) ((WPARAM)(DWORD)MAKELONG(low, high))
#define MAKELPARAM(low, high) ((LPARAM)(DWORD)MAKELONG(low, high))
#define MAKELRESULT(low, high) ((LRESULT)(DWORD)MAKELONG(low, high))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#define GET_WHEEL_DELTA_WPARAM(wp) ((short)HIWORD(wp))
#define GET_KEYSTATE_WPARAM(wp) (LOWORD(wp))

// Resource names and class atoms: a small integer in place of a text.
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#define MAKEINTATOM(atom) MAKEINTRESOURCEW(atom)

// The time in milliseconds since the process's clock started, wrapping
// after 49.7 days as the system's does.
DWORD GetTickCount();
