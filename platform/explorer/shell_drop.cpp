#include "shell_drop.h"

#include <filesystem>
#include <system_error>

#include "win/clipboard.h"
#include "win/file.h"
#include "win/global_memory.h"

namespace shell_host {

namespace {

constexpr auto async_drop_limit = std::chrono::minutes(5);

CLIPFORMAT registered(LPCWSTR name) {
    return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name));
}

}  // namespace

local_files_data_object::local_files_data_object(std::vector<std::wstring> paths, bool asynchronous)
    : paths_(std::move(paths)), asynchronous_(asynchronous) {}

HRESULT local_files_data_object::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDataObject)
        *object = static_cast<IDataObject*>(this);
    else if (iid == IID_IAsyncOperation)
        *object = static_cast<IAsyncOperation*>(this);
    else
        *object = nullptr;
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG local_files_data_object::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT local_files_data_object::QueryGetData(FORMATETC* format) {
    if (!format) return E_POINTER;
    if (format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
    if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    return S_OK;
}

HRESULT local_files_data_object::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!medium) return E_POINTER;
    const HRESULT offered = QueryGetData(format);
    if (offered != S_OK) return offered;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = win_shell::make_drop_files(paths_);
    medium->pUnkForRelease = nullptr;
    return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
}

HRESULT local_files_data_object::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT local_files_data_object::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) {
    if (!format || !medium) return E_POINTER;
    if (format->cfFormat != registered(CFSTR_PERFORMEDDROPEFFECT) &&
        format->cfFormat != registered(CFSTR_PASTESUCCEEDED))
        return DV_E_FORMATETC;
    if (medium->tymed != TYMED_HGLOBAL || GlobalSize(medium->hGlobal) < sizeof(DWORD))
        return DV_E_TYMED;
    if (format->cfFormat == registered(CFSTR_PERFORMEDDROPEFFECT)) {
        performed_ = *static_cast<const DWORD*>(GlobalLock(medium->hGlobal));
        GlobalUnlock(medium->hGlobal);
    }
    if (release) ReleaseStgMedium(medium);
    return S_OK;
}

HRESULT local_files_data_object::SetAsyncMode(BOOL asynchronous) {
    asynchronous_ = asynchronous != FALSE;
    return S_OK;
}

HRESULT local_files_data_object::GetAsyncMode(BOOL* asynchronous) {
    if (!asynchronous) return E_POINTER;
    *asynchronous = asynchronous_ ? TRUE : FALSE;
    return S_OK;
}

HRESULT local_files_data_object::StartOperation(IBindCtx*) {
    in_operation_ = true;
    return S_OK;
}

HRESULT local_files_data_object::InOperation(BOOL* in_operation) {
    if (!in_operation) return E_POINTER;
    *in_operation = in_operation_ ? TRUE : FALSE;
    return S_OK;
}

HRESULT local_files_data_object::EndOperation(HRESULT, IBindCtx*, DWORD effects) {
    std::lock_guard<std::mutex> guard(lock_);
    in_operation_ = false;
    has_ended_ = true;
    end_effect_ = effects;
    ended_.notify_all();
    return S_OK;
}

bool local_files_data_object::wait_for_end(std::chrono::milliseconds timeout, DWORD& effect) {
    std::unique_lock<std::mutex> guard(lock_);
    const bool ended = ended_.wait_for(guard, timeout, [&] { return has_ended_; });
    effect = ended ? end_effect_ : DROPEFFECT_NONE;
    return ended;
}

IDropTarget* drop_target_of(IShellFolder* folder, PCUITEMID_CHILD item) {
    if (!folder) return nullptr;
    IShellFolder* owner = folder;
    if (item) {
        owner = nullptr;
        if (FAILED(folder->BindToObject(item, nullptr, IID_IShellFolder,
                                        reinterpret_cast<void**>(&owner))))
            return nullptr;
    } else {
        owner->AddRef();
    }
    IDropTarget* target = nullptr;
    if (FAILED(
            owner->CreateViewObject(nullptr, IID_IDropTarget, reinterpret_cast<void**>(&target))))
        target = nullptr;
    owner->Release();
    return target;
}

drop_outcome drop_data_object(IDropTarget* target, IDataObject* data, bool move, DWORD allowed) {
    drop_outcome outcome;
    if (!target || !data) return outcome;
    const DWORD keys = MK_LBUTTON | (move ? MK_SHIFT : 0);
    DWORD effect = allowed;
    target->DragEnter(data, keys, POINTL{10, 10}, &effect);
    effect = allowed;
    target->DragOver(keys, POINTL{12, 12}, &effect);
    effect = allowed;
    outcome.result = target->Drop(data, keys & ~MK_LBUTTON, POINTL{12, 12}, &effect);
    outcome.effect = effect;
    return outcome;
}

drop_outcome drop_local_files(IDropTarget* target, const std::vector<std::wstring>& paths,
                              bool asynchronous, bool move) {
    auto* data = new local_files_data_object(paths, asynchronous);
    drop_outcome outcome = drop_data_object(target, data, move);
    if (asynchronous && SUCCEEDED(outcome.result)) {
        DWORD ended = DROPEFFECT_NONE;
        data->wait_for_end(async_drop_limit, ended);
        outcome.effect = ended;
    }
    data->Release();
    if (outcome.effect == DROPEFFECT_MOVE) {
        for (const std::wstring& path : paths) {
            std::error_code ignored;
            std::filesystem::remove_all(win_file::native_path(path), ignored);
        }
    }
    return outcome;
}

}  // namespace shell_host
