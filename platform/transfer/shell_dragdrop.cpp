// Reading and writing the byte layouts of dropped files, virtual files and
// item selections. Every block may come from another program, so every
// count, offset and name is checked against the block's size.
#include "win/shell_dragdrop.h"

#include <algorithm>
#include <cstring>

#include "kernel/wide_text.h"
#include "win/code_page.h"

namespace {

// The names of a DROPFILES block, read within its bytes.
std::vector<std::wstring> dropped_names(const BYTE* data, size_t size) {
    std::vector<std::wstring> names;
    DROPFILES header;
    if (size < sizeof header) return names;
    std::memcpy(&header, data, sizeof header);
    if (header.pFiles < sizeof header || header.pFiles >= size) return names;
    const size_t unit = header.fWide ? 2 : 1;
    size_t at = header.pFiles;
    while (at + unit <= size) {
        size_t end = at;
        bool terminated = false;
        while (end + unit <= size) {
            const bool nul = unit == 2 ? data[end] == 0 && data[end + 1] == 0 : data[end] == 0;
            if (nul) {
                terminated = true;
                break;
            }
            end += unit;
        }
        if (!terminated || end == at) break;  // cut name, or the list's final NUL
        if (unit == 2) {
            names.push_back(win_detail::from_utf16le(data + at, end - at));
        } else {
            const std::string narrow(reinterpret_cast<const char*>(data + at), end - at);
            std::wstring wide(narrow.size(), L'\0');
            const int made =
                MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
                                    wide.data(), static_cast<int>(wide.size()));
            wide.resize(made > 0 ? static_cast<size_t>(made) : 0);
            names.push_back(wide);
        }
        at = end + unit;
    }
    return names;
}

}  // namespace

UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT size) {
    SetLastError(ERROR_SUCCESS);
    const SIZE_T bytes = GlobalSize(drop);
    if (bytes == 0) return 0;
    const auto* data = static_cast<const BYTE*>(GlobalLock(drop));
    if (!data) return 0;
    const std::vector<std::wstring> names = dropped_names(data, bytes);
    GlobalUnlock(drop);
    if (index == 0xFFFFFFFFu) return static_cast<UINT>(names.size());
    if (index >= names.size()) return 0;
    const std::wstring& name = names[index];
    if (!buffer) return static_cast<UINT>(name.size());
    if (size == 0) return 0;
    const size_t count = std::min<size_t>(name.size(), size - 1);
    name.copy(buffer, count);
    buffer[count] = L'\0';
    return static_cast<UINT>(count);
}

void DragFinish(HDROP drop) {
    GlobalFree(drop);
}

namespace win_shell {

HDROP make_drop_files(const std::vector<std::wstring>& paths) {
    std::string list;
    for (const std::wstring& path : paths)
        list += win_detail::to_utf16le(path) + std::string(2, '\0');
    list += std::string(2, '\0');
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
    if (!block) return nullptr;
    auto* data = static_cast<BYTE*>(GlobalLock(block));
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    std::memcpy(data, &header, sizeof header);
    std::memcpy(data + sizeof header, list.data(), list.size());
    GlobalUnlock(block);
    return block;
}

std::optional<std::vector<FILEDESCRIPTORW>> read_file_group_descriptor(const void* data,
                                                                       size_t size) {
    UINT count = 0;
    if (!data || size < sizeof count) return std::nullopt;
    std::memcpy(&count, data, sizeof count);
    if (count > (size - sizeof count) / sizeof(FILEDESCRIPTORW)) return std::nullopt;
    std::vector<FILEDESCRIPTORW> descriptors(count);
    if (count)
        std::memcpy(descriptors.data(), static_cast<const BYTE*>(data) + sizeof count,
                    count * sizeof(FILEDESCRIPTORW));
    return descriptors;
}

std::optional<std::wstring> file_descriptor_name(const FILEDESCRIPTORW& descriptor) {
    const char16_t* begin = descriptor.cFileName;
    const char16_t* end = std::find(begin, begin + FILE_DESCRIPTOR_NAME_UNITS, u'\0');
    if (end == begin + FILE_DESCRIPTOR_NAME_UNITS) return std::nullopt;
    std::string bytes;
    for (const char16_t* unit = begin; unit != end; ++unit) {
        bytes.push_back(static_cast<char>(*unit & 0xFF));
        bytes.push_back(static_cast<char>(*unit >> 8));
    }
    return win_detail::from_utf16le(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
}

bool set_file_descriptor_name(FILEDESCRIPTORW& descriptor, const std::wstring& name) {
    const std::string bytes = win_detail::to_utf16le(name);
    size_t units = bytes.size() / 2;
    const bool whole = units < FILE_DESCRIPTOR_NAME_UNITS;
    if (!whole) {
        units = FILE_DESCRIPTOR_NAME_UNITS - 1;
        // Never end on the first half of a surrogate pair.
        const auto last = static_cast<char16_t>(static_cast<BYTE>(bytes[2 * units - 2]) |
                                                static_cast<BYTE>(bytes[2 * units - 1]) << 8);
        if (last >= 0xD800 && last <= 0xDBFF) --units;
    }
    std::memset(descriptor.cFileName, 0, sizeof descriptor.cFileName);
    for (size_t i = 0; i < units; ++i)
        descriptor.cFileName[i] = static_cast<char16_t>(static_cast<BYTE>(bytes[2 * i]) |
                                                        static_cast<BYTE>(bytes[2 * i + 1]) << 8);
    return whole;
}

std::optional<id_array> read_id_array(const void* data, size_t size) {
    const auto* bytes = static_cast<const BYTE*>(data);
    UINT count = 0;
    if (!data || size < sizeof count) return std::nullopt;
    std::memcpy(&count, bytes, sizeof count);
    if (count >= (size - sizeof count) / sizeof(UINT)) return std::nullopt;
    id_array result;
    for (UINT i = 0; i <= count; ++i) {
        UINT offset = 0;
        std::memcpy(&offset, bytes + sizeof count + i * sizeof offset, sizeof offset);
        if (offset >= size) return std::nullopt;
        const size_t list_size = checked_id_list_size(bytes + offset, size - offset);
        if (list_size == 0) return std::nullopt;
        std::vector<BYTE> list(bytes + offset, bytes + offset + list_size);
        if (i == 0)
            result.folder = std::move(list);
        else
            result.items.push_back(std::move(list));
    }
    return result;
}

}  // namespace win_shell
