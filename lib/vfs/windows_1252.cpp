#include "vfs/windows_1252.h"

namespace vfs_calvimora {

namespace {

// The characters of the bytes 0x80 to 0x9F; the bytes below are ASCII and
// those above are the Latin-1 characters of the same value.
constexpr wchar_t from_0x80_to_0x9f[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::wstring from_windows_1252(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const unsigned char value = static_cast<unsigned char>(byte);
        text += value >= 0x80 && value <= 0x9F ? from_0x80_to_0x9f[value - 0x80]
                                               : static_cast<wchar_t>(value);
    }
    return text;
}

}  // namespace vfs_calvimora
