// The check of item id lists from outside (Explorer's history, other
// processes, the clipboard): a list it accepts lies whole within the bytes,
// every element at least as large as its size field and the zero size at
// its end; only such a list is kept or decoded, decoded lists hold only
// records of the folder's own size, and the list made again from what was
// kept is the elements followed by the folder's three zero bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "folder/item_ids/item_id_list.h"
#include "fuzz_support.h"
#include "win/shell_idlist.h"
#include "win/test_journal.h"

namespace {

using calvimora_fuzz::require;
using bytes = std::vector<BYTE>;

WORD size_at(const BYTE* at) {
    WORD size = 0;
    std::memcpy(&size, at, sizeof size);
    return size;
}

// The list's elements walked by their sizes: whether every one is a
// record of the folder's size.
bool walk(const bytes& input, size_t list_size) {
    bool all_records = true;
    size_t at = 0;
    for (;;) {
        require(at + 2 <= list_size, "an element starts past the list");
        const WORD size = size_at(input.data() + at);
        if (size == 0) break;
        require(size >= 2, "an element is smaller than its size field");
        all_records = all_records && size == pidl_data_size;
        at += size;
    }
    require(at + 2 == list_size, "the list does not end with its zero size");
    return all_records;
}

bytes made_bytes(const CItemIdList& list) {
    LPITEMIDLIST made = list.CreatePidl();
    require(made != nullptr, "a list cannot be made");
    const auto* at = reinterpret_cast<const BYTE*>(made);
    bytes out(at, at + GetPidlSize(made));
    CoTaskMemFree(made);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const long allocations = win_test::live_task_allocations();
    const bytes input(data, data + size);
    const size_t list_size = win_shell::checked_id_list_size(input.data(), input.size());
    require(list_size <= input.size(), "an accepted list is larger than its bytes");
    const bool all_records = list_size > 0 && walk(input, list_size);
    {
        CItemIdList kept, decoded;
        const HRESULT kept_result = CItemIdList::FromBytes(input.data(), input.size(), true, kept);
        const HRESULT decoded_result =
            CItemIdList::FromBytes(input.data(), input.size(), false, decoded);
        require((kept_result == S_OK) == (list_size > 0), "a list is kept or refused wrongly");
        require((decoded_result == S_OK) == all_records, "a list is decoded or refused wrongly");
        if (list_size > 0) {
            bytes expected(input.begin(), input.begin() + static_cast<long>(list_size) - 2);
            expected.insert(expected.end(), {0, 0, 0});
            require(made_bytes(kept) == expected, "a kept list is made again differently");
            if (all_records) {
                require(decoded.GetItems().size() * pidl_data_size + 3 == expected.size(),
                        "a decoded list has another count of records");
                require(made_bytes(decoded) == expected,
                        "a decoded list is made again differently");
            }
        }
    }
    require(win_test::live_task_allocations() == allocations, "task memory was left behind");
    return 0;
}
