// The view background's menu of the virtual folder: its items, new folders
// selected for renaming, the folder's own sheet at the sharing or sync
// page, and the paste of the clipboard as a drop on the folder.
#include "ui/bg_context_menu.h"

#include <boost/pointer_cast.hpp>
#include <cstring>

#include "folder/folder_object/shell_folder_impl.h"
#include "folder/module/com_guard.h"
#include "folder/module/folder_strings.h"
#include "folder/module/module.h"
#include "folder/module/site_message_box.h"
#include "folder/transfer/data_object_impl.h"
#include "ui/property_sheet.h"
#include "vfs/exceptions.h"
#include "win/resources.h"
#include "win/shell.h"
#include "win/user.h"
#include "win/user_input.h"

namespace {

// The flag bits of the menus the view builds for its own background (a
// caller that sets none of them, with other flags, builds a File menu).
constexpr UINT view_background_flag = 0x20000;
constexpr UINT view_selection_flag = 0x10000;

// Select the new folder, start its renaming and scroll it into sight; the
// positioned form also places it at the point the menu was opened at.
constexpr UINT select_for_renaming = SVSI_EDIT | SVSI_ENSUREVISIBLE;
constexpr UINT select_and_place = select_for_renaming | SVSI_TRANSLATEPT;

// Folder type codes below this one can hold new folders (the root, own,
// shared and access folders), not the shared-folders container, a users
// folder or the trash.
constexpr int first_closed_folder_type = vfs::folder_type_shared_container;

// Inserts by position with ids from first; an id beyond last, like a
// refused insertion, is a failure.
class background_items {
public:
    background_items(HMENU menu, UINT first, UINT last) : menu_(menu), first_(first), last_(last) {}

    bool separator(UINT position) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE;
        item.fType = MFT_SEPARATOR;
        return InsertMenuItemW(menu_, position, TRUE, &item) != FALSE;
    }

    bool command(UINT position, UINT offset, UINT text_id) {
        if (last_ < first_ || offset > last_ - first_) return false;
        const std::wstring text = shell_utils::LoadShellString(text_id);
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_STRING | MIIM_ID;
        item.wID = first_ + offset;
        item.dwTypeData = const_cast<LPWSTR>(text.c_str());
        return InsertMenuItemW(menu_, position, TRUE, &item) != FALSE;
    }

private:
    HMENU menu_;
    UINT first_;
    UINT last_;
};

}  // namespace

std::wstring unique_new_folder_name(vfs::directory& folder, const std::wstring& base) {
    std::wstring name = base;
    for (long counter = 1;; ++counter) {
        if (counter > 1) name = base + L" (" + std::to_wstring(counter) + L")";
        try {
            folder.get_item(name, counter == 1);
        } catch (const vfs::item_not_found_exception&) {
            return name;
        }
    }
}

CBGContextMenu::~CBGContextMenu() {
    if (m_view) m_view->Release();
    if (m_dropTarget) m_dropTarget->Release();
}

HRESULT CBGContextMenu::Init(IDropTarget* target, const CItemIdList& folder,
                             const vfs::item_ptr& directory) {
    if (target) target->AddRef();
    if (m_dropTarget) m_dropTarget->Release();
    m_dropTarget = target;
    m_folder = folder;
    m_directory = directory;
    return S_OK;
}

HRESULT CBGContextMenu::QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last,
                                         UINT flags) {
    const bool view_menu = (flags & (view_background_flag | view_selection_flag)) || flags == 0;
    m_fileMenu = view_menu ? 0 : 1;
    m_selectOnly = (flags & view_selection_flag) || flags == 0 ? 1 : 0;
    if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(0, 0, 1);
    return shell_com::guarded([&]() -> HRESULT {
        auto folder = boost::dynamic_pointer_cast<vfs::directory>(m_directory);
        if (!folder) return E_UNEXPECTED;
        background_items items(menu, first, last);
        int highest = -1;
        if (m_fileMenu == 0 && folder->get_folder_type() < first_closed_folder_type) {
            GetCursorPos(&m_click);
            if (!items.separator(index + 1) ||
                !items.command(index + 2, background_new_folder, IDS_MENU_NEW_FOLDER))
                return E_FAIL;
            highest = background_new_folder;
        }
        // The places below are the menu's own positions, whatever index
        // the caller gave.
        const bool shares = folder->is_plain_directory();
        if (shares) {
            if (!items.separator(2) || !items.command(3, background_share, IDS_MENU_SHARE))
                return E_FAIL;
            highest = background_share;
        }
        if (folder->is_fixed_folder()) return MAKE_HRESULT(0, 0, highest + 1);
        if (!shares && !items.separator(2)) return E_FAIL;
        if (!items.command(shares ? 4 : 3, background_synchronize, IDS_MENU_SYNCHRONIZE))
            return E_FAIL;
        return MAKE_HRESULT(0, 0, background_synchronize + 1);
    });
}

HRESULT CBGContextMenu::InvokeCommand(LPCMINVOKECOMMANDINFO info) {
    if (!info) return E_INVALIDARG;
    return shell_com::guarded([&]() -> HRESULT {
        if (IS_INTRESOURCE(info->lpVerb)) {
            switch (LOWORD(info->lpVerb)) {
                case background_new_folder:
                    return CreateNewFolder();
                case background_share:
                    return ShowFolderProperties(start_sharing);
                case background_synchronize:
                    return ShowFolderProperties(start_sync);
                default:
                    return E_NOTIMPL;
            }
        }
        if (std::strcmp(info->lpVerb, "paste") == 0) return PasteFromClipboard();
        if (std::strcmp(info->lpVerb, "NewFolder") == 0) return CreateNewFolder();
        return E_NOTIMPL;
    });
}

HRESULT CBGContextMenu::GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) {
    return E_NOTIMPL;
}

HRESULT CBGContextMenu::SetSite(IUnknown* site) {
    if (!site) return E_NOINTERFACE;
    if (site != m_view) {
        IShellView* old = m_view;
        m_view = nullptr;
        site->QueryInterface(IID_IShellView, reinterpret_cast<void**>(&m_view));
        if (old) old->Release();
    }
    if (m_view) return S_OK;
    IServiceProvider* services = nullptr;
    if (FAILED(site->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&services))))
        return E_NOINTERFACE;
    IFolderView* folder_view = nullptr;
    services->QueryService(SID_SFolderView, IID_IFolderView,
                           reinterpret_cast<void**>(&folder_view));
    services->Release();
    if (!folder_view) return E_NOINTERFACE;
    folder_view->QueryInterface(IID_IShellView, reinterpret_cast<void**>(&m_view));
    folder_view->Release();
    return m_view ? S_OK : E_NOINTERFACE;
}

HRESULT CBGContextMenu::GetSite(REFIID iid, void** site) {
    if (!site) return E_POINTER;
    *site = nullptr;
    if (!m_view) return E_NOINTERFACE;
    return m_view->QueryInterface(iid, site);
}

HRESULT CBGContextMenu::CreateNewFolder() {
    auto folder = boost::dynamic_pointer_cast<vfs::directory>(m_directory);
    if (!folder) return E_UNEXPECTED;
    PIDLDATA record{};
    try {
        const std::wstring name =
            unique_new_folder_name(*folder, shell_utils::LoadShellString(IDS_NEW_FOLDER_NAME));
        record = make_pidl_data(folder->create_directory(name));
    } catch (const vfs::exception& failure) {
        MessageBoxW(nullptr, failure.get_text().c_str(), failure.get_title().c_str(), MB_ICONERROR);
        return E_FAIL;
    }
    const CItemIdList made(record);
    LPITEMIDLIST absolute = (m_folder + made).CreatePidl();
    if (absolute) SHChangeNotify(SHCNE_MKDIR, SHCNF_IDLIST | SHCNF_FLUSH, absolute, nullptr);
    CoTaskMemFree(absolute);
    if (!m_view) return S_OK;
    LPITEMIDLIST child = made.CreatePidl();
    if (!child) return S_OK;
    if (m_selectOnly) {
        m_view->SelectItem(child, select_for_renaming);
    } else {
        IShellView2* placing = nullptr;
        if (SUCCEEDED(
                m_view->QueryInterface(IID_IShellView2, reinterpret_cast<void**>(&placing)))) {
            placing->SelectAndPositionItem(child, select_and_place, &m_click);
            placing->Release();
        }
    }
    CoTaskMemFree(child);
    return S_OK;
}

// The folder's own sheet, as an item of its parent folder: a new folder
// object bound to the parent gives the data object of this one item.
HRESULT CBGContextMenu::ShowFolderProperties(int start_page) {
    const std::vector<PIDLDATA>& levels = m_folder.GetItems();
    // The junction itself has no parent of this folder's to show it in.
    if (!m_folder.HasBase() || levels.empty()) return E_FAIL;
    const CItemIdList base(m_folder.GetBase(), true);
    CItemIdList parent_levels;
    for (size_t i = 0; i + 1 < levels.size(); ++i) parent_levels += CItemIdList(levels[i]);

    CComObject<CShellFolderImpl>* parent = nullptr;
    HRESULT result = CComObject<CShellFolderImpl>::CreateInstance(&parent);
    if (FAILED(result)) return result;
    parent->AddRef();
    LPITEMIDLIST base_list = base.CreatePidl();
    result = base_list ? parent->Initialize(base_list) : E_OUTOFMEMORY;
    CoTaskMemFree(base_list);
    if (SUCCEEDED(result)) result = parent->BindToPidl(base, parent_levels);
    IDataObject* data = nullptr;
    if (SUCCEEDED(result)) {
        LPITEMIDLIST self = CItemIdList(levels.back()).CreatePidl();
        PCUITEMID_CHILD selection[] = {self};
        result = self ? parent->GetUIObjectOf(nullptr, 1, selection, IID_IDataObject, nullptr,
                                              reinterpret_cast<void**>(&data))
                      : E_OUTOFMEMORY;
        CoTaskMemFree(self);
    }
    if (SUCCEEDED(result)) {
        CDataObjectImpl* own = own_data_object(data);
        if (own) ShowItemProperties(static_cast<IShellFolder2*>(parent), own, start_page);
        result = own ? S_OK : E_FAIL;
    }
    if (data) data->Release();
    parent->Release();
    return result;
}

// A paste is a drop of the clipboard's object on the folder's own target,
// with the effect the clipboard prefers; a link is pasted as a copy.
HRESULT CBGContextMenu::PasteFromClipboard() {
    if (!m_dropTarget) return E_UNEXPECTED;
    IDataObject* data = nullptr;
    HRESULT result = OleGetClipboard(&data);
    if (FAILED(result)) return result;
    DWORD preferred = 0;
    result = read_clipboard_dword(
        data, calvimora_module().Format(CCalvimoraModule::format_preferred_drop_effect),
        &preferred);
    if (SUCCEEDED(result)) {
        preferred &= ~static_cast<DWORD>(DROPEFFECT_LINK);
        DWORD effect = preferred;
        result = m_dropTarget->DragEnter(data, MK_LBUTTON, POINTL{0, 0}, &effect);
        if (SUCCEEDED(result)) {
            effect = preferred;
            result = m_dropTarget->Drop(data, MK_LBUTTON, POINTL{0, 0}, &effect);
        }
    }
    data->Release();
    return result;
}

HRESULT create_background_menu(IDropTarget* target, const CItemIdList& folder,
                               const vfs::item_ptr& directory, REFIID iid, void** object) {
    CComObject<CBGContextMenu>* menu = nullptr;
    HRESULT result = CComObject<CBGContextMenu>::CreateInstance(&menu);
    if (FAILED(result)) return result;
    menu->AddRef();
    result = menu->Init(target, folder, directory);
    if (SUCCEEDED(result)) result = menu->QueryInterface(iid, object);
    menu->Release();
    return result;
}
