#include "sync_controls.h"

#include "ui/alpha_window.h"
#include "ui/resource_ids.h"

std::unique_ptr<Gdiplus::Font> MakeArialFont(Gdiplus::REAL points) {
    const Gdiplus::FontFamily arial(L"Arial");
    const Gdiplus::FontFamily* family =
        arial.IsAvailable() ? &arial : Gdiplus::FontFamily::GenericSansSerif();
    return std::make_unique<Gdiplus::Font>(family, points);
}

// ---- CCMButton --------------------------------------------------------------

BOOL CCMButton::Create(CAlphaWindow* window, CAlphaControl* parent, int id, int image,
                       const std::wstring& caption, int x, int y) {
    m_caption = caption;
    return CAlphaButton::Create(window, parent, id, image, image, image, image, L"", x, y);
}

void CCMButton::Paint(HDC dc) {
    CAlphaButton::Paint(dc);
    if (m_caption.empty()) return;
    Gdiplus::Graphics graphics(dc);
    const std::unique_ptr<Gdiplus::Font> font = MakeArialFont(7);
    Gdiplus::StringFormat centred;
    centred.SetAlignment(Gdiplus::StringAlignmentCenter);
    centred.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    const Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFFFFFF));
    graphics.DrawString(m_caption.c_str(), -1, font.get(),
                        Gdiplus::RectF(0, 0, static_cast<Gdiplus::REAL>(m_rect.Width()),
                                       static_cast<Gdiplus::REAL>(m_rect.Height())),
                        &centred, &white);
}

HCURSOR CCMButton::GetCursor(CPoint) {
    return LoadCursorW(nullptr, IDC_HAND);
}

// ---- CCMVScrollBar ----------------------------------------------------------

BOOL CCMVScrollBar::Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top,
                           int right, int bottom, int id, const std::wstring& tooltip, int data) {
    HINSTANCE instance = AfxGetResourceHandle();
    LoadImageSlot(m_up, IDB_SCROLL_UP, instance);
    LoadImageSlot(m_down, IDB_SCROLL_DOWN, instance);
    LoadImageSlot(m_thumbTop, IDB_SCROLL_THUMB_TOP, instance);
    LoadImageSlot(m_thumbMiddle, IDB_SCROLL_THUMB_MIDDLE, instance);
    LoadImageSlot(m_thumbBottom, IDB_SCROLL_THUMB_BOTTOM, instance);
    LoadImageSlot(m_track, IDB_SCROLL_TRACK, instance);
    return CAlphaVScrollBar::Create(window, parent, left, top, right, bottom, id, tooltip, data);
}

int CCMVScrollBar::GetArrowHeight() {
    return m_up.IsEmpty() ? width : m_up.GetHeight();
}

void CCMVScrollBar::Paint(HDC dc) {
    const int height = m_rect.Height();
    const int arrow = GetArrowHeight();
    m_track.DrawTiled(dc, CRect(0, arrow, width, height - arrow));
    m_up.Draw(dc, 0, 0);
    m_down.Draw(dc, 0, height - m_down.GetHeight());
    const int top = GetThumbTop();
    const int bottom = top + GetThumbLength(GetTrackLength());
    m_thumbMiddle.DrawTiled(
        dc, CRect(0, top + m_thumbTop.GetHeight(), width, bottom - m_thumbBottom.GetHeight()));
    m_thumbTop.Draw(dc, 0, top);
    m_thumbBottom.Draw(dc, 0, bottom - m_thumbBottom.GetHeight());
}
