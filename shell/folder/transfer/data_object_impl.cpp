// The data object's formats: what it offers, what it serves and what the
// shell writes back into it.
#include "folder/transfer/data_object_impl.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "folder/module/com_guard.h"
#include "folder/module/module.h"
#include "folder/transfer/enum_formatetc.h"
#include "win/shell.h"

namespace {

CLIPFORMAT format_of(CCalvimoraModule::clipboard_format which) {
    return calvimora_module().Format(which);
}

HGLOBAL new_dword_block(DWORD value) {
    HGLOBAL block = GlobalAlloc(GHND, sizeof value);
    if (!block) return nullptr;
    void* data = GlobalLock(block);
    if (!data) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(data, &value, sizeof value);
    GlobalUnlock(block);
    return block;
}

// The shell's Recycle Bin: items dropped on it are to be deleted.
// {645FF040-5081-101B-9F08-00AA002F954E}
constexpr CLSID clsid_recycle_bin{
    0x645FF040, 0x5081, 0x101B, {0x9F, 0x08, 0x00, 0xAA, 0x00, 0x2F, 0x95, 0x4E}};

bool same_object(IUnknown* first, IUnknown* second) {
    if (!first || !second) return false;
    IUnknown* one = nullptr;
    IUnknown* other = nullptr;
    first->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&one));
    second->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&other));
    const bool same = one && one == other;
    if (one) one->Release();
    if (other) other->Release();
    return same;
}

// A copy of a medium that owns everything it holds and has no release
// object. Only global blocks, file names and streams exist here; GDI
// objects, metafiles and compound files are never made, so their media
// cannot be copied.
HRESULT copy_stgmedium(const STGMEDIUM& source, CLIPFORMAT format, STGMEDIUM* copy) {
    std::memset(copy, 0, sizeof *copy);
    switch (source.tymed) {
        case TYMED_HGLOBAL:
            copy->hGlobal = OleDuplicateData(source.hGlobal, format, 0);
            if (!copy->hGlobal) return E_OUTOFMEMORY;
            break;
        case TYMED_FILE: {
            if (!source.lpszFileName) return DV_E_STGMEDIUM;
            const size_t bytes = (std::wcslen(source.lpszFileName) + 1) * sizeof(wchar_t);
            copy->lpszFileName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
            if (!copy->lpszFileName) return E_OUTOFMEMORY;
            std::memcpy(copy->lpszFileName, source.lpszFileName, bytes);
            break;
        }
        case TYMED_ISTREAM: {
            if (!source.pstm) return DV_E_STGMEDIUM;
            STATSTG statistics{};
            HRESULT result = source.pstm->Stat(&statistics, STATFLAG_NONAME);
            if (FAILED(result)) return result;
            IStream* stream = nullptr;
            result = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
            if (FAILED(result)) return result;
            const LARGE_INTEGER start{};
            result = source.pstm->Seek(start, STREAM_SEEK_SET, nullptr);
            if (SUCCEEDED(result))
                result = source.pstm->CopyTo(stream, statistics.cbSize, nullptr, nullptr);
            if (SUCCEEDED(result)) result = source.pstm->Seek(start, STREAM_SEEK_SET, nullptr);
            if (SUCCEEDED(result)) result = stream->Seek(start, STREAM_SEEK_SET, nullptr);
            if (FAILED(result)) {
                stream->Release();
                return result;
            }
            copy->pstm = stream;
            break;
        }
        default:
            return DV_E_TYMED;
    }
    copy->tymed = source.tymed;
    return S_OK;
}

}  // namespace

CDataObjectImpl* own_data_object(IUnknown* object) {
    IOwnDataObject* own = nullptr;
    if (!object ||
        FAILED(object->QueryInterface(iid_own_data_object, reinterpret_cast<void**>(&own))) || !own)
        return nullptr;
    CDataObjectImpl* found = own->Object();
    own->Release();
    return found;
}

CDataObjectImpl::~CDataObjectImpl() {
    for (auto& entry : m_formats) ReleaseStgMedium(&entry.second);
}

HRESULT CDataObjectImpl::init_data_object(const vfs::directory_ptr& folder, const CItemIdList& root,
                                          const CItemIdList& location, HWND owner,
                                          const LPCITEMIDLIST* items, UINT count) {
    if (!items || count == 0) return E_INVALIDARG;
    return shell_com::guarded([&]() -> HRESULT {
        m_hwndOwner = owner;
        m_folder = folder;
        m_pidlRoot = root;
        m_location = location;
        HRESULT result = m_items.Assign(items, count);
        if (FAILED(result)) return result;
        HGLOBAL no_persisting = new_dword_block(0);
        if (!no_persisting) return E_OUTOFMEMORY;
        result = add_format(format_of(CCalvimoraModule::format_persist_on_flush), TYMED_HGLOBAL,
                            no_persisting);
        if (FAILED(result)) {
            GlobalFree(no_persisting);
            return result;
        }
        const std::pair<CCalvimoraModule::clipboard_format, DWORD> offered[] = {
            {CCalvimoraModule::format_file_group_descriptor, TYMED_HGLOBAL},
            {CCalvimoraModule::format_file_contents, TYMED_ISTREAM},
            {CCalvimoraModule::format_shell_idlist_array, TYMED_HGLOBAL},
            {CCalvimoraModule::format_calvimora_data_object, TYMED_HGLOBAL},
        };
        for (const auto& [format, tymed] : offered) {
            result = add_format(format_of(format), tymed, nullptr);
            if (FAILED(result)) return result;
        }
        return S_OK;
    });
}

HRESULT CDataObjectImpl::add_format(CLIPFORMAT format, DWORD tymed, HGLOBAL value) {
    FORMATETC entry{format, nullptr, DVASPECT_CONTENT, -1, tymed};
    STGMEDIUM medium{};
    medium.tymed = tymed;
    medium.hGlobal = value;
    try {
        m_formats.emplace_back(entry, medium);
    } catch (const std::bad_alloc&) {
        return E_FAIL;
    }
    return S_OK;
}

int CDataObjectImpl::find_format(const FORMATETC& format) const {
    for (size_t i = 0; i < m_formats.size(); ++i) {
        const FORMATETC& entry = m_formats[i].first;
        if (entry.cfFormat == format.cfFormat && (entry.tymed & format.tymed) &&
            (entry.dwAspect & format.dwAspect) && entry.lindex == format.lindex)
            return static_cast<int>(i);
    }
    return -1;
}

HRESULT CDataObjectImpl::GetPath(LPITEMIDLIST* root, LPITEMIDLIST* location) {
    if (!root || !location) return E_POINTER;
    *root = m_pidlRoot.CreatePidl();
    *location = m_location.CreatePidl();
    if (*root && *location) return S_OK;
    CoTaskMemFree(*root);
    CoTaskMemFree(*location);
    *root = *location = nullptr;
    return E_OUTOFMEMORY;
}

HRESULT CDataObjectImpl::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium) return E_POINTER;
    std::memset(medium, 0, sizeof *medium);
    return shell_com::guarded([&]() -> HRESULT {
        const CLIPFORMAT asked = format->cfFormat;
        if (asked == format_of(CCalvimoraModule::format_calvimora_data_object)) {
            if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
            medium->hGlobal = new_dword_block(1);
            if (!medium->hGlobal) return E_OUTOFMEMORY;
            medium->tymed = TYMED_HGLOBAL;
            return S_OK;
        }
        if (asked == format_of(CCalvimoraModule::format_file_group_descriptor)) {
            if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
            return get_descriptor_group(medium);
        }
        if (asked == format_of(CCalvimoraModule::format_file_contents)) {
            if (!(format->tymed & TYMED_ISTREAM)) return DV_E_TYMED;
            return get_file_contents(format->lindex, medium);
        }
        if (asked == format_of(CCalvimoraModule::format_shell_idlist_array)) {
            if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
            return get_id_array(medium);
        }
        return get_stored(*format, medium);
    });
}

HRESULT CDataObjectImpl::get_stored(const FORMATETC& format, STGMEDIUM* medium) {
    const int index = find_format(format);
    if (index < 0) return DV_E_FORMATETC;
    const STGMEDIUM& stored = m_formats[static_cast<size_t>(index)].second;
    switch (stored.tymed) {
        case TYMED_HGLOBAL:
        case TYMED_FILE:
        case TYMED_GDI:
        case TYMED_MFPICT:
        case TYMED_ENHMF:
            *medium = stored;
            // The handle stays the entry's: whoever releases the medium
            // releases a reference instead of freeing it.
            medium->pUnkForRelease = stored.pUnkForRelease
                                         ? stored.pUnkForRelease
                                         : static_cast<IUnknown*>(static_cast<IDataObject*>(this));
            medium->pUnkForRelease->AddRef();
            return S_OK;
        case TYMED_ISTREAM:
        case TYMED_ISTORAGE:
            *medium = stored;
            if (stored.tymed == TYMED_ISTREAM && stored.pstm) stored.pstm->AddRef();
            if (stored.tymed == TYMED_ISTORAGE && stored.pstg) stored.pstg->AddRef();
            if (medium->pUnkForRelease) medium->pUnkForRelease->AddRef();
            return S_OK;
        default:
            return DV_E_TYMED;
    }
}

HRESULT CDataObjectImpl::GetDataHere(FORMATETC*, STGMEDIUM*) {
    return E_NOTIMPL;
}

HRESULT CDataObjectImpl::QueryGetData(FORMATETC* format) {
    if (!format) return E_POINTER;
    // The item selection is served on request but not announced, as the
    // shell's own folders do for theirs.
    if (format->cfFormat == format_of(CCalvimoraModule::format_shell_idlist_array))
        return DV_E_FORMATETC;
    return find_format(*format) >= 0 ? S_OK : DV_E_FORMATETC;
}

HRESULT CDataObjectImpl::GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) {
    if (!in || !out) return E_POINTER;
    *out = *in;
    return DATA_S_SAMEFORMATETC;
}

HRESULT CDataObjectImpl::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) {
    if (!format || !medium) return E_POINTER;
    if (format->ptd) return DV_E_DVTARGETDEVICE;
    return shell_com::guarded([&]() -> HRESULT {
        STGMEDIUM kept{};
        if (!release || same_object(medium->pUnkForRelease, static_cast<IDataObject*>(this))) {
            const HRESULT copied = copy_stgmedium(*medium, format->cfFormat, &kept);
            if (FAILED(copied)) return copied;
            // A medium that lends this object's own data holds a reference
            // to it; owning the medium means letting that reference go.
            if (release) ReleaseStgMedium(medium);
        } else {
            kept = *medium;
        }
        const int index = find_format(*format);
        if (index >= 0) {
            auto& entry = m_formats[static_cast<size_t>(index)];
            ReleaseStgMedium(&entry.second);
            entry = {*format, kept};
        } else {
            try {
                m_formats.emplace_back(*format, kept);
            } catch (const std::bad_alloc&) {
                ReleaseStgMedium(&kept);
                return E_OUTOFMEMORY;
            }
        }
        const CLIPFORMAT stored = format->cfFormat;
        if (stored == format_of(CCalvimoraModule::format_performed_drop_effect)) {
            notify_folder_changed();
        } else if (stored == format_of(CCalvimoraModule::format_paste_succeeded)) {
            after_paste();
        } else if (stored == format_of(CCalvimoraModule::format_target_clsid)) {
            return after_target_class(kept);
        }
        return S_OK;
    });
}

void CDataObjectImpl::after_paste() {
    DWORD pasted = 0;
    DWORD performed = 0;
    DWORD logical = 0;
    IDataObject* self = static_cast<IDataObject*>(this);
    read_clipboard_dword(self, format_of(CCalvimoraModule::format_paste_succeeded), &pasted);
    read_clipboard_dword(self, format_of(CCalvimoraModule::format_performed_drop_effect),
                         &performed);
    read_clipboard_dword(self, format_of(CCalvimoraModule::format_logical_performed_drop_effect),
                         &logical);
    // Only a paste that reports a completed move may delete the sources; a
    // copy, or a paste that moved nothing, leaves them whatever the other
    // effects say.
    if (pasted == DROPEFFECT_MOVE && (performed == DROPEFFECT_MOVE || logical == DROPEFFECT_MOVE)) {
        start_delete_items(m_hwndOwner, true);
        OleSetClipboard(nullptr);
    }
    notify_folder_changed();
}

HRESULT CDataObjectImpl::after_target_class(const STGMEDIUM& medium) {
    if (medium.tymed != TYMED_HGLOBAL || GlobalSize(medium.hGlobal) < sizeof(CLSID)) return S_OK;
    const void* data = GlobalLock(medium.hGlobal);
    if (!data) return E_OUTOFMEMORY;
    CLSID target{};
    std::memcpy(&target, data, sizeof target);
    GlobalUnlock(medium.hGlobal);
    if (target == clsid_recycle_bin) {
        start_delete_items(m_hwndOwner, false);
        notify_folder_changed();
    }
    return S_OK;
}

void CDataObjectImpl::notify_folder_changed() const {
    LPITEMIDLIST folder = GetFolderList().CreatePidl();
    if (!folder) return;
    SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_IDLIST, folder, nullptr);
    CoTaskMemFree(folder);
}

HRESULT CDataObjectImpl::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
    if (!formats) return E_POINTER;
    *formats = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    return shell_com::guarded([&]() -> HRESULT {
        std::vector<FORMATETC> list;
        for (const auto& entry : m_formats) list.push_back(entry.first);
        return create_format_enumerator(std::move(list), formats);
    });
}

HRESULT CDataObjectImpl::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
    return E_NOTIMPL;
}

HRESULT CDataObjectImpl::DUnadvise(DWORD) {
    return E_NOTIMPL;
}

HRESULT CDataObjectImpl::EnumDAdvise(IEnumSTATDATA**) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT create_data_object(const vfs::directory_ptr& folder, const CItemIdList& root,
                           const CItemIdList& location, HWND owner, const LPCITEMIDLIST* items,
                           UINT count, CComObject<CDataObjectImpl>** object) {
    *object = nullptr;
    CComObject<CDataObjectImpl>* made = nullptr;
    HRESULT result = CComObject<CDataObjectImpl>::CreateInstance(&made);
    if (FAILED(result)) return result;
    made->AddRef();
    result = made->init_data_object(folder, root, location, owner, items, count);
    if (FAILED(result)) {
        made->Release();
        return result;
    }
    *object = made;
    return S_OK;
}
