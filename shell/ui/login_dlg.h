// The login dialog: where a user types the service's user name and
// password. Callers run it with DoModal(owner) when nobody is logged in and
// go on only when it ends with IDOK, after a successful login. It keeps the
// "SavePass" and "AutoLogin" flags and the saved login of the tray
// program's automatic log-in, and tells the tray program that a login
// dialog has been open. Its "New Account" link unfolds the new-account
// child inside the same window.
//
// With "AutoLogin" set and a saved login, the dialog tries it at once; a
// success ends the dialog before it is shown.
#pragma once

#include <string>

#include "ui/dialog_new_profile.h"
#include "ui/login_resources.h"
#include "ui/url_static.h"
#include "win/atl_dialog.h"

class CLoginDlg : public CAxDialogImpl<CLoginDlg> {
public:
    enum { IDD = IDD_LOGIN };

    // The client heights of the two layouts.
    static constexpr int collapsed_height = 192;
    static constexpr int expanded_height = 413;

    CLoginDlg();

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;

private:
    void on_init_dialog();
    void on_ok();
    void on_account_created(LPCWSTR user_name);
    void expand();
    void collapse();
    void set_client_height(int height);
    void center_over_owner();

    std::wstring m_strUser;
    std::wstring m_strPassword;
    CUrlStatic m_link;
    CDialogNewProfile m_newProfile;
};
