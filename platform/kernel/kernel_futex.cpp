#include "kernel_futex.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <thread>
#include <vector>

namespace win_kernel {

namespace {

using clock = std::chrono::steady_clock;

// The futex calls take the word's address; the words are never written
// through it.
uint32_t* address_of(const std::atomic<uint32_t>& word) {
    static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
    static_assert(std::atomic<uint32_t>::is_always_lock_free);
    return reinterpret_cast<uint32_t*>(const_cast<std::atomic<uint32_t>*>(&word));
}

void sleep_on_one(const std::atomic<uint32_t>& word, uint32_t expected, const deadline& until) {
    const std::optional<timespec> at = until.monotonic();
    // Absolute monotonic time-out; shared (not private) so that words in
    // mappings of several processes meet.
    syscall(SYS_futex, address_of(word), FUTEX_WAIT_BITSET, expected, at ? &*at : nullptr, nullptr,
            FUTEX_BITSET_MATCH_ANY);
}

// False when the kernel has no vectored wait (before Linux 5.16).
bool sleep_on_many(std::span<const std::atomic<uint32_t>* const> words,
                   std::span<const uint32_t> expected, const deadline& until) {
    std::vector<futex_waitv> waiters(words.size());
    for (size_t i = 0; i < words.size(); ++i) {
        waiters[i].val = expected[i];
        waiters[i].uaddr = reinterpret_cast<uintptr_t>(address_of(*words[i]));
        waiters[i].flags = FUTEX_32;
    }
    const std::optional<timespec> at = until.monotonic();
    const long result = syscall(SYS_futex_waitv, waiters.data(), waiters.size(), 0,
                                at ? &*at : nullptr, CLOCK_MONOTONIC);
    return !(result < 0 && errno == ENOSYS);
}

}  // namespace

deadline::deadline(DWORD timeout_ms) {
    if (timeout_ms != INFINITE) at_ = clock::now() + std::chrono::milliseconds(timeout_ms);
}

bool deadline::passed() const {
    return at_ && clock::now() >= *at_;
}

deadline deadline::capped(std::chrono::milliseconds limit) const {
    deadline result;
    const auto soon = clock::now() + limit;
    result.at_ = at_ && *at_ < soon ? *at_ : soon;
    return result;
}

std::optional<timespec> deadline::monotonic() const {
    if (!at_) return std::nullopt;
    // steady_clock is CLOCK_MONOTONIC on Linux.
    const auto since_epoch = at_->time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch);
    timespec result{};
    result.tv_sec = static_cast<time_t>(seconds.count());
    result.tv_nsec = static_cast<long>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch - seconds).count());
    return result;
}

void sleep_on(std::span<const std::atomic<uint32_t>* const> words,
              std::span<const uint32_t> expected, const deadline& until) {
    if (words.empty()) {
        if (const std::optional<timespec> at = until.monotonic())
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &*at, nullptr);
        return;
    }
    if (words.size() == 1) {
        sleep_on_one(*words[0], expected[0], until);
        return;
    }
    if (!sleep_on_many(words, expected, until)) {
        // Older kernels: the caller looks again shortly.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void wake_all(const std::atomic<uint32_t>& word) {
    syscall(SYS_futex, address_of(word), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

}  // namespace win_kernel
