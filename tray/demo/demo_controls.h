// Simple concrete controls over the toolkit, for its tests, its pictures and
// its benchmark: a framed window, captioned buttons, an image scroll bar and
// a list of rows with a progress bar, an icon and a name, in groups. They
// use the program's art as the sync window will.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/alpha_button.h"
#include "ui/alpha_list.h"
#include "ui/alpha_window.h"
#include "ui/image_ex.h"
#include "ui/window_frame.h"

namespace demo {

// A layered window with the sync window's frame: a top band, 5-pixel
// borders and a bottom band, drawn from the frame images.
class CDemoWindow : public CAlphaWindow {
public:
    CDemoWindow();
    BOOL Create(const CRect& rect, BOOL visible) override;
    void PaintBackground(HDC dc, const CRect& rect) override;
    // The area inside the frame, in window coordinates.
    CRect Inside() const;

    // Called with the new size after the window's own handling.
    std::function<void(int width, int height)> on_size;

protected:
    void OnSize(UINT kind, int width, int height) override;

private:
    CWindowFrame m_frame;
};

// An image button with a white caption in its middle and the hand cursor.
class CDemoButton : public CAlphaButton {
public:
    std::wstring m_caption;
    void Paint(HDC dc) override;
    HCURSOR GetCursor(CPoint point) override;
};

// The 6-pixel scroll bar of the sync window, from its images.
class CDemoScrollBar : public CAlphaVScrollBar {
public:
    CDemoScrollBar();
    int GetBarWidth() override { return 6; }
    int GetArrowHeight() override;
    void Paint(HDC dc) override;

private:
    CImageSlot m_up, m_down, m_track, m_thumbTop, m_thumbMiddle, m_thumbBottom;
};

// The key of a row.
struct demo_row {
    std::wstring name;
    int progress = 0;  // percent
    bool upload = false;
    bool failed = false;
};

// Fonts and brushes the rows share.
struct demo_style;

// A 30-pixel row: its progress bar, its kind's icon and its name.
class CDemoRow : public CAlphaListCtrlItem {
public:
    CDemoRow(demo_row row, const demo_style* style);
    using CAlphaListCtrlItem::Create;
    BOOL Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top, int right,
                int bottom, int id, const std::wstring& tooltip, int data) override;
    int GetHeight() override { return 30; }
    bool IsRowOf(const CAlphaRowKey& key) override;
    void Paint(HDC dc) override;
    const demo_row& Row() const { return m_row; }

private:
    demo_row m_row;
    const demo_style* m_style;
    CImageSlot m_left, m_middle, m_right, m_icon;
};

// A group of rows (its key: a folder's name) on a light panel.
class CDemoGroup : public CAlphaListCtrlItemGroup {
public:
    CDemoGroup(std::wstring folder, const demo_style* style);
    int GetHeaderHeight() override { return 30; }
    int GetLeftIndent() override { return 5; }
    int GetRightIndent() override { return 5; }
    int GetBottomMargin() override { return 3; }
    bool IsRowOf(const CAlphaRowKey& key) override;
    void Paint(HDC dc) override;
    const std::wstring& Folder() const { return m_folder; }

private:
    std::wstring m_folder;
    const demo_style* m_style;
    CImageSlot m_frame[9];  // images 313 to 321
    CImageSlot m_icon;
};

// The list: keys are demo_row values, group keys folder names.
class CDemoList : public CAlphaListCtrl {
public:
    CDemoList();
    ~CDemoList() override;
    CAlphaVScrollBar* GetScrollBar() override { return &m_scrollBar; }
    std::unique_ptr<CAlphaListCtrlItem> CreateItem(const CAlphaRowKey& key) override;
    std::unique_ptr<CAlphaListCtrlItemGroup> CreateGroup(const CAlphaRowKey& key) override;

private:
    CDemoScrollBar m_scrollBar;
    std::unique_ptr<demo_style> m_style;
};

}  // namespace demo
