// One run of a sync task on its own thread: the job of the task's kind as a
// sequence of steps, each tried up to five times with ten seconds between
// attempts, in waits that a stop request ends at once.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "syncer/tasks/task.h"
#include "syncer/tasks/task_local_files.h"
#include "vfs/directory.h"
#include "vfs/exceptions.h"
#include "vfs/file.h"

namespace syncer {

class task::runner {
public:
    // How a run ended.
    enum outcome { done = 0, failed = 1, stopped = 2 };

    explicit runner(task& owner) : owner_(owner) {}

    // Runs the job; exceptions that escape are the run's ending: interrupted
    // (stopped), final_failure (failed, its failure recorded) or anything
    // else (an unexpected failure).
    outcome perform();

    // Thrown at an interruption point once a stop was requested.
    struct interrupted {};
    // Thrown when the task failed and its failure is recorded.
    struct final_failure {};

private:
    static constexpr int attempts_per_step = 5;
    static constexpr int retry_delay = 10;  // in seconds, waited in slices
    static constexpr std::chrono::milliseconds wait_slice{100};
    static constexpr std::size_t block_size = 32768;

    // Whether a failing step keeps the failure's text with its kind (vfs and
    // file-system calls) or records the kind alone (stream calls).
    enum class text { kept, dropped };

    // The steps of an upload and of a download, with what they carry from
    // one step to the next (task_transfer.cpp).
    class upload_job;
    class download_job;

    outcome upload();
    outcome download();
    outcome remove_local_file();
    outcome remove_local_folder();
    outcome remove_remote_file();
    outcome remove_remote_folder();

    void interruption_point();
    // Counts a failed attempt: after the last one the failure is recorded and
    // the run fails; else waits before the step starts again.
    void retry_step(int kind, const std::wstring& failure_text, int& attempts);
    // Records a failure and ends the run at once, without retries.
    [[noreturn]] void fail(int kind, const std::wstring& message);
    // The same for a removal that found its item changed and kept it.
    [[noreturn]] void fail_outdated(int kind, const std::wstring& message);

    // Runs body as one step of the given message kind: a vfs::exception or a
    // local_error from it is retried, anything else ends the run.
    template <class Body>
    auto step(int kind, Body&& body, text keep = text::kept) -> decltype(body());

    vfs::directory_ptr remote_folder(const std::wstring& path, bool create);
    // The item of that name in the folder; null when there is none.
    vfs::item_ptr remote_item(const vfs::directory_ptr& folder, const std::wstring& name);
    void check_local_names();
    // Renames the remote folders on the way from the binding's folder to the
    // task's folder whose names differ from the task's in case only.
    void give_remote_folders_local_case();
    void set_size(std::int64_t size);
    void report_progress(std::int64_t transferred, std::int64_t total);

    // An entry of the given kind for the task's item.
    journal_entry entry(journal_entry::kind what) const;
    // Writes the entry to the binding's journal when the task keeps one, as
    // a step: a journal that cannot be written ends the transfer before the
    // step the entry announces.
    void announce(const journal_entry& announced);
    // The same, ignoring every failure (the next pass settles what is left).
    void announce_quietly(const journal_entry& announced) noexcept;
    // A transfer ended done: its result goes to the journal, then to the
    // task.
    void settle(const transfer_result& result);

    task& owner_;
    // The block a transfer copies through.
    std::array<char, block_size> buffer_{};
};

template <class Body>
auto task::runner::step(int kind, Body&& body, text keep) -> decltype(body()) {
    int attempts = attempts_per_step;
    for (;;) {
        interruption_point();
        std::wstring failure_text;
        try {
            if constexpr (std::is_void_v<decltype(body())>) {
                body();
                interruption_point();
                return;
            } else {
                auto result = body();
                interruption_point();
                return result;
            }
        } catch (const vfs::exception& failure) {
            failure_text = failure.get_text();
        } catch (const local_error& failure) {
            failure_text = failure.text();
        }
        retry_step(kind, keep == text::kept ? failure_text : std::wstring(), attempts);
    }
}

}  // namespace syncer
