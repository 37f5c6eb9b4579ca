// An ordered array of whole item id lists that owns them: the selection a
// data object carries.
#pragma once

#include "folder/item_ids/item_id_list.h"

class CPidlArray {
public:
    CPidlArray() = default;
    ~CPidlArray() { RemoveAll(); }
    CPidlArray(const CPidlArray&) = delete;
    CPidlArray& operator=(const CPidlArray&) = delete;

    // Clears, then adds a task-allocated copy of each list; E_OUTOFMEMORY
    // when a copy cannot be made, E_INVALIDARG for a null list (the lists
    // copied so far stay).
    HRESULT Assign(const LPCITEMIDLIST* lists, UINT count);
    // Takes ownership of a task-allocated list; false (the list not taken)
    // when the array cannot grow.
    bool Add(LPITEMIDLIST list);
    UINT GetSize() const { return count_; }
    // Throws std::out_of_range outside 0 to GetSize() - 1.
    LPITEMIDLIST operator[](UINT index) const;
    void RemoveAll();

    // u32 count, then each list as u32 GetPidlSize and its bytes.
    // Failures: the stream's HRESULT, E_FAIL for a short write or read.
    HRESULT SaveToStream(IStream* stream) const;
    // Adds each list read. Failures also: E_INVALIDARG for a list that is
    // larger than any this folder makes or does not end inside its size,
    // E_OUTOFMEMORY; the lists read before a failure stay.
    HRESULT LoadFromStream(IStream* stream);

    // Capacity doubles from 1 and stops here.
    static constexpr UINT max_lists = 0x1FFFFFFF;

private:
    LPITEMIDLIST* lists_ = nullptr;
    UINT count_ = 0;
    UINT capacity_ = 0;
};
