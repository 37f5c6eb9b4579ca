// Reading and writing the byte layouts of dropped files, virtual files and
// item selections. Every block may come from another program, so every
// count, offset and name is checked against the block's size.
#include "win/shell_dragdrop.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "kernel/wide_text.h"
#include "win/code_page.h"

namespace {

// Walks the names of a DROPFILES block within its bytes, handing each
// name's place (start, bytes, whether wide) to visit until it answers
// false. One pass over the block, nothing decoded.
template <class Visit>
void walk_dropped_names(const BYTE* data, size_t size, Visit visit) {
    DROPFILES header;
    if (size < sizeof header) return;
    std::memcpy(&header, data, sizeof header);
    if (header.pFiles < sizeof header || header.pFiles >= size) return;
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
        if (!terminated || end == at) return;  // cut name, or the list's final NUL
        if (!visit(data + at, end - at, unit == 2)) return;
        at = end + unit;
    }
}

std::wstring decode_name(const BYTE* name, size_t bytes, bool wide) {
    if (wide) return win_detail::from_utf16le(name, bytes);
    const std::string narrow(reinterpret_cast<const char*>(name), bytes);
    std::wstring result(narrow.size(), L'\0');
    const int made = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
                                         result.data(), static_cast<int>(result.size()));
    result.resize(made > 0 ? static_cast<size_t>(made) : 0);
    return result;
}

}  // namespace

UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT size) {
    SetLastError(ERROR_SUCCESS);
    const SIZE_T bytes = GlobalSize(drop);
    if (bytes == 0) return 0;
    const auto* data = static_cast<const BYTE*>(GlobalLock(drop));
    if (!data) return 0;
    // Only the asked name is decoded; the count decodes none.
    UINT seen = 0;
    std::optional<std::wstring> found;
    walk_dropped_names(data, bytes, [&](const BYTE* name, size_t length, bool wide) {
        if (seen++ != index) return true;
        found = decode_name(name, length, wide);
        return false;
    });
    GlobalUnlock(drop);
    if (index == 0xFFFFFFFFu) return seen;
    if (!found) return 0;
    const std::wstring& name = *found;
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

std::vector<std::wstring> read_drop_files(const void* data, size_t size) {
    std::vector<std::wstring> names;
    if (!data) return names;
    walk_dropped_names(static_cast<const BYTE*>(data), size,
                       [&](const BYTE* name, size_t length, bool wide) {
                           names.push_back(decode_name(name, length, wide));
                           return true;
                       });
    return names;
}

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

namespace {

// Walks the lists of a CIDA block, handing each (folder first) to keep.
// The lists of a well-formed block never overlap, so together they fit in
// the bytes after the offsets: a block whose offsets point at one list
// many times is refused as soon as the lists outgrow it, and the walk
// never reads more than the block holds.
template <class Keep>
bool walk_id_array(const void* data, size_t size, Keep keep) {
    const auto* bytes = static_cast<const BYTE*>(data);
    UINT count = 0;
    if (!data || size < sizeof count) return false;
    std::memcpy(&count, bytes, sizeof count);
    if (count >= (size - sizeof count) / sizeof(UINT)) return false;
    size_t budget = size - sizeof count - (size_t{count} + 1) * sizeof(UINT);
    for (UINT i = 0; i <= count; ++i) {
        UINT offset = 0;
        std::memcpy(&offset, bytes + sizeof count + i * sizeof offset, sizeof offset);
        if (offset >= size) return false;
        const size_t list_size =
            checked_id_list_size(bytes + offset, std::min<size_t>(size - offset, budget));
        if (list_size == 0) return false;
        budget -= list_size;
        keep(i, bytes + offset, list_size);
    }
    return true;
}

}  // namespace

std::optional<id_array> read_id_array(const void* data, size_t size) {
    id_array result;
    const bool read = walk_id_array(data, size, [&](UINT index, const BYTE* list, size_t bytes) {
        if (index == 0)
            result.folder.assign(list, list + bytes);
        else
            result.items.emplace_back(list, list + bytes);
    });
    if (!read) return std::nullopt;
    return result;
}

std::optional<std::vector<BYTE>> read_id_array_folder(const void* data, size_t size) {
    std::vector<BYTE> folder;
    const bool read = walk_id_array(data, size, [&](UINT index, const BYTE* list, size_t bytes) {
        if (index == 0) folder.assign(list, list + bytes);
    });
    if (!read) return std::nullopt;
    return folder;
}

HGLOBAL make_id_array(const id_array& lists) {
    std::vector<const std::vector<BYTE>*> all{&lists.folder};
    for (const std::vector<BYTE>& item : lists.items) all.push_back(&item);
    const size_t header = sizeof(UINT) * (all.size() + 1);
    size_t total = header;
    for (const std::vector<BYTE>* list : all) total += list->size();
    if (total > 0xFFFFFFFFu) return nullptr;
    HGLOBAL block = GlobalAlloc(GHND, total);
    auto* data = static_cast<BYTE*>(GlobalLock(block));
    if (!data) {
        GlobalFree(block);
        return nullptr;
    }
    const UINT count = static_cast<UINT>(lists.items.size());
    std::memcpy(data, &count, sizeof count);
    size_t at = header;
    for (size_t i = 0; i < all.size(); ++i) {
        const UINT offset = static_cast<UINT>(at);
        std::memcpy(data + sizeof(UINT) * (i + 1), &offset, sizeof offset);
        if (!all[i]->empty()) std::memcpy(data + at, all[i]->data(), all[i]->size());
        at += all[i]->size();
    }
    GlobalUnlock(block);
    return block;
}

}  // namespace win_shell
