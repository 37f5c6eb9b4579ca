// The sync window's own buttons and scroll bar: an image button with a
// white caption and the hand cursor, and the 6-pixel scroll bar drawn from
// its images.
#pragma once

#include <memory>
#include <string>

#include "ui/alpha_button.h"
#include "ui/alpha_scroll_bar.h"
#include "ui/image_ex.h"
#include "win/gdiplus.h"

// "Arial" at the size in points, or the generic sans-serif family where
// "Arial" is missing.
std::unique_ptr<Gdiplus::Font> MakeArialFont(Gdiplus::REAL points);

class CCMButton : public CAlphaButton {
public:
    using CAlphaButton::Create;
    // At (x, y), the image's size, one image for every state, the caption
    // centred on it.
    BOOL Create(CAlphaWindow* window, CAlphaControl* parent, int id, int image,
                const std::wstring& caption, int x, int y);

    const std::wstring& GetCaption() const { return m_caption; }

    void Paint(HDC dc) override;
    HCURSOR GetCursor(CPoint point) override;

private:
    std::wstring m_caption;
};

class CCMVScrollBar : public CAlphaVScrollBar {
public:
    static constexpr int width = 6;

    using CAlphaVScrollBar::Create;
    // Loads the images, then creates the bar.
    BOOL Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top, int right,
                int bottom, int id, const std::wstring& tooltip, int data) override;

    int GetBarWidth() override { return width; }
    int GetArrowHeight() override;
    void Paint(HDC dc) override;

private:
    CImageSlot m_up, m_down, m_thumbTop, m_thumbMiddle, m_thumbBottom, m_track;
};
