// Closing any handle of the kernel-object table (mutex, event, mapping,
// thread, process, file).
#pragma once

#include "win/base.h"

// FALSE with ERROR_INVALID_HANDLE for a handle that is not open.
BOOL CloseHandle(HANDLE handle);
