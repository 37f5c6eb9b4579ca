#include "utils/named_mutex.h"

#include "utils/exceptions.h"
#include "win/kernel.h"

namespace utils {

named_mutex::named_mutex(const std::wstring& name)
    : m_win_mutex(CreateMutexW(nullptr, FALSE, name.c_str())) {
    if (!m_win_mutex)
        throw system_error_exception(__PRETTY_FUNCTION__, "::CreateMutexW(NULL, FALSE, name)",
                                     static_cast<int>(GetLastError()));
}

named_mutex::~named_mutex() {
    // A handle we own cannot fail to close; there is nobody to tell if it did.
    CloseHandle(m_win_mutex);
}

void named_mutex::lock() {
    const DWORD result = WaitForSingleObject(m_win_mutex, INFINITE);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED)
        throw system_error_exception(__PRETTY_FUNCTION__,
                                     "::WaitForSingleObject(m_win_mutex, INFINITE)",
                                     static_cast<int>(GetLastError()));
}

bool named_mutex::try_lock_for(std::chrono::milliseconds timeout) {
    const DWORD result = WaitForSingleObject(m_win_mutex, static_cast<DWORD>(timeout.count()));
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) return true;
    if (result == WAIT_TIMEOUT) return false;
    throw system_error_exception(__PRETTY_FUNCTION__, "::WaitForSingleObject(m_win_mutex, timeout)",
                                 static_cast<int>(GetLastError()));
}

void named_mutex::unlock() {
    if (!ReleaseMutex(m_win_mutex))
        throw system_error_exception(__PRETTY_FUNCTION__, "::ReleaseMutex(m_win_mutex)",
                                     static_cast<int>(GetLastError()));
}

named_mutex_lock::~named_mutex_lock() {
    try {
        mutex_.unlock();
    } catch (...) {
        // The lock was taken by this thread, so releasing it does not fail;
        // a destructor must not throw in any case.
    }
}

}  // namespace utils
