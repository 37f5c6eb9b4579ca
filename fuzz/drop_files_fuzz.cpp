// Dropped-file lists as another program hands them over: any bytes as the
// block behind CF_HDROP. The names are read only within the block, each
// name's measured length is the length copied, no name holds a NUL, and a
// buffer too small gets a terminated prefix.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "win/shell_dragdrop.h"

using calvimora_fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    require(block != nullptr, "a block cannot be made");
    if (size) std::memcpy(GlobalLock(block), data, size);
    GlobalUnlock(block);
    const UINT count = DragQueryFileW(block, 0xFFFFFFFFu, nullptr, 0);
    require(count <= size / 2 + 1, "more names than the block has room for");
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(block, i, nullptr, 0);
        require(length > 0 && length <= size, "a name longer than the block");
        std::wstring name(length + 1, L'\x7F');
        require(DragQueryFileW(block, i, name.data(), length + 1) == length,
                "the copy is not as long as the name");
        require(name[length] == L'\0', "a copied name is not terminated");
        require(name.find(L'\0') == length, "a name holds a NUL");
        wchar_t small[3] = {L'x', L'x', L'x'};
        const UINT cut = DragQueryFileW(block, i, small, 2);
        require(cut == 1 && small[cut] == L'\0' && small[2] == L'x',
                "a cut copy overran its buffer");
    }
    require(DragQueryFileW(block, count, nullptr, 0) == 0, "a name past the end");
    GlobalFree(block);
    return 0;
}
