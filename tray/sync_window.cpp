// CCMSyncWindow: the window, its frame and controls, the refresh of its
// list from the engine's tasks, its commands and the rows' messages, and
// starting and stopping the engine.
#include "sync_window.h"

#include <chrono>
#include <cstdio>

#include "error_text.h"
#include "sync_strings.h"
#include "sync_task_view.h"
#include "syncer/core/exceptions.h"
#include "ui/resource_ids.h"
#include "utils/time_scale.h"
#include "win/shell.h"
#include "win/shell_notify_icon.h"

namespace {

// How long StopSyncing waits before it asks for a busy task list again.
constexpr std::chrono::milliseconds busy_retry{500};

// Sets the flag for the life of the object.
class scoped_flag {
public:
    explicit scoped_flag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~scoped_flag() { m_flag = false; }
    scoped_flag(const scoped_flag&) = delete;
    scoped_flag& operator=(const scoped_flag&) = delete;

private:
    bool& m_flag;
};

// Keeps a control at (x, y) at its own size.
void place(CAlphaWindow& window, CAlphaControl& control, int x, int y) {
    const CRect& now = control.GetRect();
    window.SetRect(&control, CRect(x, y, x + now.Width(), y + now.Height()), FALSE);
}

}  // namespace

CCMSyncWindow::CCMSyncWindow()
    : m_factory([](const std::wstring& user_name, syncer::user_interface* ui) {
          return MakeManagerEngine(user_name, ui);
      }) {}

CCMSyncWindow::~CCMSyncWindow() {
    EndEngine();
    m_postTarget = nullptr;
}

bool CCMSyncWindow::Create(const RECT& rect) {
    SetBorders(5, 5, 5, 5);
    SetMinimumSize(400, 220);
    m_frame.Load(AfxGetResourceHandle());
    if (!CAlphaWindow::Create(CRect(rect), FALSE)) return false;
    // The window shows no caption; its text names it where it is listed and
    // pictured.
    SetWindowText(L"Sync tasks");
    m_thread = GetCurrentThreadId();

    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    m_close.Create(this, nullptr, close_button_id, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVERED,
                   IDB_CLOSE_PRESSED, IDB_CLOSE_DISABLED, L"", width - 24, 4);
    m_stopAll.Create(this, nullptr, stop_all_button_id, IDB_BUTTON_STOP, L"Stop all", width - 93,
                     height - 23);
    m_resumeAll.Create(this, nullptr, resume_all_button_id, IDB_BUTTON_RESUME, L"Resume all",
                       width - 93, height - 23);
    SetVisible(&m_resumeAll, FALSE, FALSE);
    m_list.Create(this, nullptr, 5, 5, width - 5, height - 5, task_list_id, L"", 0);
    SetTimer(refresh_timer_id, refresh_timer_ms);
    LayOut(width, height);
    Redraw();
    m_postTarget = m_hWnd;
    win_shell::add_tray_terminal_command(
        "r", "lists the sync window's rows with their states and why a row failed", m_hWnd,
        print_rows_message);
    return true;
}

// ---- Frame and layout -------------------------------------------------------

void CCMSyncWindow::OnSize(UINT kind, int width, int height) {
    CAlphaWindow::OnSize(kind, width, height);
    LayOut(width, height);
    Redraw();
}

void CCMSyncWindow::LayOut(int width, int height) {
    if (!m_list.GetWindow()) return;
    SetRect(&m_list, m_frame.Inside(width, height), FALSE);
    place(*this, m_close, width - 24, 4);
    place(*this, m_stopAll, width - 93, height - 23);
    place(*this, m_resumeAll, width - 93, height - 23);
}

void CCMSyncWindow::PaintBackground(HDC dc, const CRect& rect) {
    m_frame.Paint(dc, rect.Width(), rect.Height());
}

// ---- The list ---------------------------------------------------------------

void CCMSyncWindow::OnTimer(UINT_PTR id) {
    if (id == refresh_timer_id)
        RefreshTasks();
    else
        CAlphaWindow::OnTimer(id);
}

void CCMSyncWindow::PostRefresh() {
    PostMessage(refresh_message);
}

// A box shown while refreshing runs this thread's messages, the refresh
// timer's and refresh_message among them: a refresh inside a refresh is
// skipped, never waited for (the next one comes at the latest with the
// timer).
void CCMSyncWindow::RefreshTasks() {
    if (m_refreshing) return;
    const scoped_flag refreshing(m_refreshing);
    if (!m_engine && m_list.GetRows().empty()) return;
    // Without an engine the rows of the one that ended go.
    std::list<syncer::task> tasks;
    if (m_engine) {
        try {
            tasks = m_engine->GetTasks();
        } catch (...) {
            // Busy or failing: the next refresh tries again.
            return;
        }
    }
    try {
        ShowTasks(tasks);
    } catch (const std::exception&) {
        AfxMessageBox(L"Error updating task info", MB_ICONERROR);
    }
}

void CCMSyncWindow::ShowTasks(const std::list<syncer::task>& tasks) {
    const CSyncTaskView view = ViewOfTasks(tasks);
    std::vector<CAlphaRowKey> keys, groups;
    for (size_t i = 0; i < view.tasks.size(); ++i) {
        keys.emplace_back(view.tasks[i]);
        groups.push_back(view.groups[i] ? CAlphaRowKey(*view.groups[i]) : CAlphaRowKey());
    }
    SetVisible(&m_stopAll, !view.resume_all, FALSE);
    SetVisible(&m_resumeAll, view.resume_all, FALSE);
    const int before = m_list.RowCount();
    m_list.SetRows(keys, groups, FALSE);
    const int after = m_list.RowCount();
    if (IsWindowVisible()) Redraw();
    if (after > before && m_autoShow) {
        ShowWindow(SW_SHOW);
        SetForegroundWindow();
    } else if (before > 0 && after == 0) {
        ShowWindow(SW_HIDE);
    }
}

// ---- Commands and row messages ----------------------------------------------

LRESULT CCMSyncWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case refresh_message:
            RefreshTasks();
            return 0;
        case print_rows_message: {
            const std::wstring rows = DescribeRows(m_list);
            for (size_t start = 0; start < rows.size();) {
                const size_t end = rows.find(L'\n', start);
                std::fprintf(stderr, "[rows] %s\n",
                             syncer::to_utf8(rows.substr(start, end - start)).c_str());
                start = end == std::wstring::npos ? rows.size() : end + 1;
            }
            return 0;
        }
        case row_cancel_message:
        case row_stop_message:
        case row_resume_message:
            OnRowMessage(message, wparam, lparam);
            return 0;
        default:
            return CAlphaWindow::WindowProc(message, wparam, lparam);
    }
}

BOOL CCMSyncWindow::OnCommand(WPARAM wparam, LPARAM lparam) {
    switch (LOWORD(wparam)) {
        case close_button_id:
            ShowWindow(SW_HIDE);
            return TRUE;
        case stop_all_button_id:
            RunCommand(&CSyncEngine::StopAll, L"Error stopping syncing");
            return TRUE;
        case resume_all_button_id:
            RunCommand(&CSyncEngine::ResumeAll, L"Error restarting syncing");
            return TRUE;
        default:
            return CAlphaWindow::OnCommand(wparam, lparam);
    }
}

// The list is refreshed through a posted message, never from inside the
// notification of a control that a refresh may delete.
void CCMSyncWindow::RunCommand(void (CSyncEngine::*operation)(), const wchar_t* failure_text) {
    if (!m_engine) return;
    try {
        (m_engine.get()->*operation)();
    } catch (const std::exception&) {
        AfxMessageBox(failure_text, MB_OK);
    }
    PostRefresh();
}

// wParam points into a row, which any message run from here on may delete:
// what it names is copied out first, and only from a row that exists now (a
// message from anywhere else is no row's).
void CCMSyncWindow::OnRowMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    if (!m_engine) return;
    const bool group = lparam != 0;
    const std::optional<CCMRowTarget> target = m_list.FindRowTarget(wparam, group);
    if (!target) return;
    if (message == row_cancel_message) {
        AskCancel(target->binding);
        return;
    }
    try {
        if (message == row_stop_message) {
            if (group)
                m_engine->StopBinding(target->binding);
            else
                m_engine->StopTask(*target->task);
        } else if (group) {
            m_engine->ResumeBinding(target->binding);
        } else {
            m_engine->RestartTask(*target->task);
        }
    } catch (const std::exception&) {
        return;
    }
    PostRefresh();
}

void CCMSyncWindow::AskCancel(const syncer::binding& target) {
    const std::wstring text = LoadSyncString(IDS_SYNC_ASK_CANCEL);
    const std::wstring caption = LoadSyncString(IDS_SYNC_CAPTION);
    const unsigned asked_about = m_engineGeneration;
    if (MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONINFORMATION) != IDYES)
        return;
    // The box ran other messages: syncing may have ended meanwhile, or
    // another user's engine taken over.
    if (!m_engine || m_engineGeneration != asked_about) return;
    try {
        // Removing stops the scan; a question it asks meanwhile is moot.
        const CRefusedQuestions refused(m_question);
        m_engine->RemoveBinding(target);
    } catch (const std::exception&) {
        return;
    }
    // Explorer redraws the icons of the folder that is no longer synced.
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    PostRefresh();
}

// ---- The engine -------------------------------------------------------------

void CCMSyncWindow::SetEngineFactory(SyncEngineFactory factory) {
    m_factory = std::move(factory);
}

bool CCMSyncWindow::StartSyncing(const std::wstring& user_name, std::wstring* failure) {
    // Without a name the engine would share one settings folder among
    // everyone it could not name.
    if (m_engine || user_name.empty() || !m_factory) return false;
    try {
        m_engine = m_factory(user_name, this);
    } catch (const std::exception& error) {
        m_engine.reset();
        if (failure) *failure = ErrorTextOf(error);
    }
    if (!m_engine) return false;
    ++m_engineGeneration;
    return true;
}

bool CCMSyncWindow::StopSyncing() {
    for (;;) {
        if (!m_engine) return true;
        const unsigned asked_about = m_engineGeneration;
        std::list<syncer::task> tasks;
        for (;;) {
            try {
                tasks = m_engine->GetTasks();
                break;
            } catch (const syncer::busy_exception&) {
                // The scan holds the list while it waits for an answer.
                utils::sleep_scaled(busy_retry);
            } catch (const std::exception&) {
                AfxMessageBox(L"Error requesting tasks", MB_ICONERROR);
                return false;
            }
        }
        if (!tasks.empty()) {
            const std::wstring text = LoadSyncString(IDS_SYNC_LOGOFF_ANYWAY);
            const int answer = AfxMessageBox(text.c_str(), MB_YESNO | MB_ICONEXCLAMATION);
            // The box ran this thread's messages: the answer was about
            // tasks of an engine that another user's may have replaced.
            if (m_engine && m_engineGeneration != asked_about) continue;
            if (answer != IDYES) return false;
        }
        EndSyncing();
        return true;
    }
}

void CCMSyncWindow::EndSyncing() {
    if (!m_engine) return;
    ShowWindow(SW_HIDE);
    EndEngine();
    PostRefresh();
}

void CCMSyncWindow::EndEngine() {
    std::unique_ptr<CSyncEngine> ending = std::move(m_engine);
    if (!ending) return;
    // Stopping the scan must not wait for someone to answer its question.
    const CRefusedQuestions refused(m_question);
    ending.reset();
}

void CCMSyncWindow::BringToFront() {
    if (m_list.RowCount() == 0) return;
    ShowWindow(SW_SHOW);
    SetForegroundWindow();
}

bool CCMSyncWindow::IsAutoShow() const {
    return m_autoShow;
}

void CCMSyncWindow::SetAutoShow(bool on) {
    m_autoShow = on;
}

bool CCMSyncWindow::HasManager() const {
    return m_engine != nullptr;
}

void CCMSyncWindow::OnDestroy() {
    m_postTarget = nullptr;
    CAlphaWindow::OnDestroy();
}

HWND CCMSyncWindow::BoxOwner() const {
    const HWND window = m_postTarget.load();
    return window && GetCurrentThreadId() == m_thread ? window : nullptr;
}
