#include "sync_test_support.h"

#include <stdexcept>

namespace sync_test {

std::list<syncer::task> scripted_engine::GetTasks() {
    ++get_tasks_calls;
    if (on_get_tasks) on_get_tasks();
    if (!failures.empty()) {
        const std::exception_ptr failure = failures.front();
        failures.pop_front();
        std::rethrow_exception(failure);
    }
    return tasks;
}

void scripted_engine::check() {
    if (operation_failure) std::rethrow_exception(operation_failure);
}

void scripted_engine::StopAll() {
    check();
    ++stop_all_calls;
}

void scripted_engine::ResumeAll() {
    check();
    ++resume_all_calls;
}

void scripted_engine::StopBinding(const syncer::binding& target) {
    check();
    stopped_bindings.push_back(target);
}

void scripted_engine::ResumeBinding(const syncer::binding& target) {
    check();
    resumed_bindings.push_back(target);
}

void scripted_engine::StopTask(const syncer::task& target) {
    check();
    stopped_tasks.push_back(target.get_filename());
}

void scripted_engine::RestartTask(const syncer::task& target) {
    check();
    restarted_tasks.push_back(target.get_filename());
}

void scripted_engine::RemoveBinding(const syncer::binding& target) {
    check();
    removed_bindings.push_back(target);
}

void scripted_engine::set_tasks(const std::vector<syncer::task>& list) {
    tasks.clear();
    for (const syncer::task& task : list) tasks.push_back(task);
}

void probed_window::ShowTasks(const std::list<syncer::task>& tasks) {
    if (failing_shows > 0) {
        --failing_shows;
        throw std::runtime_error("no rows today");
    }
    CCMSyncWindow::ShowTasks(tasks);
}

LRESULT probed_window::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    const LRESULT result = CCMSyncWindow::WindowProc(message, wparam, lparam);
    if (after_row_message && message >= row_cancel_message && message <= row_resume_message)
        after_row_message(message);
    return result;
}

SyncWindowTest::SyncWindowTest() {
    scratch = boost::filesystem::path(root_.path()) / "local";
    RECT screen{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    EXPECT_TRUE(
        window.Create(CRect(screen.right - 400, screen.bottom - 220, screen.right, screen.bottom)));
    win_test::pump();
}

SyncWindowTest::~SyncWindowTest() {
    owned.reset();
    win_test::pump();
}

scripted_engine& SyncWindowTest::start(const std::vector<syncer::task>& tasks) {
    auto made = std::make_unique<scripted_engine>();
    made->set_tasks(tasks);
    engine = made.get();
    auto handed = std::make_shared<std::unique_ptr<scripted_engine>>(std::move(made));
    window.SetEngineFactory([handed](const std::wstring&, syncer::user_interface*) {
        return std::unique_ptr<CSyncEngine>(std::move(*handed));
    });
    EXPECT_TRUE(window.StartSyncing(L"Ann"));
    return *engine;
}

void SyncWindowTest::refresh() {
    window.tasks_changed();
    win_test::pump();
}

void SyncWindowTest::click(const CAlphaControl& control) {
    const CRect place = window.GetControlRect(&control);
    const int x = (place.left + place.right) / 2, y = (place.top + place.bottom) / 2;
    toolkit_test::move(window, x, y);
    toolkit_test::press(window, x, y);
    toolkit_test::release(window, x, y);
}

std::vector<CCMListCtrlItem*> SyncWindowTest::plain_rows() {
    std::vector<CCMListCtrlItem*> rows;
    for (const auto& row : window.GetTaskList().GetRows())
        if (auto* item = dynamic_cast<CCMListCtrlItem*>(row.get())) rows.push_back(item);
    return rows;
}

std::vector<CCMListCtrlItemGroup*> SyncWindowTest::groups() {
    std::vector<CCMListCtrlItemGroup*> found;
    for (const auto& row : window.GetTaskList().GetRows())
        if (auto* group = dynamic_cast<CCMListCtrlItemGroup*>(row.get())) found.push_back(group);
    return found;
}

syncer::task task_in(const syncer::binding& owner, const std::wstring& name, int state,
                     int progress, int kind) {
    return sync_samples::make_task(owner, kind, owner.dir_remote, owner.dir_local, name, state,
                                   progress);
}

}  // namespace sync_test
