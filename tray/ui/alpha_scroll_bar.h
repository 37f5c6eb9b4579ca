// A vertical scroll bar of the layered-window toolkit: arrows at both ends,
// a track, and a thumb that shows the page within the range. Every change
// of the position made by the mouse is sent as WM_VSCROLL (the new position
// as wParam) through the window's Notify. Its looks are its owner's: this
// base draws nothing.
#pragma once

#include "ui/alpha_control.h"

class CAlphaVScrollBar : public CAlphaControl {
public:
    // What the mouse is over or pressing.
    static constexpr int state_idle = 0;
    static constexpr int state_hover_up = 1;
    static constexpr int state_hover_thumb = 2;
    static constexpr int state_hover_down = 3;
    static constexpr int state_press_up = 4;
    static constexpr int state_press_track_above = 5;
    static constexpr int state_drag_thumb = 6;
    static constexpr int state_press_track_below = 7;
    static constexpr int state_press_down = 8;

    // Parts under a point.
    static constexpr int hit_none = 0;
    static constexpr int hit_up = 1;
    static constexpr int hit_track_above = 2;
    static constexpr int hit_thumb = 3;
    static constexpr int hit_track_below = 4;
    static constexpr int hit_down = 5;

    void OnMouseMove(CPoint point) override;
    void OnMouseEnter(CPoint point) override;
    void OnMouseLeave() override;
    void OnButtonDown(CPoint point) override;
    void OnButtonUp(CPoint point) override;
    void OnDoubleClick(CPoint point) override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;

    // The bar's width, for its owner's layout.
    virtual int GetBarWidth();
    virtual int HitTest(CPoint point);
    // The length between the arrows.
    virtual int GetTrackLength();
    // The up arrow's height (the down arrow's too).
    virtual int GetArrowHeight();
    virtual int GetThumbLength(int track_length);

    // Sets the values without notifying or redrawing; the position is kept
    // in range.
    void SetScrollInfo(int range, int page, int line, int position);
    int GetRange() const { return m_range; }
    int GetPage() const { return m_page; }
    int GetLine() const { return m_line; }
    int GetPosition() const { return m_position; }
    int GetState() const { return m_state; }
    // The thumb's top, in the bar's coordinates.
    int GetThumbTop();

protected:
    int m_range = 100;
    int m_page = 10;
    int m_line = 1;
    int m_position = 0;
    int m_state = state_idle;
    int m_dragOffset = 0;

private:
    int clamped(int position) const;
    // Moves to the position (kept in range) and notifies a change.
    void scroll_to(int position);
    void drag_to(int y);
    void hover(CPoint point);
    void set_state(int state);
};
