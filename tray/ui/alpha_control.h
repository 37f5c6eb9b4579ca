// The base of the windowless controls drawn in a layered window
// (CAlphaWindow): a rectangle in its parent's coordinates, children drawn
// and hit-tested in list order, an id (also its tooltip's id and the timer
// id it answers to), and the virtual events the window routes to it.
#pragma once

#include <list>
#include <memory>
#include <string>

#include "win/afx.h"

class CAlphaWindow;

class CAlphaControl {
public:
    CAlphaControl() = default;
    // Kills the window timer of its id, removes its tooltip, cancels a
    // mouse capture that runs through it and leaves its parent's (or the
    // window's) list.
    virtual ~CAlphaControl();
    CAlphaControl(const CAlphaControl&) = delete;
    CAlphaControl& operator=(const CAlphaControl&) = delete;

    // Stores the values and links the control into its parent's children
    // (or the window's top-level controls), with a tooltip tool over its
    // rectangle when the text is not empty. FALSE without a window, or for
    // a control already created.
    virtual BOOL Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top, int right,
                        int bottom, int id, const std::wstring& tooltip, int data);
    // The same with the tooltip text from the string table.
    virtual BOOL Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top, int right,
                        int bottom, int id, UINT tooltip_id, int data);
    // After the rectangle changed: lays out the children.
    virtual void OnMove(const CRect& rect);
    // Draws the control itself, its top-left corner at the DC's origin.
    virtual void Paint(HDC dc);
    // A message a descendant notifies; non-zero consumes it.
    virtual LRESULT OnNotify(UINT message, WPARAM wparam, LPARAM lparam);
    // Points are in the control's own coordinates. Null: the arrow.
    virtual HCURSOR GetCursor(CPoint point);
    virtual void OnMouseMove(CPoint point);
    virtual void OnMouseEnter(CPoint point);
    virtual void OnMouseLeave();
    virtual void OnButtonDown(CPoint point);
    virtual void OnButtonUp(CPoint point);
    virtual void OnDoubleClick(CPoint point);
    // Non-zero when handled.
    virtual BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
    virtual void OnTimer(UINT_PTR id);

    const std::list<CAlphaControl*>& GetChildren() const { return m_children; }
    BOOL IsVisible() const { return m_visible; }
    BOOL IsHovered() const { return m_hovered; }
    // This control or a descendant holds the mouse capture.
    BOOL HoldsCapture() const;
    // Where the last press on it was, in its coordinates (left, top), and
    // that point's distances to its right and bottom edges.
    const CRect& GetCaptureOffsets() const { return m_captureOffsets; }
    CAlphaWindow* GetWindow() const { return m_window; }
    CAlphaControl* GetParent() const { return m_parent; }
    int GetData() const { return m_data; }
    const CRect& GetRect() const { return m_rect; }
    int GetId() const { return m_id; }
    const std::wstring& GetToolTipText() const { return m_tooltip; }

protected:
    std::list<CAlphaControl*> m_children;
    int m_visible = 1;
    int m_capturing = 0;  // m_capturedChild holds the capture
    CRect m_captureOffsets;
    CAlphaControl* m_capturedChild = nullptr;
    CAlphaWindow* m_window = nullptr;
    CAlphaControl* m_parent = nullptr;
    int m_data = 0;
    CRect m_rect;
    int m_id = -1;
    std::wstring m_tooltip;
    int m_hovered = 0;

private:
    friend class CAlphaWindow;
    // Expires with the control, so that routing code holding a pointer
    // across a callback can tell whether the callback deleted it.
    std::shared_ptr<int> m_life = std::make_shared<int>(0);
};
