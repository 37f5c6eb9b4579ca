#include "syncer/manager/manager.h"

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <chrono>

#include "syncer/core/exceptions.h"
#include "syncer/core/messages.h"
#include "syncer/core/paths.h"
#include "syncer/scan/scan_candidates.h"
#include "syncer/scan/scan_pass.h"
#include "syncer/tables/binding_manager.h"
#include "syncer/tables/items_manager.h"
#include "syncer/tables/locked_operations.h"
#include "utils/filesystem.h"
#include "utils/locale.h"
#include "utils/time_scale.h"

namespace syncer {

namespace {

using std::chrono::milliseconds;

// Waits of the worker threads (scaled by the environment).
constexpr milliseconds scan_wait_step{1000};
constexpr int scan_wait_steps = 30;
constexpr milliseconds scan_wait_after_failure{30000};
constexpr milliseconds runner_period{5000};
// The user interface reads the whole task list for every notice: starts
// made sooner than this after the last notice are told at a later cycle.
constexpr milliseconds runner_notice_interval{200};
// A failed task starts again once its failure is older than this.
constexpr std::chrono::seconds failed_task_restart_age{60};

const wchar_t* const default_remote_folder = L"Calvimora";
const wchar_t* const busy_text = L"Syncing manager is busy";

binding default_binding(const std::wstring& user_name) {
    binding result(default_remote_folder, manager::get_files_saved_directory(user_name).wstring(),
                   L"", L"");
    result._type = binding::type_saved_files;
    result._mode = 1;
    result.can_recourse_subdirs = sync_permission::yes;
    result.rule = binding::default_rule();
    return result;
}

// A forced binding whose turn failed n times in a row is tried again after
// 2^(n-1) waits of a second; from the sixth failure on that is longer than
// the regular wait, so a lasting failure costs a pass every 30 s, no more.
int forced_retry_steps(int failures) {
    return failures >= 6 ? scan_wait_steps : 1 << (failures - 1);
}

// The binding table was damaged and had no usable backup: the folder pairs
// are gone until the user sets them up again.
std::wstring bindings_lost_text(const std::wstring& user_name) {
    return std::wstring(
               L"The list of your synchronized folder pairs could not be read, and no "
               L"usable backup of it was found, so ") +
           product_name +
           L" synchronizes none of them now. Please set up your folder pairs again. The "
           L"damaged list is kept as \"" +
           binding_manager::get_damaged_bindings_path(user_name).wstring() + L"\".";
}

double restart_age_seconds() {
    return std::chrono::duration<double>(utils::scaled(failed_task_restart_age)).count();
}

}  // namespace

manager::manager(const std::wstring& user_name, user_interface* ui)
    : manager(user_name, ui, real_task_environment()) {}

manager::manager(const std::wstring& user_name, user_interface* ui,
                 std::shared_ptr<task_environment> environment)
    : user_name_(user_name), ui_(ui), environment_(std::move(environment)) {
    utils::imbue_utf8_locale();
    try {
        switch (binding_manager::load_repairing(user_name_)) {
            case table_file::origin::backup:
                ui_->show_message(information_table_restored);
                break;
            case table_file::origin::set_aside:
                ui_->report_error(message_kind::none, bindings_lost_text(user_name_), binding(),
                                  L"", L"", L"", false);
                break;
            default:
                break;
        }
        binding_manager::purge_orphan_rules(user_name_);
    } catch (...) {
        // The table is read again by every pass; a damaged one fails those.
    }
    const binding saved_files = default_binding(user_name_);
    if (!locked_has_binding(user_name_, saved_files)) locked_add_binding(user_name_, saved_files);
    start_scan_thread();
    runner_.start([this](const stop_signal& stop) { runner_thread(stop); });
}

manager::~manager() {
    scan_.stop();
    runner_.stop();
    stop_every_task();
    record_synced_times();
    {
        // Destroying the tasks waits for whatever thread of theirs is left,
        // so the temporary folder is emptied only once no task uses it.
        std::lock_guard<std::mutex> guard(tasks_lock_);
        tasks_.clear();
    }
    try {
        clean_up();
    } catch (...) {
        // Tidying is best effort.
    }
}

void manager::stop_every_task() noexcept {
    std::lock_guard<std::mutex> stopped_guard(stopped_lock_);
    std::lock_guard<std::mutex> tasks_guard(tasks_lock_);
    for (task& job : tasks_) {
        try {
            job.stop();
        } catch (...) {
            // The task's destructor tries once more.
        }
    }
}

void manager::record_synced_times() noexcept {
    try {
        const binding_set bindings = locked_get_bindings(user_name_);
        std::lock_guard<std::mutex> guard(tasks_lock_);
        for (const binding& owner : bindings) {
            const bool pending = std::any_of(tasks_.begin(), tasks_.end(), [&](const task& job) {
                return job.get_binding().is_same_as(owner) && job.get_synced_time();
            });
            if (!pending) continue;
            items_manager table(owner, user_name_);
            take_synced_times(tasks_, owner, table);
        }
    } catch (...) {
        // The next start compares every item afresh.
    }
}

std::list<task> manager::get_tasks() const {
    // Read before the lock, so the task list is never held while waiting
    // for the binding table's mutex.
    const binding_set bindings = locked_get_bindings(user_name_);
    std::unique_lock<std::mutex> guard(tasks_lock_, std::try_to_lock);
    if (!guard.owns_lock()) throw busy_exception(__PRETTY_FUNCTION__, busy_text);
    std::list<task> result;
    for (const task& job : tasks_) {
        if (!job.is_done() && bindings.contains(job.get_binding())) result.push_back(job);
    }
    return result;
}

void manager::stop_all() {
    const binding_set bindings = locked_get_bindings(user_name_);
    std::lock_guard<std::mutex> stopped_guard(stopped_lock_);
    stopped_.insert(bindings.begin(), bindings.end());
    std::lock_guard<std::mutex> tasks_guard(tasks_lock_);
    for (task& job : tasks_) job.stop();
}

void manager::resume_all() {
    std::lock_guard<std::mutex> stopped_guard(stopped_lock_);
    stopped_.clear();
    std::lock_guard<std::mutex> tasks_guard(tasks_lock_);
    for (task& job : tasks_) job.reset();
}

void manager::stop_binding(const binding& target) {
    std::lock_guard<std::mutex> stopped_guard(stopped_lock_);
    stopped_.insert(target);
    std::lock_guard<std::mutex> tasks_guard(tasks_lock_);
    for (task& job : tasks_) {
        if (job.get_binding().is_same_as(target)) job.stop();
    }
}

void manager::resume_binding(const binding& target) {
    std::lock_guard<std::mutex> stopped_guard(stopped_lock_);
    stopped_.erase(target);
    std::lock_guard<std::mutex> tasks_guard(tasks_lock_);
    for (task& job : tasks_) {
        if (job.get_binding().is_same_as(target)) job.reset();
    }
}

task_list::iterator manager::find_task(const task& target, const char* context) {
    const task::less less;
    const auto found = std::find_if(tasks_.begin(), tasks_.end(), [&](const task& job) {
        return !less(job, target) && !less(target, job);
    });
    if (found == tasks_.end()) throw task_not_found_exception(context, target.get_description());
    return found;
}

void manager::stop_task(const task& target) {
    std::lock_guard<std::mutex> guard(tasks_lock_);
    find_task(target, __PRETTY_FUNCTION__)->stop();
}

void manager::restart_task(const task& target) {
    std::lock_guard<std::mutex> guard(tasks_lock_);
    find_task(target, __PRETTY_FUNCTION__)->reset();
}

void manager::remove_binding(const binding& target) {
    scan_.stop();
    try {
        locked_remove_binding(user_name_, target);
    } catch (...) {
        start_scan_thread();
        throw;
    }
    std::lock_guard<std::mutex> stopped_guard(stopped_lock_);
    stopped_.erase(target);
    {
        // A removed binding's tasks would otherwise go on unseen.
        std::lock_guard<std::mutex> tasks_guard(tasks_lock_);
        for (auto entry = tasks_.begin(); entry != tasks_.end();) {
            if (entry->get_binding().is_same_as(target)) {
                entry->stop();
                entry = tasks_.erase(entry);
            } else {
                ++entry;
            }
        }
    }
    start_scan_thread();
}

void manager::start_scan_thread() {
    scan_.start([this](const stop_signal& stop) { scan_thread(stop); });
}

void manager::scan_thread(const stop_signal& stop) {
    bool first = true;
    forced_failures failures;
    for (;;) {
        try {
            scan_shared shared{user_name_,  *ui_,   environment_,
                               tasks_lock_, tasks_, stopped_lock_,
                               stopped_,    guard_, [this] { runner_.poke(); },
                               &memory_};
            const scan_result result = scan_bindings(shared, first, stop);
            first = false;
            if (result.changed != 0) ui_->tasks_changed();
            forced_failures counted;
            for (const binding& failed : result.failed_forced) {
                const auto before = failures.find(failed);
                counted[failed] = before == failures.end() ? 1 : before->second + 1;
            }
            failures = std::move(counted);
            wait_between_passes(failures, stop);
        } catch (const thread_interrupted&) {
            throw;
        } catch (...) {
            interruptible_wait(*environment_, scan_wait_after_failure, stop);
        }
    }
}

void manager::wait_between_passes(const forced_failures& failures, const stop_signal& stop) {
    for (int step = 0; step < scan_wait_steps; ++step) {
        const binding_set bindings = locked_get_bindings(user_name_);
        const bool asked = std::any_of(bindings.begin(), bindings.end(), [&](const binding& b) {
            if (!b.force_sync_once) return false;
            const auto failed = failures.find(b);
            return failed == failures.end() || step >= forced_retry_steps(failed->second);
        });
        if (asked) return;
        interruptible_wait(*environment_, scan_wait_step, stop);
    }
}

void manager::runner_thread(const stop_signal& stop) {
    // A task that ends makes the next cycle come at once, so a burst of
    // short tasks makes many cycles: their starts are told together, at the
    // latest with the cycle after the runner's period.
    bool notice_due = false;
    std::chrono::steady_clock::time_point last_notice{};
    const auto notice_interval = environment_->real_length(runner_notice_interval);
    for (;;) {
        try {
            int started = 0;
            {
                std::lock_guard<std::mutex> guard(tasks_lock_);
                started = start_due_tasks();
            }
            notice_due = notice_due || started != 0;
            const auto now = std::chrono::steady_clock::now();
            if (notice_due && now - last_notice >= notice_interval) {
                notice_due = false;
                last_notice = now;
                ui_->tasks_changed();
            }
        } catch (...) {
            // The next cycle tries again.
        }
        interruptible_wait(*environment_, runner_period, stop);
    }
}

int manager::start_due_tasks() {
    int started = 0;
    const std::int64_t now = environment_->now();
    for (int free = most_running_tasks - count_running_tasks(); free > 0; --free) {
        task* const next = next_task_to_start(now);
        if (next == nullptr) break;
        // A task that ends makes room: the runner looks again at once.
        next->start([this] { runner_.poke(); });
        ++started;
    }
    return started;
}

int manager::count_running_tasks() const {
    return static_cast<int>(std::count_if(tasks_.begin(), tasks_.end(), [](const task& job) {
        return job.is_running() || job.has_busy_thread();
    }));
}

task* manager::next_task_to_start(std::int64_t now) {
    const double restart_age = restart_age_seconds();
    for (task& job : tasks_) {
        // Started already, its thread not yet begun: not started twice.
        if (job.has_busy_thread()) continue;
        if (job.is_queued()) return &job;
        if (job.is_failed() && static_cast<double>(now - job.get_fail_time()) > restart_age)
            return &job;
    }
    return nullptr;
}

boost::filesystem::path manager::get_files_saved_directory(const std::wstring& user_name) {
    if (!is_plain_name(user_name))
        throw syncer_exception(__PRETTY_FUNCTION__,
                               "User name " + to_utf8(user_name) + " is not a folder name");
    utils::imbue_utf8_locale();
    const boost::filesystem::path folder =
        utils::filesystem::get_app_data_directory() / L"Calvimora" / user_name / L"files_saved";
    check_create_directory(folder);
    return folder;
}

boost::filesystem::path manager::get_manager_temp_directory() {
    const boost::filesystem::path folder = utils::filesystem::get_temp_directory() / L"Calvimora";
    check_create_directory(folder);
    return folder;
}

void manager::check_create_directory(const boost::filesystem::path& folder) {
    if (boost::filesystem::exists(folder)) return;
    if (!boost::filesystem::create_directories(folder))
        throw create_directory_exception(__PRETTY_FUNCTION__, folder);
}

bool manager::clean_up() {
    try {
        remove_empty_folders(get_files_saved_directory(user_name_));
    } catch (...) {
        // The temporary folder is tidied all the same.
    }
    try {
        return clear_temp_directory();
    } catch (...) {
        return false;
    }
}

bool manager::remove_empty_folders(const boost::filesystem::path& folder) {
    namespace fs = boost::filesystem;
    bool only_files_left = true;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        try {
            if (fs::is_symlink(entry.symlink_status())) continue;
            if (!fs::is_directory(entry.status())) continue;
            const bool emptied = remove_empty_folders(entry.path());
            if (emptied && !has_visible_files(entry.path().wstring())) {
                fs::remove(entry.path());
            } else {
                only_files_left = false;
            }
        } catch (...) {
            only_files_left = false;
        }
    }
    return only_files_left;
}

bool manager::clear_temp_directory() {
    namespace fs = boost::filesystem;
    bool all_removed = true;
    for (const fs::directory_entry& entry : fs::directory_iterator(get_manager_temp_directory())) {
        try {
            fs::remove(entry.path());
        } catch (...) {
            all_removed = false;
        }
    }
    return all_removed;
}

}  // namespace syncer
