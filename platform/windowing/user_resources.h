// Keeping the bytes of resources that the windowing side builds at run time
// (dialog templates, string tables): the resource table does not copy, so
// they are kept for the life of the process.
#pragma once

#include <cstdint>
#include <vector>

#include "win/resources.h"

namespace win_user {

// Registers a copy of the bytes that lives as long as the process.
void register_kept_resource(HMODULE module, LPCWSTR type, LPCWSTR name, std::vector<uint8_t> bytes);

}  // namespace win_user
