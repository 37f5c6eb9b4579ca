// The rows of the sync window's task list: a row per task with its
// progress bar, kind icon, name and size, and a group row per folder pair
// holding the rows of its tasks. Each row keeps its own copy of the task or
// binding it shows, and its buttons send the window the Stop, Resume and
// Cancel messages:
//
//   message      wParam                         lParam
//   row_cancel   the row's task or binding copy 0 for a task row, 1 for a group
//   row_stop     the same                       the same
//   row_resume   the same                       the same
//
// A copy lives only as long as its row, and the list is rebuilt by every
// refresh: the receiver takes its own copy (FindRowTarget) before anything
// that can run other messages.
#pragma once

#include <memory>
#include <optional>

#include "sync_controls.h"
#include "syncer/core/binding.h"
#include "syncer/tasks/task.h"
#include "ui/alpha_list.h"

inline constexpr UINT row_cancel_message = WM_USER + 1;
inline constexpr UINT row_stop_message = WM_USER + 2;
inline constexpr UINT row_resume_message = WM_USER + 3;
// Every row sets this 500 ms timer on its window; it makes running rows
// blink.
inline constexpr UINT_PTR row_timer_id = 1000000777;
inline constexpr UINT row_timer_ms = 500;

// Fonts and brushes the rows share; made by the list when it is created.
struct CCMRowStyle;

// The texts of a task row (exposed for tests).
// Its name: the file name, or the local folder for a folder's task, and the
// size in brackets when it is known.
std::wstring TaskRowText(const syncer::task& task);

class CCMListCtrl;
// The list's rows as lines for a person on a terminal, who cannot hover a
// row for its tooltip: a line per folder pair, a line per task with its
// state (and progress while it runs), and a failed task's reason (its
// tooltip) on the lines below it.
std::wstring DescribeRows(const CCMListCtrl& list);

class CCMListCtrlItem : public CAlphaListCtrlItem {
public:
    static constexpr int height = 30;
    // The ids of the row's buttons among its children.
    static constexpr int cancel_id = 1, resume_id = 2, stop_id = 3;

    CCMListCtrlItem(const syncer::task& task, const CCMRowStyle& style);

    using CAlphaListCtrlItem::Create;
    // Creation data 1 makes a row inside a group: the lighter bar, no
    // buttons. A failed task's row has its failure as its tooltip.
    BOOL Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top, int right,
                int bottom, int id, const std::wstring& tooltip, int data) override;

    int GetHeight() override { return height; }
    // Key: a syncer::task; the row of a task that neither orders before.
    bool IsRowOf(const CAlphaRowKey& key) override;
    void OnMove(const CRect& rect) override;
    void Paint(HDC dc) override;
    LRESULT OnNotify(UINT message, WPARAM wparam, LPARAM lparam) override;
    void OnTimer(UINT_PTR id) override;

    const syncer::task& GetTask() const { return m_task; }
    bool IsChild() const { return m_data == 1; }
    // Null for a row inside a group.
    CCMButton* GetStopButton() const { return m_stop.get(); }
    CCMButton* GetResumeButton() const { return m_resume.get(); }
    CCMButton* GetCancelButton() const { return m_cancel.get(); }

private:
    syncer::task m_task;
    const syncer::task::status m_status;  // of the copy, which never changes
    const CCMRowStyle& m_style;
    std::unique_ptr<CCMButton> m_stop, m_resume, m_cancel;
    CImageSlot m_barLeft, m_barMiddle, m_barRight;
    CImageSlot m_icon, m_iconBlink;
    int m_blink = 0;
};

class CCMListCtrlItemGroup : public CAlphaListCtrlItemGroup {
public:
    static constexpr int header_height = 30;
    static constexpr int cancel_id = 1, resume_id = 2, stop_id = 3;

    CCMListCtrlItemGroup(const syncer::binding& binding, const CCMRowStyle& style);

    using CAlphaListCtrlItemGroup::Create;
    BOOL Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top, int right,
                int bottom, int id, const std::wstring& tooltip, int data) override;
    // After adding the row, the group's buttons follow its tasks' states.
    CAlphaListCtrlItem* Add(const CAlphaRowKey& key) override;
    void Remove(const CAlphaRowKey& key) override;

    int GetHeaderHeight() override { return header_height; }
    int GetLeftIndent() override { return 5; }
    int GetRightIndent() override { return 5; }
    int GetBottomMargin() override { return 3; }
    // Key: a syncer::binding; the group of a binding that neither orders
    // before.
    bool IsRowOf(const CAlphaRowKey& key) override;
    void OnMove(const CRect& rect) override;
    void Paint(HDC dc) override;
    LRESULT OnNotify(UINT message, WPARAM wparam, LPARAM lparam) override;
    void OnTimer(UINT_PTR id) override;

    const syncer::binding& GetBinding() const { return m_binding; }
    // Every task of the group is stopped.
    bool AllStopped() const { return m_allStopped; }
    // Some task of the group runs.
    bool AnyRunning() const { return m_anyRunning; }
    CCMButton& GetStopButton() { return m_stop; }
    CCMButton& GetResumeButton() { return m_resume; }
    CCMButton& GetCancelButton() { return m_cancel; }

private:
    void FollowStates();

    syncer::binding m_binding;
    const CCMRowStyle& m_style;
    CCMButton m_resume, m_cancel, m_stop;
    CImageSlot m_frame[9];  // images 313 to 321, row by row
    CImageSlot m_icon, m_iconBlink;
    bool m_allStopped = true;
    bool m_anyRunning = false;
    int m_blink = 0;
};

// What a row message is about, copied out of the row.
struct CCMRowTarget {
    syncer::binding binding;           // the group's, or the task's binding
    std::optional<syncer::task> task;  // for a task row
};

class CCMListCtrl : public CAlphaListCtrl {
public:
    CCMListCtrl();
    ~CCMListCtrl() override;

    using CAlphaListCtrl::Create;
    BOOL Create(CAlphaWindow* window, CAlphaControl* parent, int left, int top, int right,
                int bottom, int id, const std::wstring& tooltip, int data) override;

    CAlphaVScrollBar* GetScrollBar() override { return &m_scrollBar; }
    // Keys: syncer::task for rows, syncer::binding for groups.
    std::unique_ptr<CAlphaListCtrlItem> CreateItem(const CAlphaRowKey& key) override;
    std::unique_ptr<CAlphaListCtrlItemGroup> CreateGroup(const CAlphaRowKey& key) override;

    // A copy of what a row message names: wparam must be the copy held by
    // one of the rows now (a group's binding when group is set, else a
    // task's); nothing for anything else.
    std::optional<CCMRowTarget> FindRowTarget(WPARAM wparam, bool group) const;

private:
    CCMVScrollBar m_scrollBar;
    std::unique_ptr<CCMRowStyle> m_style;
};
