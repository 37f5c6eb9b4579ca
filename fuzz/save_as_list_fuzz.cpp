// The session's Save-As list as the folder rewrites it: the view is shared
// with every process of the session, so its bytes are anything. An entry is
// added only to a list that ends inside the view and parses; the new text
// holds every former entry and the new one last, and the rest of the view
// is zeros; a refused view is left exactly as it was. The view is a buffer
// of its own exact size, so a write past it is caught.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "folder/folder_object/save_as_list.h"
#include "folder/item_ids/utf16_text.h"
#include "fuzz_support.h"
#include "vfs/exceptions.h"
#include "vfs/response_node.h"

namespace {

using calvimora_fuzz::require;

const wchar_t* const path = L"C:\\Filter temp\\Docs\\new <1>.txt";

size_t entries_in(const std::vector<char16_t>& units) {
    const vfs_calvimora::response_node list =
        vfs_calvimora::parse_response(shell_text::from_utf16(units.data(), units.size()));
    return static_cast<size_t>(
        std::count_if(list.children.begin(), list.children.end(),
                      [](const auto& child) { return child.name == L"NewFile"; }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char16_t> view(size / sizeof(char16_t));
    if (view.empty()) return 0;
    std::memcpy(view.data(), data, view.size() * sizeof(char16_t));
    const std::vector<char16_t> before = view;
    if (!save_as_list::add_entry(view.data(), view.size(), path)) {
        require(view == before, "a refused list was changed");
        return 0;
    }
    const auto end = std::find(view.begin(), view.end(), u'\0');
    require(end != view.end(), "the new list has no end inside the view");
    require(std::all_of(end, view.end(), [](char16_t unit) { return unit == 0; }),
            "something is left after the new list");
    try {
        const vfs_calvimora::response_node list =
            vfs_calvimora::parse_response(shell_text::from_utf16(view.data(), view.size()));
        require(list.name == L"SaveAsFiles", "the list lost its name");
        require(!list.children.empty() && list.children.back().name == L"NewFile" &&
                    list.children.back().text == path,
                "the new entry is not the last");
        require(entries_in(view) == entries_in(before) + 1, "an entry was lost");
    } catch (const vfs::exception&) {
        require(false, "the new list does not parse");
    }
    return 0;
}
