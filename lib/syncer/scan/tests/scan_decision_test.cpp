// What the comparison of one candidate with its stored record decides, case
// by case: one row per case, what the walks found and what the table stored
// on the left, the removal asked first and the transfer (asked when the
// removal is refused or there is none) on the right.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "syncer/core/binding.h"
#include "syncer/core/user_interface.h"
#include "syncer/scan/scan_candidates.h"
#include "syncer/scan/scan_decision.h"
#include "syncer/tables/sync_item.h"
#include "syncer/tasks/task.h"

namespace syncer {
namespace {

constexpr std::int64_t gone = missing_time;

// A file (or folder) as one side shows it: its time and size; locally also
// the second its change time moved at (by default its write time).
struct shown {
    std::int64_t time = gone;
    std::int64_t size = 0;
    std::int64_t changed_at = gone;

    local_file_state local_state() const {
        if (time == gone) return {};
        local_file_state state;
        state.size = size;
        state.write_time_ns = time * 1000000000;
        state.change_time_ns = (changed_at == gone ? time : changed_at) * 1000000000;
        return state;
    }
};

// What the item table stored: the times the sides had when a pass last took
// them in, the time both sides last held the same file, and the local state
// the record keeps with what it stands for.
struct stored_as {
    std::int64_t remote = gone;
    std::int64_t local = gone;
    std::int64_t synced = gone;
    recorded_local record = recorded_local::unknown;
    shown local_state = {};
};

// Both sides held the same file of that time and size, as a pass or a
// transfer left them.
stored_as agreed(std::int64_t time, std::int64_t size) {
    return {time, time, time, recorded_local::synced, {time, size}};
}

// Only the local file was taken in, without both sides agreeing (its upload
// was refused).
stored_as seen_locally(std::int64_t time, std::int64_t size) {
    return {.local = time, .record = recorded_local::seen, .local_state = {time, size}};
}

// A folder both walks saw.
constexpr stored_as folder_seen{0, 0};

enum class walk { complete, local_incomplete, remote_incomplete };

// The transfer part of a plan: an outcome and, for ask, the question's kind.
struct transfer_plan {
    item_outcome outcome = item_outcome::leave;
    int asks = message_kind::none;
};
constexpr transfer_plan leave{item_outcome::leave};
constexpr transfer_plan record{item_outcome::record};
constexpr transfer_plan keep_both{item_outcome::keep_both};
constexpr transfer_plan ask(int kind) {
    return {item_outcome::ask, kind};
}

constexpr int two_way = binding::type_user_choice;
constexpr int open_copy = binding::type_open_copy;
constexpr int upload_only = binding::type_upload_only;
constexpr int saved_files = binding::type_saved_files;

using namespace message_kind;

struct plan_row {
    const char* what;
    int type = two_way;
    bool folder = false;
    shown remote = {};
    shown local = {};
    stored_as stored = {};
    walk seen = walk::complete;
    // The removal's question, asked first; none when no removal is planned.
    int removal = none;
    // The transfer: asked when there is no removal or it is refused.
    transfer_plan then = leave;
};

// clang-format off
const plan_row rows[] = {
    // Nothing changed, or both sides hold the same file.
    {.what = "unchanged on both sides since they agreed",
     .remote = {100, 5}, .local = {100, 5}, .stored = agreed(100, 5), .then = leave},
    {.what = "the same new file on both sides is recorded",
     .remote = {100, 5}, .local = {100, 5}, .then = record},
    {.what = "a folder new on both sides is recorded",
     .folder = true, .remote = {0}, .local = {0}, .then = record},
    {.what = "a folder new on one side is recorded: the uploads of its files make it",
     .folder = true, .local = {0}, .then = record},
    {.what = "a file gone from both sides is recorded, so it is forgotten",
     .stored = agreed(100, 5), .then = record},

    // New on one side.
    {.what = "a file only on the local side is uploaded",
     .local = {100, 5}, .then = ask(upload_new)},
    {.what = "a file only on the remote side (new, or back after it was gone from both)",
     .remote = {100, 5}, .then = ask(download_new)},
    {.what = "a local file dated -1 (a second before 1970) is a file, not a missing side",
     .local = {-1, 5}, .then = ask(upload_new)},
    {.what = "equal times and other sizes: the local file goes over",
     .remote = {100, 5}, .local = {100, 7}, .then = ask(upload_newer)},

    // One side changed since both agreed: it goes across whatever the clocks say.
    {.what = "the local file changed, the remote one not",
     .remote = {100, 5}, .local = {200, 6}, .stored = agreed(100, 5), .then = ask(upload_newer)},
    {.what = "the remote file changed, the local one not",
     .remote = {200, 6}, .local = {100, 5}, .stored = agreed(100, 5), .then = ask(download_newer)},
    {.what = "a local edit dated before the unchanged remote file still goes up",
     .remote = {100, 5}, .local = {50, 6}, .stored = agreed(100, 5), .then = ask(upload_newer)},
    {.what = "a remote edit dated before the unchanged local file still comes down",
     .remote = {50, 6}, .local = {100, 5}, .stored = agreed(100, 5), .then = ask(download_newer)},
    {.what = "a local edit of the same size in the same second moves only the change time",
     .remote = {100, 5}, .local = {100, 5, 150}, .stored = agreed(100, 5),
     .then = ask(upload_newer)},

    // Both changed: the newer one wins.
    {.what = "both changed, the remote one later",
     .remote = {300, 6}, .local = {200, 7}, .stored = agreed(100, 5), .then = ask(download_newer)},
    {.what = "both changed, the local one later",
     .remote = {200, 6}, .local = {300, 7}, .stored = agreed(100, 5), .then = ask(upload_newer)},

    // Gone from one side: removed while the other side is unchanged; a
    // refused removal becomes the transfer.
    {.what = "the remote file removed, the local one unchanged",
     .local = {100, 5}, .stored = agreed(100, 5),
     .removal = remove_local_file, .then = ask(upload_new)},
    {.what = "the local file removed, the remote one unchanged",
     .remote = {100, 5}, .stored = agreed(100, 5),
     .removal = remove_remote_file, .then = ask(download_new)},
    {.what = "the remote file removed, the local one changed since: no removal",
     .local = {200, 6}, .stored = agreed(100, 5), .then = ask(upload_new)},
    {.what = "the local file removed, the remote one changed since: no removal",
     .remote = {200, 6}, .stored = agreed(100, 5), .then = ask(download_new)},
    {.what = "the remote folder removed",
     .folder = true, .local = {0}, .stored = folder_seen,
     .removal = remove_local_folder, .then = record},
    {.what = "the local folder removed",
     .folder = true, .remote = {0}, .stored = folder_seen,
     .removal = remove_remote_folder, .then = record},

    // A refusal holds until the file changes.
    {.what = "an upload refused before holds while the local file stays as it was",
     .local = {100, 5}, .stored = seen_locally(100, 5), .then = leave},
    {.what = "the refused upload is asked again once the local file changed",
     .local = {200, 6}, .stored = seen_locally(100, 5), .then = ask(upload_new)},

    // An empty remote file is never fetched: it is what a cut-off upload leaves.
    {.what = "an empty remote file newer than an empty local one: nothing, now and later",
     .remote = {200, 0}, .local = {100, 0}, .then = leave},
    {.what = "an empty remote file newer than local content: the local file goes over",
     .remote = {200, 0}, .local = {100, 5}, .then = ask(upload_newer)},
    {.what = "an empty remote file only on the remote side: nothing",
     .remote = {200, 0}, .then = leave},
    {.what = "a remote file emptied since they agreed: the unchanged local file goes over",
     .remote = {200, 0}, .local = {100, 5}, .stored = agreed(100, 5), .then = ask(upload_newer)},

    // Upload-only and saved-files bindings never act on a file missing locally.
    {.what = "upload-only: a remote-only file is left alone",
     .type = upload_only, .remote = {100, 5}, .then = leave},
    {.what = "upload-only: a file removed locally is not removed remotely",
     .type = upload_only, .remote = {100, 5}, .stored = agreed(100, 5), .then = leave},
    {.what = "upload-only: a remote file newer than the local one is uploaded over",
     .type = upload_only, .remote = {200, 5}, .local = {100, 5}, .then = ask(upload_newer)},
    {.what = "upload-only: an unchanged file is decided again and recorded",
     .type = upload_only, .remote = {100, 5}, .local = {100, 5}, .stored = agreed(100, 5),
     .then = record},
    {.what = "saved files: a remote-only file is not fetched",
     .type = saved_files, .remote = {100, 5}, .then = leave},
    {.what = "saved files: a file removed locally is not removed remotely",
     .type = saved_files, .remote = {100, 5}, .stored = agreed(100, 5), .then = leave},
    {.what = "saved files: a changed local copy is uploaded over",
     .type = saved_files, .remote = {100, 5}, .local = {200, 6}, .stored = agreed(100, 5),
     .then = ask(upload_newer)},

    // The copy of an opened file replaces only the version it was made from.
    {.what = "opened copy: only the copy changed, it goes over",
     .type = open_copy, .remote = {100, 5}, .local = {200, 6}, .stored = agreed(100, 5),
     .then = ask(upload_newer)},
    {.what = "opened copy: the copy and its remote file both changed, both are kept",
     .type = open_copy, .remote = {300, 6}, .local = {200, 7}, .stored = agreed(100, 5),
     .then = keep_both},

    // What is gone from a side that was not fully walked may still be there.
    {.what = "a local walk that did not see all decides nothing about a file gone locally",
     .remote = {100, 5}, .stored = agreed(100, 5), .seen = walk::local_incomplete, .then = leave},
    {.what = "a remote walk that did not see all decides nothing about a file gone remotely",
     .local = {100, 5}, .stored = agreed(100, 5), .seen = walk::remote_incomplete, .then = leave},
    {.what = "an incomplete remote walk still lets a new local file go up",
     .local = {100, 5}, .seen = walk::remote_incomplete, .then = ask(upload_new)},
};
// clang-format on

// The permission each question asks for and the task it queues.
item_step step_of(int kind) {
    const auto step = [](int permission, int message, int task_kind) {
        return item_step{static_cast<std::int8_t>(permission), static_cast<std::int8_t>(message),
                         static_cast<std::int8_t>(task_kind)};
    };
    switch (kind) {
        case upload_new:
            return step(0, kind, task::kind_upload);
        case download_new:
            return step(1, kind, task::kind_download);
        case upload_newer:
            return step(2, kind, task::kind_upload);
        case download_newer:
            return step(3, kind, task::kind_download);
        case remove_remote_file:
            return step(4, kind, task::kind_remove_remote_file);
        case remove_remote_folder:
            return step(5, kind, task::kind_remove_remote_folder);
        case remove_local_file:
            return step(6, kind, task::kind_remove_local_file);
        case remove_local_folder:
            return step(7, kind, task::kind_remove_local_folder);
    }
    ADD_FAILURE() << "no step asks question " << kind;
    return {};
}

std::string text_of(const std::optional<item_step>& step) {
    if (!step) return "none";
    return "permission " + std::to_string(step->permission) + ", question " +
           std::to_string(step->message_kind) + ", task " + std::to_string(step->task_kind);
}

// A plan as text, so that a failing row shows both plans whole.
std::string text_of(const std::optional<item_step>& removal, const item_transfer& transfer) {
    std::string text = "removal: " + text_of(removal) + "; then ";
    switch (transfer.outcome) {
        case item_outcome::leave:
            return text + "leave";
        case item_outcome::record:
            return text + "record";
        case item_outcome::keep_both:
            return text + "keep both";
        case item_outcome::ask:
            return text + "ask: " + text_of(transfer.step);
    }
    return text + "?";
}

sync_item found_item(const plan_row& row) {
    sync_item found(L"remote/sync", L"C:\\sync", row.folder ? L"" : L"f.txt");
    found.last_time_remote = row.remote.time;
    found.remote_size = row.remote.size;
    found.last_time_local = row.local.time;
    found.local_file = row.local.local_state();
    return found;
}

sync_item stored_item(const plan_row& row) {
    sync_item stored(L"remote/sync", L"C:\\sync", row.folder ? L"" : L"f.txt");
    stored.last_time_remote = row.stored.remote;
    stored.last_time_local = row.stored.local;
    stored.synced_time = row.stored.synced;
    stored.local_record = row.stored.record;
    if (row.stored.record != recorded_local::unknown)
        stored.local_file = row.stored.local_state.local_state();
    return stored;
}

TEST(ItemPlan, EachCaseOfTheComparisonGetsItsPlan) {
    for (const plan_row& row : rows) {
        SCOPED_TRACE(row.what);
        binding owner(L"remote/sync", L"C:\\sync", L"", L"sync_rules_0.xml");
        owner._type = row.type;
        collected_items walked;
        walked.local_complete = row.seen != walk::local_incomplete;
        walked.remote_complete = row.seen != walk::remote_incomplete;

        const item_plan plan = plan_item(owner, found_item(row), stored_item(row), walked);

        const std::optional<item_step> removal =
            row.removal == none ? std::nullopt : std::optional(step_of(row.removal));
        const item_transfer transfer{row.then.outcome, row.then.outcome == item_outcome::ask
                                                           ? step_of(row.then.asks)
                                                           : item_step{}};
        EXPECT_EQ(text_of(plan.removal, plan.transfer), text_of(removal, transfer));
    }
}

}  // namespace
}  // namespace syncer
