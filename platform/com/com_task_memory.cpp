// The task allocator: blocks that cross interfaces and are freed by their
// receiver. The allocator knows every block it handed out, so it can answer
// GetSize and DidAlloc for any pointer, tests can count the blocks still
// alive, and freeing a block twice (or one it never made) stops the program
// at once instead of corrupting memory.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "com_internal.h"
#include "win/com.h"

namespace {

struct block_table {
    std::mutex lock;
    std::unordered_map<void*, SIZE_T> sizes;
};

block_table& blocks() {
    static auto* t = new block_table;  // used until the process ends
    return *t;
}

// malloc(0) may answer null; a block of 0 bytes is still a block.
void* allocate(SIZE_T size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) return nullptr;
    std::lock_guard<std::mutex> guard(blocks().lock);
    blocks().sizes[block] = size;
    return block;
}

[[noreturn]] void foreign_block(const char* call, void* block) {
    std::fprintf(stderr, "%s: %p is no live block of the task allocator\n", call, block);
    std::abort();
}

void release(void* block) {
    if (!block) return;
    {
        std::lock_guard<std::mutex> guard(blocks().lock);
        if (blocks().sizes.erase(block) == 0) foreign_block("CoTaskMemFree", block);
    }
    std::free(block);
}

void* reallocate(void* block, SIZE_T size) {
    if (!block) return allocate(size);
    if (size == 0) {
        release(block);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(blocks().lock);
    auto found = blocks().sizes.find(block);
    if (found == blocks().sizes.end()) foreign_block("CoTaskMemRealloc", block);
    void* moved = std::realloc(block, size);
    if (!moved) return nullptr;  // the old block stays as it was
    blocks().sizes.erase(found);
    blocks().sizes[moved] = size;
    return moved;
}

class task_allocator final : public IMalloc {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IMalloc) {
            *object = static_cast<IMalloc*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // One allocator for the process, never freed.
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    void* STDMETHODCALLTYPE Alloc(SIZE_T size) override { return allocate(size); }
    void* STDMETHODCALLTYPE Realloc(void* block, SIZE_T size) override {
        return reallocate(block, size);
    }
    void STDMETHODCALLTYPE Free(void* block) override { release(block); }
    SIZE_T STDMETHODCALLTYPE GetSize(void* block) override {
        std::lock_guard<std::mutex> guard(blocks().lock);
        const auto found = blocks().sizes.find(block);
        return found == blocks().sizes.end() ? static_cast<SIZE_T>(-1) : found->second;
    }
    int STDMETHODCALLTYPE DidAlloc(void* block) override {
        std::lock_guard<std::mutex> guard(blocks().lock);
        return blocks().sizes.count(block) ? 1 : 0;
    }
    void STDMETHODCALLTYPE HeapMinimize() override {}
};

task_allocator the_allocator;

}  // namespace

LPVOID CoTaskMemAlloc(SIZE_T size) {
    return allocate(size);
}

LPVOID CoTaskMemRealloc(LPVOID block, SIZE_T size) {
    return reallocate(block, size);
}

void CoTaskMemFree(LPVOID block) {
    release(block);
}

HRESULT CoGetMalloc(DWORD context, LPMALLOC* allocator) {
    if (!allocator) return E_INVALIDARG;
    *allocator = nullptr;
    if (context != MEMCTX_TASK) return E_INVALIDARG;
    *allocator = &the_allocator;
    return S_OK;
}

long win_com::live_task_blocks() {
    std::lock_guard<std::mutex> guard(blocks().lock);
    return static_cast<long>(blocks().sizes.size());
}
