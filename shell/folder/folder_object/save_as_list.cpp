#include "folder/folder_object/save_as_list.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "folder/item_ids/utf16_text.h"
#include "vfs/exceptions.h"
#include "vfs/response_node.h"
#include "win/kernel.h"

namespace save_as_list {

namespace {

const wchar_t* const root_name = L"SaveAsFiles";
const wchar_t* const entry_name = L"NewFile";

}  // namespace

bool add_entry(char16_t* units, std::size_t count, const std::wstring& path) {
    // The view is shared with other processes: work on a copy taken once, so
    // that a writer elsewhere cannot move the end of the text under us.
    const std::vector<char16_t> snapshot(units, units + count);
    if (std::find(snapshot.begin(), snapshot.end(), u'\0') == snapshot.end()) return false;
    const std::wstring text = shell_text::from_utf16(snapshot.data(), snapshot.size());
    std::vector<vfs_calvimora::response_node> entries;
    try {
        const vfs_calvimora::response_node list = vfs_calvimora::parse_response(text);
        // A parsed entry is a text node, or an element when its text looked
        // like markup; each one is kept.
        for (const vfs_calvimora::response_node& child : list.children)
            if (child.name == entry_name) entries.push_back(child);
    } catch (const vfs::exception&) {
        return false;
    }
    entries.emplace_back(entry_name, path);
    const std::u16string written =
        shell_text::to_utf16(vfs_calvimora::response_node(root_name, std::move(entries)).to_xml(),
                             std::numeric_limits<std::size_t>::max());
    if (written.size() >= count) return false;
    std::copy(written.begin(), written.end(), units);
    std::fill(units + written.size(), units + count, u'\0');
    return true;
}

bool record(const std::wstring& path) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, mapping_name);
    if (!mapping) return false;
    bool added = false;
    if (void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, mapping_bytes)) {
        try {
            added = add_entry(static_cast<char16_t*>(view), mapping_bytes / sizeof(char16_t), path);
        } catch (...) {
            added = false;
        }
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return added;
}

}  // namespace save_as_list
