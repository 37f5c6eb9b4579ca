// Which local paths the overlay marks: the local side of the user's own
// folder pairs (bindings of _type 0), a folder binding as its folder and a
// file binding as the folder joined with its file name. "/" and "\" count
// as equal; letters are compared exactly.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>

#include "syncer/core/binding.h"

namespace shell_overlay {

// The binding's local path with every "\" turned into "/"; a file binding
// adds "/" and the file name (no "/" when the name begins with a separator).
std::wstring local_path_of(const syncer::binding& bound);
// The path with every "\" turned into "/".
std::wstring normalised(const std::wstring& path);

// The marked paths of the user's binding table. Explorer asks about every
// path it draws, so the table is read only when its file changed (another
// modification time or size) or when the last read is older than max_age,
// which bounds how long a change the file's time cannot show stays unseen
// (and how long the table's place, which the settings folder decides, is
// taken as known).
class marked_paths {
public:
    static constexpr std::chrono::milliseconds max_age{1000};

    // Whether the path is marked for the user; the table's failures pass on.
    bool contains(const std::wstring& user_name, const std::wstring& path);
    // How many times the table was read, for tests and measurements.
    int reads() const;
    // Drops what was read, so that the next question reads the table.
    void forget();

private:
    struct file_stamp {
        long long modified = 0;  // nanoseconds
        unsigned long long size = 0;
        bool operator==(const file_stamp&) const = default;
    };

    static std::optional<file_stamp> stamp_of(const std::string& file);
    void read(const std::wstring& user_name);

    mutable std::mutex lock_;
    std::wstring user_name_;
    std::string file_;  // the table's file, native; empty before the first read
    std::optional<file_stamp> stamp_;
    std::chrono::steady_clock::time_point read_at_;
    std::unordered_set<std::wstring> paths_;
    int reads_ = 0;
};

// Who is logged in, as the overlay sees it: the session is asked again only
// when the last answer is older than max_age, since asking opens the
// session's named objects and Explorer asks about every path it draws. A
// log-out shows within max_age.
class session_user {
public:
    static constexpr std::chrono::milliseconds max_age{1000};

    // The logged-in user's name, none when nobody is logged in; the
    // session's failures pass on (and are asked about again next time).
    std::optional<std::wstring> current();
    // Drops the last answer, so that the next question asks the session.
    void forget();

private:
    std::mutex lock_;
    bool known_ = false;
    std::optional<std::wstring> user_;
    std::chrono::steady_clock::time_point asked_at_;
};

// The marked paths and the session answer every overlay object of the
// process shares.
marked_paths& shared_marked_paths();
session_user& shared_session_user();

}  // namespace shell_overlay
