// File mappings backed by the page file: the data part of the object's
// memory. A view is an address inside the one mapping this process has of
// the object, and keeps the object alive until it is unmapped.

#include <mutex>
#include <unordered_map>
#include <vector>

#include "handle_table.h"
#include "kernel_memory.h"
#include "win/kernel.h"

namespace {

using win_kernel::object_kind;
using win_kernel::object_memory;

class mapping_object : public win_detail::kernel_object {
public:
    explicit mapping_object(std::shared_ptr<object_memory> memory) : memory_(std::move(memory)) {}

    const std::shared_ptr<object_memory>& memory() const { return memory_; }

private:
    std::shared_ptr<object_memory> memory_;
};

// The process's views by address. Two views of the same range share an
// address; each unmap releases one of them.
struct view_table {
    std::mutex lock;
    std::unordered_map<const void*, std::vector<std::shared_ptr<object_memory>>> views;
};

view_table& views() {
    static view_table* table = new view_table;  // outlives static destructors
    return *table;
}

uint64_t join(DWORD high, DWORD low) {
    return (uint64_t{high} << 32) | low;
}

}  // namespace

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect,
                          DWORD maximum_size_high, DWORD maximum_size_low, LPCWSTR name) {
    if (file != INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    const DWORD page_protection = protect & 0xFFu;
    const uint64_t size = join(maximum_size_high, maximum_size_low);
    if ((page_protection != PAGE_READWRITE && page_protection != PAGE_READONLY) || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const win_kernel::created_object created =
        win_kernel::create_object(name, object_kind::mapping, size, nullptr);
    if (!created.memory) return nullptr;
    HANDLE handle = win_detail::register_handle(std::make_shared<mapping_object>(created.memory));
    SetLastError(created.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

HANDLE OpenFileMappingW(DWORD, BOOL, LPCWSTR name) {
    auto memory = win_kernel::open_object(name, object_kind::mapping);
    if (!memory) return nullptr;
    return win_detail::register_handle(std::make_shared<mapping_object>(std::move(memory)));
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD desired_access, DWORD offset_high, DWORD offset_low,
                     SIZE_T bytes) {
    const auto object = win_detail::lookup_handle_as<mapping_object>(mapping);
    if (!object) return nullptr;
    if (desired_access == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::shared_ptr<object_memory>& memory = object->memory();
    const uint64_t offset = join(offset_high, offset_low);
    const uint64_t size = memory->data_size();
    if (offset >= size || bytes > size - offset) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    std::byte* address = memory->data() + offset;
    view_table& table = views();
    std::lock_guard<std::mutex> guard(table.lock);
    table.views[address].push_back(memory);
    return address;
}

BOOL UnmapViewOfFile(LPCVOID base_address) {
    std::shared_ptr<object_memory> released;  // may unmap: done after the lock
    view_table& table = views();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.views.find(base_address);
    if (it == table.views.end()) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    released = std::move(it->second.back());
    it->second.pop_back();
    if (it->second.empty()) table.views.erase(it);
    return TRUE;
}
