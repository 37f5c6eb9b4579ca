#include "kernel_thread.h"

#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "kernel_futex.h"
#include "win/kernel.h"

namespace win_kernel {

void thread_end::finish(DWORD exit_code) {
    exit_code_.store(exit_code);
    ended_.store(1);
    wake_all(ended_);
}

}  // namespace win_kernel

namespace {

using win_kernel::thread_end;

struct thread_start {
    std::function<DWORD()> body;
    std::shared_ptr<thread_end> end;
    std::atomic<uint32_t> id{0};  // published by the new thread
};

void* run_thread(void* argument) {
    const std::shared_ptr<thread_start> start(
        std::move(*static_cast<std::shared_ptr<thread_start>*>(argument)));
    delete static_cast<std::shared_ptr<thread_start>*>(argument);
    start->id.store(static_cast<uint32_t>(gettid()));
    start->id.notify_all();
    const DWORD exit_code = start->body();
    start->end->finish(exit_code);
    return nullptr;
}

// Starts a detached thread running body; its handle, or nullptr with the
// last error set.
HANDLE start_thread(std::function<DWORD()> body, SIZE_T stack_size, DWORD* thread_id) {
    auto start = std::make_shared<thread_start>();
    start->body = std::move(body);
    start->end = std::make_shared<thread_end>();

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stack_size != 0) {
        const SIZE_T page = static_cast<SIZE_T>(sysconf(_SC_PAGESIZE));
        const SIZE_T rounded =
            (std::max<SIZE_T>(stack_size, PTHREAD_STACK_MIN) + page - 1) / page * page;
        pthread_attr_setstacksize(&attributes, rounded);
    }
    auto* argument = new std::shared_ptr<thread_start>(start);
    pthread_t thread;
    const int result = pthread_create(&thread, &attributes, run_thread, argument);
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        delete argument;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    start->id.wait(0);
    if (thread_id) *thread_id = start->id.load();
    return win_detail::register_handle(std::make_shared<win_kernel::thread_object>(start->end));
}

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stack_size, LPTHREAD_START_ROUTINE start_address,
                    LPVOID parameter, DWORD creation_flags, LPDWORD thread_id) {
    if (!start_address) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Suspended starts are not offered.
    if (creation_flags & ~DWORD{STACK_SIZE_PARAM_IS_A_RESERVATION}) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return start_thread([start_address, parameter] { return start_address(parameter); }, stack_size,
                        thread_id);
}

uintptr_t _beginthreadex(void*, unsigned stack_size, unsigned (*start_address)(void*),
                         void* argument, unsigned init_flag, unsigned* thread_id) {
    if (!start_address || init_flag != 0) {
        SetLastError(start_address ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD id = 0;
    HANDLE handle = start_thread(
        [start_address, argument] { return static_cast<DWORD>(start_address(argument)); },
        stack_size, &id);
    if (thread_id) *thread_id = id;
    return reinterpret_cast<uintptr_t>(handle);
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exit_code) {
    const auto object = win_detail::lookup_handle_as<win_kernel::thread_object>(thread);
    if (!object) return FALSE;
    if (!exit_code) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *exit_code = object->exit_code();
    return TRUE;
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(gettid());
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    if (milliseconds == INFINITE) {
        for (;;) pause();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
