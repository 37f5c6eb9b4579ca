#include "handle_table.h"

#include "win/handle.h"

#include <mutex>
#include <unordered_map>

#include "kernel_wait.h"

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
    kernel_object* self = this;
    return win_kernel::wait_for_any({&self, 1}, timeout_ms);
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

BOOL CloseHandle(HANDLE handle) {
    return win_detail::unregister_handle(handle) ? TRUE : FALSE;
}
