// Sleeping on futex words with a deadline: the blocking primitive under the
// waits on events, threads and processes, within one process or across
// processes (words in shared mappings).
#pragma once

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "win/base.h"

namespace win_kernel {

// A point in time on the monotonic clock, or never.
class deadline {
public:
    // INFINITE: never.
    explicit deadline(DWORD timeout_ms);

    bool passed() const;
    // This deadline or now + limit, whichever comes first.
    deadline capped(std::chrono::milliseconds limit) const;
    // Absolute CLOCK_MONOTONIC time; nullopt for never.
    std::optional<timespec> monotonic() const;

private:
    deadline() = default;
    std::optional<std::chrono::steady_clock::time_point> at_;
};

// Sleeps while every words[i] holds expected[i], until one is woken, the
// deadline passes or the kernel returns early; callers re-check their
// condition. At most 128 words; without words, sleeps until the deadline.
void sleep_on(std::span<const std::atomic<uint32_t>* const> words,
              std::span<const uint32_t> expected, const deadline& until);

// Wakes every sleeper of the word, in any process that maps it.
void wake_all(const std::atomic<uint32_t>& word);

}  // namespace win_kernel
