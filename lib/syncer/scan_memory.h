// What the sync manager keeps from one scan pass to the next, beyond the item
// tables: the hidden marks of local files, read again only when a file's
// change time moved, and the named mutexes of the tables, kept open so that a
// pass does not create and remove their objects each time it opens a table.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "utils/named_mutex.h"

namespace syncer {

// The hidden mark of each local file seen, by identity, with the change time
// it was read at. Setting or clearing the mark moves the change time, so an
// unchanged change time means an unchanged mark. File systems keep change
// times in coarse ticks, so a mark is taken from here only when it was read
// more than a second after the change time it was read at: a change within
// the same tick as an earlier read cannot hide behind an equal time.
class hidden_marks {
public:
    // The mark of the file whose status is given: the kept one when the
    // change time is the one it was read at, else read_mark's answer (kept for
    // the next time). now_ns: the current time in nanoseconds since 1970.
    bool is_hidden(const struct stat& status, std::int64_t now_ns,
                   const std::function<bool()>& read_mark);
    // Starts a new pass; end_pass then forgets every file not looked at
    // since, so files that went away do not pile up.
    void begin_pass();
    void end_pass();
    std::size_t size() const;

private:
    struct mark {
        std::uint64_t device = 0;
        std::int64_t change_time_ns = 0;
        std::uint32_t pass = 0;
        bool hidden = false;
    };
    mutable std::mutex lock_;
    std::unordered_map<std::uint64_t, mark> marks_;  // by inode
    std::uint32_t pass_ = 0;
};

// Named mutexes opened once and kept open. Failures to open one are
// ignored: the table's own object opens it again and reports them.
class kept_mutexes {
public:
    void keep(const std::wstring& name);

private:
    std::mutex lock_;
    std::map<std::wstring, std::unique_ptr<utils::named_mutex>> kept_;
};

struct scan_memory {
    hidden_marks marks;
    kept_mutexes mutexes;
};

}  // namespace syncer
