#include "win/shell_thread.h"
#include "com/com_internal.h"
#include "com/counted_object.h"
#include "com_apartment.h"

#include <dlfcn.h>

#include <atomic>
#include <functional>
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
    void* library;        // the procedure's module held loaded, or null
    HANDLE callback_done;
};

std::mutex& hook_lock() {
    static std::mutex lock;
    return lock;
}

std::function<void()>& start_hook() {
    static std::function<void()> hook;
    return hook;
}

// Another reference to the loaded module that holds the code at address.
void* hold_module_of(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) return nullptr;
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

DWORD WINAPI run_thread(LPVOID parameter) {
    std::unique_ptr<thread_start> start(static_cast<thread_start*>(parameter));
    const bool com = start->flags & CTF_COINIT;
    if (com) CoInitialize(nullptr);
    if (start->callback) start->callback(start->data);
    SetEvent(start->callback_done);
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(hook_lock());
        hook = start_hook();
    }
    if (hook) hook();
    const DWORD result = start->procedure(start->data);
    if (com) CoUninitialize();
    if (start->library) dlclose(start->library);
    if (start->reference) start->reference->Release();
    return result;
}

// The hand-over: a stream that carries one reference and, for an object of
// a single-threaded apartment, that apartment.
class handover_stream final
    : public win_platform::counted_object<IStream, IID_IStream, IID_ISequentialStream> {
public:
    handover_stream(IUnknown* object, REFIID iid, win_com::apartment_ptr owner)
        : object_(object), iid_(iid), owner_(std::move(owner)) {
        object_->AddRef();
    }
    ~handover_stream() {
        if (object_) release_in_apartment(object_);
    }

    // The object, its reference passed to the caller.
    IUnknown* take() {
        IUnknown* object = object_;
        object_ = nullptr;
        return object;
    }
    const IID& iid() const { return iid_; }
    const win_com::apartment_ptr& owner() const { return owner_; }

    void release_in_apartment(IUnknown* object) const {
        if (!owner_) {
            object->Release();
            return;
        }
        win_com::call_in(owner_, [object] {
            object->Release();
            return S_OK;
        });
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
    const IID iid_;
    const win_com::apartment_ptr owner_;
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
    start->library = (flags & CTF_FREELIBANDEXIT)
                         ? hold_module_of(reinterpret_cast<const void*>(procedure))
                         : nullptr;
    void* library = start->library;
    start->callback_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE done = start->callback_done;
    IUnknown* reference = start->reference;
    const HANDLE thread = CreateThread(nullptr, 0, run_thread, start.get(), 0, nullptr);
    if (!thread) {
        if (library) dlclose(library);
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
    if (!win_com::thread_initialized()) return CO_E_NOTINITIALIZED;
    IUnknown* answered = nullptr;
    const HRESULT result = object->QueryInterface(iid, reinterpret_cast<void**>(&answered));
    if (FAILED(result)) return result;
    // An object of a multithreaded thread is free-threaded: its pointer
    // serves every thread as it is.
    *stream = new handover_stream(answered, iid, win_com::current_apartment());
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
    if (!win_com::thread_initialized()) {
        stream->Release();
        return CO_E_NOTINITIALIZED;
    }
    const win_com::apartment_ptr owner = handover->owner();
    const IID carried = handover->iid();
    IUnknown* held = handover->take();
    stream->Release();
    if (!held) return E_UNEXPECTED;
    if (!owner || win_com::runs_here(owner)) {
        const HRESULT result = held->QueryInterface(iid, object);
        held->Release();
        return result;
    }
    // Another apartment's object: a proxy for the interface carried, then
    // asked for the one wanted.
    IUnknown* forwarding = nullptr;
    HRESULT result =
        win_com::make_proxy(owner, held, carried, reinterpret_cast<void**>(&forwarding));
    if (FAILED(result)) return result;
    result = forwarding->QueryInterface(iid, object);
    forwarding->Release();
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

void set_worker_start_hook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(hook_lock());
    start_hook() = std::move(hook);
}

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
