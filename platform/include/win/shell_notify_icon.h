// The notification-area (tray) icon. There is no task bar here: the icons
// and their balloons are kept as state of the process that tests read
// (win/shell_test.h), every call that changes something or fails is
// journalled under the stand-in machine's root, and a person running the
// program on a terminal sees each change and balloon as a printed line.
//
// The shell talks back by posting the icon's callback message to its
// window: wParam the icon's id, lParam the mouse message (WM_LBUTTONDOWN,
// WM_RBUTTONUP ...) or the balloon event (NIN_BALLOON*). Here those come
// from the test driver (win_test::tray_icon_event) and from the balloon's
// own time-out: a balloon shown from a thread that pumps its messages ends
// after its time-out (10 to 30 s, on the programs' time scale) with
// NIN_BALLOONTIMEOUT.
#pragma once

#include <string>

#include "win/guid.h"
#include "win/user_icon.h"
#include "win/user_messages.h"
#include "win/user_types.h"

#define NIM_ADD 0x00000000u
#define NIM_MODIFY 0x00000001u
#define NIM_DELETE 0x00000002u
#define NIM_SETFOCUS 0x00000003u
#define NIM_SETVERSION 0x00000004u

#define NIF_MESSAGE 0x00000001u
#define NIF_ICON 0x00000002u
#define NIF_TIP 0x00000004u
#define NIF_STATE 0x00000008u
#define NIF_INFO 0x00000010u
#define NIF_GUID 0x00000020u
#define NIF_REALTIME 0x00000040u
#define NIF_SHOWTIP 0x00000080u

// Balloon icons (dwInfoFlags).
#define NIIF_NONE 0x00000000u
#define NIIF_INFO 0x00000001u
#define NIIF_WARNING 0x00000002u
#define NIIF_ERROR 0x00000003u
#define NIIF_USER 0x00000004u
#define NIIF_ICON_MASK 0x0000000Fu
#define NIIF_NOSOUND 0x00000010u
#define NIIF_LARGE_ICON 0x00000020u

// Events of the icon and its balloon (lParam of the callback message).
#define NIN_SELECT (WM_USER + 0)
#define NIN_KEYSELECT (WM_USER + 1)
#define NIN_BALLOONSHOW (WM_USER + 2)
#define NIN_BALLOONHIDE (WM_USER + 3)
#define NIN_BALLOONTIMEOUT (WM_USER + 4)
#define NIN_BALLOONUSERCLICK (WM_USER + 5)

typedef struct _NOTIFYICONDATAW {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    WCHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    WCHAR szInfo[256];
    union {
        UINT uTimeout;
        UINT uVersion;
    };
    WCHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    GUID guidItem;
    HICON hBalloonIcon;
} NOTIFYICONDATAW, *PNOTIFYICONDATAW;

// An icon is named by its window and id. NIM_ADD fails for a window that
// is not there and for an icon that exists; NIM_MODIFY, NIM_DELETE and
// NIM_SETVERSION fail for an icon that does not exist. The flags say which
// fields count: NIF_MESSAGE the callback message, NIF_ICON the icon,
// NIF_TIP the tip, NIF_INFO the balloon: a non-empty szInfo shows it (with
// szInfoTitle, uTimeout and dwInfoFlags) in place of the one shown, an
// empty one hides it. Texts are taken up to their first zero, at most
// their field's size less one. Every call fails when cbSize is not the
// size of this record.
BOOL Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data);

namespace win_shell {

// Not a Windows call: a program run on a terminal adds a command of its own
// to those a person types for its tray icon (m, c, o, b). The line `word`
// sends `message` (wParam and lParam 0) to `window`, so that the window's
// own thread answers it, and the reader takes the next line once it has;
// the tray's help names the command with `help`. A later command with the
// same word takes the place of the earlier one, and a command whose window
// is gone is none. False for an empty word, one of the icon's own, or a
// window that is not there.
bool add_tray_terminal_command(const std::string& word, const std::string& help, HWND window,
                               UINT message);

}  // namespace win_shell
