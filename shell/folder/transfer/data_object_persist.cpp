// The data object's stream form, which the clipboard keeps after a flush and
// rebuilds the object from, and the DWORD-valued formats.
#include <cstring>

#include "folder/module/com_guard.h"
#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "win/user_window.h"

namespace {

CLIPFORMAT preferred_effect_format() {
    return calvimora_module().Format(CCalvimoraModule::format_preferred_drop_effect);
}

// A list read from outside becomes E_FAIL when it is malformed; the
// stream's own failures stay as they are.
HRESULT untrusted(HRESULT result) {
    return result == E_INVALIDARG ? E_FAIL : result;
}

// Each carried item is one record of this folder.
bool holds_single_records(const CPidlArray& items) {
    if (items.GetSize() == 0) return false;
    for (UINT i = 0; i < items.GetSize(); ++i) {
        const CItemIdList item(items[i], false);
        if (item.GetItems().size() != 1) return false;
    }
    return true;
}

HRESULT no_saved_place(const CItemIdList&, const CItemIdList&, vfs::directory_ptr&) {
    return E_FAIL;
}

saved_place_binder& saved_place_binding() {
    static saved_place_binder binder = &no_saved_place;
    return binder;
}

}  // namespace

void set_saved_place_binder(saved_place_binder binder) {
    saved_place_binding() = binder;
}

HRESULT CDataObjectImpl::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = GetObjectCLSID();
    return S_OK;
}

HRESULT CDataObjectImpl::IsDirty() {
    return E_NOTIMPL;
}

HRESULT CDataObjectImpl::Save(IStream* stream, BOOL) {
    if (!stream) return E_POINTER;
    return shell_com::guarded([&]() -> HRESULT {
        const auto owner = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(m_hwndOwner));
        HRESULT result = item_id_streams::write_all(stream, &owner, sizeof owner);
        if (SUCCEEDED(result)) result = m_pidlRoot.Save(stream);
        if (SUCCEEDED(result)) result = m_location.Save(stream);
        if (SUCCEEDED(result)) result = m_items.SaveToStream(stream);
        if (FAILED(result)) return result;
        DWORD preferred = 0;
        if (FAILED(read_clipboard_dword(static_cast<IDataObject*>(this), preferred_effect_format(),
                                        &preferred)))
            preferred = 0;
        return item_id_streams::write_all(stream, &preferred, sizeof preferred);
    });
}

HRESULT CDataObjectImpl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return S_OK;
    // The size is the one of the stream form itself, so it can never fall
    // short of what Save writes.
    IStream* measure = nullptr;
    HRESULT result = CreateStreamOnHGlobal(nullptr, TRUE, &measure);
    if (FAILED(result)) return result;
    result = Save(measure, FALSE);
    STATSTG statistics{};
    if (SUCCEEDED(result)) result = measure->Stat(&statistics, STATFLAG_NONAME);
    measure->Release();
    if (FAILED(result)) return result;
    size->QuadPart = statistics.cbSize.QuadPart;
    return S_OK;
}

HRESULT CDataObjectImpl::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    if (m_items.GetSize() != 0) return E_UNEXPECTED;  // already carries a selection
    return shell_com::guarded([&]() -> HRESULT {
        uint32_t owner_value = 0;
        ULONG got = 0;
        HRESULT result = stream->Read(&owner_value, sizeof owner_value, &got);
        if (FAILED(result)) return result;
        if (got < sizeof owner_value) return E_FAIL;
        HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(owner_value));
        if (!IsWindow(owner)) owner = GetDesktopWindow();

        CItemIdList root;
        CItemIdList location;
        CPidlArray items;
        result = untrusted(root.Load(stream));
        if (SUCCEEDED(result)) result = untrusted(location.Load(stream));
        if (SUCCEEDED(result)) result = untrusted(items.LoadFromStream(stream));
        if (FAILED(result)) return result;
        if (!root.HasBase() || !root.GetItems().empty() || location.HasBase()) return E_FAIL;
        try {
            if (!holds_single_records(items)) return E_FAIL;
        } catch (const invalid_item_id_list&) {
            return E_FAIL;
        }

        vfs::directory_ptr directory;
        result = saved_place_binding()(root, location, directory);
        if (FAILED(result)) return result;
        if (!directory) return E_FAIL;

        std::vector<LPCITEMIDLIST> lists;
        for (UINT i = 0; i < items.GetSize(); ++i) lists.push_back(items[i]);
        result = init_data_object(directory, root, location, owner, lists.data(),
                                  static_cast<UINT>(lists.size()));
        if (FAILED(result)) return result;

        DWORD preferred = 0;
        result = item_id_streams::read_all(stream, &preferred, sizeof preferred);
        if (FAILED(result)) return result;
        if (preferred)
            return write_clipboard_dword(static_cast<IDataObject*>(this), preferred_effect_format(),
                                         preferred);
        return S_OK;
    });
}

HRESULT read_clipboard_dword(IDataObject* object, CLIPFORMAT format, DWORD* value) {
    *value = 0;
    FORMATETC wanted{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    const HRESULT result = object->GetData(&wanted, &medium);
    if (FAILED(result)) return result;
    HRESULT read = E_UNEXPECTED;
    if (medium.tymed == TYMED_HGLOBAL && GlobalSize(medium.hGlobal) >= sizeof *value) {
        if (const void* data = GlobalLock(medium.hGlobal)) {
            std::memcpy(value, data, sizeof *value);
            GlobalUnlock(medium.hGlobal);
            read = S_OK;
        }
    }
    ReleaseStgMedium(&medium);
    return read;
}

HRESULT write_clipboard_dword(IDataObject* object, CLIPFORMAT format, DWORD value) {
    if (!object) return E_POINTER;
    HGLOBAL block = GlobalAlloc(GHND, sizeof value);
    void* data = block ? GlobalLock(block) : nullptr;
    if (!data) {
        if (block) GlobalFree(block);
        return E_OUTOFMEMORY;
    }
    std::memcpy(data, &value, sizeof value);
    GlobalUnlock(block);
    FORMATETC format_etc{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    const HRESULT result = object->SetData(&format_etc, &medium, TRUE);
    if (FAILED(result)) GlobalFree(block);
    return result;
}
