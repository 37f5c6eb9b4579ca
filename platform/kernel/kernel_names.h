// Names of the session's kernel objects and the files that carry them.
#pragma once

#include <optional>
#include <string>

#include "win/base.h"

namespace win_kernel {

// The file name (within the session folder) of a named object. "Local\",
// "Global\" and no prefix all reach the same namespace. Every byte of the
// UTF-8 name outside [A-Za-z0-9_-] is percent-encoded, so user names of any
// script are safe; very long names keep a readable start and a hash of the
// whole. nullopt (ERROR_INVALID_NAME set) for a name that is empty after its
// prefix.
std::optional<std::string> object_file_name(LPCWSTR name);

// True for a null or empty name: the object is unnamed.
bool is_unnamed(LPCWSTR name);

}  // namespace win_kernel
