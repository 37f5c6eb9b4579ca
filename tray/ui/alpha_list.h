// The toolkit's scrolling list: rows (plain rows and groups of rows) stacked
// from the top and scrolled by whole pixels, with a vertical scroll bar at
// the right edge that shows only when the rows do not fit. The owner makes
// the rows for its keys (CreateItem, CreateGroup) and its scroll bar.
#pragma once

#include <memory>
#include <vector>

#include "ui/alpha_list_item.h"
#include "ui/alpha_scroll_bar.h"

class CAlphaListCtrl : public CAlphaControl {
public:
    // The id of the list's scroll bar, and the first id of its rows.
    static constexpr int scroll_bar_id = 776;
    static constexpr int first_row_id = 777;
    // Pixels a wheel notch (120) scrolls: 5/8 of the delta.
    static constexpr int wheel_numerator = 5;
    static constexpr int wheel_denominator = 8;

    ~CAlphaListCtrl() override;

    using CAlphaControl::Create;
    // Also creates the scroll bar along the right edge.
    BOOL Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top, int right,
                int bottom, int id, const std::wstring& tooltip, int data) override;

    virtual CAlphaVScrollBar* GetScrollBar() = 0;
    // A plain row for a key, and a group row for a group key (not yet
    // created).
    virtual std::unique_ptr<CAlphaListCtrlItem> CreateItem(const CAlphaRowKey& key) = 0;
    virtual std::unique_ptr<CAlphaListCtrlItemGroup> CreateGroup(const CAlphaRowKey& key) = 0;

    // Rebuilds every row: each key in order gets a plain row, in the group
    // of its group key when that has a value (one group per group key, made
    // when first needed). Group keys missing at the end count as none.
    void SetRows(const std::vector<CAlphaRowKey>& keys, const std::vector<CAlphaRowKey>& group_keys,
                 BOOL redraw);
    // Plain rows, counting those inside groups.
    int RowCount();
    // Scrolls to the offset (kept between 0 and the rows' height less the
    // list's) and places the rows: those in view are shown, the others
    // hidden.
    void ScrollTo(int offset);
    int GetScrollOffset() const { return m_offset; }
    // 777, or one more than the largest id among the rows and their
    // children.
    int NextFreeId();
    const std::vector<std::unique_ptr<CAlphaListCtrlItem>>& GetRows() const { return m_rows; }

    void OnMove(const CRect& rect) override;
    LRESULT OnNotify(UINT message, WPARAM wparam, LPARAM lparam) override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;

protected:
    std::vector<std::unique_ptr<CAlphaListCtrlItem>> m_rows;
    int m_offset = 0;

private:
    void make_row(std::unique_ptr<CAlphaListCtrlItem> row);
};
