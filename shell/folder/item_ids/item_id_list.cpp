#include "folder/item_ids/item_id_list.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr size_t terminator_size = 3;

WORD element_size(const BYTE* at) {
    WORD size = 0;
    std::memcpy(&size, at, sizeof size);
    return size;
}

// The bytes of the elements, without the terminator.
size_t elements_size(LPCITEMIDLIST list) {
    if (!list) return 0;
    const auto* at = reinterpret_cast<const BYTE*>(list);
    size_t total = 0;
    for (WORD size; (size = element_size(at + total)) != 0;) total += size;
    return total;
}

struct task_memory_free {
    void operator()(void* block) const { CoTaskMemFree(block); }
};
using owned_list = std::unique_ptr<ITEMIDLIST, task_memory_free>;

// Decodes each element of the list (size bytes of elements) as a record.
bool decode(const BYTE* elements, size_t size, std::vector<PIDLDATA>& items) {
    std::vector<PIDLDATA> decoded;
    for (size_t at = 0; at < size;) {
        if (size - at < sizeof(WORD) || element_size(elements + at) != pidl_data_size ||
            size - at < pidl_data_size)
            return false;
        PIDLDATA item;
        std::memcpy(&item, elements + at, sizeof item);
        decoded.push_back(item);
        at += pidl_data_size;
    }
    items = std::move(decoded);
    return true;
}

}  // namespace

UINT GetPidlSize(LPCITEMIDLIST list) {
    return static_cast<UINT>(elements_size(list) + terminator_size);
}

LPITEMIDLIST CopyPidl(LPCITEMIDLIST list) {
    if (!list) return nullptr;
    const size_t size = elements_size(list);
    auto* copy = static_cast<BYTE*>(CoTaskMemAlloc(size + terminator_size));
    if (!copy) return nullptr;
    std::memcpy(copy, list, size);
    std::memset(copy + size, 0, terminator_size);
    return reinterpret_cast<LPITEMIDLIST>(copy);
}

CItemIdList::CItemIdList(LPCITEMIDLIST list, bool copy) {
    if (!list) return;
    if (copy) {
        base_ = CopyPidl(list);
        if (!base_) throw std::bad_alloc();
        return;
    }
    if (!decode(reinterpret_cast<const BYTE*>(list), elements_size(list), items_))
        throw invalid_item_id_list();
}

CItemIdList::CItemIdList(const PIDLDATA& item) : items_{item} {}

CItemIdList::CItemIdList(const CItemIdList& other) : items_(other.items_) {
    if (other.base_) {
        base_ = CopyPidl(other.base_);
        if (!base_) throw std::bad_alloc();
    }
}

CItemIdList& CItemIdList::operator=(const CItemIdList& other) {
    if (this == &other) return *this;
    LPITEMIDLIST copy = nullptr;
    if (other.base_) {
        copy = CopyPidl(other.base_);
        if (!copy) throw std::bad_alloc();
    }
    items_ = other.items_;
    free_base();
    base_ = copy;
    return *this;
}

CItemIdList::~CItemIdList() {
    free_base();
}

void CItemIdList::free_base() {
    CoTaskMemFree(base_);
    base_ = nullptr;
}

HRESULT CItemIdList::FromBytes(const void* bytes, size_t size, bool copy, CItemIdList& out) {
    const size_t list_size = win_shell::checked_id_list_size(bytes, size);
    if (list_size == 0) return E_INVALIDARG;
    const auto* elements = static_cast<const BYTE*>(bytes);
    const size_t elements_bytes = list_size - sizeof(WORD);
    CItemIdList made;
    if (copy) {
        made.base_ = CopyPidl(static_cast<LPCITEMIDLIST>(bytes));
        if (!made.base_) return E_OUTOFMEMORY;
    } else if (!decode(elements, elements_bytes, made.items_)) {
        return E_INVALIDARG;
    }
    std::swap(out.base_, made.base_);
    out.items_.swap(made.items_);
    return S_OK;
}

const PIDLDATA& CItemIdList::GetLastItem() const {
    if (items_.empty()) throw std::out_of_range("an item id list without records");
    return items_.back();
}

std::wstring CItemIdList::GetPath() const {
    std::wstring path;
    for (const PIDLDATA& item : items_) {
        if (!path.empty()) path += L'\\';
        path += pidl_name(item);
    }
    return path;
}

LPITEMIDLIST CItemIdList::CreatePidl() const {
    const size_t base_size = elements_size(base_);
    const size_t size = base_size + items_.size() * sizeof(PIDLDATA) + terminator_size;
    auto* list = static_cast<BYTE*>(CoTaskMemAlloc(size));
    if (!list) return nullptr;
    if (base_size) std::memcpy(list, base_, base_size);
    // Each record goes in with the size it has, whatever its size field
    // says, so the list walks as it is laid out.
    BYTE* at = list + base_size;
    for (PIDLDATA item : items_) {
        item.cb = pidl_data_size;
        std::memcpy(at, &item, sizeof item);
        at += sizeof item;
    }
    std::memset(list + size - terminator_size, 0, terminator_size);
    return reinterpret_cast<LPITEMIDLIST>(list);
}

bool CItemIdList::operator==(const CItemIdList& other) const {
    if ((base_ == nullptr) != (other.base_ == nullptr)) return false;
    if (base_) {
        const size_t size = elements_size(base_);
        if (size != elements_size(other.base_) || std::memcmp(base_, other.base_, size) != 0)
            return false;
    }
    return items_ == other.items_;
}

CItemIdList CItemIdList::operator+(const CItemIdList& other) const {
    CItemIdList sum(*this);
    sum += other;
    return sum;
}

CItemIdList& CItemIdList::operator+=(const CItemIdList& other) {
    if (!other.base_) items_.insert(items_.end(), other.items_.begin(), other.items_.end());
    return *this;
}

namespace item_id_streams {

HRESULT write_all(IStream* stream, const void* bytes, ULONG size) {
    ULONG written = 0;
    const HRESULT result = stream->Write(bytes, size, &written);
    if (FAILED(result)) return result;
    return written == size ? S_OK : E_FAIL;
}

HRESULT read_all(IStream* stream, void* bytes, ULONG size) {
    auto* at = static_cast<BYTE*>(bytes);
    for (ULONG done = 0; done < size;) {
        ULONG read = 0;
        const HRESULT result = stream->Read(at + done, size - done, &read);
        if (FAILED(result)) return result;
        if (read == 0) return E_FAIL;
        done += read;
    }
    return S_OK;
}

HRESULT read_block(IStream* stream, uint32_t size, std::vector<BYTE>& bytes) {
    if (size > max_item_id_list_bytes) return E_INVALIDARG;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return read_all(stream, bytes.data(), size);
}

}  // namespace item_id_streams

HRESULT CItemIdList::Save(IStream* stream) const {
    if (!stream) return E_POINTER;
    const owned_list list(CreatePidl());
    if (!list) return E_OUTOFMEMORY;
    const BYTE flag = base_ ? 1 : 0;
    const uint32_t size = GetPidlSize(list.get());
    HRESULT result = item_id_streams::write_all(stream, &flag, sizeof flag);
    if (SUCCEEDED(result)) result = item_id_streams::write_all(stream, &size, sizeof size);
    if (SUCCEEDED(result)) result = item_id_streams::write_all(stream, list.get(), size);
    return FAILED(result) ? result : S_OK;
}

HRESULT CItemIdList::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    BYTE flag = 0;
    uint32_t size = 0;
    HRESULT result = item_id_streams::read_all(stream, &flag, sizeof flag);
    if (SUCCEEDED(result)) result = item_id_streams::read_all(stream, &size, sizeof size);
    if (FAILED(result)) return result;
    if (flag > 1) return E_INVALIDARG;
    std::vector<BYTE> bytes;
    result = item_id_streams::read_block(stream, size, bytes);
    if (FAILED(result)) return result;
    return FromBytes(bytes.data(), bytes.size(), flag == 1, *this);
}
