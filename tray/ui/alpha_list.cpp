#include "ui/alpha_list.h"

#include <algorithm>

#include "ui/alpha_window.h"

CAlphaListCtrl::~CAlphaListCtrl() {
    m_rows.clear();
}

BOOL CAlphaListCtrl::Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top,
                            int right, int bottom, int id, const std::wstring& tooltip, int data) {
    if (!CAlphaControl::Create(window, parent, left, top, right, bottom, id, tooltip, data))
        return FALSE;
    CAlphaVScrollBar* bar = GetScrollBar();
    const int width = m_rect.Width(), height = m_rect.Height();
    if (!bar->Create(window, this, width - bar->GetBarWidth(), 0, width, height, scroll_bar_id, L"",
                     0))
        return FALSE;
    ScrollTo(0);
    return TRUE;
}

int CAlphaListCtrl::NextFreeId() {
    int largest = first_row_id - 1;
    for (const auto& row : m_rows) {
        largest = std::max(largest, row->GetId());
        for (const CAlphaControl* child : row->GetChildren())
            largest = std::max(largest, child->GetId());
    }
    return largest + 1;
}

void CAlphaListCtrl::make_row(std::unique_ptr<CAlphaListCtrlItem> row) {
    const int width = m_rect.Width() - GetScrollBar()->GetBarWidth();
    row->Create(m_window, this, 0, 0, width, row->GetHeight(), NextFreeId(), L"", 0);
    m_window->SetVisible(row.get(), FALSE, FALSE);
    m_rows.push_back(std::move(row));
}

void CAlphaListCtrl::SetRows(const std::vector<CAlphaRowKey>& keys,
                             const std::vector<CAlphaRowKey>& group_keys, BOOL redraw) {
    m_rows.clear();
    for (size_t i = 0; i < keys.size(); ++i) {
        const CAlphaRowKey none;
        const CAlphaRowKey& group_key = i < group_keys.size() ? group_keys[i] : none;
        if (!group_key.has_value()) {
            if (auto row = CreateItem(keys[i])) make_row(std::move(row));
            continue;
        }
        CAlphaListCtrlItemGroup* group = nullptr;
        for (const auto& row : m_rows)
            if (!row->IsPlainRow() && row->IsRowOf(group_key)) {
                group = static_cast<CAlphaListCtrlItemGroup*>(row.get());
                break;
            }
        if (!group) {
            std::unique_ptr<CAlphaListCtrlItemGroup> made = CreateGroup(group_key);
            if (!made) continue;
            group = made.get();
            const int width = m_rect.Width() - GetScrollBar()->GetBarWidth();
            group->Create(m_window, this, this, 0, 0, width, group->GetHeight(), NextFreeId(), L"",
                          0);
            m_window->SetVisible(group, FALSE, FALSE);
            m_rows.push_back(std::move(made));
        }
        group->Add(keys[i]);
    }
    ScrollTo(m_offset);
    if (redraw) m_window->Invalidate(this);
}

int CAlphaListCtrl::RowCount() {
    int count = 0;
    for (const auto& row : m_rows)
        count += row->IsPlainRow()
                     ? 1
                     : static_cast<CAlphaListCtrlItemGroup*>(row.get())->GetChildCount();
    return count;
}

void CAlphaListCtrl::ScrollTo(int offset) {
    if (!m_window) return;
    CAlphaVScrollBar* bar = GetScrollBar();
    int total = 0;
    for (const auto& row : m_rows) total += row->GetHeight();
    const int visible = m_rect.Height();
    m_offset = std::max(0, std::min(offset, total - visible));
    const bool overflow = total > visible;
    const int width = m_rect.Width() - (overflow ? bar->GetBarWidth() + 6 : 2);
    m_window->SetVisible(bar, overflow, FALSE);
    bar->SetScrollInfo(total, visible, 25, m_offset);
    int y = 0;
    for (const auto& row : m_rows) {
        const int height = row->GetHeight();
        if (y < m_offset + visible && y + height > m_offset) {
            m_window->SetRect(row.get(), CRect(0, y - m_offset, width, y - m_offset + height),
                              FALSE);
            m_window->SetVisible(row.get(), TRUE, FALSE);
        } else {
            m_window->SetVisible(row.get(), FALSE, FALSE);
        }
        y += height;
    }
}

void CAlphaListCtrl::OnMove(const CRect& rect) {
    CAlphaVScrollBar* bar = GetScrollBar();
    if (m_window && bar->GetWindow())
        m_window->SetRect(
            bar, CRect(rect.Width() - bar->GetBarWidth(), 0, rect.Width(), rect.Height()), FALSE);
    ScrollTo(m_offset);
}

LRESULT CAlphaListCtrl::OnNotify(UINT message, WPARAM wparam, LPARAM) {
    if (message != WM_VSCROLL) return 0;
    ScrollTo(static_cast<int>(wparam));
    m_window->Invalidate(this);
    return 1;
}

BOOL CAlphaListCtrl::OnMouseWheel(UINT, short delta, CPoint) {
    ScrollTo(m_offset - delta * wheel_numerator / wheel_denominator);
    m_window->Invalidate(this);
    return TRUE;
}
