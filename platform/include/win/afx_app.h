// The application object of a program built on the class library: the one
// static object of a class derived from CWinApp. The program's main hands
// its arguments to AfxWinMain, which gives the object the executable's
// instance and the command line and runs its InitInstance. The programs
// here run their own message loops inside InitInstance, so its result is
// the process's exit code.
//
// When a person runs the program on a terminal, Ctrl+C does not kill it:
// every question open or asked later is answered No and the thread that
// runs InitInstance gets WM_QUIT, so the program's loop ends and it tidies
// up as it does at the end of its session.
#pragma once

#include <string>

#include "win/base.h"

class CWinApp {
public:
    // The one application object of the process; AfxGetApp returns it.
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The whole run of the program; its result is the exit code.
    virtual BOOL InitInstance() { return TRUE; }

    HINSTANCE m_hInstance = nullptr;
    // The command line after the program's name, as the program was given
    // it: the arguments separated by blanks, one that holds a blank, a tab
    // or a quote, or is empty, in double quotes (inner quotes and the
    // backslashes before them escaped as the C runtime reads them).
    LPCWSTR m_lpCmdLine = L"";

private:
    friend int AfxWinMain(int argc, char** argv);
    std::wstring command_line_;
};

// The application object; null when the program has none.
CWinApp* AfxGetApp();

// The program's entry: runs the application object's InitInstance with
// the arguments as its command line and returns its result; 1 when the
// program has no application object.
int AfxWinMain(int argc, char** argv);

namespace win_afx {

// The command line of the arguments after the program's name, as
// m_lpCmdLine shows it.
std::wstring command_line_of(int argc, char** argv);

}  // namespace win_afx
