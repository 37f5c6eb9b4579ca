// String tables. A module's strings are filed in blocks of sixteen, block n
// (RT_STRING, name n + 1) holding ids 16n to 16n + 15, each entry a 32-bit
// length followed by that many characters (the program's wide characters,
// no terminator), so LoadStringW can hand out a pointer into the block.

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <mutex>

#include "user_resources.h"
#include "win/user_dialog.h"

namespace {

using block = std::array<std::wstring, 16>;

// What each module registered, to rebuild a block when strings are added.
std::map<std::pair<HMODULE, UINT>, block>& blocks() {
    static auto* b = new std::map<std::pair<HMODULE, UINT>, block>;
    return *b;
}

std::vector<uint8_t> encode(const block& strings) {
    std::vector<uint8_t> out;
    for (const std::wstring& s : strings) {
        const uint32_t length = static_cast<uint32_t>(s.size());
        const auto* l = reinterpret_cast<const uint8_t*>(&length);
        out.insert(out.end(), l, l + sizeof length);
        const auto* c = reinterpret_cast<const uint8_t*>(s.data());
        out.insert(out.end(), c, c + s.size() * sizeof(wchar_t));
    }
    return out;
}

// The entry of the id inside a block's bytes; false when the bytes do not
// hold sixteen well-formed entries up to it.
bool find_entry(const uint8_t* data, size_t size, UINT index, const wchar_t** text,
                uint32_t* length) {
    size_t at = 0;
    for (UINT i = 0; i <= index; ++i) {
        uint32_t n;
        if (size - at < sizeof n) return false;
        std::memcpy(&n, data + at, sizeof n);
        at += sizeof n;
        if (n > (size - at) / sizeof(wchar_t)) return false;
        if (i == index) {
            *text = reinterpret_cast<const wchar_t*>(data + at);
            *length = n;
            return true;
        }
        at += n * sizeof(wchar_t);
    }
    return false;
}

}  // namespace

namespace win_dialogs {

void register_strings(HMODULE module, const std::vector<std::pair<UINT, std::wstring>>& strings) {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    std::vector<UINT> touched;
    for (const auto& [id, text] : strings) {
        const UINT number = id / 16;
        blocks()[{module, number}][id % 16] = text;
        touched.push_back(number);
    }
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    for (UINT number : touched)
        win_user::register_kept_resource(module, RT_STRING, MAKEINTRESOURCEW(number + 1),
                                         encode(blocks()[{module, number}]));
}

}  // namespace win_dialogs

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int max_count) {
    if (!buffer || max_count < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (max_count > 0) buffer[0] = 0;
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
    if (!found) return 0;
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(instance, found)));
    const size_t size = SizeofResource(instance, found);
    // Entries are read where they lie; the block's start is aligned, as
    // resource memory is.
    const wchar_t* text = nullptr;
    uint32_t length = 0;
    if (!data || !find_entry(data, size, id % 16, &text, &length) || length == 0) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    if (max_count == 0) {
        *reinterpret_cast<const wchar_t**>(buffer) = text;
        return static_cast<int>(length);
    }
    const int count = std::min<int>(static_cast<int>(length), max_count - 1);
    std::memcpy(buffer, text, static_cast<size_t>(count) * sizeof(wchar_t));
    buffer[count] = 0;
    return count;
}
