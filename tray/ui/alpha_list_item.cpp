#include "ui/alpha_list_item.h"

#include "ui/alpha_list.h"
#include "ui/alpha_window.h"

CAlphaListCtrlItemGroup::~CAlphaListCtrlItemGroup() {
    m_rows.clear();
}

BOOL CAlphaListCtrlItemGroup::Create(CAlphaWindow* window, CAlphaListCtrl* list,
                                     CAlphaControl* parent, int left, int top, int right,
                                     int bottom, int id, const std::wstring& tooltip, int data) {
    m_list = list;
    return Create(window, parent, left, top, right, bottom, id, tooltip, data);
}

BOOL CAlphaListCtrlItemGroup::Create(CAlphaWindow* window, CAlphaListCtrl* list,
                                     CAlphaControl* parent, int left, int top, int right,
                                     int bottom, int id, UINT tooltip_id, int data) {
    m_list = list;
    return Create(window, parent, left, top, right, bottom, id, tooltip_id, data);
}

CAlphaListCtrlItem* CAlphaListCtrlItemGroup::Add(const CAlphaRowKey& key) {
    if (!m_list || !m_window) return nullptr;
    std::unique_ptr<CAlphaListCtrlItem> row = m_list->CreateItem(key);
    if (!row) return nullptr;
    int top = GetHeaderHeight();
    for (const auto& r : m_rows) top += r->GetHeight();
    const int height = row->GetHeight();
    row->Create(m_window, this, GetLeftIndent(), top, m_rect.Width() - GetRightIndent(),
                top + height, m_list->NextFreeId(), L"", 1);
    CAlphaListCtrlItem* added = row.get();
    m_rows.push_back(std::move(row));
    OnMove(m_rect);
    return added;
}

void CAlphaListCtrlItemGroup::Remove(const CAlphaRowKey& key) {
    for (auto it = m_rows.begin(); it != m_rows.end(); ++it)
        if ((*it)->IsRowOf(key)) {
            m_rows.erase(it);
            OnMove(m_rect);
            return;
        }
}

int CAlphaListCtrlItemGroup::GetChildCount() {
    return static_cast<int>(m_rows.size());
}

CAlphaListCtrlItem* CAlphaListCtrlItemGroup::FindChild(const CAlphaRowKey& key) {
    for (const auto& row : m_rows)
        if (row->IsRowOf(key)) return row.get();
    return nullptr;
}

int CAlphaListCtrlItemGroup::GetHeight() {
    int height = GetHeaderHeight() + GetBottomMargin();
    for (const auto& row : m_rows) height += row->GetHeight();
    return height;
}

void CAlphaListCtrlItemGroup::OnMove(const CRect& rect) {
    if (!m_window) return;
    int top = GetHeaderHeight();
    for (const auto& row : m_rows) {
        const int height = row->GetHeight();
        m_window->SetRect(
            row.get(), CRect(GetLeftIndent(), top, rect.Width() - GetRightIndent(), top + height),
            FALSE);
        m_window->SetVisible(row.get(), TRUE, FALSE);
        top += height;
    }
}
