// The shell host's drops onto the virtual folder: local files in a data
// object of the host's own (CF_HDROP, optionally asynchronous), any data
// object of another program, and drags from one folder view to another.
// A move deletes the local sources only when the drop reports MOVE, after
// the upload has ended.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "win/async_operation.h"
#include "win/data_object.h"
#include "win/shell_dragdrop.h"
#include "win/shell_folder.h"

namespace shell_host {

// Local paths as dropped files, with the drop effects the target writes
// back, and (when asynchronous) the end of the target's operation.
class local_files_data_object final : public IDataObject, public IAsyncOperation {
public:
    local_files_data_object(std::vector<std::wstring> paths, bool asynchronous);
    local_files_data_object(const local_files_data_object&) = delete;
    local_files_data_object& operator=(const local_files_data_object&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

    HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL asynchronous) override;
    HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* asynchronous) override;
    HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx*) override;
    HRESULT STDMETHODCALLTYPE InOperation(BOOL* in_operation) override;
    HRESULT STDMETHODCALLTYPE EndOperation(HRESULT result, IBindCtx*, DWORD effects) override;

    // The last "Performed DropEffect" written back, DROPEFFECT_NONE before.
    DWORD performed_effect() const { return performed_; }
    // Waits for EndOperation and for the target to let the object go,
    // retrieving and dispatching the thread's messages meanwhile, as
    // Explorer's thread does: the target's calls come through them. False
    // when the time ran out. The effect given to EndOperation, or
    // DROPEFFECT_NONE.
    bool wait_for_end(std::chrono::milliseconds timeout, DWORD& effect);
    // Whether every call came on the thread that made the object.
    bool called_only_on_its_thread() const { return calls_elsewhere_ == 0; }

private:
    ~local_files_data_object() = default;
    void note_call();

    const DWORD thread_;
    std::atomic<int> calls_elsewhere_{0};
    std::atomic<ULONG> references_{1};
    std::vector<std::wstring> paths_;
    std::atomic<bool> asynchronous_;
    std::atomic<bool> in_operation_{false};
    std::atomic<DWORD> performed_{DROPEFFECT_NONE};
    std::mutex lock_;
    bool has_ended_ = false;
    DWORD end_effect_ = DROPEFFECT_NONE;
};

// What a drop came to: Drop's result and the effect the source learned
// (from Drop, or from EndOperation for an asynchronous drop).
struct drop_outcome {
    HRESULT result = E_FAIL;
    DWORD effect = DROPEFFECT_NONE;
    bool calls_on_own_thread = true;  // the target called the data object only there
};

// The drop target of a folder (CreateViewObject) or of one of its items
// (the item bound as a folder first); null when there is none.
IDropTarget* drop_target_of(IShellFolder* folder, PCUITEMID_CHILD item = nullptr);

// One drag over the target and the drop, with Shift held for a move.
drop_outcome drop_data_object(IDropTarget* target, IDataObject* data, bool move,
                              DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE);

// Retrieves and dispatches the calling thread's messages until the
// condition holds (looked at after every message and every few
// milliseconds) or the time runs out (false then), as Explorer's thread
// does while work it started goes on elsewhere: calls from other threads
// into its objects arrive through its messages.
bool pump_messages_until(const std::function<bool()>& done, std::chrono::milliseconds limit);

// Drops local files; an asynchronous drop is waited for, the thread's
// messages pumped meanwhile. After a MOVE the sources are deleted, folders
// with their contents.
drop_outcome drop_local_files(IDropTarget* target, const std::vector<std::wstring>& paths,
                              bool asynchronous, bool move);

}  // namespace shell_host
