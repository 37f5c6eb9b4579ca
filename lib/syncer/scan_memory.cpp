#include "syncer/scan_memory.h"

#include <algorithm>

namespace syncer {

namespace {

constexpr std::int64_t coarse_tick_margin_ns = 1'000'000'000;

std::int64_t change_time_ns(const struct stat& status) {
    return static_cast<std::int64_t>(status.st_ctim.tv_sec) * 1'000'000'000 +
           status.st_ctim.tv_nsec;
}

}  // namespace

bool hidden_marks::is_hidden(const struct stat& status, std::int64_t now_ns,
                             const std::function<bool()>& read_mark) {
    const std::int64_t changed = change_time_ns(status);
    const auto inode = static_cast<std::uint64_t>(status.st_ino);
    const auto device = static_cast<std::uint64_t>(status.st_dev);
    {
        std::lock_guard<std::mutex> guard(lock_);
        const std::uint16_t index = device_index(device);
        if (!slots_.empty() && index != no_device) {
            mark& found = slots_[slot_of(inode, index)];
            if ((found.flags & used) != 0 && found.change_time_ns == changed) {
                if (found.pass != static_cast<std::uint8_t>(pass_)) {
                    found.pass = static_cast<std::uint8_t>(pass_);
                    ++seen_;
                }
                return (found.flags & hidden_flag) != 0;
            }
        }
    }
    const bool hidden = read_mark();
    std::lock_guard<std::mutex> guard(lock_);
    const std::uint16_t index = device_index(device);
    if (index == no_device) return hidden;
    // At most three quarters full, so that every probe ends soon.
    if ((count_ + 1) * 4 > slots_.size() * 3)
        rebuild(std::max<std::size_t>(1024, slots_.size() * 2), false);
    const std::size_t slot = slot_of(inode, index);
    mark& entry = slots_[slot];
    const bool known = (entry.flags & used) != 0;
    if (now_ns - changed > coarse_tick_margin_ns) {
        if (!known) {
            ++count_;
            ++seen_;
        } else if (entry.pass != static_cast<std::uint8_t>(pass_)) {
            ++seen_;
        }
        entry = mark{inode, changed, index, static_cast<std::uint8_t>(pass_),
                     static_cast<std::uint8_t>(used | (hidden ? hidden_flag : 0))};
    } else if (known) {
        if (entry.pass == static_cast<std::uint8_t>(pass_)) --seen_;
        erase_at(slot);
    }
    return hidden;
}

std::uint16_t hidden_marks::device_index(std::uint64_t device) {
    for (std::size_t index = 0; index < devices_.size(); ++index) {
        if (devices_[index] == device) return static_cast<std::uint16_t>(index);
    }
    if (devices_.size() == no_device) return no_device;
    devices_.push_back(device);
    return static_cast<std::uint16_t>(devices_.size() - 1);
}

std::size_t hidden_marks::home_of(std::uint64_t inode, std::uint16_t device) const {
    std::uint64_t hash =
        (inode ^ (static_cast<std::uint64_t>(device) << 48)) * 0x9E3779B97F4A7C15ull;
    hash ^= hash >> 29;
    return static_cast<std::size_t>(hash) & (slots_.size() - 1);
}

std::size_t hidden_marks::slot_of(std::uint64_t inode, std::uint16_t device) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = home_of(inode, device);; slot = (slot + 1) & mask) {
        const mark& entry = slots_[slot];
        if ((entry.flags & used) == 0 || (entry.inode == inode && entry.device == device))
            return slot;
    }
}

void hidden_marks::erase_at(std::size_t slot) {
    // Later entries of the same run move back into the gap when their home
    // allows, so that no probe stops early at it.
    const std::size_t mask = slots_.size() - 1;
    std::size_t gap = slot;
    for (std::size_t next = (gap + 1) & mask; (slots_[next].flags & used) != 0;
         next = (next + 1) & mask) {
        const std::size_t home = home_of(slots_[next].inode, slots_[next].device);
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
        if ((entry.flags & used) == 0) continue;
        if (seen_only && entry.pass != static_cast<std::uint8_t>(pass_)) continue;
        slots_[slot_of(entry.inode, entry.device)] = entry;
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
        std::count_if(slots_.begin(), slots_.end(), [this](const mark& entry) {
            return (entry.flags & used) != 0 && entry.pass == static_cast<std::uint8_t>(pass_);
        }));
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
