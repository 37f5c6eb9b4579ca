// Numbers in the service's texts: decimal, read as far as they go ("12abc"
// gives 12), 0 for a text that does not start with a number, and held at
// the type's limits when too large.
#pragma once

#include <cstdint>
#include <string>

namespace vfs_calvimora {

std::int64_t parse_int64(const std::wstring& text);
int parse_int(const std::wstring& text);

}  // namespace vfs_calvimora
