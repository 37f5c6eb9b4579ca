#include "ui/alpha_button.h"

#include "ui/alpha_window.h"

BOOL CAlphaButton::Create(CAlphaWindow* window, CAlphaControl* parent, int id, int normal,
                          int hovered, int pressed, int disabled, const std::wstring& tooltip,
                          int x, int y) {
    HINSTANCE instance = AfxGetResourceHandle();
    LoadImageSlot(m_normal, normal, instance);
    LoadImageSlot(m_hovered, hovered, instance);
    LoadImageSlot(m_pressed, pressed, instance);
    LoadImageSlot(m_disabled, disabled, instance);
    return CAlphaControl::Create(window, parent, x, y, x + m_normal.GetWidth(),
                                 y + m_normal.GetHeight(), id, tooltip, 0);
}

void CAlphaButton::change_state(int state) {
    if (state == m_state) return;
    m_state = state;
    if (m_window) m_window->Invalidate(this);
}

void CAlphaButton::Enable(BOOL enable) {
    change_state(enable ? m_state & ~state_disabled : m_state | state_disabled);
}

void CAlphaButton::Paint(HDC dc) {
    const CImageSlot& image = (m_state & state_disabled)  ? m_disabled
                              : (m_state & state_pressed) ? m_pressed
                              : (m_state & state_hovered) ? m_hovered
                                                          : m_normal;
    image.Draw(dc, 0, 0);
}

void CAlphaButton::OnMouseEnter(CPoint) {
    change_state(m_state | state_hovered);
}

void CAlphaButton::OnMouseLeave() {
    // A press survives leaving while the button holds the capture, so that
    // coming back and releasing still clicks; otherwise it is over.
    int state = m_state & ~state_hovered;
    if (!HoldsCapture()) state &= ~state_pressed;
    change_state(state);
}

void CAlphaButton::OnButtonDown(CPoint) {
    if (!(m_state & state_disabled)) change_state(m_state | state_pressed);
}

void CAlphaButton::OnButtonUp(CPoint point) {
    if (!(m_state & state_pressed)) return;
    change_state(m_state & ~state_pressed);
    const bool inside =
        point.x >= 0 && point.y >= 0 && point.x < m_rect.Width() && point.y < m_rect.Height();
    // Last: the command may delete this button (rows are rebuilt).
    if (inside && m_window)
        m_window->Notify(this, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(m_id), BN_CLICKED), 0);
}

void CAlphaButton::OnDoubleClick(CPoint point) {
    OnButtonDown(point);
}
