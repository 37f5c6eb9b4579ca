// The windowing calls: windows, messages, input, painting, dialogs and
// message boxes.
//
// Message boxes show nothing: a responder answers each box on the calling
// thread. Tests script it in-process (win/test_journal.h); a person on a
// terminal is asked there (see win_test::answers_on_terminal); otherwise the
// box is written to stderr and answered with its default button at once.
// While the box is up its owner is disabled, and its modal loop runs the
// thread's messages (sent and posted ones, timers, painting) as the
// system's does: the responder is asked once none waits. A WM_QUIT ends the
// box unanswered (No, else Cancel, else its default button) and is posted
// again. Every box is recorded in a
// journal under the stand-in machine's root, with its answer.
#pragma once

#include "win/base.h"
#include "win/user_dialog.h"
#include "win/user_icon.h"
#include "win/user_image.h"
#include "win/user_input.h"
#include "win/user_menu.h"
#include "win/user_messages.h"
#include "win/user_paint.h"
#include "win/user_queue.h"
#include "win/user_types.h"
#include "win/user_window.h"

// Buttons (the low four bits of the type).
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_CANCELTRYCONTINUE 0x00000006u
#define MB_TYPEMASK 0x0000000Fu

// Icons.
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u

// Which button is the default.
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFBUTTON4 0x00000300u
#define MB_DEFMASK 0x00000F00u

// Modality and presentation.
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_HELP 0x00004000u
#define MB_NOFOCUS 0x00008000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_DEFAULT_DESKTOP_ONLY 0x00020000u
#define MB_TOPMOST 0x00040000u
#define MB_RIGHT 0x00080000u
#define MB_RTLREADING 0x00100000u

// The responder's button; 0 with ERROR_INVALID_PARAMETER for an unknown
// button set. Null texts count as empty.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
// The same with texts in the system's ANSI code page (win/code_page.h).
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

namespace win_user {

// Whether the calling thread's last message box took its default button
// because nobody was there to choose one: no script, no line of the
// answers file, and no terminal, or a terminal whose input had ended. Code
// that repeats a failing step on a box's answer asks this, so that an
// unattended program does not repeat it for ever.
bool last_box_unattended();

}  // namespace win_user
