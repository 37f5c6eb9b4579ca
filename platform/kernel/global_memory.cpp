// Global memory blocks over the C heap, with a table so that every handle is
// checked before use.
#include "win/global_memory.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

struct block {
    bool movable = false;
    void* data = nullptr;  // never null, even for 0 bytes, so fixed handles stay unique
    SIZE_T size = 0;
    unsigned locks = 0;
};

struct table {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::unique_ptr<block>> blocks;
};

table& the_table() {
    static table* t = new table;  // outlives static destructors of other units
    return *t;
}

constexpr UINT known_flags = GMEM_MOVEABLE | GMEM_ZEROINIT;

block* find(table& t, HGLOBAL memory) {
    auto it = t.blocks.find(reinterpret_cast<uintptr_t>(memory));
    if (it == t.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second.get();
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (flags & ~known_flags) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto b = std::make_unique<block>();
    b->movable = flags & GMEM_MOVEABLE;
    b->size = bytes;
    b->data =
        flags & GMEM_ZEROINIT ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
    if (!b->data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HGLOBAL handle = b->movable ? static_cast<HGLOBAL>(b.get()) : b->data;
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.blocks.emplace(reinterpret_cast<uintptr_t>(handle), std::move(b));
    return handle;
}

HGLOBAL GlobalReAlloc(HGLOBAL memory, SIZE_T bytes, UINT flags) {
    if (flags & ~known_flags) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    block* b = find(t, memory);
    if (!b) return nullptr;
    const bool may_move = (b->movable && b->locks == 0) || (flags & GMEM_MOVEABLE);
    if (!may_move && bytes > b->size) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (may_move) {
        void* moved = std::realloc(b->data, bytes ? bytes : 1);
        if (!moved) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        b->data = moved;
    }
    if ((flags & GMEM_ZEROINIT) && bytes > b->size)
        std::memset(static_cast<char*>(b->data) + b->size, 0, bytes - b->size);
    b->size = bytes;
    if (b->movable) return memory;
    // A fixed block's handle is its address, which may have changed.
    auto node = t.blocks.extract(reinterpret_cast<uintptr_t>(memory));
    node.key() = reinterpret_cast<uintptr_t>(b->data);
    t.blocks.insert(std::move(node));
    return b->data;
}

LPVOID GlobalLock(HGLOBAL memory) {
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    block* b = find(t, memory);
    if (!b) return nullptr;
    if (b->movable) ++b->locks;
    return b->size || !b->movable ? b->data : nullptr;
}

BOOL GlobalUnlock(HGLOBAL memory) {
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    block* b = find(t, memory);
    if (!b) return FALSE;
    if (!b->movable || b->locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--b->locks > 0) return TRUE;
    SetLastError(NO_ERROR);
    return FALSE;
}

SIZE_T GlobalSize(HGLOBAL memory) {
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    block* b = find(t, memory);
    return b ? b->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.blocks.find(reinterpret_cast<uintptr_t>(memory));
    if (it == t.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    std::free(it->second->data);
    t.blocks.erase(it);
    return nullptr;
}
