// The tray program's application object and the two install options.
//
// A start with the command line "/Install" adds the start-up entry
// "Calvimora Tray" under the machine's Run key; "/Uninstall" ends a running
// tray program (logging the user off first) and removes the entry. Only
// the exact texts count: anything else starts the program. One instance
// runs per log-on session: a second one ends at once, silently.
#pragma once

#include <string>

#include "win/afx_app.h"

class CSessionFacade;

class CCalvimora_TrayApp : public CWinApp {
public:
    // The whole run: 0 after the loop, an option or when another instance
    // runs; -1 after an error, which the error box captioned "Calvimora"
    // has shown.
    BOOL InitInstance() override;
};

// InitInstance with its session facade given: what the tests run.
int RunTrayProgram(HINSTANCE instance, const std::wstring& command_line, CSessionFacade& session);

// "/Install": the module's path as the Run entry. Throws CTrayError.
void RegisterAutoStart(HINSTANCE instance);
// "/Uninstall": when a tray program runs in the session, logs the user off
// and posts WM_DESTROY to its hidden window (waiting a little for a tray
// that is still starting to make it); then removes the Run entry. Never
// starts a tray program. Throws CTrayError.
void UnregisterAutoStart(CSessionFacade& session);
