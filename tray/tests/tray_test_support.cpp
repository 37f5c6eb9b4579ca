#include "tray_test_support.h"

#include <utf8.h>

#include <chrono>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "win/com.h"
#include "win/kernel.h"
#include "win/process.h"
#include "win/registry.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace tray_testing {

scripted_session::scripted_session() : CSessionFacade(GetModuleHandleW(nullptr)) {}

void scripted_session::set_logged_in(bool logged_in) {
    std::lock_guard<std::mutex> guard(lock_);
    logged_in_ = logged_in;
}

void scripted_session::set_user(const std::wstring& user_name) {
    std::lock_guard<std::mutex> guard(lock_);
    user_ = user_name;
}

void scripted_session::set_notifications(std::vector<vfs::notification> notifications) {
    std::lock_guard<std::mutex> guard(lock_);
    notifications_ = std::move(notifications);
}

void scripted_session::set_login(login_script script) {
    std::lock_guard<std::mutex> guard(lock_);
    login_ = std::move(script);
}

void scripted_session::set_folder_logs_in(bool logs_in) {
    std::lock_guard<std::mutex> guard(lock_);
    folder_logs_in_ = logs_in;
}

std::vector<std::pair<std::wstring, std::wstring>> scripted_session::logins() const {
    std::lock_guard<std::mutex> guard(lock_);
    return logins_;
}

int scripted_session::log_offs() const {
    std::lock_guard<std::mutex> guard(lock_);
    return log_offs_;
}

int scripted_session::logged_in_tests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return logged_in_tests_;
}

int scripted_session::folder_openings() const {
    std::lock_guard<std::mutex> guard(lock_);
    return folder_openings_;
}

bool scripted_session::IsLoggedIn() {
    std::lock_guard<std::mutex> guard(lock_);
    ++logged_in_tests_;
    return logged_in_;
}

void scripted_session::LogOff() {
    std::lock_guard<std::mutex> guard(lock_);
    ++log_offs_;
    logged_in_ = false;
}

std::wstring scripted_session::GetUserInfo() {
    std::lock_guard<std::mutex> guard(lock_);
    return logged_in_ ? user_ : L"";
}

std::vector<vfs::notification> scripted_session::GetNotifications() {
    std::lock_guard<std::mutex> guard(lock_);
    return notifications_;
}

void scripted_session::Login(const std::wstring& user_name, const std::wstring& password) {
    login_script script;
    {
        std::lock_guard<std::mutex> guard(lock_);
        logins_.emplace_back(user_name, password);
        script = login_;
    }
    if (script) {
        script(user_name, password);
        return;
    }
    set_user(user_name);
    set_logged_in(true);
}

void scripted_session::OpenCalvimoraFolder(const std::wstring&) {
    std::lock_guard<std::mutex> guard(lock_);
    ++folder_openings_;
    if (folder_logs_in_) logged_in_ = true;
}

class scripted_engine : public CSyncEngine {
public:
    scripted_engine(std::shared_ptr<engine_log> log, const std::wstring& user_name)
        : log_(std::move(log)) {
        std::lock_guard<std::mutex> guard(log_->lock_);
        log_->made_for_.push_back(user_name);
        ++log_->alive_;
    }
    ~scripted_engine() override {
        std::lock_guard<std::mutex> guard(log_->lock_);
        --log_->alive_;
    }

    std::list<syncer::task> GetTasks() override { return log_->tasks(); }
    void StopAll() override { check(); }
    void ResumeAll() override { check(); }
    void StopBinding(const syncer::binding&) override {}
    void ResumeBinding(const syncer::binding&) override {}
    void StopTask(const syncer::task&) override {}
    void RestartTask(const syncer::task&) override {}
    void RemoveBinding(const syncer::binding&) override {}

private:
    void check() const {
        std::lock_guard<std::mutex> guard(log_->lock_);
        if (log_->failing_) throw std::runtime_error("the engine failed");
    }

    std::shared_ptr<engine_log> log_;
};

void engine_log::set_tasks(std::list<syncer::task> tasks) {
    std::lock_guard<std::mutex> guard(lock_);
    tasks_.clear();
    for (const syncer::task& t : tasks) tasks_.emplace_back(t);
}

std::list<syncer::task> engine_log::tasks() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::list<syncer::task> copies;
    for (const syncer::task& t : tasks_) copies.emplace_back(t);
    return copies;
}

std::vector<std::wstring> engine_log::made_for() const {
    std::lock_guard<std::mutex> guard(lock_);
    return made_for_;
}

int engine_log::alive() const {
    std::lock_guard<std::mutex> guard(lock_);
    return alive_;
}

void engine_log::set_refusing(bool refusing) {
    std::lock_guard<std::mutex> guard(lock_);
    refusing_ = refusing;
}

void engine_log::set_failing(bool failing) {
    std::lock_guard<std::mutex> guard(lock_);
    failing_ = failing;
}

int engine_log::attempts() const {
    std::lock_guard<std::mutex> guard(lock_);
    return attempts_;
}

SyncEngineFactory engine_log::factory(const std::shared_ptr<engine_log>& log) {
    return [log](const std::wstring& user_name,
                 syncer::user_interface*) -> std::unique_ptr<CSyncEngine> {
        {
            std::lock_guard<std::mutex> guard(log->lock_);
            ++log->attempts_;
            if (log->refusing_) throw std::runtime_error("the settings folder cannot be made");
        }
        return std::make_unique<scripted_engine>(log, user_name);
    };
}

syncer::task make_task(const std::wstring& file_name, int state) {
    const syncer::binding pair(L"/Documents", L"/home/alice/Documents", L"", L"sync_rules_1.xml");
    syncer::task made(pair, syncer::task::kind_upload, L"/Documents", L"/home/alice/Documents",
                      file_name);
    made.set_state(state, 0);
    return made;
}

held_tray_mutex::held_tray_mutex()
    : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON")) {}

held_tray_mutex::~held_tray_mutex() {
    CloseHandle(mutex_);
}

TrayTest::TrayTest() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    win_test::clear_message_boxes();
}

TrayTest::~TrayTest() {
    drain_queue();
    CoUninitialize();
}

void TrayTest::drain_queue() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) DispatchMessageW(&message);
    }
}

TrayContextTest::TrayContextTest() {
    win_test::clear_tray_journal();
    win_test::clear_menus();
    win_test::clear_shell_executions();
}

TrayContextTest::~TrayContextTest() {
    context_.reset();
    win_test::set_tray_modify_refused(false);
}

void TrayContextTest::open() {
    // An earlier context's end left WM_QUIT behind, which would end every pump.
    drain_queue();
    context_ =
        std::make_unique<CTrayContext>(GetModuleHandleW(nullptr), session_,
                                       engine_log::factory(engines_), [this] { return now_; });
    context_->Open();
}

void TrayContextTest::tick() {
    ASSERT_TRUE(win_test::fire_timer(context_->GetWindow(), 1));
    win_test::pump();
}

bool TrayContextTest::tick_until(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + win_test::default_patience;
    for (;;) {
        tick();
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void TrayContextTest::icon_event(UINT event) {
    ASSERT_TRUE(win_test::tray_icon_event(context_->GetWindow(), 0, event));
    win_test::pump();
}

std::optional<win_test::tray_icon> TrayContextTest::icon() const {
    return win_test::find_tray_icon(context_->GetWindow(), 0);
}

void TrayContextTest::right_click_choosing(UINT command) {
    win_test::scoped_menu_responder chooser([&](HMENU menu, HWND) {
        shown_items_ = win_test::menu_items(menu);
        return command;
    });
    icon_event(WM_RBUTTONUP);
}

UINT TrayContextTest::shown_state(UINT command) const {
    for (const win_test::menu_entry& item : shown_items_)
        if (item.id == command) return item.state;
    ADD_FAILURE() << "no item " << command << " in the menu";
    return 0;
}

void set_setting(const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", &key), ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

std::optional<DWORD> read_setting(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD value = 0, size = sizeof value;
    const LONG status =
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value;
}

std::vector<std::string> box_texts() {
    std::vector<std::string> texts;
    for (const win_test::message_box& box : win_test::message_boxes()) texts.push_back(box.text);
    return texts;
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace tray_testing
