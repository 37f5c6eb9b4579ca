#include "kernel_wait.h"

#include <chrono>
#include <vector>

#include "kernel_futex.h"
#include "win/kernel.h"

namespace win_kernel {

namespace {

// How often objects without a wake word are looked at.
constexpr std::chrono::milliseconds poll_interval(2);
// How often objects that can change behind their wake word are looked at.
constexpr std::chrono::milliseconds recheck_interval(25);

}  // namespace

DWORD wait_for_any(std::span<win_detail::kernel_object* const> objects, DWORD timeout_ms) {
    const deadline until(timeout_ms);
    std::vector<const std::atomic<uint32_t>*> words;
    std::chrono::milliseconds nap_limit = std::chrono::milliseconds::max();
    for (win_detail::kernel_object* object : objects) {
        const win_detail::kernel_object::wake_word watched = object->watch();
        if (watched.word) words.push_back(watched.word);
        if (!watched.word) nap_limit = std::min(nap_limit, poll_interval);
        if (watched.also_poll) nap_limit = std::min(nap_limit, recheck_interval);
    }
    std::vector<uint32_t> expected(words.size());
    for (;;) {
        // Read the words before looking, so a change after the look wakes
        // the sleep below at once.
        for (size_t i = 0; i < words.size(); ++i) expected[i] = words[i]->load();
        for (size_t i = 0; i < objects.size(); ++i) {
            const DWORD result = objects[i]->try_wait();
            if (result == WAIT_OBJECT_0) return WAIT_OBJECT_0 + static_cast<DWORD>(i);
            if (result == WAIT_ABANDONED) return WAIT_ABANDONED_0 + static_cast<DWORD>(i);
            if (result != WAIT_TIMEOUT) return WAIT_FAILED;
        }
        if (until.passed()) return WAIT_TIMEOUT;
        const deadline nap =
            nap_limit == std::chrono::milliseconds::max() ? until : until.capped(nap_limit);
        sleep_on(words, expected, nap);
    }
}

}  // namespace win_kernel

using win_detail::kernel_object;

namespace {

// The object of a handle that can be waited on; null with the last error.
std::shared_ptr<kernel_object> waitable_object(HANDLE handle) {
    std::shared_ptr<kernel_object> object = win_detail::lookup_handle(handle);
    if (object && !object->waitable()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

}  // namespace

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    const std::shared_ptr<kernel_object> object = waitable_object(handle);
    return object ? object->wait(milliseconds) : WAIT_FAILED;
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                             DWORD milliseconds) {
    if (!handles || count == 0 || count > MAXIMUM_WAIT_OBJECTS || (wait_all && count > 1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    // Held for the whole wait, so closing a handle meanwhile is harmless.
    std::vector<std::shared_ptr<kernel_object>> held;
    std::vector<kernel_object*> objects;
    for (DWORD i = 0; i < count; ++i) {
        held.push_back(waitable_object(handles[i]));
        if (!held.back()) return WAIT_FAILED;
        objects.push_back(held.back().get());
    }
    if (count == 1) return objects[0]->wait(milliseconds);
    return win_kernel::wait_for_any(objects, milliseconds);
}
