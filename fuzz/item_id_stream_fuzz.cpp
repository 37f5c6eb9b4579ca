// The stream forms of item id lists, as data objects restore them from the
// clipboard and from other processes. Any input is read as one list and as
// an array of lists. A failed read leaves a list as it was; what was read
// is written back, reads again as the same list and is written as the same
// bytes; nothing of the task allocator is left behind.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "folder/item_ids/item_id_list.h"
#include "folder/item_ids/pidl_array.h"
#include "fuzz_support.h"
#include "win/test_journal.h"
#include "win/test_stream.h"

namespace {

using calvimora_fuzz::require;
using bytes = std::vector<BYTE>;

// A list that a failed read must leave untouched: a base and one record.
CItemIdList known_list() {
    const BYTE base[] = {4, 0, 'C', 'M', 0, 0};
    CItemIdList list(reinterpret_cast<LPCITEMIDLIST>(base), true);
    PIDLDATA record;
    std::memset(&record, 0, sizeof record);
    record.cb = pidl_data_size;
    record.type = 2;
    record.name[0] = u'k';
    record.size = 7;
    list += CItemIdList(record);
    return list;
}

bytes created_bytes(const CItemIdList& list) {
    LPITEMIDLIST made = list.CreatePidl();
    require(made != nullptr, "a list cannot be made");
    const auto* at = reinterpret_cast<const BYTE*>(made);
    bytes out(at, at + GetPidlSize(made));
    CoTaskMemFree(made);
    return out;
}

void check_list(const bytes& input) {
    const CItemIdList before = known_list();
    CItemIdList list = before;
    win_test::test_stream stream(input);
    if (FAILED(list.Load(&stream))) {
        require(list == before && created_bytes(list) == created_bytes(before),
                "a failed read changed the list");
        return;
    }
    win_test::test_stream saved;
    require(list.Save(&saved) == S_OK, "a list that was read cannot be written");
    CItemIdList again;
    saved.position = 0;
    require(again.Load(&saved) == S_OK, "a written list does not read back");
    require(again == list && created_bytes(again) == created_bytes(list),
            "a written list reads back as another list");
    win_test::test_stream saved_again;
    require(again.Save(&saved_again) == S_OK && saved_again.bytes == saved.bytes,
            "a list read back is written differently");
}

bytes array_bytes(const CPidlArray& array) {
    win_test::test_stream saved;
    require(array.SaveToStream(&saved) == S_OK, "an array that was read cannot be written");
    return saved.bytes;
}

void check_array(const bytes& input) {
    CPidlArray array;
    win_test::test_stream stream(input);
    if (FAILED(array.LoadFromStream(&stream))) return;
    const bytes saved = array_bytes(array);
    CPidlArray again;
    win_test::test_stream reread(saved);
    require(again.LoadFromStream(&reread) == S_OK, "a written array does not read back");
    require(again.GetSize() == array.GetSize(), "a written array reads back with another count");
    require(array_bytes(again) == saved, "an array read back is written differently");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const long allocations = win_test::live_task_allocations();
    const bytes input(data, data + size);
    check_list(input);
    check_array(input);
    require(win_test::live_task_allocations() == allocations, "task memory was left behind");
    return 0;
}
