// The working form of an item id list of the virtual folder: a whole list
// kept as it came (the folder's own place in the namespace), followed by
// decoded records of remote items. Lists this folder builds end in three
// zero bytes, and every list it allocates is GetPidlSize bytes long.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "folder/item_ids/pidl_data.h"
#include "win/com.h"
#include "win/shell_idlist.h"

// A list whose elements are not the folder's records.
class invalid_item_id_list : public std::invalid_argument {
public:
    invalid_item_id_list() : std::invalid_argument("not an item id list of this folder") {}
};

// The sum of the list's element sizes plus 3; 3 for an empty or null list.
UINT GetPidlSize(LPCITEMIDLIST list);

// A task-allocated copy of a list: its elements and three zero bytes; null
// for a null list or when memory is short.
LPITEMIDLIST CopyPidl(LPCITEMIDLIST list);

class CItemIdList {
public:
    CItemIdList() = default;
    // copy: the list is kept whole as the base. Otherwise every element is
    // decoded as one record; an element that is not 840 bytes throws
    // invalid_item_id_list. The list lies in memory the caller vouches for
    // (lists from outside go through Load or FromBytes).
    CItemIdList(LPCITEMIDLIST list, bool copy);
    explicit CItemIdList(const PIDLDATA& item);
    CItemIdList(const CItemIdList& other);
    CItemIdList& operator=(const CItemIdList& other);
    ~CItemIdList();

    // A list from bytes of outside origin: every element must lie within
    // the bytes and the list must end with its zero size inside them, and
    // decoded elements must be 840 bytes. E_INVALIDARG otherwise (out is
    // left as it was); E_OUTOFMEMORY when the base cannot be copied.
    static HRESULT FromBytes(const void* bytes, size_t size, bool copy, CItemIdList& out);

    bool HasBase() const { return base_ != nullptr; }
    LPCITEMIDLIST GetBase() const { return base_; }
    const std::vector<PIDLDATA>& GetItems() const { return items_; }
    // The last record; throws std::out_of_range when there is none.
    const PIDLDATA& GetLastItem() const;
    // The names of the records joined with "\"; empty without records.
    std::wstring GetPath() const;

    // The whole list, task-allocated: the base's elements, every record and
    // three zero bytes; null when memory is short. The caller frees it.
    LPITEMIDLIST CreatePidl() const;

    bool operator==(const CItemIdList& other) const;
    bool operator!=(const CItemIdList& other) const { return !(*this == other); }
    // This list followed by the other's records; a list with a base adds
    // nothing.
    CItemIdList operator+(const CItemIdList& other) const;
    CItemIdList& operator+=(const CItemIdList& other);

    // The stream form: u8 1 with a base else 0, u32 byte size, the bytes of
    // CreatePidl. Failures: the stream's HRESULT, E_FAIL for a short write
    // or read, E_OUTOFMEMORY, E_INVALIDARG for bytes that are no list of
    // this form (a flag other than 0 or 1, a size beyond the largest list
    // this folder makes, elements that run past the size or do not end in
    // a zero size within it). A failed Load leaves the list as it was.
    HRESULT Save(IStream* stream) const;
    HRESULT Load(IStream* stream);

private:
    void free_base();

    LPITEMIDLIST base_ = nullptr;
    std::vector<PIDLDATA> items_;
};

// The largest list the stream forms accept: a base and over a thousand
// levels of records.
inline constexpr size_t max_item_id_list_bytes = 1 << 20;

namespace item_id_streams {

// Writes all the bytes: the stream's failure, or E_FAIL when it takes fewer.
HRESULT write_all(IStream* stream, const void* bytes, ULONG size);
// Reads exactly size bytes: the stream's failure, or E_FAIL when it ends
// first.
HRESULT read_all(IStream* stream, void* bytes, ULONG size);
// Reads a block of size bytes, at most max_item_id_list_bytes, into bytes:
// E_INVALIDARG for a larger size, E_OUTOFMEMORY, or read_all's failure.
HRESULT read_block(IStream* stream, uint32_t size, std::vector<BYTE>& bytes);

}  // namespace item_id_streams
