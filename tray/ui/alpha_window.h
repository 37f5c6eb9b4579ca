// A per-pixel-alpha layered pop-up window that owns a tree of windowless
// controls (CAlphaControl). It composes its frame and controls into an
// off-screen 32-bit bitmap and hands that to the system with
// UpdateLayeredWindow; nothing else reaches the screen. Mouse input, cursor
// shapes, timers and tooltips are routed by hand to the control under the
// mouse or to the control holding the capture. The body drags the window and
// the border bands resize it, never below its minimum size.
//
// Tooltips need the mouse messages relayed before dispatch: the message loop
// of the window's thread passes each message through
// CWnd::WalkPreTranslateTree, and the window's PreTranslateMessage relays.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "ui/alpha_control.h"
#include "win/afx.h"

class CAlphaWindow : public CWnd {
public:
    CAlphaWindow();
    ~CAlphaWindow() override;

    // A hidden (or visible) layered tool window over the screen rectangle,
    // with its tooltip control; draws the whole window once.
    virtual BOOL Create(const CRect& rect, BOOL visible);
    // Draws the owner's frame under the controls; rect is the whole window
    // in window coordinates.
    virtual void PaintBackground(HDC dc, const CRect& rect);

    // Composes the dirty rectangle (window coordinates) and shows the
    // window at the screen rectangle, moving or resizing it.
    void Redraw(const CRect& window_rect, const CRect& dirty);
    // Everything, where the window is.
    void Redraw();
    // Hiding also cancels a capture running through the control and ends
    // the hover of the controls in it.
    void SetVisible(CAlphaControl* control, BOOL visible, BOOL redraw);
    // Moves the control (rect in its parent's coordinates), lets it lay out
    // its children and moves its tooltip tools; redraws the old and the new
    // place when asked.
    void SetRect(CAlphaControl* control, const CRect& rect, BOOL redraw);
    // Redraws the control's rectangle when it is visible.
    void Invalidate(CAlphaControl* control);
    using CWnd::Invalidate;

    // Window coordinates and a control's own coordinates (its top-left
    // corner at 0, 0).
    CPoint ControlToWindow(const CAlphaControl* control, CPoint point) const;
    CRect ControlToWindow(const CAlphaControl* control, const CRect& rect) const;
    CPoint WindowToControl(const CAlphaControl* control, CPoint point) const;
    CRect WindowToControl(const CAlphaControl* control, const CRect& rect) const;
    // The control's rectangle in window coordinates.
    CRect GetControlRect(const CAlphaControl* control) const;
    // The control and all its ancestors are visible.
    BOOL IsShown(const CAlphaControl* control) const;

    // Offers the message to the control's ancestors, nearest first; the
    // first non-zero answer consumes it. Otherwise it is sent to the window.
    LRESULT Notify(CAlphaControl* control, UINT message, WPARAM wparam, LPARAM lparam);

    // The hit code of a point in window coordinates: HTOBJECT over a
    // control, the sizing codes in the border bands, HTCAPTION in the
    // region, HTCLIENT elsewhere inside the window, HTBORDER outside it.
    int HitTest(CPoint point) const;

    void SetBorders(int left, int top, int right, int bottom);
    void SetMinimumSize(int width, int height);
    // The part of the window (window coordinates) that is the window; it
    // follows the window's size.
    void SetRegion(const CRect& region);
    CToolTipCtrl& GetToolTip() { return m_toolTip; }
    const std::list<CAlphaControl*>& GetControls() const { return m_controls; }
    // The control whose press holds the mouse capture now, null for none.
    CAlphaControl* GetCapturedControl() const { return m_capturedControl; }
    BOOL IsCapturing() const { return m_capturing; }
    // Layered windows of the process made and not yet destroyed.
    static int GetWindowCount();

    BOOL PreTranslateMessage(MSG* message) override;

protected:
    void OnDestroy() override;
    void OnPaint() override;
    void OnShowWindow(BOOL show, UINT status) override;
    void OnSize(UINT kind, int width, int height) override;
    void OnTimer(UINT_PTR id) override;
    BOOL OnSetCursor(CWnd* window, UINT hit, UINT message) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnLButtonDblClk(UINT flags, CPoint point) override;
    void OnMouseLeave() override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint screen) override;
    void OnCaptureChanged(CWnd* window) override;

    int m_borderLeft = 0, m_borderTop = 0, m_borderRight = 0, m_borderBottom = 0;
    int m_minWidth = 32, m_minHeight = 32;
    CRect m_region;
    CToolTipCtrl m_toolTip;
    std::list<CAlphaControl*> m_controls;

private:
    friend class CAlphaControl;

    // A control on a route, with its point in its own coordinates.
    struct step {
        CAlphaControl* control;
        CPoint point;
        std::weak_ptr<int> life;
        bool alive() const { return !life.expired(); }
    };
    static step step_of(CAlphaControl* control, CPoint point);

    // Drawing.
    bool ensure_buffer(int width, int height);
    void paint_area(const CRect& area);
    void paint_control(CAlphaControl* control, CPoint origin, const CRect& dirty);

    // Routing.
    std::vector<step> path_at(CPoint point) const;
    std::vector<step> captured_chain(CPoint point) const;
    std::vector<step> hovered_outside(const std::vector<step>& path) const;
    bool on_capture_chain(const CAlphaControl* control) const;
    void cancel_capture();
    void end_hover_in(CAlphaControl* control);
    void drag_window(CPoint point);
    void update_tools(CAlphaControl* control);
    void forget(CAlphaControl* control);

    HDC m_dc = nullptr;
    HBITMAP m_buffer = nullptr;
    HGDIOBJ m_initialBitmap = nullptr;
    uint32_t* m_bits = nullptr;
    int m_bufferWidth = 0, m_bufferHeight = 0;
    bool m_painting = false;
    CRect m_pending;  // asked for while painting

    bool m_tracking = false;
    bool m_capturing = false;
    int m_hitCode = 0;
    CRect m_captureOffsets;  // the press point, and its distances to the right and bottom edges
    CAlphaControl* m_capturedControl = nullptr;
    bool m_counted = false;
};
