// CAlphaWindow: creation, composition into the back buffer, the control
// tree's geometry and visibility, and notifications.

#include <algorithm>
#include <mutex>

#include "ui/alpha_window.h"

namespace {

struct window_count {
    std::mutex lock;
    int live = 0;
};

window_count& windows() {
    static auto* count = new window_count;
    return *count;
}

void add_window(int change) {
    std::lock_guard<std::mutex> guard(windows().lock);
    windows().live += change;
}

CRect intersection(const CRect& a, const CRect& b) {
    CRect out;
    out.IntersectRect(&a, &b);
    return out;
}

}  // namespace

CAlphaWindow::CAlphaWindow() = default;

CAlphaWindow::~CAlphaWindow() {
    // Controls that outlive the window (they should not) must not reach it.
    std::vector<CAlphaControl*> pending(m_controls.begin(), m_controls.end());
    while (!pending.empty()) {
        CAlphaControl* control = pending.back();
        pending.pop_back();
        control->m_window = nullptr;
        pending.insert(pending.end(), control->m_children.begin(), control->m_children.end());
    }
    m_controls.clear();
    m_capturedControl = nullptr;
    if (m_hWnd) DestroyWindow();
    if (m_dc) {
        SelectObject(m_dc, m_initialBitmap);
        DeleteDC(m_dc);
    }
    if (m_buffer) DeleteObject(m_buffer);
}

int CAlphaWindow::GetWindowCount() {
    std::lock_guard<std::mutex> guard(windows().lock);
    return windows().live;
}

BOOL CAlphaWindow::Create(const CRect& rect, BOOL visible) {
    if (!CreateEx(WS_EX_LAYERED | WS_EX_TOOLWINDOW, L"#32770", L"",
                  WS_POPUP | (visible ? WS_VISIBLE : 0u), rect, nullptr, 0))
        return FALSE;
    m_counted = true;
    add_window(1);
    if (!m_toolTip.Create(this, TTS_ALWAYSTIP)) return FALSE;
    m_toolTip.SetMaxTipWidth(400);
    m_toolTip.Activate(TRUE);
    SetRegion(CRect(0, 0, rect.Width(), rect.Height()));
    Redraw();
    return TRUE;
}

void CAlphaWindow::OnDestroy() {
    if (m_counted) {
        m_counted = false;
        add_window(-1);
    }
    CWnd::OnDestroy();
}

void CAlphaWindow::PaintBackground(HDC, const CRect&) {}

// The window's pixels come only from Redraw.
void CAlphaWindow::OnPaint() {
    PAINTSTRUCT paint;
    BeginPaint(m_hWnd, &paint);
    EndPaint(m_hWnd, &paint);
}

// Controls made or changed while the window was hidden are shown as they are.
void CAlphaWindow::OnShowWindow(BOOL show, UINT status) {
    CWnd::OnShowWindow(show, status);
    if (show) Redraw();
}

void CAlphaWindow::OnSize(UINT kind, int width, int height) {
    SetRegion(CRect(0, 0, width, height));
    CWnd::OnSize(kind, width, height);
}

void CAlphaWindow::SetBorders(int left, int top, int right, int bottom) {
    m_borderLeft = left;
    m_borderTop = top;
    m_borderRight = right;
    m_borderBottom = bottom;
}

void CAlphaWindow::SetMinimumSize(int width, int height) {
    m_minWidth = width;
    m_minHeight = height;
}

void CAlphaWindow::SetRegion(const CRect& region) {
    m_region = region;
    if (m_hWnd) SetWindowRgn(CreateRectRgnIndirect(&region), FALSE);
}

// ---- Composition ----------------------------------------------------------

bool CAlphaWindow::ensure_buffer(int width, int height) {
    if (width <= 0 || height <= 0) return false;
    if (m_buffer && m_bufferWidth == width && m_bufferHeight == height) return true;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP fresh = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!fresh) return false;
    if (!m_dc) m_dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(m_dc, fresh);
    if (!m_buffer) m_initialBitmap = previous;
    if (m_buffer) DeleteObject(m_buffer);
    m_buffer = fresh;
    m_bits = static_cast<uint32_t*>(bits);
    m_bufferWidth = width;
    m_bufferHeight = height;
    // The owner lays its controls out for the new size.
    PostMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    return true;
}

void CAlphaWindow::Redraw() {
    if (!m_hWnd) return;
    CRect where;
    GetWindowRect(&where);
    Redraw(where, CRect(0, 0, where.Width(), where.Height()));
}

void CAlphaWindow::Redraw(const CRect& window_rect, const CRect& dirty) {
    if (!m_hWnd) return;
    if (m_painting) {
        // A control asked for more while being drawn: drawn before showing.
        m_pending.UnionRect(&m_pending, &dirty);
        return;
    }
    if (!ensure_buffer(window_rect.Width(), window_rect.Height())) return;
    m_painting = true;
    paint_area(dirty);
    while (!m_pending.IsRectEmpty()) {
        const CRect more = m_pending;
        m_pending = CRect();
        paint_area(more);
    }
    m_painting = false;

    HDC screen = ::GetDC(nullptr);
    POINT position{window_rect.left, window_rect.top};
    SIZE size{window_rect.Width(), window_rect.Height()};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(m_hWnd, screen, &position, &size, m_dc, &source, 0, &blend, ULW_ALPHA);
    ::ReleaseDC(nullptr, screen);
}

void CAlphaWindow::paint_area(const CRect& dirty) {
    const CRect whole(0, 0, m_bufferWidth, m_bufferHeight);
    const CRect area = intersection(dirty, whole);
    if (area.IsRectEmpty()) return;
    // Transparent first: everything drawn blends over nothing.
    for (int y = area.top; y < area.bottom; ++y)
        std::fill_n(m_bits + static_cast<size_t>(y) * m_bufferWidth + area.left, area.Width(), 0u);
    const int saved = SaveDC(m_dc);
    SetViewportOrgEx(m_dc, 0, 0, nullptr);
    HRGN clip = CreateRectRgnIndirect(&area);
    SelectClipRgn(m_dc, clip);
    DeleteObject(clip);
    PaintBackground(m_dc, whole);
    for (CAlphaControl* control : m_controls)
        if (control->m_visible) paint_control(control, CPoint(0, 0), area);
    RestoreDC(m_dc, saved);
}

// origin: the parent's top-left corner in window coordinates.
void CAlphaWindow::paint_control(CAlphaControl* control, CPoint origin, const CRect& dirty) {
    CRect place = control->m_rect;
    place.OffsetRect(origin.x, origin.y);
    // Children are clipped to their parent: those outside its part of the
    // dirty rectangle are not drawn at all.
    const CRect inside = intersection(place, dirty);
    if (inside.IsRectEmpty()) return;
    const int saved = SaveDC(m_dc);
    SetViewportOrgEx(m_dc, place.left, place.top, nullptr);
    IntersectClipRect(m_dc, 0, 0, place.Width(), place.Height());
    control->Paint(m_dc);
    for (CAlphaControl* child : control->m_children)
        if (child->m_visible) paint_control(child, place.TopLeft(), inside);
    RestoreDC(m_dc, saved);
}

// ---- The control tree -----------------------------------------------------

CPoint CAlphaWindow::ControlToWindow(const CAlphaControl* control, CPoint point) const {
    for (const CAlphaControl* c = control; c; c = c->m_parent) {
        point.x += c->m_rect.left;
        point.y += c->m_rect.top;
    }
    return point;
}

CRect CAlphaWindow::ControlToWindow(const CAlphaControl* control, const CRect& rect) const {
    const CPoint origin = ControlToWindow(control, CPoint(0, 0));
    CRect out = rect;
    out.OffsetRect(origin.x, origin.y);
    return out;
}

CPoint CAlphaWindow::WindowToControl(const CAlphaControl* control, CPoint point) const {
    const CPoint origin = ControlToWindow(control, CPoint(0, 0));
    return CPoint(point.x - origin.x, point.y - origin.y);
}

CRect CAlphaWindow::WindowToControl(const CAlphaControl* control, const CRect& rect) const {
    const CPoint origin = ControlToWindow(control, CPoint(0, 0));
    CRect out = rect;
    out.OffsetRect(-origin.x, -origin.y);
    return out;
}

CRect CAlphaWindow::GetControlRect(const CAlphaControl* control) const {
    return ControlToWindow(control, CRect(0, 0, control->m_rect.Width(), control->m_rect.Height()));
}

BOOL CAlphaWindow::IsShown(const CAlphaControl* control) const {
    for (const CAlphaControl* c = control; c; c = c->m_parent)
        if (!c->m_visible) return FALSE;
    return control != nullptr;
}

void CAlphaWindow::SetVisible(CAlphaControl* control, BOOL visible, BOOL redraw) {
    if (!control) return;
    const int wanted = visible ? 1 : 0;
    if (control->m_visible != wanted) {
        control->m_visible = wanted;
        if (!wanted) {
            if (on_capture_chain(control)) cancel_capture();
            end_hover_in(control);
        }
        update_tools(control);
    }
    if (redraw && m_hWnd && (!control->m_parent || IsShown(control->m_parent))) {
        CRect where;
        GetWindowRect(&where);
        Redraw(where, GetControlRect(control));
    }
}

void CAlphaWindow::SetRect(CAlphaControl* control, const CRect& rect, BOOL redraw) {
    if (!control) return;
    const CRect old_place = GetControlRect(control);
    control->m_rect = rect;
    control->OnMove(rect);
    update_tools(control);
    if (redraw) {
        CRect both;
        const CRect new_place = GetControlRect(control);
        both.UnionRect(&old_place, &new_place);
        CRect where;
        GetWindowRect(&where);
        Redraw(where, both);
    }
}

void CAlphaWindow::Invalidate(CAlphaControl* control) {
    if (!control || !IsShown(control) || !m_hWnd) return;
    CRect where;
    GetWindowRect(&where);
    Redraw(where, GetControlRect(control));
}

// A hidden control's tool must not answer for the place it left; a moved
// one's tool follows it, and so do those of its descendants.
void CAlphaWindow::update_tools(CAlphaControl* control) {
    if (!m_toolTip.m_hWnd) return;
    std::vector<CAlphaControl*> pending{control};
    while (!pending.empty()) {
        CAlphaControl* c = pending.back();
        pending.pop_back();
        if (!c->m_tooltip.empty()) {
            const CRect shown = IsShown(c) ? GetControlRect(c) : CRect();
            m_toolTip.SetToolRect(this, static_cast<UINT_PTR>(c->m_id), &shown);
        }
        pending.insert(pending.end(), c->m_children.begin(), c->m_children.end());
    }
}

// A control going away: nothing of the window may point into it any more.
void CAlphaWindow::forget(CAlphaControl* control) {
    if (on_capture_chain(control)) cancel_capture();
    if (m_hWnd) {
        if (control->m_id != -1) KillTimer(static_cast<UINT_PTR>(control->m_id));
        if (!control->m_tooltip.empty() && m_toolTip.m_hWnd)
            m_toolTip.DelTool(this, static_cast<UINT_PTR>(control->m_id));
    }
    auto& siblings = control->m_parent ? control->m_parent->m_children : m_controls;
    siblings.remove(control);
}

// The ancestors are taken before any is asked: a row that passes its
// button's command on may find itself rebuilt by the time it returns.
LRESULT CAlphaWindow::Notify(CAlphaControl* control, UINT message, WPARAM wparam, LPARAM lparam) {
    std::vector<step> ancestors;
    for (CAlphaControl* a = control ? control->m_parent : nullptr; a; a = a->m_parent)
        ancestors.push_back(step_of(a, CPoint()));
    for (const step& a : ancestors)
        if (a.alive())
            if (const LRESULT answer = a.control->OnNotify(message, wparam, lparam)) return answer;
    return SendMessage(message, wparam, lparam);
}

int CAlphaWindow::HitTest(CPoint point) const {
    for (const CAlphaControl* control : m_controls)
        if (control->m_visible && control->m_rect.PtInRect(point)) return HTOBJECT;
    CRect client;
    GetClientRect(&client);
    if (!client.PtInRect(point)) return HTBORDER;
    const bool left = point.x < m_borderLeft;
    const bool right = point.x >= client.right - m_borderRight;
    if (point.y < m_borderTop) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
    if (point.y >= client.bottom - m_borderBottom)
        return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
    if (m_region.PtInRect(point)) return HTCAPTION;
    return HTCLIENT;
}
