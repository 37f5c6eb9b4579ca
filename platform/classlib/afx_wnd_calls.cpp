// CWnd's thin wrappers of the windowing calls.

#include "win/afx.h"

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse_ms, TIMERPROC callback) {
    return ::SetTimer(m_hWnd, id, elapse_ms, callback);
}
BOOL CWnd::KillTimer(UINT_PTR id) {
    return ::KillTimer(m_hWnd, id);
}
void CWnd::Invalidate(BOOL erase) {
    ::InvalidateRect(m_hWnd, nullptr, erase);
}
void CWnd::InvalidateRect(LPCRECT rect, BOOL erase) {
    ::InvalidateRect(m_hWnd, rect, erase);
}
void CWnd::UpdateWindow() {
    ::UpdateWindow(m_hWnd);
}
void CWnd::GetClientRect(LPRECT rect) const {
    ::GetClientRect(m_hWnd, rect);
}
void CWnd::GetWindowRect(LPRECT rect) const {
    ::GetWindowRect(m_hWnd, rect);
}
void CWnd::ClientToScreen(LPPOINT point) const {
    ::ClientToScreen(m_hWnd, point);
}
void CWnd::ScreenToClient(LPPOINT point) const {
    ::ScreenToClient(m_hWnd, point);
}
BOOL CWnd::ShowWindow(int command) {
    return ::ShowWindow(m_hWnd, command);
}
BOOL CWnd::IsWindowVisible() const {
    return ::IsWindowVisible(m_hWnd);
}
BOOL CWnd::EnableWindow(BOOL enable) {
    return ::EnableWindow(m_hWnd, enable);
}
BOOL CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(m_hWnd);
}

BOOL CWnd::SetWindowPos(const CWnd* insert_after, int x, int y, int width, int height, UINT flags) {
    return ::SetWindowPos(m_hWnd, insert_after ? insert_after->m_hWnd : nullptr, x, y, width,
                          height, flags);
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(LPCRECT rect, BOOL repaint) {
    ::MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                 repaint);
}

int CWnd::SetWindowRgn(HRGN region, BOOL redraw) {
    return ::SetWindowRgn(m_hWnd, region, redraw);
}
BOOL CWnd::SetForegroundWindow() {
    return ::SetForegroundWindow(m_hWnd);
}
CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}
CWnd* CWnd::SetCapture() {
    return FromHandle(::SetCapture(m_hWnd));
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    return ::SendMessageW(m_hWnd, message, wparam, lparam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    return ::PostMessageW(m_hWnd, message, wparam, lparam);
}

void CWnd::SetWindowText(LPCWSTR text) {
    ::SetWindowTextW(m_hWnd, text);
}
int CWnd::GetWindowText(LPWSTR text, int max_count) const {
    return ::GetWindowTextW(m_hWnd, text, max_count);
}
CWnd* CWnd::GetDlgItem(int id) const {
    return FromHandle(::GetDlgItem(m_hWnd, id));
}
int CWnd::GetDlgCtrlID() const {
    return ::GetDlgCtrlID(m_hWnd);
}
CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}
void CWnd::SetDlgItemText(int id, LPCWSTR text) {
    ::SetDlgItemTextW(m_hWnd, id, text);
}
void CWnd::CheckDlgButton(int id, UINT check) {
    ::CheckDlgButton(m_hWnd, id, check);
}
UINT CWnd::IsDlgButtonChecked(int id) const {
    return ::IsDlgButtonChecked(m_hWnd, id);
}
DWORD CWnd::GetStyle() const {
    return static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_STYLE));
}
DWORD CWnd::GetExStyle() const {
    return static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_EXSTYLE));
}

namespace {

BOOL modify(HWND window, int index, DWORD remove, DWORD add, UINT flags) {
    const DWORD old = static_cast<DWORD>(GetWindowLongW(window, index));
    const DWORD changed = (old & ~remove) | add;
    if (changed == old) return FALSE;
    SetWindowLongW(window, index, static_cast<LONG>(changed));
    if (flags)
        ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
    return modify(m_hWnd, GWL_STYLE, remove, add, flags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
    return modify(m_hWnd, GWL_EXSTYLE, remove, add, flags);
}

int CButton::GetCheck() const {
    return static_cast<int>(::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0));
}
void CButton::SetCheck(int check) {
    ::SendMessageW(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check), 0);
}
