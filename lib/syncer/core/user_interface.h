// The one way the sync engine reaches the user. The tray program's sync
// window implements it; the engine holds a pointer it never owns or deletes.
//
// Calling contract:
// - ask_question comes from the scan thread and blocks until the user
//   answers: kinds 1 to 8 when an item's effective rule leaves a permission
//   open (the "Don't ask me again for this syncing task" box offered, but
//   not for the removals of every file or most files of a binding, which are
//   asked whatever the rule says; "Apply to all" when more than one pending
//   case could take the answer),
//   kind 9 when a binding's recursion into sub-folders is open (both boxes
//   hidden). It may be called while the runner thread calls tasks_changed.
// - show_message(information_table_restored) comes once, from the thread
//   that constructs the manager, when the binding table came from its backup.
// - tasks_changed comes from the scan and runner threads after tasks were
//   queued, purged or started; it must return at once.
// - report_error comes with message kind 0 and offer_retry false, as a
//   notice that stands alone (the answer is not used): from the thread that
//   constructs the manager when the binding table was damaged and had no
//   usable backup (the text names the kept file), and from the scan thread,
//   once, when a binding's local or remote folder is gone or is not the
//   folder its files were in (the binding is held until it is back). A task
//   records its failures as a message kind and text instead.
// - show_result is never called by the engine.
#pragma once

#include <string>

#include "syncer/core/binding.h"

namespace syncer {

// Message kinds: questions of the scan (1..9) and failure reasons of tasks
// (10..29); 0 means the failure text stands alone.
namespace message_kind {
inline constexpr int none = 0;
inline constexpr int upload_new = 1;
inline constexpr int download_new = 2;
inline constexpr int upload_newer = 3;
inline constexpr int download_newer = 4;
inline constexpr int remove_remote_file = 5;
inline constexpr int remove_remote_folder = 6;
inline constexpr int remove_local_file = 7;
inline constexpr int remove_local_folder = 8;
inline constexpr int recurse_subfolders = 9;
inline constexpr int copy_to_temporary = 10;
inline constexpr int copy_from_temporary = 11;
inline constexpr int make_temporary = 12;
inline constexpr int open_local_stream = 13;
inline constexpr int read_local_stream = 14;
inline constexpr int write_local_stream = 15;
inline constexpr int close_local_stream = 16;
inline constexpr int set_temporary_time = 17;
inline constexpr int remove_temporary = 18;
inline constexpr int remove_local = 19;
inline constexpr int create_local_folder = 20;
inline constexpr int open_remote_folder = 21;
inline constexpr int create_remote_file = 22;
inline constexpr int open_remote_file = 23;
inline constexpr int read_remote_file = 24;
inline constexpr int write_remote_file = 25;
inline constexpr int close_remote_file = 26;
inline constexpr int remote_file_info = 27;
inline constexpr int set_remote_date = 28;
inline constexpr int remove_remote = 29;
}  // namespace message_kind

// Information kind of show_message: the binding table was restored from its
// backup.
inline constexpr int information_table_restored = 6;

// What show_message and show_result return.
inline constexpr int message_shown = 7;

class user_interface {
public:
    virtual ~user_interface() = default;

    // Returns an answer code (answer.h): 7 yes or 3 no, plus 1 when "Don't
    // ask me again for this syncing task" was ticked, plus 2 when "Apply to
    // all" was ticked; a box not offered counts as not ticked.
    virtual int ask_question(int kind, const binding& owner, const std::wstring& dir_remote,
                             const std::wstring& dir_local, const std::wstring& filename,
                             bool offer_dont_ask_again, bool offer_apply_to_all) = 0;
    // 1 to retry, 0 to give up.
    virtual int report_error(int kind, const std::wstring& message, const binding& owner,
                             const std::wstring& dir_remote, const std::wstring& dir_local,
                             const std::wstring& filename, bool offer_retry) = 0;
    // Returns message_shown.
    virtual int show_message(int information_kind) = 0;
    // Result kinds 0..5 (messages.h); the text names the folder and file
    // joined as a path. Returns message_shown.
    virtual int show_result(int result_kind, const binding& owner, const std::wstring& dir_remote,
                            const std::wstring& dir_local, const std::wstring& filename) = 0;
    virtual void tasks_changed() = 0;
};

}  // namespace syncer
