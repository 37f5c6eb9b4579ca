// Thread handles: signalled once the thread has ended, and so for ever
// after. A process's main thread (PROCESS_INFORMATION's hThread) is one too,
// ended by whoever watches the process.
#pragma once

#include <atomic>
#include <memory>

#include "handle_table.h"
#include "win/kernel.h"

namespace win_kernel {

class thread_end {
public:
    // Records the exit code, then signals the end to every waiter.
    void finish(DWORD exit_code);

    bool ended() const { return ended_.load() != 0; }
    // STILL_ACTIVE until the end.
    DWORD exit_code() const { return exit_code_.load(); }
    const std::atomic<uint32_t>& word() const { return ended_; }

private:
    std::atomic<uint32_t> ended_{0};
    std::atomic<DWORD> exit_code_{STILL_ACTIVE};
};

class thread_object : public win_detail::kernel_object {
public:
    explicit thread_object(std::shared_ptr<thread_end> end) : end_(std::move(end)) {}

    bool waitable() const override { return true; }
    DWORD try_wait() override { return end_->ended() ? WAIT_OBJECT_0 : WAIT_TIMEOUT; }
    wake_word watch() const override { return {&end_->word(), false}; }

    DWORD exit_code() const { return end_->exit_code(); }

private:
    std::shared_ptr<thread_end> end_;
};

}  // namespace win_kernel
