#include "vfs/number_text.h"

#include <algorithm>
#include <cwchar>
#include <limits>

namespace vfs_calvimora {

std::int64_t parse_int64(const std::wstring& text) {
    return std::wcstoll(text.c_str(), nullptr, 10);
}

int parse_int(const std::wstring& text) {
    return static_cast<int>(std::clamp<std::int64_t>(
        parse_int64(text), std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace vfs_calvimora
