// The sync progress window: the small layered window in the bottom-right
// corner that lists what the sync engine does (one group row per folder
// pair, one row per task), with "Stop all", "Resume all" and per-row Stop,
// Resume and Cancel, and the object through which the engine talks to the
// user (syncer::user_interface). It creates and deletes the engine's
// manager for the logged-in user and refreshes its list every 10 s and
// whenever the engine says the task list changed.
//
// Everything but the syncer::user_interface operations runs on the thread
// that created the window (the tray program's main thread). The engine's
// questions are asked in the question box on the engine's own thread;
// tasks_changed only posts a message, so the engine never waits for the
// window's thread. The object is made once GDI+ runs: its question box loads
// its image when it is made.
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <string>

#include "sync_engine.h"
#include "sync_question.h"
#include "sync_rows.h"
#include "syncer/core/user_interface.h"
#include "ui/alpha_window.h"
#include "ui/image_ex.h"
#include "ui/window_frame.h"

class CCMSyncWindow : public CAlphaWindow, public syncer::user_interface {
public:
    // Control ids.
    static constexpr int close_button_id = 1001;
    static constexpr int stop_all_button_id = 1002;
    static constexpr int resume_all_button_id = 1003;
    static constexpr int task_list_id = 1004;
    // The refresh timer, and the message that asks for a refresh.
    static constexpr UINT_PTR refresh_timer_id = 1000000001;
    static constexpr UINT refresh_timer_ms = 10000;
    static constexpr UINT refresh_message = WM_USER + 255;
    // The message of the tray's terminal command "r": the rows, their
    // states and the failed rows' reasons printed for a person on the
    // terminal (DescribeRows), answered on the window's thread.
    static constexpr UINT print_rows_message = WM_USER + 254;

    CCMSyncWindow();
    // Deletes a running manager without asking (an open question of the
    // engine is answered No).
    ~CCMSyncWindow() override;

    // Builds the hidden window over the screen rectangle, with its buttons,
    // its task list and its refresh timer.
    bool Create(const RECT& rect);
    // Creates the manager for the user; false when one exists already, or
    // when the manager cannot be made (then none exists, and the failure's
    // text goes to failure when one is given).
    bool StartSyncing(const std::wstring& user_name, std::wstring* failure = nullptr);
    // True when syncing has ended: there was no manager, or the user agreed
    // to end the tasks still listed and the manager is deleted. While the
    // engine holds its task list the call waits for it; any other failure
    // to read the tasks shows "Error requesting tasks" and gives false.
    bool StopSyncing();
    // Ends syncing without asking (the session it served is over): the
    // manager goes, the window hides and its rows go with the next
    // refresh. The window itself stays, so that a box of its own that is
    // open meanwhile returns to a live window.
    void EndSyncing();
    // Shows the window in front when the list has rows.
    void BringToFront();
    // Whether a refresh that adds rows shows the window.
    bool IsAutoShow() const;
    void SetAutoShow(bool on);
    bool HasManager() const;

    // syncer::user_interface, called on the engine's threads.
    int ask_question(int kind, const syncer::binding& owner, const std::wstring& dir_remote,
                     const std::wstring& dir_local, const std::wstring& filename,
                     bool offer_dont_ask_again, bool offer_apply_to_all) override;
    int report_error(int kind, const std::wstring& message, const syncer::binding& owner,
                     const std::wstring& dir_remote, const std::wstring& dir_local,
                     const std::wstring& filename, bool offer_retry) override;
    int show_message(int information_kind) override;
    int show_result(int result_kind, const syncer::binding& owner, const std::wstring& dir_remote,
                    const std::wstring& dir_local, const std::wstring& filename) override;
    // Posts refresh_message to the window; never waits.
    void tasks_changed() override;

    // How StartSyncing makes the engine: the user's syncer::manager unless
    // set otherwise (tests and pictures stand other engines in).
    void SetEngineFactory(SyncEngineFactory factory);

    // The controls, for tests and pictures.
    CCMListCtrl& GetTaskList() { return m_list; }
    CCMButton& GetCloseButton() { return m_close; }
    CCMButton& GetStopAllButton() { return m_stopAll; }
    CCMButton& GetResumeAllButton() { return m_resumeAll; }

protected:
    // Rebuilds the list from tasks read from the engine: which are shown,
    // in which order and groups, the two big buttons, and showing or
    // hiding the window. A failure here is reported by the refresh.
    virtual void ShowTasks(const std::list<syncer::task>& tasks);

    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
    BOOL OnCommand(WPARAM wparam, LPARAM lparam) override;
    void OnDestroy() override;
    void OnSize(UINT kind, int width, int height) override;
    void OnTimer(UINT_PTR id) override;
    void PaintBackground(HDC dc, const CRect& rect) override;

private:
    using CAlphaWindow::Create;

    void RefreshTasks();
    void PostRefresh();
    void LayOut(int width, int height);
    void OnRowMessage(UINT message, WPARAM wparam, LPARAM lparam);
    void AskCancel(const syncer::binding& target);
    void RunCommand(void (CSyncEngine::*operation)(), const wchar_t* failure_text);
    // Deletes the engine; an open question is answered No meanwhile.
    void EndEngine();
    // The owner of a message box asked on the calling thread: the window on
    // its own thread, no window on any other (see sync_question.h).
    HWND BoxOwner() const;

    CCMListCtrl m_list;
    CCMButton m_close;
    CCMButton m_stopAll;
    CCMButton m_resumeAll;
    CWindowFrame m_frame;

    SyncEngineFactory m_factory;
    std::unique_ptr<CSyncEngine> m_engine;
    // Counts the engines made: a box's caller compares it to tell whether
    // the engine it asked about is still the one running.
    unsigned m_engineGeneration = 0;
    CSyncQuestion m_question;
    bool m_autoShow = true;
    bool m_refreshing = false;

    // The window as the engine's threads post to it, and its thread.
    std::atomic<HWND> m_postTarget{nullptr};
    DWORD m_thread = 0;
};
