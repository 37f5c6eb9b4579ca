// Dialogs and their controls. Dialog templates are defined in code
// (win_dialogs::dialog_template) and filed as RT_DIALOG resources of a
// module; the dialog manager creates the dialog window (class "#32770") and
// its controls from them, converting dialog units to pixels with the
// dialog font's average character size.
//
// A modal dialog (DialogBoxParamW) runs a message loop on the calling
// thread, whatever thread that is, so timers and posted or sent messages
// run inside it. Nothing waits for a person unless a person is there: once
// the dialog is shown and its thread has nothing else to do, a responder
// answers it: a test's script (win_test.h), else the terminal when the
// program runs on one (see win_test::answers_on_terminal), else the default
// answer at once (the default push button, as Enter gives it). Every modal
// dialog is journalled with its answer.
#pragma once

#include <string>
#include <vector>

#include "win/user_types.h"
#include "win/user_window.h"

// Standard control ids of dialogs, and the answers of message boxes.
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDCLOSE 8
#define IDHELP 9
#define IDTRYAGAIN 10
#define IDCONTINUE 11

// Dialog styles.
#define DS_ABSALIGN 0x0001u
#define DS_SYSMODAL 0x0002u
#define DS_3DLOOK 0x0004u
#define DS_FIXEDSYS 0x0008u
#define DS_NOFAILCREATE 0x0010u
#define DS_LOCALEDIT 0x0020u
#define DS_SETFONT 0x0040u
#define DS_MODALFRAME 0x0080u
#define DS_NOIDLEMSG 0x0100u
#define DS_SETFOREGROUND 0x0200u
#define DS_CONTROL 0x0400u
#define DS_CENTER 0x0800u
#define DS_CENTERMOUSE 0x1000u
#define DS_CONTEXTHELP 0x2000u
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

// Dialog messages.
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B

// WM_GETDLGCODE answers.
#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_HASSETSEL 0x0008
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON 0x0040
#define DLGC_WANTCHARS 0x0080
#define DLGC_STATIC 0x0100
#define DLGC_BUTTON 0x2000

// The dialog procedure's slots in the dialog window's extra bytes.
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC (DWLP_MSGRESULT + static_cast<int>(sizeof(LRESULT)))
#define DWLP_USER (DWLP_DLGPROC + static_cast<int>(sizeof(DLGPROC)))
#define DLGWINDOWEXTRA 30

// -1 when the template is missing (last error as FindResourceW leaves it)
// or the dialog cannot be created; otherwise what EndDialog was given.
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR template_name, HWND owner, DLGPROC procedure,
                        LPARAM parameter);
// A modeless dialog: shown when its template has WS_VISIBLE; the caller's
// message loop passes its messages through IsDialogMessageW.
HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR template_name, HWND owner, DLGPROC procedure,
                        LPARAM parameter);
// Ends a modal dialog: it is hidden at once, its owner enabled again, and
// the modal loop returns the result before the next message (the dialog is
// never shown when this happens inside WM_INITDIALOG).
BOOL EndDialog(HWND dialog, INT_PTR result);
// The dialog class's procedure: calls the dialog procedure, and does the
// default handling of what it leaves (FALSE): background, WM_CLOSE as
// IDCANCEL, DM_GETDEFID/DM_SETDEFID, the focus on activation.
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Handles the dialog's keys (Enter: the focused push button or the default
// button, IDOK when there is none; Escape: IDCANCEL) and dispatches every
// other message of the dialog and its controls. FALSE for a message of
// another window.
BOOL IsDialogMessageW(HWND dialog, LPMSG message);

// Dialog units to pixels: x by the average character width / 4, y by the
// character height / 8, rounded. The base units of the system font (8-point
// "MS Shell Dlg" here) as MAKELONG(width, height).
BOOL MapDialogRect(HWND dialog, LPRECT rect);
LONG GetDialogBaseUnits();

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int max_count);

// Buttons: push buttons (BS_DEFPUSHBUTTON marks the default one) and check
// boxes. A click (mouse up over the button after a press on it, BM_CLICK,
// or Space on the focused button) toggles an automatic check box and sends
// WM_COMMAND with BN_CLICKED to the parent.
#define BS_PUSHBUTTON 0x00000000u
#define BS_DEFPUSHBUTTON 0x00000001u
#define BS_CHECKBOX 0x00000002u
#define BS_AUTOCHECKBOX 0x00000003u
#define BS_RADIOBUTTON 0x00000004u
#define BS_3STATE 0x00000005u
#define BS_AUTO3STATE 0x00000006u
#define BS_GROUPBOX 0x00000007u
#define BS_AUTORADIOBUTTON 0x00000009u
#define BS_TYPEMASK 0x0000000Fu
#define BS_LEFTTEXT 0x00000020u
#define BS_TEXT 0x00000000u
#define BS_LEFT 0x00000100u
#define BS_RIGHT 0x00000200u
#define BS_CENTER 0x00000300u
#define BS_TOP 0x00000400u
#define BS_BOTTOM 0x00000800u
#define BS_VCENTER 0x00000C00u
#define BS_PUSHLIKE 0x00001000u
#define BS_MULTILINE 0x00002000u
#define BS_NOTIFY 0x00004000u
#define BS_FLAT 0x00008000u
#define BM_GETCHECK 0x00F0u
#define BM_SETCHECK 0x00F1u
#define BM_GETSTATE 0x00F2u
#define BM_SETSTATE 0x00F3u
#define BM_SETSTYLE 0x00F4u
#define BM_CLICK 0x00F5u
#define BST_UNCHECKED 0x0000u
#define BST_CHECKED 0x0001u
#define BST_INDETERMINATE 0x0002u
#define BST_PUSHED 0x0004u
#define BST_FOCUS 0x0008u
#define BN_CLICKED 0
#define BN_DOUBLECLICKED 5
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks the button of id check and unchecks the others from first to last.
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);

// Static texts. Without SS_NOTIFY they let the mouse through to the dialog.
#define SS_LEFT 0x00000000u
#define SS_CENTER 0x00000001u
#define SS_RIGHT 0x00000002u
#define SS_SIMPLE 0x0000000Bu
#define SS_LEFTNOWORDWRAP 0x0000000Cu
#define SS_TYPEMASK 0x0000001Fu
#define SS_NOPREFIX 0x00000080u
#define SS_NOTIFY 0x00000100u
#define SS_CENTERIMAGE 0x00000200u
#define SS_ENDELLIPSIS 0x00004000u
#define STN_CLICKED 0
// SS_ICON shows the icon STM_SETICON gives it (the previous one is
// returned), drawn at its own size; SS_ETCHEDHORZ is a sunken line along
// the top of the control.
#define SS_ICON 0x00000003u
#define SS_ETCHEDHORZ 0x00000010u
#define STM_SETICON 0x0170u
#define STM_GETICON 0x0171u

// Edit controls: one line of text with a selection, the caret at its end.
// WM_CHAR replaces the selection with a printable character (Backspace
// removes the selection, or the character before the caret); EM_REPLACESEL
// replaces it with a text, as a paste does; WM_SETTEXT puts the caret at
// the start. Every change sends WM_COMMAND with EN_CHANGE to the parent,
// WM_SETTEXT too unless the edit is ES_MULTILINE: a dialog that fills its
// edits tells its own filling from the person's typing.
// ES_PASSWORD shows a password character (U+25CF) for each character;
// WM_GETTEXT still answers the text. EM_SETPASSWORDCHAR changes the
// character, 0 showing the text again (and clearing ES_PASSWORD).
#define ES_LEFT 0x0000u
#define ES_CENTER 0x0001u
#define ES_RIGHT 0x0002u
#define ES_MULTILINE 0x0004u
#define ES_PASSWORD 0x0020u
#define ES_AUTOVSCROLL 0x0040u
#define ES_AUTOHSCROLL 0x0080u
#define ES_READONLY 0x0800u
#define ES_NUMBER 0x2000u
#define ES_WANTRETURN 0x1000u
#define EM_GETSEL 0x00B0u
#define EM_SETSEL 0x00B1u  // start -1: no selection; end -1: to the end
#define EM_REPLACESEL 0x00C2u
#define EM_SETPASSWORDCHAR 0x00CCu
#define EM_SETREADONLY 0x00CFu  // wparam TRUE sets ES_READONLY, FALSE clears it
#define EM_GETPASSWORDCHAR 0x00D2u
#define EN_CHANGE 0x0300

// String tables: LoadStringW copies at most max_count - 1 characters and a
// zero and returns the count; with max_count 0 it stores a read-only pointer
// to the text (not zero-terminated) in *buffer. 0 when the string is missing.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int max_count);

namespace win_dialogs {

// One control of a template. Position and size are in dialog units.
struct control_template {
    std::wstring class_name;  // "Button", "Static", or a registered class
    std::wstring text;
    int id = 0;
    DWORD style = 0;  // WS_CHILD is added; WS_VISIBLE as given
    DWORD ex_style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
};

struct dialog_template {
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    DWORD ex_style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring caption;
    std::wstring font_face = L"MS Shell Dlg";
    WORD point_size = 8;
    std::wstring class_name;  // empty: the dialog class "#32770"
    std::vector<control_template> controls;
};

// Controls as resource scripts name them; WS_VISIBLE and WS_TABSTOP as a
// script would give them.
control_template push_button(int id, std::wstring text, short x, short y, short cx, short cy);
control_template default_push_button(int id, std::wstring text, short x, short y, short cx,
                                     short cy);
control_template auto_check_box(int id, std::wstring text, short x, short y, short cx, short cy);
control_template left_text(int id, std::wstring text, short x, short y, short cx, short cy);
// An edit box with a border (style adds ES_* bits such as ES_PASSWORD).
control_template edit_text(int id, short x, short y, short cx, short cy, DWORD style = 0);
control_template group_box(int id, std::wstring text, short x, short y, short cx, short cy);

// Files the template as the module's RT_DIALOG resource of that id.
void register_dialog(HMODULE module, WORD id, const dialog_template& dialog);

// Files strings as the module's string table (RT_STRING), adding to what
// the module has.
void register_strings(HMODULE module, const std::vector<std::pair<UINT, std::wstring>>& strings);

// The template bytes back as a template; false for bytes that are not a
// well-formed template (they are read with every length checked).
bool parse_dialog(const void* bytes, size_t size, dialog_template* out);

}  // namespace win_dialogs
