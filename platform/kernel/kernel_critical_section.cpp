// Critical sections: a recursive in-process lock placed in the caller's
// CRITICAL_SECTION storage.

#include <mutex>
#include <new>

#include "win/kernel.h"

namespace {

static_assert(sizeof(std::recursive_mutex) <= sizeof(CRITICAL_SECTION::opaque));
static_assert(alignof(std::recursive_mutex) <= alignof(CRITICAL_SECTION));

std::recursive_mutex& lock_of(LPCRITICAL_SECTION section) {
    return *std::launder(reinterpret_cast<std::recursive_mutex*>(section->opaque));
}

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    new (section->opaque) std::recursive_mutex;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    lock_of(section).lock();
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    return lock_of(section).try_lock() ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    lock_of(section).unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    lock_of(section).~recursive_mutex();
}
