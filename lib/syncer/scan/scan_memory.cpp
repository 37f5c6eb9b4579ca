#include "syncer/scan/scan_memory.h"

#include <algorithm>

namespace syncer {

namespace {

constexpr std::int64_t coarse_tick_margin_ns = 1'000'000'000;
constexpr std::uint64_t largest_kept_inode = (std::uint64_t{1} << 48) - 1;

std::int64_t change_time_ns(const struct stat& status) {
    return static_cast<std::int64_t>(status.st_ctim.tv_sec) * 1'000'000'000 +
           status.st_ctim.tv_nsec;
}

bool change_time_fits(const struct stat& status) {
    return status.st_ctim.tv_sec >= 0 && status.st_ctim.tv_sec <= 0xFFFFFFFFll &&
           status.st_ctim.tv_nsec >= 0 && status.st_ctim.tv_nsec < 1'000'000'000;
}

}  // namespace

bool hidden_marks::is_hidden(const struct stat& status, std::int64_t now_ns,
                             const std::function<bool()>& read_mark) {
    const auto seconds = static_cast<std::uint32_t>(status.st_ctim.tv_sec);
    const auto nanoseconds = static_cast<std::uint32_t>(status.st_ctim.tv_nsec);
    // A device's index never changes once given, so the key stays good
    // between the two holds of the lock.
    std::uint64_t key = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        key = key_of(status);
        if (!slots_.empty() && key != 0) {
            mark& found = slots_[slot_of(key)];
            if (found.key == key && found.change_seconds == seconds &&
                (found.nanoseconds_and_flags & nanoseconds_mask) == nanoseconds) {
                if (!of_this_pass(found)) {
                    found.nanoseconds_and_flags ^= pass_flag;
                    ++seen_;
                }
                return (found.nanoseconds_and_flags & hidden_flag) != 0;
            }
        }
    }
    const bool hidden = read_mark();
    if (key == 0) return hidden;
    std::lock_guard<std::mutex> guard(lock_);
    // At most three quarters full, so that every probe ends soon.
    if ((count_ + 1) * 4 > slots_.size() * 3)
        rebuild(std::max<std::size_t>(1024, slots_.size() * 2), false);
    const std::size_t slot = slot_of(key);
    mark& entry = slots_[slot];
    const bool known = entry.key != 0;
    if (now_ns - change_time_ns(status) > coarse_tick_margin_ns) {
        if (!known) {
            ++count_;
            ++seen_;
        } else if (!of_this_pass(entry)) {
            ++seen_;
        }
        entry = mark{key, seconds, nanoseconds | pass_bit() | (hidden ? hidden_flag : 0)};
    } else if (known) {
        if (of_this_pass(entry)) --seen_;
        erase_at(slot);
    }
    return hidden;
}

std::uint64_t hidden_marks::key_of(const struct stat& status) {
    const auto inode = static_cast<std::uint64_t>(status.st_ino);
    if (inode == 0 || inode > largest_kept_inode || !change_time_fits(status)) return 0;
    const auto device = static_cast<std::uint64_t>(status.st_dev);
    std::size_t index = 0;
    while (index < devices_.size() && devices_[index] != device) ++index;
    if (index == devices_.size()) {
        if (devices_.size() == no_device) return 0;
        devices_.push_back(device);
    }
    return static_cast<std::uint64_t>(index) << 48 | inode;
}

std::size_t hidden_marks::home_of(std::uint64_t key) const {
    std::uint64_t hash = key * 0x9E3779B97F4A7C15ull;
    hash ^= hash >> 29;
    return static_cast<std::size_t>(hash) & (slots_.size() - 1);
}

std::size_t hidden_marks::slot_of(std::uint64_t key) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = home_of(key);; slot = (slot + 1) & mask) {
        const mark& entry = slots_[slot];
        if (entry.key == 0 || entry.key == key) return slot;
    }
}

void hidden_marks::erase_at(std::size_t slot) {
    // Later entries of the same run move back into the gap when their home
    // allows, so that no probe stops early at it.
    const std::size_t mask = slots_.size() - 1;
    std::size_t gap = slot;
    for (std::size_t next = (gap + 1) & mask; slots_[next].key != 0; next = (next + 1) & mask) {
        const std::size_t home = home_of(slots_[next].key);
        // Whether home lies cyclically in (gap, next]: then it stays.
        const bool stays =
            gap <= next ? (gap < home && home <= next) : (gap < home || home <= next);
        if (stays) continue;
        slots_[gap] = slots_[next];
        gap = next;
    }
    slots_[gap] = mark{};
    --count_;
}

void hidden_marks::rebuild(std::size_t capacity, bool seen_only) {
    std::vector<mark> old(capacity);
    old.swap(slots_);
    count_ = 0;
    for (const mark& entry : old) {
        if (entry.key == 0) continue;
        if (seen_only && !of_this_pass(entry)) continue;
        slots_[slot_of(entry.key)] = entry;
        ++count_;
    }
}

void hidden_marks::begin_pass() {
    std::lock_guard<std::mutex> guard(lock_);
    ++pass_;
    seen_ = 0;
}

void hidden_marks::end_pass() {
    std::lock_guard<std::mutex> guard(lock_);
    // Most passes see every file they kept: then nothing is to go.
    if (seen_ == count_) return;
    const auto kept = static_cast<std::size_t>(
        std::count_if(slots_.begin(), slots_.end(),
                      [this](const mark& entry) { return entry.key != 0 && of_this_pass(entry); }));
    std::size_t capacity = 1024;
    while (kept * 4 > capacity * 3) capacity *= 2;
    rebuild(capacity, true);
}

std::size_t hidden_marks::size() const {
    std::lock_guard<std::mutex> guard(lock_);
    return count_;
}

void kept_mutexes::keep(const std::wstring& name) {
    std::lock_guard<std::mutex> guard(lock_);
    if (kept_.contains(name)) return;
    try {
        kept_.emplace(name, std::make_unique<utils::named_mutex>(name));
    } catch (...) {
        // Opened again, and reported, by the table that needs it.
    }
}

}  // namespace syncer
