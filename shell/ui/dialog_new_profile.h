// The new-account child of the login dialog: six boxes and "Sign Up",
// which asks the service for a new account and hands the outcome to the
// login dialog. It checks nothing itself; the service's reply decides.
#pragma once

#include "ui/login_resources.h"
#include "win/atl_dialog.h"

// What the child sends its parent, the login dialog.
enum new_profile_message : UINT {
    WM_NEW_PROFILE_CANCEL = WM_USER + 2,   // collapse
    WM_NEW_PROFILE_CREATED = WM_USER + 3,  // lParam: the new user name
    WM_NEW_PROFILE_FAILED = WM_USER + 4,   // lParam: the failure's text
};

class CDialogNewProfile : public CAxDialogImpl<CDialogNewProfile> {
public:
    enum { IDD = IDD_NEW_PROFILE };

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;

private:
    void sign_up();
};
