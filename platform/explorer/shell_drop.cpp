#include "shell_drop.h"

#include <filesystem>
#include <system_error>

#include "win/clipboard.h"
#include "win/file.h"
#include "win/global_memory.h"
#include "win/kernel.h"
#include "win/user.h"

namespace shell_host {

namespace {

constexpr auto async_drop_limit = std::chrono::minutes(5);
constexpr UINT recheck_period_ms = 10;

CLIPFORMAT registered(LPCWSTR name) {
    return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name));
}

}  // namespace

local_files_data_object::local_files_data_object(std::vector<std::wstring> paths, bool asynchronous)
    : thread_(GetCurrentThreadId()), paths_(std::move(paths)), asynchronous_(asynchronous) {}

void local_files_data_object::note_call() {
    if (GetCurrentThreadId() != thread_) ++calls_elsewhere_;
}

HRESULT local_files_data_object::QueryInterface(REFIID iid, void** object) {
    note_call();
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

ULONG local_files_data_object::AddRef() {
    note_call();
    return ++references_;
}

ULONG local_files_data_object::Release() {
    note_call();
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT local_files_data_object::QueryGetData(FORMATETC* format) {
    note_call();
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
    note_call();
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
    note_call();
    if (!asynchronous) return E_POINTER;
    *asynchronous = asynchronous_ ? TRUE : FALSE;
    return S_OK;
}

HRESULT local_files_data_object::StartOperation(IBindCtx*) {
    note_call();
    in_operation_ = true;
    return S_OK;
}

HRESULT local_files_data_object::InOperation(BOOL* in_operation) {
    if (!in_operation) return E_POINTER;
    *in_operation = in_operation_ ? TRUE : FALSE;
    return S_OK;
}

HRESULT local_files_data_object::EndOperation(HRESULT, IBindCtx*, DWORD effects) {
    note_call();
    {
        std::lock_guard<std::mutex> guard(lock_);
        in_operation_ = false;
        has_ended_ = true;
        end_effect_ = effects;
    }
    return S_OK;
}

bool local_files_data_object::wait_for_end(std::chrono::milliseconds timeout, DWORD& effect) {
    pump_messages_until(
        [&] {
            std::lock_guard<std::mutex> guard(lock_);
            return has_ended_ && references_ == 1;
        },
        timeout);
    std::lock_guard<std::mutex> guard(lock_);
    effect = has_ended_ ? end_effect_ : DROPEFFECT_NONE;
    return has_ended_;
}

bool pump_messages_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    // Retrieval does not return for the messages it delivers from other
    // threads, so a timer makes the loop look again.
    const UINT_PTR timer = SetTimer(nullptr, 0, recheck_period_ms, nullptr);
    MSG message;
    bool quit = false;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
            quit = true;
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    KillTimer(nullptr, timer);
    // The loop that ends the host sees the quit message too.
    if (quit) PostQuitMessage(static_cast<int>(message.wParam));
    return done();
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
    outcome.calls_on_own_thread = data->called_only_on_its_thread();
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
