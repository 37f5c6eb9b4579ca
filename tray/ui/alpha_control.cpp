#include "ui/alpha_control.h"

#include "ui/alpha_window.h"

CAlphaControl::~CAlphaControl() {
    if (m_window) m_window->forget(this);
    // Children still linked (owned elsewhere) no longer have a parent.
    for (CAlphaControl* child : m_children) child->m_parent = nullptr;
}

BOOL CAlphaControl::Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top,
                           int right, int bottom, int id, const std::wstring& tooltip, int data) {
    if (!window || m_window) return FALSE;
    m_window = window;
    m_parent = parent;
    m_rect = CRect(left, top, right, bottom);
    m_id = id;
    m_tooltip = tooltip;
    m_data = data;
    (parent ? parent->m_children : window->m_controls).push_back(this);
    if (!m_tooltip.empty() && window->m_toolTip.m_hWnd) {
        const CRect shown = window->IsShown(this) ? window->GetControlRect(this) : CRect();
        window->m_toolTip.AddTool(window, m_tooltip.c_str(), &shown, static_cast<UINT_PTR>(m_id));
    }
    return TRUE;
}

BOOL CAlphaControl::Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top,
                           int right, int bottom, int id, UINT tooltip_id, int data) {
    wchar_t text[1024];
    const int length = LoadStringW(AfxGetResourceHandle(), tooltip_id, text, 1024);
    return Create(window, parent, left, top, right, bottom, id,
                  std::wstring(text, static_cast<size_t>(length > 0 ? length : 0)), data);
}

BOOL CAlphaControl::HoldsCapture() const {
    return m_window && m_window->on_capture_chain(this);
}

void CAlphaControl::OnMove(const CRect&) {}
void CAlphaControl::Paint(HDC) {}
LRESULT CAlphaControl::OnNotify(UINT, WPARAM, LPARAM) {
    return 0;
}
HCURSOR CAlphaControl::GetCursor(CPoint) {
    return nullptr;
}
void CAlphaControl::OnMouseMove(CPoint) {}
void CAlphaControl::OnMouseEnter(CPoint) {}
void CAlphaControl::OnMouseLeave() {}
void CAlphaControl::OnButtonDown(CPoint) {}
void CAlphaControl::OnButtonUp(CPoint) {}
void CAlphaControl::OnDoubleClick(CPoint) {}
BOOL CAlphaControl::OnMouseWheel(UINT, short, CPoint) {
    return FALSE;
}
void CAlphaControl::OnTimer(UINT_PTR) {}
