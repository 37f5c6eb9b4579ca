// "Shell IDList Array" blocks as another program hands them over: any bytes
// as the block. Both readers agree; what they copy lies within the block and
// together fits in it (a bomb of offsets at one list is refused); each list
// is a whole item id list; and the lists, written back into a block of
// their own, read back the same.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "win/shell_dragdrop.h"
#include "win/shell_idlist.h"

using calvimora_fuzz::require;

namespace {

std::vector<BYTE> block_of(const win_shell::id_array& array) {
    const UINT count = static_cast<UINT>(array.items.size());
    std::vector<BYTE> block(sizeof(UINT) * (count + 2));
    std::memcpy(block.data(), &count, sizeof count);
    auto place = [&](UINT index, const std::vector<BYTE>& list) {
        const UINT offset = static_cast<UINT>(block.size());
        std::memcpy(block.data() + sizeof(UINT) * (index + 1), &offset, sizeof offset);
        block.insert(block.end(), list.begin(), list.end());
    };
    place(0, array.folder);
    for (UINT i = 0; i < count; ++i) place(i + 1, array.items[i]);
    return block;
}

bool whole_list(const std::vector<BYTE>& list) {
    return win_shell::checked_id_list_size(list.data(), list.size()) == list.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto array = win_shell::read_id_array(data, size);
    const auto folder = win_shell::read_id_array_folder(data, size);
    require(array.has_value() == folder.has_value(), "the two readers disagree on a block");
    if (!array) return 0;
    require(*folder == array->folder, "the folder readers copy different lists");
    std::size_t copied = array->folder.size();
    for (const auto& item : array->items) copied += item.size();
    require(copied <= size, "the lists copied outgrow the block");
    require(whole_list(array->folder), "the folder's list is not one whole list");
    for (const auto& item : array->items) require(whole_list(item), "an item is not a whole list");

    const std::vector<BYTE> written = block_of(*array);
    const auto again = win_shell::read_id_array(written.data(), written.size());
    require(again.has_value(), "a block written from read lists is refused");
    require(again->folder == array->folder && again->items == array->items,
            "lists written back read as other lists");
    return 0;
}
