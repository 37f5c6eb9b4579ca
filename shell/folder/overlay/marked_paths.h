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

#include "syncer/binding.h"

namespace shell_overlay {

// The binding's local path with every "\" turned into "/"; a file binding
// adds "/" and the file name (no "/" when the name begins with a separator).
std::wstring local_path_of(const syncer::binding& bound);
// The path with every "\" turned into "/".
std::wstring normalised(const std::wstring& path);

// The marked paths of the user's binding table. Explorer asks about every
// path it draws, so the table is read only when its file changed (another
// modification time or size) or when the last read is older than max_age,
// which bounds how long a change the file's time cannot show stays unseen.
class marked_paths {
public:
    static constexpr std::chrono::milliseconds max_age{1000};

    // Whether the path is marked for the user; the table's failures pass on.
    bool contains(const std::wstring& user_name, const std::wstring& path);
    // How many times the table was read, for tests and measurements.
    int reads() const;

private:
    struct file_stamp {
        std::wstring user_name;
        long long modified = 0;  // nanoseconds
        unsigned long long size = 0;
        bool operator==(const file_stamp&) const = default;
    };

    std::optional<file_stamp> stamp_of(const std::wstring& user_name) const;

    mutable std::mutex lock_;
    std::optional<file_stamp> stamp_;
    std::chrono::steady_clock::time_point read_at_;
    std::unordered_set<std::wstring> paths_;
    int reads_ = 0;
};

// The marked paths every overlay object of the process shares.
marked_paths& shared_marked_paths();

}  // namespace shell_overlay
