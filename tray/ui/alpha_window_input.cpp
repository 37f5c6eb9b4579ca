// CAlphaWindow: the routing of mouse input, cursors, timers and tooltip
// events to the controls, and dragging and resizing the window.
//
// Each route is worked out before any control hears of it, and a control is
// called only while it still exists: a click may well rebuild the rows
// under the mouse.

#include "ui/alpha_window.h"

namespace {

bool inside(const CAlphaControl* control, CPoint point) {
    const CRect& r = control->GetRect();
    return point.x >= 0 && point.y >= 0 && point.x < r.Width() && point.y < r.Height();
}

CPoint minus(CPoint point, const CRect& rect) {
    return CPoint(point.x - rect.left, point.y - rect.top);
}

bool moves_left_edge(int code) {
    return code == HTLEFT || code == HTTOPLEFT || code == HTBOTTOMLEFT;
}
bool moves_right_edge(int code) {
    return code == HTRIGHT || code == HTTOPRIGHT || code == HTBOTTOMRIGHT;
}
bool moves_top_edge(int code) {
    return code == HTTOP || code == HTTOPLEFT || code == HTTOPRIGHT;
}
bool moves_bottom_edge(int code) {
    return code == HTBOTTOM || code == HTBOTTOMLEFT || code == HTBOTTOMRIGHT;
}

}  // namespace

CAlphaWindow::step CAlphaWindow::step_of(CAlphaControl* control, CPoint point) {
    return {control, point, control->m_life};
}

// The visible controls under a point, from the top-level one down.
std::vector<CAlphaWindow::step> CAlphaWindow::path_at(CPoint point) const {
    std::vector<step> path;
    const std::list<CAlphaControl*>* candidates = &m_controls;
    for (;;) {
        CAlphaControl* found = nullptr;
        for (CAlphaControl* c : *candidates)
            if (c->m_visible && c->m_rect.PtInRect(point)) {
                found = c;
                break;
            }
        if (!found) return path;
        point = minus(point, found->m_rect);
        path.push_back(step_of(found, point));
        candidates = &found->m_children;
    }
}

// The chain of controls that took the capture at the press, from the
// top-level one down, with the point in each one's coordinates.
std::vector<CAlphaWindow::step> CAlphaWindow::captured_chain(CPoint point) const {
    std::vector<step> chain;
    CAlphaControl* c = m_capturing ? m_capturedControl : nullptr;
    if (c) point = minus(point, c->m_rect);
    while (c) {
        chain.push_back(step_of(c, point));
        if (!c->m_capturing || !c->m_capturedChild) break;
        c = c->m_capturedChild;
        point = minus(point, c->m_rect);
    }
    return chain;
}

// Hovered controls that are not on the path, children before parents.
std::vector<CAlphaWindow::step> CAlphaWindow::hovered_outside(const std::vector<step>& path) const {
    std::vector<step> out;
    auto on_path = [&](const CAlphaControl* c) {
        for (const step& s : path)
            if (s.control == c) return true;
        return false;
    };
    auto visit = [&](auto&& self, CAlphaControl* c) -> void {
        for (CAlphaControl* child : c->m_children) self(self, child);
        if (c->m_hovered && !on_path(c)) out.push_back(step_of(c, CPoint()));
    };
    for (CAlphaControl* c : m_controls) visit(visit, c);
    return out;
}

bool CAlphaWindow::on_capture_chain(const CAlphaControl* control) const {
    for (const step& s : captured_chain(CPoint()))
        if (s.control == control) return true;
    return false;
}

void CAlphaWindow::cancel_capture() {
    for (const step& s : captured_chain(CPoint())) {
        s.control->m_capturing = 0;
        s.control->m_capturedChild = nullptr;
    }
    const bool held = m_capturing;
    m_capturing = false;
    m_capturedControl = nullptr;
    m_hitCode = 0;
    if (held && ::GetCapture() == m_hWnd) ReleaseCapture();
}

void CAlphaWindow::end_hover_in(CAlphaControl* control) {
    std::vector<step> leaving;
    auto visit = [&](auto&& self, CAlphaControl* c) -> void {
        for (CAlphaControl* child : c->m_children) self(self, child);
        if (c->m_hovered) leaving.push_back(step_of(c, CPoint()));
    };
    visit(visit, control);
    for (const step& s : leaving)
        if (s.alive() && s.control->m_hovered) {
            s.control->m_hovered = 0;
            s.control->OnMouseLeave();
        }
}

BOOL CAlphaWindow::PreTranslateMessage(MSG* message) {
    if (message && message->hwnd == m_hWnd && m_toolTip.m_hWnd &&
        (message->message == WM_MOUSEMOVE || message->message == WM_LBUTTONDOWN ||
         message->message == WM_LBUTTONUP))
        m_toolTip.RelayEvent(message);
    return FALSE;
}

void CAlphaWindow::OnMouseMove(UINT, CPoint point) {
    if (!m_tracking) {
        TRACKMOUSEEVENT tracking{sizeof(TRACKMOUSEEVENT), TME_LEAVE, m_hWnd, 0};
        m_tracking = TrackMouseEvent(&tracking) != FALSE;
    }
    if (m_capturing && !m_capturedControl) {
        drag_window(point);
        return;
    }
    std::vector<step> path;
    step target{nullptr, CPoint(), {}};
    if (m_capturing) {
        // Only the chain that took the capture hears of the mouse; it stays
        // hovered as far as the point is inside it.
        const std::vector<step> chain = captured_chain(point);
        for (const step& s : chain) {
            if (!s.control->m_visible || !inside(s.control, s.point)) break;
            path.push_back(s);
        }
        if (!chain.empty()) target = chain.back();
    } else {
        path = path_at(point);
        if (!path.empty()) target = path.back();
    }
    for (const step& s : hovered_outside(path))
        if (s.alive() && s.control->m_hovered) {
            s.control->m_hovered = 0;
            s.control->OnMouseLeave();
        }
    for (const step& s : path)
        if (s.alive() && !s.control->m_hovered) {
            s.control->m_hovered = 1;
            s.control->OnMouseEnter(s.point);
        }
    if (target.control && target.alive()) target.control->OnMouseMove(target.point);
}

void CAlphaWindow::OnMouseLeave() {
    m_tracking = false;
    for (const step& s : hovered_outside({}))
        if (s.alive() && s.control->m_hovered) {
            s.control->m_hovered = 0;
            s.control->OnMouseLeave();
        }
}

void CAlphaWindow::OnLButtonDown(UINT, CPoint point) {
    if (m_capturing) cancel_capture();
    m_hitCode = HitTest(point);
    const std::vector<step> path = path_at(point);
    for (size_t i = 0; i < path.size(); ++i) {
        CAlphaControl* c = path[i].control;
        const CPoint p = path[i].point;
        c->m_captureOffsets = CRect(p.x, p.y, c->m_rect.Width() - p.x, c->m_rect.Height() - p.y);
        if (i + 1 == path.size()) break;
        c->m_capturing = 1;
        c->m_capturedChild = path[i + 1].control;
    }
    m_capturedControl = path.empty() ? nullptr : path.front().control;
    CRect client;
    GetClientRect(&client);
    m_captureOffsets = CRect(point.x, point.y, client.right - point.x, client.bottom - point.y);
    m_capturing = true;
    SetCapture();
    if (!path.empty() && path.back().alive()) path.back().control->OnButtonDown(path.back().point);
}

void CAlphaWindow::OnLButtonUp(UINT, CPoint point) {
    const std::vector<step> chain = m_capturedControl ? captured_chain(point) : path_at(point);
    for (const step& s : chain) {
        s.control->m_capturing = 0;
        s.control->m_capturedChild = nullptr;
    }
    const bool held = m_capturing;
    m_capturing = false;
    m_capturedControl = nullptr;
    m_hitCode = 0;
    if (held && ::GetCapture() == m_hWnd) ReleaseCapture();
    if (!chain.empty() && chain.back().alive())
        chain.back().control->OnButtonUp(chain.back().point);
}

void CAlphaWindow::OnLButtonDblClk(UINT, CPoint point) {
    const std::vector<step> path = path_at(point);
    if (!path.empty() && path.back().alive()) path.back().control->OnDoubleClick(path.back().point);
}

BOOL CAlphaWindow::OnMouseWheel(UINT flags, short delta, CPoint screen) {
    CPoint point = screen;
    ScreenToClient(&point);
    const std::vector<step> path = path_at(point);
    for (auto s = path.rbegin(); s != path.rend(); ++s)
        if (s->alive() && s->control->OnMouseWheel(flags, delta, s->point)) return TRUE;
    return CWnd::OnMouseWheel(flags, delta, screen);
}

void CAlphaWindow::OnCaptureChanged(CWnd* window) {
    // Taken away (the window hidden, another window's capture): the press
    // is over without a release.
    if (m_capturing) cancel_capture();
    CWnd::OnCaptureChanged(window);
}

void CAlphaWindow::OnTimer(UINT_PTR id) {
    std::vector<step> targets;
    auto visit = [&](auto&& self, CAlphaControl* c) -> void {
        if (!c->m_visible) return;
        if (id > 999999999 || (c->m_id >= 0 && static_cast<UINT_PTR>(c->m_id) == id))
            targets.push_back(step_of(c, CPoint()));
        for (CAlphaControl* child : c->m_children) self(self, child);
    };
    for (CAlphaControl* c : m_controls) visit(visit, c);
    for (const step& s : targets)
        if (s.alive()) s.control->OnTimer(id);
}

BOOL CAlphaWindow::OnSetCursor(CWnd* window, UINT hit, UINT message) {
    if (hit != HTCLIENT) return CWnd::OnSetCursor(window, hit, message);
    CPoint point;
    GetCursorPos(&point);
    ScreenToClient(&point);
    const std::vector<step> route = m_capturedControl ? captured_chain(point) : path_at(point);
    if (!route.empty()) {
        HCURSOR cursor = route.back().control->GetCursor(route.back().point);
        ::SetCursor(cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
    }
    LPCWSTR shape = nullptr;
    switch (HitTest(point)) {
        case HTCLIENT:
        case HTCAPTION:
        case HTBORDER:
            shape = IDC_ARROW;
            break;
        case HTLEFT:
        case HTRIGHT:
            shape = IDC_SIZEWE;
            break;
        case HTTOP:
        case HTBOTTOM:
            shape = IDC_SIZENS;
            break;
        case HTTOPLEFT:
        case HTBOTTOMRIGHT:
            shape = IDC_SIZENWSE;
            break;
        case HTTOPRIGHT:
        case HTBOTTOMLEFT:
            shape = IDC_SIZENESW;
            break;
        default:
            return CWnd::OnSetCursor(window, hit, message);
    }
    ::SetCursor(LoadCursorW(nullptr, shape));
    return TRUE;
}

// The press was on the body or a border: the window follows the mouse.
void CAlphaWindow::drag_window(CPoint point) {
    const int code = m_hitCode;
    const bool sizing = moves_left_edge(code) || moves_right_edge(code) || moves_top_edge(code) ||
                        moves_bottom_edge(code);
    if (code != HTCAPTION && !sizing) return;
    CPoint screen = point;
    ClientToScreen(&screen);
    CRect now;
    GetWindowRect(&now);
    CRect next = now;
    if (code == HTCAPTION) {
        next = CRect(CPoint(screen.x - m_captureOffsets.left, screen.y - m_captureOffsets.top),
                     now.Size());
    } else {
        if (moves_left_edge(code))
            next.left = std::min<LONG>(screen.x - m_captureOffsets.left, next.right - m_minWidth);
        if (moves_right_edge(code))
            next.right = std::max<LONG>(screen.x + m_captureOffsets.right, next.left + m_minWidth);
        if (moves_top_edge(code))
            next.top = std::min<LONG>(screen.y - m_captureOffsets.top, next.bottom - m_minHeight);
        if (moves_bottom_edge(code))
            next.bottom =
                std::max<LONG>(screen.y + m_captureOffsets.bottom, next.top + m_minHeight);
    }
    if (next == now) return;
    Redraw(next, CRect(0, 0, next.Width(), next.Height()));
}
