// Streams over global memory blocks.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

#include "counted_object.h"
#include "win/com.h"
#include "win/global_memory.h"

namespace {

// The block and the stream's size, shared by a stream and its clones.
struct shared_block {
    std::mutex lock;
    HGLOBAL memory = nullptr;
    ULONGLONG size = 0;
    bool delete_on_release = false;

    ~shared_block() {
        if (delete_on_release) GlobalFree(memory);
    }

    // Makes the block hold at least size bytes.
    bool reserve(ULONGLONG wanted) {
        if (wanted <= GlobalSize(memory)) return true;
        if (wanted > SIZE_T(-1) / 2) return false;
        return GlobalReAlloc(memory, static_cast<SIZE_T>(wanted), GMEM_MOVEABLE) != nullptr;
    }
};

class global_stream final
    : public win_platform::counted_object<IStream, IID_ISequentialStream, IID_IStream> {
public:
    explicit global_stream(std::shared_ptr<shared_block> block) : block_(std::move(block)) {}

    HGLOBAL memory() const { return block_->memory; }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        if (read) *read = 0;
        if (!buffer && size) return STG_E_INVALIDPOINTER;
        std::lock_guard<std::mutex> guard(block_->lock);
        const ULONGLONG available = position_ < block_->size ? block_->size - position_ : 0;
        const ULONG count = static_cast<ULONG>(std::min<ULONGLONG>(size, available));
        if (count) {
            const char* data = static_cast<const char*>(GlobalLock(block_->memory));
            std::memcpy(buffer, data + position_, count);
            GlobalUnlock(block_->memory);
        }
        position_ += count;
        if (read) *read = count;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) override {
        if (written) *written = 0;
        if (!buffer && size) return STG_E_INVALIDPOINTER;
        std::lock_guard<std::mutex> guard(block_->lock);
        if (!block_->reserve(position_ + size)) return STG_E_MEDIUMFULL;
        char* data = static_cast<char*>(GlobalLock(block_->memory));
        // A write past the end leaves zeros in the gap, never old heap bytes.
        if (position_ > block_->size) std::memset(data + block_->size, 0, position_ - block_->size);
        if (size) std::memcpy(data + position_, buffer, size);
        GlobalUnlock(block_->memory);
        position_ += size;
        block_->size = std::max(block_->size, position_);
        if (written) *written = size;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* position) override {
        std::lock_guard<std::mutex> guard(block_->lock);
        LONGLONG base = 0;
        switch (origin) {
            case STREAM_SEEK_SET:
                base = 0;
                break;
            case STREAM_SEEK_CUR:
                base = static_cast<LONGLONG>(position_);
                break;
            case STREAM_SEEK_END:
                base = static_cast<LONGLONG>(block_->size);
                break;
            default:
                return STG_E_INVALIDFUNCTION;
        }
        const LONGLONG target = base + move.QuadPart;
        if (target < 0) return STG_E_INVALIDFUNCTION;
        position_ = static_cast<ULONGLONG>(target);
        if (position) position->QuadPart = position_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
        std::lock_guard<std::mutex> guard(block_->lock);
        if (!block_->reserve(size.QuadPart)) return STG_E_MEDIUMFULL;
        if (size.QuadPart > block_->size) {
            char* data = static_cast<char*>(GlobalLock(block_->memory));
            std::memset(data + block_->size, 0, size.QuadPart - block_->size);
            GlobalUnlock(block_->memory);
        }
        block_->size = size.QuadPart;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override {
        if (!target) return STG_E_INVALIDPOINTER;
        ULONGLONG total_read = 0, total_written = 0;
        char chunk[4096];
        HRESULT result = S_OK;
        while (total_read < size.QuadPart) {
            ULONG got = 0;
            const ULONG wanted =
                static_cast<ULONG>(std::min<ULONGLONG>(sizeof chunk, size.QuadPart - total_read));
            result = Read(chunk, wanted, &got);
            if (FAILED(result) || got == 0) break;
            total_read += got;
            ULONG put = 0;
            result = target->Write(chunk, got, &put);
            total_written += put;
            if (FAILED(result)) break;
        }
        if (read) read->QuadPart = total_read;
        if (written) written->QuadPart = total_written;
        return FAILED(result) ? result : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }

    HRESULT STDMETHODCALLTYPE Stat(STATSTG* statistics, DWORD) override {
        if (!statistics) return STG_E_INVALIDPOINTER;
        std::lock_guard<std::mutex> guard(block_->lock);
        *statistics = STATSTG{};
        statistics->type = STGTY_STREAM;
        statistics->cbSize.QuadPart = block_->size;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override {
        if (!copy) return STG_E_INVALIDPOINTER;
        auto* clone = new global_stream(block_);
        clone->position_ = position_;
        *copy = clone;
        return S_OK;
    }

private:
    ~global_stream() = default;

    std::shared_ptr<shared_block> block_;
    ULONGLONG position_ = 0;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HANDLE global, BOOL delete_on_release, LPSTREAM* stream) {
    if (!stream) return E_INVALIDARG;
    *stream = nullptr;
    if (global) {
        SetLastError(ERROR_SUCCESS);
        if (GlobalSize(global) == 0 && GetLastError() == ERROR_INVALID_HANDLE) return E_INVALIDARG;
    }
    auto block = std::make_shared<shared_block>();
    block->memory = global ? global : GlobalAlloc(GMEM_MOVEABLE, 0);
    if (!block->memory) return E_OUTOFMEMORY;
    block->size = GlobalSize(block->memory);
    block->delete_on_release = delete_on_release;
    *stream = new global_stream(std::move(block));
    return S_OK;
}

HRESULT GetHGlobalFromStream(LPSTREAM stream, HANDLE* global) {
    auto* ours = dynamic_cast<global_stream*>(stream);
    if (!ours || !global) return E_INVALIDARG;
    *global = ours->memory();
    return S_OK;
}
