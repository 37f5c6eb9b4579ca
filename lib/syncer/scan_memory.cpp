#include "syncer/scan_memory.h"

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
    const auto device = static_cast<std::uint64_t>(status.st_dev);
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto found = marks_.find(static_cast<std::uint64_t>(status.st_ino));
        if (found != marks_.end() && found->second.device == device &&
            found->second.change_time_ns == changed) {
            found->second.pass = pass_;
            return found->second.hidden;
        }
    }
    const bool hidden = read_mark();
    std::lock_guard<std::mutex> guard(lock_);
    const auto inode = static_cast<std::uint64_t>(status.st_ino);
    if (now_ns - changed > coarse_tick_margin_ns) {
        marks_[inode] = mark{device, changed, pass_, hidden};
    } else {
        marks_.erase(inode);
    }
    return hidden;
}

void hidden_marks::begin_pass() {
    std::lock_guard<std::mutex> guard(lock_);
    ++pass_;
}

void hidden_marks::end_pass() {
    std::lock_guard<std::mutex> guard(lock_);
    std::erase_if(marks_, [this](const auto& entry) { return entry.second.pass != pass_; });
}

std::size_t hidden_marks::size() const {
    std::lock_guard<std::mutex> guard(lock_);
    return marks_.size();
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
