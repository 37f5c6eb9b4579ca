// CDialog, data exchange, the tooltip control's wrapper and the message box
// helpers.

#include "win/afx.h"
#include "windowing/user_internal.h"

namespace {

// The dialog procedure of the class library's dialogs: initialisation goes
// to the object; everything else reaches it through its window procedure.
INT_PTR CALLBACK afx_dialog_procedure(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    auto* object = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(dialog));
    return object ? object->OnInitDialog() : TRUE;
}

}  // namespace

INT_PTR CDialog::DoModal() {
    win_user::set_creation_hook([this](HWND window) { SubclassWindow(window); });
    const INT_PTR result =
        DialogBoxParamW(m_hInstance, m_lpszTemplateName,
                        m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, afx_dialog_procedure, 0);
    win_user::set_creation_hook(nullptr);
    return result;
}

void CDialog::EndDialog(int result) {
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::UpdateData(BOOL save) {
    CDataExchange exchange(this, save);
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCommand(WPARAM wparam, LPARAM lparam) {
    if (HIWORD(wparam) == BN_CLICKED || lparam == 0) {
        if (LOWORD(wparam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wparam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
    if (control.m_hWnd) return;
    const HWND window = GetDlgItem(exchange->m_pDlgWnd->m_hWnd, id);
    if (window) control.SubclassWindow(window);
}

void DDX_Check(CDataExchange* exchange, int id, int& value) {
    const HWND dialog = exchange->m_pDlgWnd->m_hWnd;
    if (exchange->m_bSaveAndValidate)
        value = static_cast<int>(IsDlgButtonChecked(dialog, id));
    else
        CheckDlgButton(dialog, id, static_cast<UINT>(value));
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    return CreateEx(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, parent ? parent->m_hWnd : nullptr, nullptr);
}

namespace {

TOOLINFOW tool_of(CWnd* window, UINT_PTR id) {
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = window ? window->m_hWnd : nullptr;
    info.uId = id;
    return info;
}

}  // namespace

BOOL CToolTipCtrl::AddTool(CWnd* window, LPCWSTR text, LPCRECT rect, UINT_PTR id) {
    return add_tool(window, nullptr, text, rect, id);
}

BOOL CToolTipCtrl::add_tool(CWnd* window, HINSTANCE module, LPCWSTR text, LPCRECT rect,
                            UINT_PTR id) {
    TOOLINFOW info = tool_of(window, id);
    info.hinst = module;
    info.lpszText = const_cast<LPWSTR>(text);
    if (rect) {
        info.rect = *rect;
    } else {
        info.uFlags |= TTF_IDISHWND;
        info.uId = reinterpret_cast<UINT_PTR>(info.hwnd);
    }
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::DelTool(CWnd* window, UINT_PTR id) {
    TOOLINFOW info = tool_of(window, id);
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::SetToolRect(CWnd* window, UINT_PTR id, LPCRECT rect) {
    TOOLINFOW info = tool_of(window, id);
    if (rect) info.rect = *rect;
    SendMessage(TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::UpdateTipText(LPCWSTR text, CWnd* window, UINT_PTR id) {
    TOOLINFOW info = tool_of(window, id);
    info.lpszText = const_cast<LPWSTR>(text);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

int CToolTipCtrl::SetMaxTipWidth(int width) {
    return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, width));
}

void CToolTipCtrl::Activate(BOOL activate) {
    SendMessage(TTM_ACTIVATE, activate, 0);
}

void CToolTipCtrl::RelayEvent(LPMSG message) {
    SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
}

int CToolTipCtrl::GetToolCount() const {
    return static_cast<int>(::SendMessageW(m_hWnd, TTM_GETTOOLCOUNT, 0, 0));
}

namespace win_afx {

namespace {

// The program's title: its string 0xE000, else the executable's name
// without the suffix.
std::wstring title(HINSTANCE module) {
    wchar_t text[256];
    if (LoadStringW(module, AFX_IDS_APP_TITLE, text, 256) > 0) return text;
    wchar_t path[4096];
    const DWORD length = GetModuleFileNameW(nullptr, path, 4096);
    std::wstring name(path, length);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

}  // namespace

int message_box(HINSTANCE module, LPCWSTR text, UINT type) {
    return MessageBoxW(GetActiveWindow(), text, title(module).c_str(), type);
}

int message_box(HINSTANCE module, UINT text_id, UINT type) {
    wchar_t text[4096];
    LoadStringW(module, text_id, text, 4096);
    return message_box(module, text, type);
}

}  // namespace win_afx
