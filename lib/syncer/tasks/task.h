// Room tasks, above tables and below scan (the order of the rooms:
// lib/syncer/CMakeLists.txt): one sync job and its run, the task, its runner
// with the transfers and removals, its local file operations and
// environment, the stopping of worker threads, and the settling of the
// transfers a killed process left.
//
// One sync job for one file or folder of a binding: an upload, a download or
// a removal, run on a thread of its own. The task records its outcome in its
// own state (done, stopped, or failed with a time, a message kind and a
// text); it never calls the user interface and never touches the tables.
#pragma once

#include <boost/filesystem/path.hpp>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "syncer/core/binding.h"
#include "syncer/core/local_file_state.h"
#include "syncer/core/remote_item_state.h"
#include "syncer/tables/transfer_journal.h"
#include "syncer/tasks/task_environment.h"

namespace syncer {

class task {
public:
    // Kinds of job.
    static constexpr int kind_upload = 0;
    static constexpr int kind_download = 1;
    static constexpr int kind_remove_local_file = 2;
    static constexpr int kind_remove_local_folder = 3;
    static constexpr int kind_remove_remote_file = 4;
    static constexpr int kind_remove_remote_folder = 5;

    // States.
    static constexpr int state_queued = 0;
    static constexpr int state_running = 1;
    static constexpr int state_done = 2;
    static constexpr int state_stop_requested = 3;
    static constexpr int state_stopped = 4;
    static constexpr int state_failed = 5;

    // What the scan saw of an item when it decided the task. A removal goes
    // ahead only while the item is still that; anything changed or added
    // since is the user's newer work, and the task fails, keeping it. A
    // transfer may replace the other side's file whatever its time says
    // while that file is still what the scan saw unchanged since both sides
    // agreed (a clock ahead makes the unchanged side look newer).
    struct item_basis {
        // The local file (remove local file; download over it).
        std::optional<local_file_state> local_file;
        // The remote file (remove remote file; upload over it; download it).
        std::optional<remote_item_state> remote_file;
        // Download: the id the remote listing gave the file, by which it is
        // opened without listing its folder (empty: looked up by name).
        std::wstring remote_id;
        // Everything listed below the remote folder (remove remote folder),
        // by path relative to it, names joined with "/".
        std::map<std::wstring, remote_item_state> remote_tree;
        // Upload: the remote folders on the way (below the binding's folder)
        // or the file were seen under names that differ from the local ones
        // in case only; the upload gives them the local names.
        bool remote_case_differs = false;
        // Upload: the local file changed since both sides last agreed, though
        // its time and size may not show it (an edit within the same second,
        // a time set back); it is sent even over a remote file of the same
        // time and size.
        bool local_changed = false;
    };

    // What a transfer that ended done left: both sides holding the same
    // file, of that time, the local one in that state (as the transfer left
    // it or, for an upload, as the copy it sent was read from).
    struct transfer_result {
        std::int64_t time = 0;
        local_file_state local;

        bool operator==(const transfer_result&) const = default;
    };

    // Read together under the task's lock.
    struct status {
        int state = state_queued;
        int progress = 0;
        std::int64_t size = -1;
    };

    // dir_remote: the remote folder that holds the file (kinds 0, 1, 4) or
    // the folder to remove (5). dir_local: the local folder that holds the
    // file (0, 1, 2) or the folder to remove (3). filename: the file's name in
    // both folders. Throws create_directory_exception when the temporary
    // folder can be neither found nor created. Without an environment the
    // task runs against the real clock and the process's session.
    task(const binding& owner, int kind, const std::wstring& dir_remote,
         const std::wstring& dir_local, const std::wstring& filename,
         std::shared_ptr<task_environment> environment = nullptr);
    // Copies the job, its state and its last failure; the copy has a lock of
    // its own and no thread.
    task(const task& other);
    task& operator=(const task&) = delete;
    // Stops the task (waiting for its thread), never throws.
    virtual ~task();

    // "Sync task for " and the file name.
    std::wstring get_description() const;
    status get_state() const;
    bool is_queued() const;
    bool is_running() const;
    bool is_done() const;
    bool is_stopped() const;
    bool is_failed() const;
    // Whether a thread of this task was started and has not ended: from the
    // start until the state moves (when the thread begins) the task is still
    // queued or failed, yet already on its way.
    bool has_busy_thread() const;

    // The last failure: its text, its message kind (0: the text stands alone)
    // and when it happened (seconds since 1970, -1 before the first).
    std::wstring get_message() const;
    int get_error_kind() const;
    std::int64_t get_fail_time() const;

    const binding& get_binding() const { return binding_; }
    int get_kind() const { return kind_; }
    const std::wstring& get_dir_remote() const { return dir_remote_; }
    const std::wstring& get_dir_local() const { return dir_local_; }
    const std::wstring& get_filename() const { return filename_; }

    // Set by the scan before the task is first started.
    void set_basis(std::shared_ptr<const item_basis> basis);
    // The journal of the binding's transfers, set by the scan before a
    // transfer is first started: the transfer announces its steps on the
    // remote or local file there, and writes its result there before it
    // counts as done. Without one, results live in the task alone.
    void set_journal(std::shared_ptr<const transfer_journal> journal);
    // After a transfer that ended done with both sides holding the same
    // file: that file's time, as both sides now carry it, and the local
    // file's state. The scan records it, so that a removal on either side
    // right after the transfer is seen as a removal. Nothing otherwise.
    std::optional<transfer_result> get_synced_result() const;
    std::optional<std::int64_t> get_synced_time() const;
    // The last run found the item changed since the removal was decided and
    // kept it: the scan decides about it afresh.
    bool is_outdated() const;

    // A task for an item the engine cannot sync (a name the other side cannot
    // hold): it fails at once with the reason, now and whenever it is started
    // again, so the user sees the item in the task list.
    void refuse(const std::wstring& reason);
    bool is_refused() const { return !refusal_.empty(); }

    // Strict order to find a task in a list: binding, then dir_local, then
    // dir_remote (as paths), then filename (as text).
    struct less {
        bool operator()(const task& first, const task& second) const;
    };

    // Runs the job on a new thread, unless the previous run's thread is still
    // busy; the state changes when the thread begins. ended, when given, is
    // called on that thread once the run is over and the thread no longer
    // counts as busy.
    void start(std::function<void()> ended = {});
    // Stops a queued, running or failed task: a running thread is asked to
    // stop and waited for. Ends in state stopped.
    void stop();
    // A stopped or failed task becomes queued again (a pending stop request
    // stays); the last failure is kept.
    void reset();
    // Under the lock; a pending stop request is only replaced by stopped.
    void set_state(int state, int progress);
    void set_progress(int progress);

    // A new, empty file "temp<N>.tmp" in the temporary folder, with the
    // smallest N free; created exclusively, so no two tasks of any process
    // get the same one.
    boost::filesystem::path make_temp_path() const;
    // The folder "Calvimora" under the user's temporary folder, created when
    // missing; throws create_directory_exception when that fails.
    static boost::filesystem::path get_temp_directory();

private:
    class runner;
    friend class runner;

    // The thread body: runs the job and records how it ended.
    void run();
    // Sets state and progress; the caller holds lock_.
    void apply_state(int state, int progress);
    void set_size(std::int64_t size);
    void record_failure(int error_kind, const std::wstring& message, bool outdated = false);
    void record_final_state(int outcome);
    void record_synced_result(const transfer_result& result);

    binding binding_;
    int kind_;
    std::wstring dir_remote_;
    std::wstring dir_local_;
    std::wstring filename_;
    boost::filesystem::path temp_directory_;
    std::shared_ptr<task_environment> environment_;
    std::shared_ptr<const item_basis> basis_;
    std::shared_ptr<const transfer_journal> journal_;
    std::wstring refusal_;

    // Guards the fields below, which other threads read.
    mutable std::mutex lock_;
    int state_ = state_queued;
    int progress_ = 0;
    std::int64_t size_ = -1;
    std::int64_t fail_time_ = -1;
    int error_kind_ = 0;
    std::wstring message_;
    bool outdated_ = false;
    std::optional<transfer_result> synced_result_;
    bool thread_running_ = false;
    std::condition_variable thread_ended_;

    // Serialises start, stop and destruction around the thread object.
    std::mutex control_;
    stop_signal stop_;
    std::thread thread_;
};

}  // namespace syncer
