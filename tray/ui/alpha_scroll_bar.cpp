#include "ui/alpha_scroll_bar.h"

#include <algorithm>

#include "ui/alpha_window.h"

int CAlphaVScrollBar::GetBarWidth() {
    return GetSystemMetrics(SM_CXVSCROLL);
}

int CAlphaVScrollBar::GetArrowHeight() {
    return GetBarWidth();
}

int CAlphaVScrollBar::GetTrackLength() {
    return std::max(0, static_cast<int>(m_rect.Height()) - 2 * GetArrowHeight());
}

// In proportion to the page, never shorter than the bar is wide nor longer
// than the track.
int CAlphaVScrollBar::GetThumbLength(int track_length) {
    if (m_range <= 0 || m_page >= m_range) return track_length;
    const long long proportional = static_cast<long long>(track_length) * m_page / m_range;
    return static_cast<int>(
        std::min<long long>(track_length, std::max<long long>(proportional, GetBarWidth())));
}

int CAlphaVScrollBar::GetThumbTop() {
    const int track = GetTrackLength();
    const int room = track - GetThumbLength(track);
    const int span = m_range - m_page;
    if (room <= 0 || span <= 0) return GetArrowHeight();
    return GetArrowHeight() + static_cast<int>(static_cast<long long>(room) * m_position / span);
}

int CAlphaVScrollBar::HitTest(CPoint point) {
    if (point.x < 0 || point.y < 0 || point.x >= m_rect.Width() || point.y >= m_rect.Height())
        return hit_none;
    const int arrow = GetArrowHeight();
    if (point.y < arrow) return hit_up;
    if (point.y >= m_rect.Height() - arrow) return hit_down;
    const int top = GetThumbTop();
    if (point.y < top) return hit_track_above;
    if (point.y < top + GetThumbLength(GetTrackLength())) return hit_thumb;
    return hit_track_below;
}

// 0 to range - page; 0 when the page holds the whole range.
int CAlphaVScrollBar::clamped(int position) const {
    return std::max(0, std::min(position, m_range - m_page));
}

void CAlphaVScrollBar::SetScrollInfo(int range, int page, int line, int position) {
    m_range = range;
    m_page = page;
    m_line = line;
    m_position = clamped(position);
}

void CAlphaVScrollBar::scroll_to(int position) {
    const int next = clamped(position);
    if (next == m_position) return;
    m_position = next;
    if (m_window) m_window->Notify(this, WM_VSCROLL, static_cast<WPARAM>(m_position), 0);
}

void CAlphaVScrollBar::drag_to(int y) {
    const int track = GetTrackLength();
    const int room = track - GetThumbLength(track);
    // A thumb that fills the track has nowhere to go.
    if (room <= 0) return;
    const long long travelled = y - m_dragOffset - GetArrowHeight();
    scroll_to(static_cast<int>(travelled * (m_range - m_page) / room));
}

void CAlphaVScrollBar::set_state(int state) {
    if (state == m_state) return;
    m_state = state;
    if (m_window) m_window->Invalidate(this);
}

void CAlphaVScrollBar::hover(CPoint point) {
    switch (HitTest(point)) {
        case hit_up:
            set_state(state_hover_up);
            break;
        case hit_thumb:
            set_state(state_hover_thumb);
            break;
        case hit_down:
            set_state(state_hover_down);
            break;
        default:
            set_state(state_idle);
    }
}

void CAlphaVScrollBar::OnMouseEnter(CPoint point) {
    if (m_state <= state_hover_down) hover(point);
}

void CAlphaVScrollBar::OnMouseMove(CPoint point) {
    if (m_state == state_drag_thumb)
        drag_to(point.y);
    else if (m_state <= state_hover_down)
        hover(point);
}

void CAlphaVScrollBar::OnMouseLeave() {
    if (m_state <= state_hover_down) set_state(state_idle);
}

void CAlphaVScrollBar::OnButtonDown(CPoint point) {
    switch (HitTest(point)) {
        case hit_up:
            set_state(state_press_up);
            scroll_to(m_position - m_line);
            break;
        case hit_track_above:
            set_state(state_press_track_above);
            scroll_to(m_position - m_page);
            break;
        case hit_thumb:
            m_dragOffset = point.y - GetThumbTop();
            set_state(state_drag_thumb);
            break;
        case hit_track_below:
            set_state(state_press_track_below);
            scroll_to(m_position + m_page);
            break;
        case hit_down:
            set_state(state_press_down);
            scroll_to(m_position + m_line);
            break;
        default:
            break;
    }
}

void CAlphaVScrollBar::OnButtonUp(CPoint point) {
    if (m_state == state_drag_thumb) drag_to(point.y);
    m_state = state_idle;
    hover(point);
    if (m_window) m_window->Invalidate(this);
}

void CAlphaVScrollBar::OnDoubleClick(CPoint point) {
    OnButtonDown(point);
    OnButtonUp(point);
    OnButtonDown(point);
    OnButtonUp(point);
}

BOOL CAlphaVScrollBar::OnMouseWheel(UINT, short delta, CPoint) {
    scroll_to(m_position - delta * m_line / 40);
    return TRUE;
}
