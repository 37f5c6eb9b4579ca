#include "demo/demo_controls.h"

#include <algorithm>

#include "ui/resource_ids.h"

namespace demo {

using namespace Gdiplus;

struct demo_style {
    Font row_font{L"Arial", 8};
    Font group_font{L"Arial", 6};
    StringFormat trimmed{StringFormatFlagsLineLimit};
    SolidBrush white{Color(0xFFFFFFFF)};
    SolidBrush group_text{Color(0xFF324667)};
    SolidBrush failed_fill{Color(0xFFFF0000)};
    SolidBrush fill{Color(0xFF64788C)};
    SolidBrush child_fill{Color(0xFF96A0B4)};

    demo_style() { trimmed.SetTrimming(StringTrimmingEllipsisCharacter); }
};

namespace {

HINSTANCE resources() {
    return AfxGetResourceHandle();
}

}  // namespace

// ---- The window ---------------------------------------------------------------

CDemoWindow::CDemoWindow() {
    m_frame.Load(resources());
}

BOOL CDemoWindow::Create(const CRect& rect, BOOL visible) {
    SetBorders(5, 5, 5, 5);
    SetMinimumSize(400, 220);
    return CAlphaWindow::Create(rect, visible);
}

CRect CDemoWindow::Inside() const {
    CRect client;
    GetClientRect(&client);
    return m_frame.Inside(client.right, client.bottom);
}

void CDemoWindow::OnSize(UINT kind, int width, int height) {
    CAlphaWindow::OnSize(kind, width, height);
    if (on_size) on_size(width, height);
}

void CDemoWindow::PaintBackground(HDC dc, const CRect& rect) {
    m_frame.Paint(dc, rect.Width(), rect.Height());
}

// ---- Buttons and the scroll bar -------------------------------------------------

void CDemoButton::Paint(HDC dc) {
    CAlphaButton::Paint(dc);
    if (m_caption.empty()) return;
    Graphics g(dc);
    Font font(L"Arial", 7);
    StringFormat centred;
    centred.SetAlignment(StringAlignmentCenter);
    centred.SetLineAlignment(StringAlignmentCenter);
    SolidBrush white(Color(0xFFFFFFFF));
    g.DrawString(m_caption.c_str(), -1, &font,
                 RectF(0, 0, static_cast<REAL>(m_rect.Width()), static_cast<REAL>(m_rect.Height())),
                 &centred, &white);
}

HCURSOR CDemoButton::GetCursor(CPoint) {
    return LoadCursorW(nullptr, IDC_HAND);
}

CDemoScrollBar::CDemoScrollBar() {
    LoadImageSlot(m_up, IDB_SCROLL_UP, resources());
    LoadImageSlot(m_down, IDB_SCROLL_DOWN, resources());
    LoadImageSlot(m_track, IDB_SCROLL_TRACK, resources());
    LoadImageSlot(m_thumbTop, IDB_SCROLL_THUMB_TOP, resources());
    LoadImageSlot(m_thumbMiddle, IDB_SCROLL_THUMB_MIDDLE, resources());
    LoadImageSlot(m_thumbBottom, IDB_SCROLL_THUMB_BOTTOM, resources());
}

int CDemoScrollBar::GetArrowHeight() {
    return m_up.IsEmpty() ? 6 : m_up.GetHeight();
}

void CDemoScrollBar::Paint(HDC dc) {
    const int height = m_rect.Height(), arrow = GetArrowHeight();
    m_track.DrawTiled(dc, CRect(0, arrow, 6, height - arrow));
    m_up.Draw(dc, 0, 0);
    m_down.Draw(dc, 0, height - m_down.GetHeight());
    const int top = GetThumbTop();
    const int bottom = top + GetThumbLength(GetTrackLength());
    m_thumbMiddle.DrawTiled(
        dc, CRect(0, top + m_thumbTop.GetHeight(), 6, bottom - m_thumbBottom.GetHeight()));
    m_thumbTop.Draw(dc, 0, top);
    m_thumbBottom.Draw(dc, 0, bottom - m_thumbBottom.GetHeight());
}

// ---- Rows -------------------------------------------------------------------------

CDemoRow::CDemoRow(demo_row row, const demo_style* style) : m_row(std::move(row)), m_style(style) {}

bool CDemoRow::IsRowOf(const CAlphaRowKey& key) {
    const auto* row = std::any_cast<demo_row>(&key);
    return row && row->name == m_row.name;
}

// A row inside a group (creation data 1) has the lighter bar.
BOOL CDemoRow::Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top, int right,
                      int bottom, int id, const std::wstring& tooltip, int data) {
    const int first = data == 1 ? IDB_CHILD_BAR_LEFT : IDB_BAR_LEFT;
    LoadImageSlot(m_left, first, resources());
    LoadImageSlot(m_middle, first + 1, resources());
    LoadImageSlot(m_right, first + 2, resources());
    LoadImageSlot(m_icon, m_row.upload ? IDB_UPLOAD_ICON : IDB_DOWNLOAD_ICON, resources());
    return CAlphaListCtrlItem::Create(window, parent, left, top, right, bottom, id, tooltip, data);
}

void CDemoRow::Paint(HDC dc) {
    const bool child = m_data == 1;
    const int W = m_rect.Width();
    Graphics g(dc);
    const int fill_height = m_middle.GetHeight() - 4;
    if (m_row.failed)
        g.FillRectangle(&m_style->failed_fill, 2, 3, W - 5, fill_height);
    else
        g.FillRectangle(child ? &m_style->child_fill : &m_style->fill, 2, 3,
                        (W - 5) * std::clamp(m_row.progress, 0, 100) / 100, fill_height);
    m_left.Draw(dc, 0, 1);
    m_middle.DrawTiled(
        dc, CRect(m_left.GetWidth(), 1, W - m_right.GetWidth(), 1 + m_middle.GetHeight()));
    m_right.Draw(dc, W - m_right.GetWidth(), 1);
    m_icon.Draw(dc, 10, 8);
    const int text_width = child ? W - 35 : W - 120;
    g.DrawString(m_row.name.c_str(), -1, &m_style->row_font,
                 RectF(23, 7, static_cast<REAL>(text_width), 20), &m_style->trimmed,
                 &m_style->white);
}

CDemoGroup::CDemoGroup(std::wstring folder, const demo_style* style)
    : m_folder(std::move(folder)), m_style(style) {
    for (int i = 0; i < 9; ++i) LoadImageSlot(m_frame[i], IDB_GROUP_TOP_LEFT + i, resources());
    LoadImageSlot(m_icon, IDB_GROUP_ICON, resources());
}

bool CDemoGroup::IsRowOf(const CAlphaRowKey& key) {
    const auto* folder = std::any_cast<std::wstring>(&key);
    return folder && *folder == m_folder;
}

void CDemoGroup::Paint(HDC dc) {
    const int W = m_rect.Width(), H = m_rect.Height();
    const CImageSlot* f = m_frame;  // row by row from the top-left corner
    f[0].Draw(dc, 0, 0);
    f[1].DrawTiled(dc, CRect(f[0].GetWidth(), 0, W - f[2].GetWidth(), f[1].GetHeight()));
    f[2].Draw(dc, W - f[2].GetWidth(), 0);
    f[3].DrawTiled(dc, CRect(0, f[0].GetHeight(), f[3].GetWidth(), H - f[6].GetHeight()));
    f[4].DrawTiled(
        dc, CRect(f[3].GetWidth(), f[1].GetHeight(), W - f[5].GetWidth(), H - f[7].GetHeight()));
    f[5].DrawTiled(dc, CRect(W - f[5].GetWidth(), f[2].GetHeight(), W, H - f[8].GetHeight()));
    f[6].Draw(dc, 0, H - f[6].GetHeight());
    f[7].DrawTiled(dc, CRect(f[6].GetWidth(), H - f[7].GetHeight(), W - f[8].GetWidth(), H));
    f[8].Draw(dc, W - f[8].GetWidth(), H - f[8].GetHeight());
    m_icon.Draw(dc, 11, 9);
    Graphics g(dc);
    const std::wstring count = std::to_wstring(GetChildCount()) + L" files";
    const REAL width = static_cast<REAL>(W - 125);
    g.DrawString(m_folder.c_str(), -1, &m_style->group_font, RectF(32, 7, width, 10),
                 &m_style->trimmed, &m_style->group_text);
    g.DrawString(count.c_str(), -1, &m_style->group_font, RectF(32, 15, width, 10),
                 &m_style->trimmed, &m_style->group_text);
}

// ---- The list ---------------------------------------------------------------------

CDemoList::CDemoList() : m_style(std::make_unique<demo_style>()) {}

CDemoList::~CDemoList() {
    // The rows use the style: they go first.
    m_rows.clear();
}

std::unique_ptr<CAlphaListCtrlItem> CDemoList::CreateItem(const CAlphaRowKey& key) {
    const auto* row = std::any_cast<demo_row>(&key);
    if (!row) return nullptr;
    return std::make_unique<CDemoRow>(*row, m_style.get());
}

std::unique_ptr<CAlphaListCtrlItemGroup> CDemoList::CreateGroup(const CAlphaRowKey& key) {
    const auto* folder = std::any_cast<std::wstring>(&key);
    if (!folder) return nullptr;
    return std::make_unique<CDemoGroup>(*folder, m_style.get());
}

}  // namespace demo
