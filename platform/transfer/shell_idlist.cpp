// Item-id lists: walking, copying and joining them.
#include "win/shell_idlist.h"

#include <cstring>

#include "win/com.h"

namespace {

constexpr size_t size_field = sizeof(WORD);

WORD element_size(const BYTE* at) {
    WORD size = 0;
    std::memcpy(&size, at, size_field);
    return size;
}

// The bytes of the elements, without the terminator.
size_t elements_size(LPCITEMIDLIST list) {
    const auto* at = reinterpret_cast<const BYTE*>(list);
    size_t total = 0;
    for (WORD size; (size = element_size(at + total)) != 0;) total += size;
    return total;
}

LPITEMIDLIST copy_elements(const void* first, size_t first_size, const void* second,
                           size_t second_size) {
    auto* out = static_cast<BYTE*>(CoTaskMemAlloc(first_size + second_size + size_field));
    if (!out) return nullptr;
    if (first_size) std::memcpy(out, first, first_size);
    if (second_size) std::memcpy(out + first_size, second, second_size);
    std::memset(out + first_size + second_size, 0, size_field);
    return reinterpret_cast<LPITEMIDLIST>(out);
}

}  // namespace

UINT ILGetSize(LPCITEMIDLIST list) {
    return list ? static_cast<UINT>(elements_size(list) + size_field) : 0;
}

LPITEMIDLIST ILGetNext(LPCITEMIDLIST list) {
    if (ILIsEmpty(list)) return nullptr;
    const auto* next =
        reinterpret_cast<const BYTE*>(list) + element_size(reinterpret_cast<const BYTE*>(list));
    if (element_size(next) == 0) return nullptr;
    return reinterpret_cast<LPITEMIDLIST>(const_cast<BYTE*>(next));
}

LPITEMIDLIST ILFindLastID(LPCITEMIDLIST list) {
    if (!list) return nullptr;
    const auto* at = reinterpret_cast<const BYTE*>(list);
    const BYTE* last = at;
    for (WORD size; (size = element_size(at)) != 0; at += size) last = at;
    return reinterpret_cast<LPITEMIDLIST>(const_cast<BYTE*>(last));
}

BOOL ILRemoveLastID(LPITEMIDLIST list) {
    if (ILIsEmpty(list)) return FALSE;
    std::memset(ILFindLastID(list), 0, size_field);
    return TRUE;
}

LPITEMIDLIST ILClone(LPCITEMIDLIST list) {
    return list ? copy_elements(list, elements_size(list), nullptr, 0) : nullptr;
}

LPITEMIDLIST ILCloneFirst(LPCITEMIDLIST list) {
    if (!list) return nullptr;
    return copy_elements(list, element_size(reinterpret_cast<const BYTE*>(list)), nullptr, 0);
}

LPITEMIDLIST ILCombine(LPCITEMIDLIST first, LPCITEMIDLIST second) {
    if (!first && !second) return nullptr;
    return copy_elements(first, first ? elements_size(first) : 0, second,
                         second ? elements_size(second) : 0);
}

void ILFree(LPITEMIDLIST list) {
    CoTaskMemFree(list);
}

namespace win_shell {

size_t checked_id_list_size(const void* bytes, size_t available) {
    if (!bytes) return 0;
    const auto* at = static_cast<const BYTE*>(bytes);
    size_t offset = 0;
    for (;;) {
        if (available - offset < size_field) return 0;
        const WORD size = element_size(at + offset);
        if (size == 0) return offset + size_field;
        if (size < size_field || size > available - offset) return 0;
        offset += size;
    }
}

}  // namespace win_shell
