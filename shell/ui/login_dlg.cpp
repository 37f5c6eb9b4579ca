#include "ui/login_dlg.h"

#include <algorithm>

#include "folder/module/failure_text.h"
#include "folder/module/site_message_box.h"
#include "ui/login_settings.h"
#include "vfs/session.h"
#include "win/process.h"
#include "win/shell.h"
#include "win/user.h"

namespace {

// The link's place and the child's, in pixels of the dialog's client area.
constexpr RECT link_rect{11, 165, 161, 181};
constexpr int child_top = 184;
constexpr int child_width = 273;
constexpr int child_height = 244;

// Sent by the "New Account" link.
constexpr UINT WM_LOGIN_EXPAND = WM_USER + 1;

std::wstring text_of(HWND dialog, int id) {
    return CWindow(GetDlgItem(dialog, id)).GetWindowText();
}

}  // namespace

CLoginDlg::CLoginDlg() {
    register_login_resources();
}

BOOL CLoginDlg::ProcessWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam,
                                     LRESULT& result, DWORD) {
    result = 0;
    switch (message) {
        case WM_INITDIALOG:
            on_init_dialog();
            result = TRUE;  // the focus to the first control
            return TRUE;
        case WM_LOGIN_EXPAND:
            expand();
            return TRUE;
        case WM_NEW_PROFILE_CANCEL:
            collapse();
            return TRUE;
        case WM_NEW_PROFILE_CREATED:
            on_account_created(reinterpret_cast<LPCWSTR>(lparam));
            return TRUE;
        case WM_NEW_PROFILE_FAILED:
            if (lparam)
                shell_utils::MessageBoxCaptionId(m_hWnd, nullptr, IDS_ERROR_CREATING_PROFILE,
                                                 reinterpret_cast<LPCWSTR>(lparam), MB_ICONERROR);
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wparam) != 0) return FALSE;
            switch (LOWORD(wparam)) {
                case IDOK:
                    on_ok();
                    return TRUE;
                case IDCANCEL:
                    EndDialog(IDCANCEL);
                    return TRUE;
                case IDC_LOGIN_SAVE_PASSWORD:
                case IDC_LOGIN_AUTO_LOGIN:
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

void CLoginDlg::on_init_dialog() {
    center_over_owner();

    m_link.Create(m_hWnd, link_rect, WS_CHILD | WS_VISIBLE | SS_NOTIFY);
    m_link.SetColor(GetSysColor(COLOR_HOTLIGHT));
    m_link.SetText(L"New Account", CUrlStatic::link_notify_parent);
    // Its window text too, so the link reads like any labelled control
    // (the terminal lists it as something to click).
    m_link.SetWindowText(L"New Account");

    if (m_newProfile.Create(m_hWnd))
        m_newProfile.SetWindowPos(nullptr, 0, child_top, child_width, child_height,
                                  SWP_NOZORDER | SWP_NOACTIVATE);
    collapse();

    const bool save_password = login_settings::read_login_flag(login_settings::save_pass_flag);
    const bool auto_login = login_settings::read_login_flag(login_settings::auto_login_flag);
    if (save_password || auto_login) login_settings::load_login_data(m_strUser, m_strPassword);
    SetDlgItemTextW(m_hWnd, IDC_LOGIN_USER, m_strUser.c_str());
    SetDlgItemTextW(m_hWnd, IDC_LOGIN_PASSWORD, m_strPassword.c_str());
    CheckDlgButton(m_hWnd, IDC_LOGIN_SAVE_PASSWORD, save_password ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hWnd, IDC_LOGIN_AUTO_LOGIN, auto_login ? BST_CHECKED : BST_UNCHECKED);

    if (auto_login)
        SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    else
        login_settings::signal_login_dialog_event();

    SetWindowPos(HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void CLoginDlg::on_ok() {
    m_strUser = text_of(m_hWnd, IDC_LOGIN_USER);
    m_strPassword = text_of(m_hWnd, IDC_LOGIN_PASSWORD);

    const bool save_password = IsDlgButtonChecked(m_hWnd, IDC_LOGIN_SAVE_PASSWORD) == BST_CHECKED;
    const bool auto_login = IsDlgButtonChecked(m_hWnd, IDC_LOGIN_AUTO_LOGIN) == BST_CHECKED;
    login_settings::write_login_flag(login_settings::save_pass_flag, save_password);
    login_settings::write_login_flag(login_settings::auto_login_flag, auto_login);
    // Either box keeps the login; with neither an earlier one is replaced
    // by the empty login. Before the attempt, whatever its outcome.
    if (save_password || auto_login)
        login_settings::save_login_data(m_strUser, m_strPassword);
    else
        login_settings::save_login_data(L"", L"");

    EnableWindow(m_hWnd, FALSE);
    try {
        vfs_calvimora::login(win_module::this_module(), m_strUser, m_strPassword);
    } catch (...) {
        const failure_text failure = current_failure();
        login_settings::signal_login_dialog_event();
        MessageBoxW(m_hWnd, failure.text.c_str(), failure.title.c_str(), MB_ICONERROR);
        EnableWindow(m_hWnd, TRUE);
        return;
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    EndDialog(IDOK);
}

void CLoginDlg::on_account_created(LPCWSTR user_name) {
    collapse();
    if (user_name) {
        m_strUser = user_name;
        m_strPassword.clear();
        SetDlgItemTextW(m_hWnd, IDC_LOGIN_USER, m_strUser.c_str());
        SetDlgItemTextW(m_hWnd, IDC_LOGIN_PASSWORD, L"");
        SetFocus(GetDlgItem(IDC_LOGIN_PASSWORD));
    }
    MessageBoxW(m_hWnd, shell_utils::LoadShellString(IDS_ACCOUNT_CREATED).c_str(),
                L"Calvimora login", MB_OK);
}

void CLoginDlg::expand() {
    set_client_height(expanded_height);
    m_newProfile.ShowWindow(SW_SHOW);
    ::ShowWindow(m_link, SW_HIDE);
}

void CLoginDlg::collapse() {
    set_client_height(collapsed_height);
    m_newProfile.ShowWindow(SW_HIDE);
    ::ShowWindow(m_link, SW_SHOW);
}

void CLoginDlg::set_client_height(int height) {
    RECT client{};
    GetClientRect(&client);
    RECT frame{0, 0, client.right - client.left, height};
    AdjustWindowRectEx(&frame, GetStyle(), FALSE,
                       static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_EXSTYLE)));
    SetWindowPos(nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

// Over the owner when there is one, else over the work area, and kept
// inside the work area.
void CLoginDlg::center_over_owner() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT area = work;
    const HWND owner = GetWindow(m_hWnd, GW_OWNER);
    if (owner && IsWindowVisible(owner)) ::GetWindowRect(owner, &area);
    RECT window{};
    GetWindowRect(&window);
    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    LONG x = area.left + (area.right - area.left - width) / 2;
    LONG y = area.top + (area.bottom - area.top - height) / 2;
    x = std::max(work.left, std::min(x, work.right - width));
    y = std::max(work.top, std::min(y, work.bottom - height));
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
