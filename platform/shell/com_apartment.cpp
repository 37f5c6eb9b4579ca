// The apartments of single-threaded COM threads: each has a hidden window
// on its thread, and a call from another thread is a message sent to that
// window, so it runs only when the owner retrieves messages.
#include "com_apartment.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "com/com_internal.h"
#include "win/async_operation.h"
#include "win/data_object.h"
#include "win/kernel.h"
#include "win/user.h"

namespace win_com {

// References an apartment holds for one proxy, one per interface asked for;
// released on the apartment's thread when the proxy goes or the apartment
// ends, whichever comes first.
struct stub {
    std::mutex lock;
    std::vector<std::pair<IID, void*>> interfaces;
    bool released = false;

    void release_all() {
        std::vector<std::pair<IID, void*>> held;
        {
            std::lock_guard<std::mutex> guard(lock);
            held.swap(interfaces);
            released = true;
        }
        for (const auto& entry : held) static_cast<IUnknown*>(entry.second)->Release();
    }
};
using stub_ptr = std::shared_ptr<stub>;

class apartment {
public:
    explicit apartment(HWND window) : window(window) {}

    const HWND window;
    std::mutex lock;
    bool alive = true;
    std::vector<stub_ptr> stubs;
};

namespace {

constexpr wchar_t window_class[] = L"OleApartmentWindow";
constexpr UINT call_message = WM_USER + 0x0C0;

struct pending_call {
    const std::function<HRESULT()>* call;
    HRESULT result = RPC_E_DISCONNECTED;
    bool done = false;
};

LRESULT CALLBACK apartment_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != call_message) return DefWindowProcW(window, message, wparam, lparam);
    auto* pending = reinterpret_cast<pending_call*>(lparam);
    try {
        pending->result = (*pending->call)();
    } catch (...) {
        pending->result = RPC_E_SERVERFAULT;
    }
    pending->done = true;
    return 0;
}

void register_window_class() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSW description{};
        description.lpfnWndProc = apartment_procedure;
        description.lpszClassName = window_class;
        RegisterClassW(&description);
    });
}

thread_local apartment_ptr thread_apartment;

void forget_stub(apartment& owner, const stub_ptr& gone) {
    std::lock_guard<std::mutex> guard(owner.lock);
    owner.stubs.erase(std::remove(owner.stubs.begin(), owner.stubs.end(), gone), owner.stubs.end());
}

// The forwarding object: one proxy answers each interface it forwards
// that the object answers, asking the object in its apartment the first
// time.
class proxy final : public IDataObject,
                    public IAsyncOperation,
                    public IStream,
                    public IEnumFORMATETC {
public:
    proxy(apartment_ptr owner, stub_ptr held) : owner_(std::move(owner)), stub_(std::move(held)) {}
    proxy(const proxy&) = delete;
    proxy& operator=(const proxy&) = delete;

    static bool forwards(REFIID iid) {
        return iid == IID_IUnknown || iid == IID_IDataObject || iid == IID_IAsyncOperation ||
               iid == IID_IStream || iid == IID_ISequentialStream || iid == IID_IEnumFORMATETC;
    }

    // The proxy's pointer for an interface it has a reference for.
    void* pointer_for(REFIID iid) {
        if (iid == IID_IUnknown) return static_cast<IUnknown*>(static_cast<IDataObject*>(this));
        if (iid == IID_IDataObject) return static_cast<IDataObject*>(this);
        if (iid == IID_IAsyncOperation) return static_cast<IAsyncOperation*>(this);
        if (iid == IID_IStream || iid == IID_ISequentialStream) return static_cast<IStream*>(this);
        if (iid == IID_IEnumFORMATETC) return static_cast<IEnumFORMATETC*>(this);
        return nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!forwards(iid)) return E_NOINTERFACE;
        if (iid != IID_IUnknown && !held(iid)) {
            void* answered = nullptr;
            void* any = first_held();
            if (!any) return RPC_E_DISCONNECTED;
            const HRESULT result = call_in(owner_, [&] {
                return static_cast<IUnknown*>(any)->QueryInterface(iid, &answered);
            });
            if (FAILED(result)) return result;
            if (!keep(iid, answered)) return RPC_E_DISCONNECTED;
        }
        *object = pointer_for(iid);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            // Released in the apartment, the caller waiting as for any call;
            // an ended apartment has released them already.
            const stub_ptr held = stub_;
            const apartment_ptr owner = owner_;
            call_in(owner, [&] {
                forget_stub(*owner, held);
                held->release_all();
                return S_OK;
            });
            delete this;
        }
        return left;
    }

    // IDataObject.
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!medium)
            return forward<IDataObject>(IID_IDataObject, &IDataObject::GetData, format, medium);
        STGMEDIUM got{};
        const HRESULT result =
            forward<IDataObject>(IID_IDataObject, &IDataObject::GetData, format, &got);
        *medium = STGMEDIUM{};
        if (FAILED(result)) return result;
        const HRESULT carried = carry_medium(got, *medium);
        return FAILED(carried) ? carried : result;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override {
        // The medium would be the caller's, filled in another apartment.
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return forward<IDataObject>(IID_IDataObject, &IDataObject::QueryGetData, format);
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override {
        return forward<IDataObject>(IID_IDataObject, &IDataObject::GetCanonicalFormatEtc, in, out);
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override {
        // Media that carry interfaces of the caller's apartment are not
        // carried into the owner's; memory handles are the process's.
        if (medium && (medium->pUnkForRelease || medium->tymed == TYMED_ISTREAM ||
                       medium->tymed == TYMED_ISTORAGE))
            return DV_E_TYMED;
        return forward<IDataObject>(IID_IDataObject, &IDataObject::SetData, format, medium,
                                    release);
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        IEnumFORMATETC* got = nullptr;
        const HRESULT result =
            forward<IDataObject>(IID_IDataObject, &IDataObject::EnumFormatEtc, direction, &got);
        if (FAILED(result) || !got) return result;
        const HRESULT made =
            make_proxy(owner_, got, IID_IEnumFORMATETC, reinterpret_cast<void**>(out));
        return FAILED(made) ? made : result;
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;  // sinks are not carried across apartments
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

    // IAsyncOperation. Bind contexts are the caller's objects and are not
    // carried.
    HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL asynchronous) override {
        return forward<IAsyncOperation>(IID_IAsyncOperation, &IAsyncOperation::SetAsyncMode,
                                        asynchronous);
    }
    HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* asynchronous) override {
        return forward<IAsyncOperation>(IID_IAsyncOperation, &IAsyncOperation::GetAsyncMode,
                                        asynchronous);
    }
    HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx* context) override {
        if (context) return E_INVALIDARG;
        return forward<IAsyncOperation>(IID_IAsyncOperation, &IAsyncOperation::StartOperation,
                                        context);
    }
    HRESULT STDMETHODCALLTYPE InOperation(BOOL* in_operation) override {
        return forward<IAsyncOperation>(IID_IAsyncOperation, &IAsyncOperation::InOperation,
                                        in_operation);
    }
    HRESULT STDMETHODCALLTYPE EndOperation(HRESULT result, IBindCtx* context,
                                           DWORD effects) override {
        if (context) return E_INVALIDARG;
        return forward<IAsyncOperation>(IID_IAsyncOperation, &IAsyncOperation::EndOperation, result,
                                        context, effects);
    }

    // ISequentialStream, IStream.
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        return forward<ISequentialStream>(sequential_iid(), &ISequentialStream::Read, buffer, size,
                                          read);
    }
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) override {
        return forward<ISequentialStream>(sequential_iid(), &ISequentialStream::Write, buffer, size,
                                          written);
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* position) override {
        return forward<IStream>(IID_IStream, &IStream::Seek, move, origin, position);
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
        return forward<IStream>(IID_IStream, &IStream::SetSize, size);
    }
    // The target is the caller's: read here through the proxy, written there.
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override {
        if (!target) return STG_E_INVALIDPOINTER;
        ULONGLONG total_read = 0, total_written = 0;
        HRESULT result = S_OK;
        std::vector<char> buffer(64 * 1024);
        while (total_read < size.QuadPart) {
            const auto wanted =
                static_cast<ULONG>(std::min<ULONGLONG>(buffer.size(), size.QuadPart - total_read));
            ULONG got = 0;
            result = Read(buffer.data(), wanted, &got);
            if (FAILED(result) || got == 0) break;
            total_read += got;
            ULONG put = 0;
            result = target->Write(buffer.data(), got, &put);
            total_written += put;
            if (FAILED(result)) break;
            if (put < got) {
                result = STG_E_MEDIUMFULL;
                break;
            }
        }
        if (read) read->QuadPart = total_read;
        if (written) written->QuadPart = total_written;
        return FAILED(result) ? result : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override {
        return forward<IStream>(IID_IStream, &IStream::Commit, flags);
    }
    HRESULT STDMETHODCALLTYPE Revert() override {
        return forward<IStream>(IID_IStream, &IStream::Revert);
    }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                         DWORD type) override {
        return forward<IStream>(IID_IStream, &IStream::LockRegion, offset, size, type);
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                           DWORD type) override {
        return forward<IStream>(IID_IStream, &IStream::UnlockRegion, offset, size, type);
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* statistics, DWORD flags) override {
        return forward<IStream>(IID_IStream, &IStream::Stat, statistics, flags);
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override {
        return clone<IStream>(IID_IStream, copy);
    }

    // IEnumFORMATETC.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* formats, ULONG* fetched) override {
        return forward<IEnumFORMATETC>(IID_IEnumFORMATETC, &IEnumFORMATETC::Next, count, formats,
                                       fetched);
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        return forward<IEnumFORMATETC>(IID_IEnumFORMATETC, &IEnumFORMATETC::Skip, count);
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        return forward<IEnumFORMATETC>(IID_IEnumFORMATETC, &IEnumFORMATETC::Reset);
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** copy) override {
        return clone<IEnumFORMATETC>(IID_IEnumFORMATETC, copy);
    }

private:
    ~proxy() = default;

    // The object's pointer for the interface, null when none is held.
    void* held(REFIID iid) {
        std::lock_guard<std::mutex> guard(stub_->lock);
        for (const auto& entry : stub_->interfaces)
            if (entry.first == iid) return entry.second;
        return nullptr;
    }
    void* first_held() {
        std::lock_guard<std::mutex> guard(stub_->lock);
        return stub_->interfaces.empty() ? nullptr : stub_->interfaces.front().second;
    }
    // Keeps a reference answered in the apartment; false (the reference
    // given back there) when the apartment has ended meanwhile.
    bool keep(REFIID iid, void* answered) {
        {
            std::lock_guard<std::mutex> guard(stub_->lock);
            if (!stub_->released) {
                stub_->interfaces.emplace_back(iid, answered);
                return true;
            }
        }
        call_in(owner_, [&] {
            static_cast<IUnknown*>(answered)->Release();
            return S_OK;
        });
        return false;
    }

    IID sequential_iid() { return held(IID_IStream) ? IID_IStream : IID_ISequentialStream; }

    // Calls the method of the object's interface in its apartment.
    template <typename Interface, typename Method, typename... Arguments>
    HRESULT forward(REFIID iid, Method method, Arguments... arguments) {
        auto* target = static_cast<Interface*>(held(iid));
        if (!target) {
            std::lock_guard<std::mutex> guard(stub_->lock);
            return stub_->released ? RPC_E_DISCONNECTED : E_NOINTERFACE;
        }
        return call_in(owner_, [&] { return (target->*method)(arguments...); });
    }

    template <typename Interface>
    HRESULT clone(REFIID iid, Interface** copy) {
        if (!copy) return E_POINTER;
        *copy = nullptr;
        Interface* got = nullptr;
        const HRESULT result = forward<Interface>(iid, &Interface::Clone, &got);
        if (FAILED(result) || !got) return result;
        return make_proxy(owner_, got, iid, reinterpret_cast<void**>(copy));
    }

    // A medium filled in the apartment, made usable here: its streams and
    // release objects become proxies; storages are not carried.
    HRESULT carry_medium(STGMEDIUM& got, STGMEDIUM& out) {
        if (got.tymed == TYMED_ISTORAGE) {
            call_in(owner_, [&] {
                ReleaseStgMedium(&got);
                return S_OK;
            });
            return DV_E_TYMED;
        }
        out = got;
        out.pUnkForRelease = nullptr;
        if (got.tymed == TYMED_ISTREAM && got.pstm) {
            out.pstm = nullptr;
            const HRESULT made =
                make_proxy(owner_, got.pstm, IID_IStream, reinterpret_cast<void**>(&out.pstm));
            if (FAILED(made)) {
                if (got.pUnkForRelease)
                    make_proxy(owner_, got.pUnkForRelease, IID_IUnknown, nullptr);
                out = STGMEDIUM{};
                return made;
            }
        }
        if (got.pUnkForRelease)
            make_proxy(owner_, got.pUnkForRelease, IID_IUnknown,
                       reinterpret_cast<void**>(&out.pUnkForRelease));
        return S_OK;
    }

    std::atomic<ULONG> references_{1};
    const apartment_ptr owner_;
    const stub_ptr stub_;
};

}  // namespace

apartment_ptr current_apartment() {
    if (!thread_initialized() || !thread_apartment_threaded()) return nullptr;
    if (!thread_apartment) {
        register_window_class();
        const HWND window = CreateWindowExW(0, window_class, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                            nullptr, nullptr, nullptr);
        if (!window) return nullptr;
        thread_apartment = std::make_shared<apartment>(window);
    }
    return thread_apartment;
}

bool runs_here(const apartment_ptr& owner) {
    return owner && owner == thread_apartment;
}

HRESULT call_in(const apartment_ptr& owner, const std::function<HRESULT()>& call) {
    if (runs_here(owner)) {
        try {
            return call();
        } catch (...) {
            return RPC_E_SERVERFAULT;
        }
    }
    {
        std::lock_guard<std::mutex> guard(owner->lock);
        if (!owner->alive) return RPC_E_DISCONNECTED;
    }
    pending_call pending{&call};
    SendMessageW(owner->window, call_message, 0, reinterpret_cast<LPARAM>(&pending));
    return pending.done ? pending.result : RPC_E_DISCONNECTED;
}

HRESULT make_proxy(const apartment_ptr& owner, IUnknown* object, REFIID iid, void** made) {
    if (made) *made = nullptr;
    if (!made || !proxy::forwards(iid)) {
        call_in(owner, [&] {
            object->Release();
            return S_OK;
        });
        return made ? E_NOINTERFACE : S_OK;
    }
    auto held = std::make_shared<stub>();
    held->interfaces.emplace_back(iid, object);
    {
        std::lock_guard<std::mutex> guard(owner->lock);
        if (!owner->alive) return RPC_E_DISCONNECTED;
        owner->stubs.push_back(held);
    }
    auto* forwarding = new proxy(owner, held);
    *made = forwarding->pointer_for(iid);
    return S_OK;
}

void end_apartment() {
    const apartment_ptr ending = std::move(thread_apartment);
    thread_apartment = nullptr;
    if (!ending) return;
    std::vector<stub_ptr> stubs;
    {
        std::lock_guard<std::mutex> guard(ending->lock);
        ending->alive = false;
        stubs.swap(ending->stubs);
    }
    for (const stub_ptr& held : stubs) held->release_all();
    DestroyWindow(ending->window);
}

}  // namespace win_com

namespace {

// COM ends the apartment of a thread through this from the moment the
// library is loaded.
const bool apartment_end_given = [] {
    win_com::set_apartment_end(&win_com::end_apartment);
    return true;
}();

}  // namespace
