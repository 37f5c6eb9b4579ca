// The folder object: persistence, site, the connection to the service,
// binding to sub-folders and streams, the enumeration and the view.
#include "folder/folder_object/shell_folder_impl.h"

#include <new>

#include "folder/drop/set_aside.h"
#include "folder/folder_object/enum_id_list.h"
#include "folder/folder_object/stream_binding.h"
#include "folder/folder_object/view_callback.h"
#include "folder/icons/extract_image.h"
#include "folder/module/com_guard.h"
#include "folder/module/folder_session.h"
#include "folder/module/shell_registry.h"
#include "folder/module/ui_makers.h"
#include "folder/transfer/data_object_impl.h"
#include "vfs/directory.h"
#include "vfs/exceptions.h"
#include "vfs/file.h"
#include "win/shell_dragdrop.h"
#include "win/shell_view.h"
#include "win/user.h"

namespace {

const wchar_t* const login_mutex_name = L"Local\\CMV_LOGIN_MUTEX";

bool in_trash(const vfs::item_ptr& item) {
    return item && item->get_delete_date() != vfs::no_date;
}

// The place of a data object rebuilt from its saved form, bound by a folder
// object of its own.
HRESULT bind_saved_place(const CItemIdList& root, const CItemIdList& location,
                         vfs::directory_ptr& directory) {
    CComObject<CShellFolderImpl>* folder = nullptr;
    HRESULT result = CComObject<CShellFolderImpl>::CreateInstance(&folder);
    if (FAILED(result)) return result;
    folder->AddRef();
    LPITEMIDLIST root_list = root.CreatePidl();
    result = root_list ? folder->Initialize(root_list) : E_OUTOFMEMORY;
    CoTaskMemFree(root_list);
    if (SUCCEEDED(result)) result = folder->BindToPidl(root, location);
    directory = boost::dynamic_pointer_cast<vfs::directory>(folder->GetDirectory());
    folder->Release();
    return result;
}

const bool saved_places_bound = [] {
    set_saved_place_binder(&bind_saved_place);
    return true;
}();

}  // namespace

CShellFolderImpl::~CShellFolderImpl() {
    if (m_site) m_site->Release();
}

HRESULT CShellFolderImpl::FinalConstruct() {
    return shell_com::guarded([&] {
        m_loginMutex = std::make_unique<utils::named_mutex>(login_mutex_name);
        return S_OK;
    });
}

// ---- Persistence and site ---------------------------------------------------

HRESULT CShellFolderImpl::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = GetObjectCLSID();
    return S_OK;
}

HRESULT CShellFolderImpl::GetObject(VARIANT* value) {
    if (!value) return E_POINTER;
    VariantInit(value);
    if (!m_directory) return E_FAIL;
    value->vt = VT_BYREF;
    value->byref = &m_directory;
    return S_OK;
}

HRESULT CShellFolderImpl::Initialize(PCIDLIST_ABSOLUTE list) {
    return shell_com::guarded([&] {
        m_pidlRoot = CItemIdList(list, true);
        return S_OK;
    });
}

HRESULT CShellFolderImpl::GetCurFolder(PIDLIST_ABSOLUTE* list) {
    if (!list) return E_POINTER;
    *list = nullptr;
    return shell_com::guarded([&] {
        *list = AbsoluteList().CreatePidl();
        return *list ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT CShellFolderImpl::InitializeEx(IBindCtx*, PCIDLIST_ABSOLUTE root,
                                       const PERSIST_FOLDER_TARGET_INFO*) {
    return Initialize(root);
}

HRESULT CShellFolderImpl::GetFolderTargetInfo(PERSIST_FOLDER_TARGET_INFO*) {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::SetSite(IUnknown* site) {
    if (site) site->AddRef();
    if (m_site) m_site->Release();
    m_site = site;
    return S_OK;
}

HRESULT CShellFolderImpl::GetSite(REFIID iid, void** site) {
    if (!site) return E_POINTER;
    *site = nullptr;
    if (!m_site) return E_FAIL;
    return m_site->QueryInterface(iid, site);
}

// ---- Connection ---------------------------------------------------------------

HRESULT CShellFolderImpl::EnsureConnected(HWND owner, bool no_ui) {
    return shell_com::guarded([&]() -> HRESULT {
        if (!m_client) {
            folder_session& session = current_folder_session();
            // Held until the session is taken, on every path: the tray
            // program and every other process wait on it.
            utils::named_mutex_lock hold(*m_loginMutex);
            bool logged_in = false;
            try {
                logged_in = session.is_logged_in();
            } catch (...) {
                logged_in = false;
            }
            if (!logged_in) {
                if (no_ui) return E_FAIL;
                if (!session.log_in_with_dialog(owner)) return E_FAIL;
            }
            try {
                m_client = session.get_client();
            } catch (...) {
                return E_FAIL;
            }
            if (!m_client) return E_FAIL;
        }
        if (!m_directory) m_directory = m_client->get_root_directory();
        return m_directory ? S_OK : E_FAIL;
    });
}

HRESULT CShellFolderImpl::InitFromParent(const vfs::item_ptr& start, const CItemIdList& base,
                                         const CItemIdList& location, const CItemIdList& relative) {
    return shell_com::guarded([&]() -> HRESULT {
        vfs::item_ptr current = start;
        try {
            for (const PIDLDATA& record : relative.GetItems()) {
                auto folder = boost::dynamic_pointer_cast<vfs::directory>(current);
                if (!folder) return E_FAIL;
                current = folder->get_item_by_id(pidl_id(record), false);
                if (!current) return E_FAIL;
            }
        } catch (const vfs::exception&) {
            return E_FAIL;
        }
        m_pidlRoot = base;
        m_location = location + relative;
        m_directory = current;
        return S_OK;
    });
}

HRESULT CShellFolderImpl::BindToPidl(const CItemIdList& base, const CItemIdList& relative) {
    const HRESULT connected = EnsureConnected(nullptr, false);
    if (FAILED(connected)) return connected;
    const vfs::item_ptr root = m_directory;
    return InitFromParent(root, base, CItemIdList(), relative);
}

// ---- Binding ------------------------------------------------------------------

HRESULT CShellFolderImpl::BindToObject(PCUIDLIST_RELATIVE list, LPBC, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return shell_com::guarded([&]() -> HRESULT {
        if (in_trash(m_directory)) return E_NOINTERFACE;
        if (ILIsEmpty(list)) return E_INVALIDARG;
        const CItemIdList relative(list, false);
        const HRESULT connected = EnsureConnected(nullptr, true);
        if (FAILED(connected)) return connected;
        if (iid == IID_IStream) {
            auto folder = boost::dynamic_pointer_cast<vfs::directory>(m_directory);
            if (!folder) return E_NOINTERFACE;
            vfs::item_ptr item;
            try {
                item = folder->get_item_by_id(pidl_id(relative.GetLastItem()), false);
            } catch (const vfs::exception&) {
                return E_FAIL;
            }
            auto file = boost::dynamic_pointer_cast<vfs::file>(item);
            if (!file) return E_NOINTERFACE;
            return create_file_stream(file, iid, object);
        }
        CComObject<CShellFolderImpl>* child = nullptr;
        HRESULT result = CComObject<CShellFolderImpl>::CreateInstance(&child);
        if (FAILED(result)) return result;
        child->AddRef();
        child->m_client = m_client;
        result = child->InitFromParent(m_directory, m_pidlRoot, m_location, relative);
        if (SUCCEEDED(result)) result = child->QueryInterface(iid, object);
        child->Release();
        return result;
    });
}

HRESULT CShellFolderImpl::BindToStorage(PCUIDLIST_RELATIVE, LPBC, REFIID, void** object) {
    if (object) *object = nullptr;
    return E_NOTIMPL;
}

// ---- Enumeration --------------------------------------------------------------

HRESULT CShellFolderImpl::EnumObjects(HWND, DWORD flags, IEnumIDList** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    return shell_com::guarded([&]() -> HRESULT {
        if (FAILED(EnsureConnected(nullptr, false)) || flags == 0) return S_FALSE;
        auto folder = boost::dynamic_pointer_cast<vfs::directory>(m_directory);
        if (!folder) return S_FALSE;
        std::vector<PIDLDATA> records;
        try {
            vfs::item_list children = folder->list_items();
            // A replace that a killed host left half done is mended when
            // its folder is next shown (never in the trash, which holds
            // what was deleted).
            if (!(folder->get_folder_type() & vfs::folder_type_trash) &&
                shell_upload::repair_set_asides(*folder, children))
                children = folder->list_items();
            if (children.empty()) return S_FALSE;
            for (const vfs::item_ptr& child : children) {
                if (child->get_type() == vfs::item_type_directory) {
                    if (flags & SHCONTF_FOLDERS) records.push_back(make_pidl_data(child));
                    continue;
                }
                if (!(flags & SHCONTF_NONFOLDERS)) continue;
                const std::wstring name = child->get_name();
                const int type = folder->get_folder_type();
                if (!(type & 2) && shell_utils::IsPerceivedAudio(name))
                    folder->set_folder_type(type | 2);
                const int marked = folder->get_folder_type();
                if (!(marked & 8) && shell_utils::IsPerceivedVideo(name))
                    folder->set_folder_type(marked | 8);
                records.push_back(make_pidl_data(child));
            }
        } catch (const vfs::exception& failure) {
            MessageBoxW(nullptr, failure.get_text().c_str(), failure.get_title().c_str(),
                        MB_ICONERROR);
            return S_FALSE;
        }
        m_enumLists.push_back(std::move(records));
        return create_id_list_enumerator(static_cast<IShellFolder2*>(this), m_enumLists.back(),
                                         enumerator);
    });
}

// ---- Objects handed out -----------------------------------------------------------

HRESULT CShellFolderImpl::CreateViewObject(HWND owner, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return shell_com::guarded([&]() -> HRESULT {
        if (iid == IID_IStream) {
            // A folder object bound to a file reads it as a stream.
            const HRESULT connected = EnsureConnected(nullptr, true);
            if (FAILED(connected)) return connected;
            auto file = boost::dynamic_pointer_cast<vfs::file>(m_directory);
            return file ? create_file_stream(file, iid, object) : E_NOINTERFACE;
        }
        if (iid == IID_ITransferDestination)
            return static_cast<IShellFolder2*>(this)->QueryInterface(iid, object);
        if (iid == IID_IExtractImage) {
            // The folder's own item: a folder has no thumbnail, so this is
            // the extractor's refusal unless the folder object stands for a
            // file.
            const HRESULT connected = EnsureConnected(nullptr, true);
            if (FAILED(connected)) return connected;
            IExtractImage* extractor = nullptr;
            HRESULT result = create_extract_image(m_directory, nullptr, nullptr, &extractor);
            if (FAILED(result)) return result;
            result = extractor->QueryInterface(iid, object);
            extractor->Release();
            return result;
        }
        if (iid == IID_IExplorerCommandProvider) {
            const HRESULT connected = EnsureConnected(nullptr, true);
            if (FAILED(connected)) return connected;
            return folder_ui_makers().create_command_provider(static_cast<IShellFolder2*>(this),
                                                              iid, object);
        }
        if (iid == IID_IContextMenu) {
            // The background's menu pastes through the folder's own drop
            // target.
            const HRESULT connected = EnsureConnected(nullptr, true);
            if (FAILED(connected)) return connected;
            IDropTarget* target = nullptr;
            HRESULT result =
                CreateDropTarget(owner, IID_IDropTarget, reinterpret_cast<void**>(&target));
            if (FAILED(result)) return result;
            result = boost::dynamic_pointer_cast<vfs::directory>(m_directory)
                         ? folder_ui_makers().create_background_menu(target, AbsoluteList(),
                                                                     m_directory, iid, object)
                         : E_NOINTERFACE;
            target->Release();
            return result;
        }
        if (iid == IID_IDropTarget) return CreateDropTarget(owner, iid, object);
        if (iid != IID_IShellView) return E_NOINTERFACE;
        // A folder that was never enumerated has no remote folder yet; only
        // one it knows to be in the trash refuses a view.
        if (in_trash(m_directory)) return E_NOINTERFACE;
        IShellFolderViewCB* callback = nullptr;
        HRESULT result = create_view_callback(AbsoluteList(), &callback);
        if (FAILED(result)) return result;
        SFV_CREATE create{};
        create.cbSize = sizeof create;
        create.pshf = static_cast<IShellFolder2*>(this);
        create.psvOuter = nullptr;
        create.psfvcb = callback;
        IShellView* view = nullptr;
        result = SHCreateShellFolderView(&create, &view);
        callback->Release();
        if (FAILED(result)) return result;
        result = view->QueryInterface(iid, object);
        view->Release();
        return result;
    });
}
