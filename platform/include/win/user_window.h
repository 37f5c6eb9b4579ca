// Window classes and windows: creation and destruction, styles, the
// parent/owner tree, texts, positions, z-order, visibility and subclassing.
// Every window is real inside the process: it has a handle, a class, a
// procedure, styles, a rectangle and an owning thread (the creator), whose
// message queue receives its posted messages and timers.
#pragma once

#include "win/gdi.h"
#include "win/user_messages.h"
#include "win/user_types.h"

// Window styles.
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_MAXIMIZE 0x01000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_VSCROLL 0x00200000u
#define WS_HSCROLL 0x00100000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_CHILDWINDOW WS_CHILD
#define WS_SIZEBOX WS_THICKFRAME
#define WS_OVERLAPPEDWINDOW \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)

// Extended window styles.
#define WS_EX_DLGMODALFRAME 0x00000001u
#define WS_EX_NOPARENTNOTIFY 0x00000004u
#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_ACCEPTFILES 0x00000010u
#define WS_EX_TRANSPARENT 0x00000020u
#define WS_EX_TOOLWINDOW 0x00000080u
#define WS_EX_WINDOWEDGE 0x00000100u
#define WS_EX_CLIENTEDGE 0x00000200u
#define WS_EX_CONTROLPARENT 0x00010000u
#define WS_EX_STATICEDGE 0x00020000u
#define WS_EX_APPWINDOW 0x00040000u
#define WS_EX_LAYERED 0x00080000u
#define WS_EX_NOACTIVATE 0x08000000u

// Class styles.
#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u
#define CS_OWNDC 0x0020u
#define CS_CLASSDC 0x0040u
#define CS_PARENTDC 0x0080u
#define CS_NOCLOSE 0x0200u
#define CS_SAVEBITS 0x0800u
#define CS_GLOBALCLASS 0x4000u
#define CS_DROPSHADOW 0x00020000u

#define CW_USEDEFAULT (static_cast<int>(0x80000000u))

// The predefined classes.
#define WC_DIALOG MAKEINTATOM(0x8002)  // also "#32770"
#define WC_BUTTONW L"Button"
#define WC_STATICW L"Static"
#define WC_EDITW L"Edit"

typedef struct tagWNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
} WNDCLASSEXW, *LPWNDCLASSEXW;

// What WM_NCCREATE and WM_CREATE point to.
typedef struct tagCREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTW, *LPCREATESTRUCTW;

// What WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED point to.
typedef struct tagWINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
} WINDOWPOS, *LPWINDOWPOS;

// Classes are found by name (case-insensitive) or atom; a class registered
// by a module serves that module's CreateWindowExW calls, a CS_GLOBALCLASS
// or predefined class every module's. Fails with ERROR_CLASS_ALREADY_EXISTS
// for a name the module (or a global class) holds already.
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_CLASS_HAS_WINDOWS 1412L
#define ERROR_INVALID_INDEX 1413L
#define ERROR_TLW_WITH_WSCHILD 1406L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_WINDOW_OF_OTHER_THREAD 1408L
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#define ERROR_NOT_CHILD_WINDOW 1442L
#define ERROR_INVALID_THREAD_ID 1444L
ATOM RegisterClassExW(const WNDCLASSEXW* window_class);
// The same without the record's size and small icon.
typedef struct tagWNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
} WNDCLASSW, *LPWNDCLASSW;
ATOM RegisterClassW(const WNDCLASSW* window_class);
BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE instance);
BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR class_name, LPWNDCLASSEXW window_class);
int GetClassNameW(HWND window, LPWSTR class_name, int max_count);

// Creation sends WM_NCCREATE, WM_CREATE (-1 fails the creation after
// WM_DESTROY and WM_NCDESTROY), then WM_SIZE and WM_MOVE, and shows the
// window when WS_VISIBLE is asked for. A WS_CHILD window needs a parent and
// takes menu as its control id; for any other window parent names its owner
// (the top-level window above it). CW_USEDEFAULT positions and sizes
// top-level windows somewhere on the screen. New children go below their
// siblings; new top-level windows above theirs, topmost ones in the topmost
// band. Owned windows stay above their owner and in its band.
HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter);
inline HWND CreateWindowW(LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x, int y,
                          int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                          LPVOID parameter) {
    return CreateWindowExW(0, class_name, window_name, style, x, y, width, height, parent, menu,
                           instance, parameter);
}

// Only the owning thread destroys a window (ERROR_ACCESS_DENIED otherwise).
// Owned windows go first; then WM_DESTROY reaches the window and then its
// children, parents before children; WM_NCDESTROY reaches the children
// before the window, after which every handle of the tree is invalid.
// Messages sent from other threads and still waiting return 0.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);

// The parent of a child window, the owner of a top-level one.
HWND GetParent(HWND window);
#define GA_PARENT 1u
#define GA_ROOT 2u
#define GA_ROOTOWNER 3u
HWND GetAncestor(HWND window, UINT flags);
BOOL IsChild(HWND parent, HWND window);
#define GW_HWNDFIRST 0u
#define GW_HWNDLAST 1u
#define GW_HWNDNEXT 2u
#define GW_HWNDPREV 3u
#define GW_OWNER 4u
#define GW_CHILD 5u
HWND GetWindow(HWND window, UINT relation);
HWND GetDesktopWindow();
DWORD GetWindowThreadProcessId(HWND window, LPDWORD process_id);

// A top-level window by class and title (either may be null for any):
// this process's first, in z-order, else one of another live process of
// the log-on session (its class compared without regard to case; a class
// given as an atom finds only this process's windows). Window handles are
// unique in the session (they carry their process's id in their upper
// half): IsWindow, GetWindowThreadProcessId and PostMessageW accept
// another process's windows too; the other windowing calls only this
// process's.
HWND FindWindowW(LPCWSTR class_name, LPCWSTR window_name);

// Window longs. Offsets from 0 address the class's cbWndExtra bytes; a
// dialog's DWLP_* slots lie there. Setting GWLP_WNDPROC subclasses: the old
// procedure is returned for CallWindowProcW.
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)
#define GWL_WNDPROC GWLP_WNDPROC
#define GWL_ID GWLP_ID
#define GWL_USERDATA GWLP_USERDATA
LONG_PTR GetWindowLongPtrW(HWND window, int index);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LONG GetWindowLongW(HWND window, int index);
LONG SetWindowLongW(HWND window, int index, LONG value);
LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wparam, LPARAM lparam);

int GetDlgCtrlID(HWND window);
HWND GetDlgItem(HWND dialog, int id);

// Texts go through WM_SETTEXT and WM_GETTEXT, so controls and subclasses see
// them. GetWindowTextW copies at most max_count - 1 characters and a zero.
BOOL SetWindowTextW(HWND window, LPCWSTR text);
int GetWindowTextW(HWND window, LPWSTR text, int max_count);
int GetWindowTextLengthW(HWND window);

// WM_ENABLE follows a change; disabling the focus window moves the focus
// away.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);

// Rectangles: window rectangles in screen coordinates, client rectangles
// from (0, 0). The frame around the client area follows the styles:
// WS_CAPTION adds a caption, WS_THICKFRAME a sizing border, WS_DLGFRAME or
// DS_MODALFRAME a dialog frame, WS_BORDER a line.
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL GetClientRect(HWND window, LPRECT rect);
BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD ex_style);
BOOL ScreenToClient(HWND window, LPPOINT point);
BOOL ClientToScreen(HWND window, LPPOINT point);
int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count);

// Positions: WM_WINDOWPOSCHANGING (which may change the request), the
// change, then WM_WINDOWPOSCHANGED, whose default handling sends WM_MOVE
// and WM_SIZE.
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_FRAMECHANGED 0x0020u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define SWP_NOCOPYBITS 0x0100u
#define SWP_NOOWNERZORDER 0x0200u
#define SWP_NOSENDCHANGING 0x0400u
#define SWP_DEFERERASE 0x2000u
#define SWP_ASYNCWINDOWPOS 0x4000u
#define HWND_TOP (reinterpret_cast<HWND>(0))
#define HWND_BOTTOM (reinterpret_cast<HWND>(1))
#define HWND_TOPMOST (reinterpret_cast<HWND>(-1))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(-2))
#define HWND_DESKTOP (reinterpret_cast<HWND>(0))
BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);

// Showing: WM_SHOWWINDOW, then a position change with SWP_SHOWWINDOW or
// SWP_HIDEWINDOW. Hiding releases the mouse capture held inside the window.
// Returns whether the window was visible before.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10
BOOL ShowWindow(HWND window, int command);
// Visible means WS_VISIBLE on the window and every ancestor.
BOOL IsWindowVisible(HWND window);

// The window's own region: outside it the window is not there (not hit,
// not drawn). The system owns the region given and frees it when replaced
// or the window goes. GetWindowRgn copies it into region and answers the
// region's kind, ERROR (0) when the window has none.
int SetWindowRgn(HWND window, HRGN region, BOOL redraw);
int GetWindowRgn(HWND window, HRGN region);

// Procedures of windows with nothing of their own to do.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
