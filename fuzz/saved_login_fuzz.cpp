// The saved login's value as the registry holds it, which any program of
// the user can write: any bytes as its units. Reading never fails and its
// fields hold no zero character; a login read and saved again reads back
// the same; and a login made of any texts comes back whole, but for the
// zero characters the value cannot hold.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "vfs/saved_login.h"

using calvimora_fuzz::require;
using vfs_calvimora::saved_login;

namespace {

std::wstring without_zeros(std::wstring text) {
    std::erase(text, L'\0');
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char16_t> units(size / 2);
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    const saved_login read = vfs_calvimora::unscramble_login(units);
    require(read.user_name.find(L'\0') == std::wstring::npos &&
                read.password.find(L'\0') == std::wstring::npos,
            "a read field holds a zero character");
    const saved_login again = vfs_calvimora::unscramble_login(vfs_calvimora::scramble_login(read));
    require(again.user_name == read.user_name && again.password == read.password,
            "a read login saved again reads back otherwise");

    const std::vector<std::wstring> texts = calvimora_fuzz::texts_of(data, size);
    saved_login typed{texts[0], texts.size() > 1 ? texts[1] : std::wstring()};
    const saved_login back = vfs_calvimora::unscramble_login(vfs_calvimora::scramble_login(typed));
    require(back.user_name == without_zeros(typed.user_name) &&
                back.password == without_zeros(typed.password),
            "a typed login comes back otherwise");
    return 0;
}
