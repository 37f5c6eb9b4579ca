// Worker threads of shell extensions and what they take along: the host's
// process reference (so that the host outlives the work it started), the
// hand-over of an interface pointer to another thread, and the drag
// images' helper, which has nothing to draw here.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "win/com.h"
#include "win/kernel.h"
#include "win/rect.h"
#include "win/user_types.h"

#define CTF_INSIST 0x00000001u
#define CTF_THREAD_REF 0x00000002u
#define CTF_PROCESS_REF 0x00000004u
#define CTF_COINIT 0x00000008u
#define CTF_FREELIBANDEXIT 0x00000010u

// The host's process reference: an object that a host keeps alive while
// any work it started may still need the process. Set to null to clear.
void SHSetInstanceExplorer(IUnknown* reference);
// The reference with a reference added, or E_FAIL when the host set none.
HRESULT SHGetInstanceExplorer(IUnknown** reference);

// Runs procedure(data) on a new thread. With CTF_PROCESS_REF the thread
// holds the process reference (when one is set) until the procedure has
// returned; with CTF_COINIT it runs between CoInitialize and
// CoUninitialize. With CTF_FREELIBANDEXIT the thread holds the module
// that holds the procedure loaded until the procedure has returned, so a
// module unloaded meanwhile leaves the thread's code in place until then.
// callback, when given, runs on the new thread first,
// while the caller still waits. FALSE when the thread could not start
// (then, with CTF_INSIST, the procedure runs on the caller's thread).
BOOL SHCreateThread(LPTHREAD_START_ROUTINE procedure, void* data, DWORD flags,
                    LPTHREAD_START_ROUTINE callback);

// An interface pointer wrapped for another thread of the process: the
// stream holds a reference until the receiver unwraps it (and the stream
// is released with that call) or the stream is released unused. Both
// threads must have entered COM (else CO_E_NOTINITIALIZED). An object
// wrapped on an apartment-threaded thread belongs to that thread: another
// thread receives a proxy whose calls run on the owner, delivered through
// its message queue, so they wait until the owner retrieves messages (the
// proxies forward IDataObject, IAsyncOperation, IStream and
// IEnumFORMATETC; other interfaces answer E_NOINTERFACE). An object
// wrapped on a multithreaded thread is received as it is.
HRESULT CoMarshalInterThreadInterfaceInStream(REFIID iid, IUnknown* object, IStream** stream);
HRESULT CoGetInterfaceAndReleaseStream(IStream* stream, REFIID iid, void** object);

// {4657278A-411B-11D2-839A-00C04FD918D0}
inline constexpr CLSID CLSID_DragDropHelper{
    0x4657278A, 0x411B, 0x11D2, {0x83, 0x9A, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};
// {4657278B-411B-11D2-839A-00C04FD918D0}
inline constexpr IID IID_IDropTargetHelper{
    0x4657278B, 0x411B, 0x11D2, {0x83, 0x9A, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};

struct IDataObject;

// Draws the drag image over a drop target; every call succeeds and does
// nothing here.
struct IDropTargetHelper : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE DragEnter(HWND target, IDataObject* data, POINT* point,
                                                DWORD effect) = 0;
    virtual HRESULT STDMETHODCALLTYPE DragLeave() = 0;
    virtual HRESULT STDMETHODCALLTYPE DragOver(POINT* point, DWORD effect) = 0;
    virtual HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, POINT* point, DWORD effect) = 0;
    virtual HRESULT STDMETHODCALLTYPE Show(BOOL show) = 0;
};
WIN_COM_INTERFACE_TRAITS(IDropTargetHelper, IUnknown, IID_IDropTargetHelper);

namespace win_test {

// Runs on every thread SHCreateThread starts, before its procedure (null:
// none): a test pauses a worker there to do what a host may do meanwhile.
void set_worker_start_hook(std::function<void()> hook);

// A process reference for tests and hosts: counts its references and lets
// a test wait until every worker has let it go.
class process_reference final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // References beyond the owner's own.
    ULONG held() const;
    // True once held() is 0, false when the time ran out first.
    bool wait_until_released(std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    ULONG references_ = 1;
};

}  // namespace win_test
