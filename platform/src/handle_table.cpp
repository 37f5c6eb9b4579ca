#include "handle_table.h"

#include "win/handle.h"

#include <chrono>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace win_detail {

namespace {

struct table {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<kernel_object>> objects;
    uintptr_t next = 1;
};

table& the_table() {
    static table* t = new table;  // outlives static destructors of other units
    return *t;
}

}  // namespace

DWORD kernel_object::wait(DWORD timeout_ms) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeout_ms);
    auto pause = std::chrono::microseconds(50);
    for (;;) {
        const DWORD result = try_wait();
        if (result != WAIT_TIMEOUT) return result;
        if (timeout_ms != INFINITE && clock::now() >= deadline) return WAIT_TIMEOUT;
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(2)) pause *= 2;
    }
}

HANDLE register_handle(std::shared_ptr<kernel_object> object) {
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    const uintptr_t id = t.next++;
    t.objects.emplace(id, std::move(object));
    // Handles look like the system's: small multiples of four.
    return reinterpret_cast<HANDLE>(id * 4);
}

std::shared_ptr<kernel_object> lookup_handle(HANDLE handle) {
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle) / 4);
    if (reinterpret_cast<uintptr_t>(handle) % 4 != 0 || it == t.objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

bool unregister_handle(HANDLE handle) {
    std::shared_ptr<kernel_object> doomed;  // destroyed outside the lock
    table& t = the_table();
    {
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle) / 4);
        if (reinterpret_cast<uintptr_t>(handle) % 4 != 0 || it == t.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        doomed = std::move(it->second);
        t.objects.erase(it);
    }
    return true;
}

}  // namespace win_detail

BOOL CloseHandle(HANDLE handle) { return win_detail::unregister_handle(handle) ? TRUE : FALSE; }
