// Waiting on several kernel objects at once.
#pragma once

#include <span>

#include "handle_table.h"

namespace win_kernel {

// Waits until one of the objects is signalled and acquires it; the lowest
// signalled index wins. Returns WAIT_OBJECT_0 + index, WAIT_ABANDONED_0 +
// index, WAIT_TIMEOUT, or WAIT_FAILED with the last error set. Sleeps on the
// objects' wake words; objects without one are polled every few
// milliseconds.
DWORD wait_for_any(std::span<win_detail::kernel_object* const> objects, DWORD timeout_ms);

}  // namespace win_kernel
