#include "win/shell_thread.h"
#include "com/counted_object.h"

#include <atomic>
#include <memory>

#include "system_objects.h"

namespace {

struct instance_reference {
    std::mutex lock;
    IUnknown* reference = nullptr;
};

instance_reference& instance() {
    static instance_reference value;
    return value;
}

struct thread_start {
    LPTHREAD_START_ROUTINE procedure;
    LPTHREAD_START_ROUTINE callback;
    void* data;
    DWORD flags;
    IUnknown* reference;  // held for the thread, or null
    HANDLE callback_done;
};

DWORD WINAPI run_thread(LPVOID parameter) {
    std::unique_ptr<thread_start> start(static_cast<thread_start*>(parameter));
    const bool com = start->flags & CTF_COINIT;
    if (com) CoInitialize(nullptr);
    if (start->callback) start->callback(start->data);
    SetEvent(start->callback_done);
    const DWORD result = start->procedure(start->data);
    if (com) CoUninitialize();
    if (start->reference) start->reference->Release();
    return result;
}

// The hand-over: a stream that only carries one reference.
class handover_stream final
    : public win_platform::counted_object<IStream, IID_IStream, IID_ISequentialStream> {
public:
    handover_stream(IUnknown* object) : object_(object) { object_->AddRef(); }
    ~handover_stream() {
        if (object_) object_->Release();
    }

    // The object, its reference passed to the caller.
    IUnknown* take() {
        IUnknown* object = object_;
        object_ = nullptr;
        return object;
    }

    HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    IUnknown* object_;
};

class drop_target_helper final
    : public win_platform::counted_object<IDropTargetHelper, IID_IDropTargetHelper> {
public:
    HRESULT STDMETHODCALLTYPE DragEnter(HWND, IDataObject*, POINT*, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DragOver(POINT*, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject*, POINT*, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Show(BOOL) override { return S_OK; }

private:
};

}  // namespace

void SHSetInstanceExplorer(IUnknown* reference) {
    std::lock_guard<std::mutex> guard(instance().lock);
    instance().reference = reference;
}

HRESULT SHGetInstanceExplorer(IUnknown** reference) {
    if (!reference) return E_POINTER;
    std::lock_guard<std::mutex> guard(instance().lock);
    *reference = instance().reference;
    if (!*reference) return E_FAIL;
    (*reference)->AddRef();
    return S_OK;
}

BOOL SHCreateThread(LPTHREAD_START_ROUTINE procedure, void* data, DWORD flags,
                    LPTHREAD_START_ROUTINE callback) {
    if (!procedure) return FALSE;
    auto start = std::make_unique<thread_start>();
    start->procedure = procedure;
    start->callback = callback;
    start->data = data;
    start->flags = flags;
    start->reference = nullptr;
    if (flags & CTF_PROCESS_REF) SHGetInstanceExplorer(&start->reference);
    start->callback_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE done = start->callback_done;
    IUnknown* reference = start->reference;
    const HANDLE thread = CreateThread(nullptr, 0, run_thread, start.get(), 0, nullptr);
    if (!thread) {
        if (reference) reference->Release();
        CloseHandle(done);
        if (flags & CTF_INSIST) {
            procedure(data);
            return TRUE;
        }
        return FALSE;
    }
    start.release();
    WaitForSingleObject(done, INFINITE);
    CloseHandle(done);
    CloseHandle(thread);
    return TRUE;
}

HRESULT CoMarshalInterThreadInterfaceInStream(REFIID iid, IUnknown* object, IStream** stream) {
    if (!stream) return E_INVALIDARG;
    *stream = nullptr;
    if (!object) return E_INVALIDARG;
    IUnknown* answered = nullptr;
    const HRESULT result = object->QueryInterface(iid, reinterpret_cast<void**>(&answered));
    if (FAILED(result)) return result;
    *stream = new handover_stream(answered);
    answered->Release();
    return S_OK;
}

HRESULT CoGetInterfaceAndReleaseStream(IStream* stream, REFIID iid, void** object) {
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    if (!stream) return E_INVALIDARG;
    auto* handover = dynamic_cast<handover_stream*>(stream);
    if (!handover) {
        stream->Release();
        return E_INVALIDARG;
    }
    IUnknown* held = handover->take();
    stream->Release();
    if (!held) return E_UNEXPECTED;
    const HRESULT result = held->QueryInterface(iid, object);
    held->Release();
    return result;
}

namespace win_com {

HRESULT create_helper_object(REFCLSID clsid, REFIID iid, void** object) {
    if (clsid != CLSID_DragDropHelper) return REGDB_E_CLASSNOTREG;
    auto* helper = new drop_target_helper;
    const HRESULT result = helper->QueryInterface(iid, object);
    helper->Release();
    return result;
}

}  // namespace win_com

namespace win_test {

HRESULT STDMETHODCALLTYPE process_reference::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = iid == IID_IUnknown ? this : nullptr;
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE process_reference::AddRef() {
    std::lock_guard<std::mutex> guard(lock_);
    return ++references_;
}

ULONG STDMETHODCALLTYPE process_reference::Release() {
    std::lock_guard<std::mutex> guard(lock_);
    const ULONG left = references_ > 0 ? --references_ : 0;
    changed_.notify_all();
    return left;
}

ULONG process_reference::held() const {
    std::lock_guard<std::mutex> guard(lock_);
    return references_ > 0 ? references_ - 1 : 0;
}

bool process_reference::wait_until_released(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return references_ <= 1; });
}

}  // namespace win_test
