// A stream over bytes in memory for tests of code that persists itself:
// its reads and writes can be made to fail, or to stop short, after a
// number of bytes. It lives as long as its owner (a test's local): its
// reference count is only kept, so a test can see that the code under test
// released every reference it took.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "win/com.h"

namespace win_test {

class test_stream final : public IStream {
public:
    test_stream() = default;
    explicit test_stream(std::vector<BYTE> initial) : bytes(std::move(initial)) {}
    test_stream(const test_stream&) = delete;
    test_stream& operator=(const test_stream&) = delete;

    std::vector<BYTE> bytes;
    size_t position = 0;

    // After that many bytes in all, Read fails with fault / returns what it
    // has with S_OK but no more; the same for Write.
    std::optional<size_t> fail_read_after, short_read_after;
    std::optional<size_t> fail_write_after, short_write_after;
    HRESULT read_fault = STG_E_READFAULT;
    HRESULT write_fault = STG_E_WRITEFAULT;

    size_t bytes_read = 0;
    size_t bytes_written = 0;
    ULONG references() const { return references_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_ISequentialStream && iid != IID_IStream) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        if (read) *read = 0;
        if (!buffer && size) return STG_E_INVALIDPOINTER;
        size_t allowed = size;
        if (fail_read_after && bytes_read + size > *fail_read_after) return read_fault;
        if (short_read_after)
            allowed =
                std::min(allowed, *short_read_after - std::min(*short_read_after, bytes_read));
        const size_t available = position < bytes.size() ? bytes.size() - position : 0;
        const size_t count = std::min(allowed, available);
        if (count) std::memcpy(buffer, bytes.data() + position, count);
        position += count;
        bytes_read += count;
        if (read) *read = static_cast<ULONG>(count);
        return count < size ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) override {
        if (written) *written = 0;
        if (!buffer && size) return STG_E_INVALIDPOINTER;
        if (fail_write_after && bytes_written + size > *fail_write_after) return write_fault;
        size_t count = size;
        if (short_write_after)
            count =
                std::min(count, *short_write_after - std::min(*short_write_after, bytes_written));
        if (position + count > bytes.size()) bytes.resize(position + count);
        if (count) std::memcpy(bytes.data() + position, buffer, count);
        position += count;
        bytes_written += count;
        if (written) *written = static_cast<ULONG>(count);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* new_position) override {
        long long base = origin == STREAM_SEEK_SET   ? 0
                         : origin == STREAM_SEEK_CUR ? static_cast<long long>(position)
                         : origin == STREAM_SEEK_END ? static_cast<long long>(bytes.size())
                                                     : -1;
        if (base < 0) return STG_E_INVALIDFUNCTION;
        const long long target = base + move.QuadPart;
        if (target < 0) return STG_E_INVALIDFUNCTION;
        position = static_cast<size_t>(target);
        if (new_position) new_position->QuadPart = position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* statistics, DWORD) override {
        if (!statistics) return STG_E_INVALIDPOINTER;
        *statistics = STATSTG{};
        statistics->type = STGTY_STREAM;
        statistics->cbSize.QuadPart = bytes.size();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override {
        if (copy) *copy = nullptr;
        return E_NOTIMPL;
    }

private:
    ULONG references_ = 0;
};

}  // namespace win_test
