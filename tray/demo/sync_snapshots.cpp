// Pictures of the sync progress window for people to look at: a folder pair
// with tasks in every state, rows of their own with their buttons, every
// task stopped, a scrolled list, and the engine's question in the question
// box.
//
//   tray_sync_snapshots <folder>
#include <boost/filesystem/operations.hpp>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "sync_samples.h"
#include "sync_window.h"
#include "syncer/tasks/task.h"
#include "utils/locale.h"
#include "win/machine.h"
#include "win/win_test.h"

namespace {

using syncer::binding;
using syncer::task;

std::string folder;
int failures = 0;

void picture(HWND window, const char* name) {
    const std::string path = folder + "/" + name;
    if (win_test::save_png(window, path)) {
        std::printf("%s\n", path.c_str());
    } else {
        std::fprintf(stderr, "tray_sync_snapshots: cannot write %s\n", path.c_str());
        ++failures;
    }
}

// An engine that lists what it is given and does nothing else.
class sample_engine : public CSyncEngine {
public:
    explicit sample_engine(std::vector<task> tasks) {
        for (const task& t : tasks) m_tasks.push_back(t);
    }
    std::list<task> GetTasks() override { return m_tasks; }
    void StopAll() override {}
    void ResumeAll() override {}
    void StopBinding(const binding&) override {}
    void ResumeBinding(const binding&) override {}
    void StopTask(const task&) override {}
    void RestartTask(const task&) override {}
    void RemoveBinding(const binding&) override {}

private:
    std::list<task> m_tasks;
};

// Where the sized uploads' files are made.
boost::filesystem::path scratch;

const binding documents = sync_samples::folder_pair(L"/Documents", L"C:\\Users\\Ann\\Documents");
const binding camera = sync_samples::folder_pair(L"/Camera uploads", L"C:\\Users\\Ann\\Camera",
                                                 binding::type_upload_only);
const binding saved = sync_samples::folder_pair(
    L"Calvimora", L"C:\\Users\\Ann\\AppData\\Local\\Calvimora\\Ann\\files_saved",
    binding::type_saved_files);

task sized(const binding& owner, const std::wstring& name, std::int64_t size, int state,
           int progress) {
    return sync_samples::make_sized_upload(owner, owner.dir_remote, scratch, name, size, state,
                                           progress);
}

task plain(const binding& owner, const std::wstring& name, int state, int progress,
           int kind = task::kind_download) {
    return sync_samples::make_task(owner, kind, owner.dir_remote, owner.dir_local, name, state,
                                   progress);
}

// The folder pair with a task in every state; the queued one is not listed.
std::vector<task> every_state() {
    return {
        plain(documents, L"waiting for its turn.txt", task::state_queued, 0),
        sized(documents, L"Quarterly report 2024.docx", 1048576, task::state_running, 62),
        sized(documents, L"holiday-plan.xlsx", 48000, task::state_stopped, 0),
        sized(documents, L"presentation.pptx", 23000000, task::state_failed, 40),
        plain(documents, L"notes.txt", task::state_done, 100),
    };
}

// The sync window as the tray makes it, at the bottom right of the work
// area, over an engine listing the tasks, refreshed and shown.
void show(const std::vector<task>& tasks, int height, const char* name, int wheel_notches = 0) {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    CCMSyncWindow window;
    window.Create(CRect(area.right - 400, area.bottom - height, area.right, area.bottom));
    window.SetEngineFactory([&](const std::wstring&, syncer::user_interface*) {
        return std::make_unique<sample_engine>(tasks);
    });
    window.StartSyncing(L"Ann");
    window.tasks_changed();
    win_test::pump();
    if (wheel_notches) {
        win_test::move_mouse(win_test::center_of(window));
        win_test::wheel(win_test::center_of(window), -120 * wheel_notches);
        win_test::pump();
    }
    picture(window, name);
    win_test::move_mouse({1, 1});
    win_test::pump();
}

void question(const std::wstring& filename, const char* name) {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    CCMSyncWindow window;
    window.Create(CRect(area.right - 400, area.bottom - 220, area.right, area.bottom));
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        picture(dialog, name);
        win_test::press(dialog, IDOK);
    });
    // Asked on a thread of its own, as the engine's scan asks.
    std::thread scan([&] {
        window.ask_question(1, documents, L"/Documents", L"C:\\Users\\Ann\\Documents", filename,
                            true, true);
    });
    scan.join();
}

// A failed row with the pointer resting on it: the window and the tooltip
// that tells why the row failed, in one picture of the screen around them.
void failed_row_tooltip() {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const CRect place(area.right - 400, area.bottom - 220, area.right, area.bottom);
    CCMSyncWindow window;
    window.Create(place);
    const std::vector<task> tasks = {
        sized(documents, L"Quarterly report 2024.docx", 1048576, task::state_running, 62),
        sized(camera, L"IMG_0413.jpg", 3900000, task::state_failed, 10)};
    window.SetEngineFactory([&](const std::wstring&, syncer::user_interface*) {
        return std::make_unique<sample_engine>(tasks);
    });
    window.StartSyncing(L"Ann");
    window.tasks_changed();
    win_test::pump();
    CAlphaControl* failed = nullptr;
    for (const auto& row : window.GetTaskList().GetRows())
        if (!row->GetToolTipText().empty()) failed = row.get();
    if (!failed) {
        std::fprintf(stderr, "tray_sync_snapshots: no failed row with a tooltip\n");
        ++failures;
        return;
    }
    const CRect row = window.GetControlRect(failed);
    const POINT over{place.left + row.left + 60, place.top + row.top + 15};
    win_test::move_mouse(over);
    HWND tip = window.GetToolTip().m_hWnd;
    // The tip comes after the pointer has rested for the initial delay; the
    // program's loop hands the mouse messages to the tooltip first.
    const DWORD deadline = GetTickCount() + 10000;
    while (win_test::shown_tip(tip).empty() && GetTickCount() < deadline) {
        MSG m;
        if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            Sleep(1);
            continue;
        }
        if (CWnd::WalkPreTranslateTree(nullptr, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    RECT tip_place = win_test::window_rect(tip);
    RECT around{};
    UnionRect(&around, &place, &tip_place);
    const std::string path = folder + "/sync_window_failed_row_tooltip.png";
    if (win_test::save_screen_png(around, path)) {
        std::printf("%s\n", path.c_str());
    } else {
        std::fprintf(stderr, "tray_sync_snapshots: cannot write %s\n", path.c_str());
        ++failures;
    }
    win_test::move_mouse({1, 1});
    win_test::pump();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tray_sync_snapshots <folder>\n");
        return 2;
    }
    folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    utils::imbue_utf8_locale();
    // The tasks' files and the journals go to a machine of its own.
    win_machine::scoped_root machine;
    scratch = boost::filesystem::path(machine.path()) / "local";
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    show(every_state(), 220, "sync_window_every_state.png");

    std::vector<task> with_own_rows = every_state();
    with_own_rows.push_back(sized(camera, L"IMG_0412.jpg", 4200000, task::state_running, 35));
    with_own_rows.push_back(sized(camera, L"IMG_0413.jpg", 3900000, task::state_failed, 10));
    with_own_rows.push_back(plain(saved, L"contract.pdf", task::state_stopped, 0));
    show(with_own_rows, 340, "sync_window_rows_with_buttons.png");

    show({sized(documents, L"Quarterly report 2024.docx", 1048576, task::state_stopped, 0),
          sized(documents, L"holiday-plan.xlsx", 48000, task::state_stopped, 0),
          plain(saved, L"contract.pdf", task::state_stopped, 0)},
         220, "sync_window_all_stopped.png");

    std::vector<task> many;
    for (int i = 1; i <= 9; ++i)
        many.push_back(sized(documents, L"Track " + std::to_wstring(i) + L".mp3",
                             3000000 + 250000 * i, task::state_running, 10 * i));
    many.push_back(sized(camera, L"IMG_0500.jpg", 5100000, task::state_running, 75));
    show(many, 220, "sync_window_list_top.png");
    show(many, 220, "sync_window_list_scrolled.png", 2);

    failed_row_tooltip();
    question(L"Quarterly report 2024.docx", "sync_question_upload.png");
    // A name of 250 characters keeps within the box.
    std::wstring long_name = L"Minutes of the annual meeting ";
    for (int i = 1; long_name.size() < 246; ++i) long_name += L"part" + std::to_wstring(i) + L"-";
    long_name.resize(246);
    question(long_name + L".txt", "sync_question_long_name.png");
    Gdiplus::GdiplusShutdown(token);
    return failures == 0 ? 0 : 1;
}
