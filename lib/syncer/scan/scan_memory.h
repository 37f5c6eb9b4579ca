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
#include <vector>

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
    // Kept in one open-addressed array (linear probing), 16 bytes a file and
    // no allocation of its own: a pass looks up every local file. A file
    // whose identity or change time does not fit is read every time.
    struct mark {
        // The inode number (below 2^48, never 0) with the device's index in
        // devices_ above it; 0 for a free slot.
        std::uint64_t key = 0;
        std::uint32_t change_seconds = 0;
        // The change time's nanoseconds, the mark, and the low bit of the
        // pass that last looked at it: a pass forgets the marks it did not
        // look at, so one bit tells this pass's from the one before (a mark
        // left by a pass that was broken off goes a pass later).
        std::uint32_t nanoseconds_and_flags = 0;
    };
    static constexpr std::uint32_t nanoseconds_mask = (1u << 30) - 1;
    static constexpr std::uint32_t pass_flag = 1u << 30;
    static constexpr std::uint32_t hidden_flag = 1u << 31;
    // Files of devices past the first 65535 seen are read every time.
    static constexpr std::uint16_t no_device = 0xFFFF;

    // The file's key; 0 when it is not to be kept.
    std::uint64_t key_of(const struct stat& status);
    std::uint32_t pass_bit() const { return (pass_ & 1) != 0 ? pass_flag : 0; }
    bool of_this_pass(const mark& entry) const {
        return (entry.nanoseconds_and_flags & pass_flag) == pass_bit();
    }
    std::size_t home_of(std::uint64_t key) const;
    // The slot of the file, or the free slot where it would go.
    std::size_t slot_of(std::uint64_t key) const;
    void erase_at(std::size_t slot);
    void rebuild(std::size_t capacity, bool seen_only);

    mutable std::mutex lock_;
    std::vector<mark> slots_;
    std::size_t count_ = 0;
    // Files looked at in this pass.
    std::size_t seen_ = 0;
    std::vector<std::uint64_t> devices_;
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
