#include "folder/item_ids/pidl_array.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <vector>

HRESULT CPidlArray::Assign(const LPCITEMIDLIST* lists, UINT count) {
    RemoveAll();
    if (count && !lists) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) {
        if (!lists[i]) return E_INVALIDARG;
        LPITEMIDLIST copy = CopyPidl(lists[i]);
        if (!copy) return E_OUTOFMEMORY;
        if (!Add(copy)) {
            CoTaskMemFree(copy);
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

bool CPidlArray::Add(LPITEMIDLIST list) {
    if (count_ == capacity_) {
        if (capacity_ >= max_lists) return false;
        const UINT grown = capacity_ == 0 ? 1 : std::min<UINT>(capacity_ * 2, max_lists);
        auto* larger = static_cast<LPITEMIDLIST*>(std::realloc(lists_, grown * sizeof *lists_));
        if (!larger) return false;
        lists_ = larger;
        capacity_ = grown;
    }
    lists_[count_++] = list;
    return true;
}

LPITEMIDLIST CPidlArray::operator[](UINT index) const {
    if (index >= count_) throw std::out_of_range("item id list index outside the array");
    return lists_[index];
}

void CPidlArray::RemoveAll() {
    for (UINT i = 0; i < count_; ++i) CoTaskMemFree(lists_[i]);
    std::free(lists_);
    lists_ = nullptr;
    count_ = capacity_ = 0;
}

HRESULT CPidlArray::SaveToStream(IStream* stream) const {
    if (!stream) return E_POINTER;
    HRESULT result = item_id_streams::write_all(stream, &count_, sizeof count_);
    for (UINT i = 0; i < count_ && SUCCEEDED(result); ++i) {
        // The list's own elements and this folder's terminator, whatever
        // terminator the list was given with.
        const uint32_t size = GetPidlSize(lists_[i]);
        const BYTE terminator[3] = {};
        result = item_id_streams::write_all(stream, &size, sizeof size);
        if (SUCCEEDED(result))
            result = item_id_streams::write_all(stream, lists_[i], size - sizeof terminator);
        if (SUCCEEDED(result))
            result = item_id_streams::write_all(stream, terminator, sizeof terminator);
    }
    return FAILED(result) ? result : S_OK;
}

HRESULT CPidlArray::LoadFromStream(IStream* stream) {
    if (!stream) return E_POINTER;
    uint32_t count = 0;
    HRESULT result = item_id_streams::read_all(stream, &count, sizeof count);
    if (FAILED(result)) return result;
    if (count > max_lists) return E_INVALIDARG;
    std::vector<BYTE> bytes;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t size = 0;
        result = item_id_streams::read_all(stream, &size, sizeof size);
        if (FAILED(result)) return result;
        result = item_id_streams::read_block(stream, size, bytes);
        if (FAILED(result)) return result;
        if (win_shell::checked_id_list_size(bytes.data(), bytes.size()) == 0) return E_INVALIDARG;
        LPITEMIDLIST list = CopyPidl(reinterpret_cast<LPCITEMIDLIST>(bytes.data()));
        if (!list) return E_OUTOFMEMORY;
        if (!Add(list)) {
            CoTaskMemFree(list);
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}
