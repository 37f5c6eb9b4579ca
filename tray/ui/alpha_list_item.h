// Rows of the toolkit's scrolling list (CAlphaListCtrl): a plain row, and a
// group row with a header over the plain rows it holds. Each row is the row
// of a key (what it shows); keys are the owner's values of any type.
#pragma once

#include <any>
#include <memory>
#include <vector>

#include "ui/alpha_control.h"

class CAlphaListCtrl;

using CAlphaRowKey = std::any;

class CAlphaListCtrlItem : public CAlphaControl {
public:
    // The row's height, known before it is created.
    virtual int GetHeight() = 0;
    // Whether this is the row of the key.
    virtual bool IsRowOf(const CAlphaRowKey& key) = 0;
    // True for plain rows, false for groups.
    virtual bool IsPlainRow() { return true; }
};

class CAlphaListCtrlItemGroup : public CAlphaListCtrlItem {
public:
    ~CAlphaListCtrlItemGroup() override;

    using CAlphaListCtrlItem::Create;
    // A group of the list; its rows are made by the list.
    virtual BOOL Create(CAlphaWindow* window, CAlphaListCtrl* list, CAlphaControl* parent, int left,
                        int top, int right, int bottom, int id, const std::wstring& tooltip,
                        int data);
    virtual BOOL Create(CAlphaWindow* window, CAlphaListCtrl* list, CAlphaControl* parent, int left,
                        int top, int right, int bottom, int id, UINT tooltip_id, int data);
    // Adds a row for the key (made by the list, created as a child, with
    // creation data 1) and lays the rows out; null when the list makes none.
    virtual CAlphaListCtrlItem* Add(const CAlphaRowKey& key);
    // Deletes the row of the key, then lays the rows out.
    virtual void Remove(const CAlphaRowKey& key);
    virtual int GetChildCount();
    virtual CAlphaListCtrlItem* FindChild(const CAlphaRowKey& key);
    virtual int GetHeaderHeight() = 0;
    virtual int GetLeftIndent() { return 0; }
    virtual int GetRightIndent() { return 0; }
    virtual int GetBottomMargin() { return 0; }

    // Header, bottom margin and the rows.
    int GetHeight() override;
    bool IsPlainRow() override { return false; }
    // Stacks the rows below the header at the indents and shows them.
    void OnMove(const CRect& rect) override;

    const std::vector<std::unique_ptr<CAlphaListCtrlItem>>& GetRows() const { return m_rows; }

protected:
    std::vector<std::unique_ptr<CAlphaListCtrlItem>> m_rows;
    CAlphaListCtrl* m_list = nullptr;
};
