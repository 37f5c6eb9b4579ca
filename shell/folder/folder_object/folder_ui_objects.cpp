// The objects the folder hands out for its items (GetUIObjectOf), the drop
// target of its view, and the item menu's callback: the folder's own
// commands merged into the shell's default menu and carried out.
#include <algorithm>
#include <boost/pointer_cast.hpp>
#include <string>

#include "folder/drop/drop_target.h"
#include "folder/folder_object/shell_folder_impl.h"
#include "folder/icons/extract_icon.h"
#include "folder/icons/extract_image.h"
#include "folder/module/com_guard.h"
#include "folder/module/folder_strings.h"
#include "folder/module/site_message_box.h"
#include "folder/module/ui_makers.h"
#include "folder/transfer/data_object_impl.h"

namespace {

// The folder's item commands, by their offset from the menu's first id.
enum item_command : UINT {
    command_open = 0,
    command_share = 1,
    command_synchronize = 2,
    command_restore = 3,
};

// Flags the shell sets for menus of the view's own selection (as against
// menus that other hosts build for verbs only).
constexpr UINT unrestricted_flags = 0x10000 | 0x20000;

// Inserts items by position, with ids from the QCMINFO's first id, raising
// its first free id past each one used.
class menu_merger {
public:
    explicit menu_merger(QCMINFO& info) : info_(info), first_(info.idCmdFirst) {}

    // The menu position of a position counted from the QCMINFO's, within
    // the items the menu has.
    UINT at(UINT position) const {
        const int count = GetMenuItemCount(info_.hmenu);
        return std::min(info_.indexMenu + position, count > 0 ? static_cast<UINT>(count) : 0u);
    }

    bool command(UINT position, UINT offset, UINT text_id, UINT state = MFS_ENABLED) {
        const std::wstring text = shell_utils::LoadShellString(text_id);
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
        item.fState = state;
        item.wID = first_ + offset;
        item.dwTypeData = const_cast<LPWSTR>(text.c_str());
        if (item.wID > info_.idCmdLast) return false;
        if (!InsertMenuItemW(info_.hmenu, position, TRUE, &item)) return false;
        info_.idCmdFirst = std::max(info_.idCmdFirst, first_ + offset + 1);
        return true;
    }

    bool separator(UINT position) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE;
        item.fType = MFT_SEPARATOR;
        return InsertMenuItemW(info_.hmenu, position, TRUE, &item) != FALSE;
    }

private:
    QCMINFO& info_;
    UINT first_;
};

HRESULT merge_item_menu(CDataObjectImpl& data, UINT flags, QCMINFO& info) {
    menu_merger merger(info);
    const bool restricted = flags != 0 && !(flags & unrestricted_flags);
    const CPidlArray& items = data.GetItems();
    bool holds_fixed = false;
    for (UINT i = 0; i < items.GetSize(); ++i)
        if (CItemIdList(items[i], false).GetLastItem().is_fixed_folder) holds_fixed = true;

    if (!(flags & CMF_DEFAULTONLY)) {
        const vfs::directory_ptr folder = data.GetFolder();
        if (folder && folder->get_folder_type() == vfs::folder_type_trash)
            return merger.command(merger.at(0), command_restore, IDS_MENU_RESTORE) ? S_OK : E_FAIL;
        if (restricted) return S_OK;
        if (!holds_fixed) {
            if (!merger.separator(merger.at(2))) return E_FAIL;
            const PIDLDATA first = CItemIdList(items[0], false).GetLastItem();
            const bool one_plain_folder = items.GetSize() == 1 &&
                                          first.type == vfs::item_type_directory &&
                                          first.is_plain_directory;
            // Both at one place, so that synchronising stands above sharing
            // however few items the menu had.
            const UINT place = merger.at(3);
            if (one_plain_folder && !merger.command(place, command_share, IDS_MENU_SHARE))
                return E_FAIL;
            if (!merger.command(place, command_synchronize, IDS_MENU_SYNCHRONIZE)) return E_FAIL;
        }
    }
    if (!merger.separator(merger.at(0))) return E_FAIL;
    if (!merger.command(merger.at(0), command_open, IDS_MENU_OPEN, MFS_DEFAULT | MFS_HILITE))
        return E_FAIL;
    return S_OK;
}

// The folder's own commands; the rest is the shell's to do. The sheet
// opens on its own thread, each command at its page.
HRESULT invoke_item_command(IShellFolder* folder, CDataObjectImpl& data, HWND owner,
                            WPARAM command) {
    if (command == DFM_CMD_DELETE) return data.start_delete_items(owner, false);
    if (command == command_open) return data.start_open_files(owner, nullptr, false);
    if (command == command_restore) return data.restore_items(owner);
    const auto show_sheet = folder_ui_makers().show_item_properties;
    switch (command) {
        case DFM_CMD_PROPERTIES:
            show_sheet(folder, &data, start_general);
            return S_OK;
        case command_share:
            show_sheet(folder, &data, start_sharing);
            return S_OK;
        case command_synchronize:
            show_sheet(folder, &data, start_sync);
            return S_OK;
        default:
            return S_FALSE;
    }
}

}  // namespace

HRESULT CShellFolderImpl::MenuCallback(IShellFolder* folder, HWND owner, IDataObject* data,
                                       UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != DFM_MERGECONTEXTMENU && message != DFM_INVOKECOMMAND) return E_NOTIMPL;
    auto* own = dynamic_cast<CDataObjectImpl*>(data);
    if (!own) return E_FAIL;
    return shell_com::guarded([&]() -> HRESULT {
        if (message == DFM_MERGECONTEXTMENU) {
            auto* info = reinterpret_cast<QCMINFO*>(lparam);
            if (!info) return E_INVALIDARG;
            return merge_item_menu(*own, static_cast<UINT>(wparam), *info);
        }
        return invoke_item_command(folder, *own, owner, wparam);
    });
}

HRESULT CShellFolderImpl::GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY lists,
                                        REFIID iid, UINT*, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return shell_com::guarded([&]() -> HRESULT {
        if (iid == IID_IExtractImage) {
            if (count != 1 || !lists) return E_INVALIDARG;
            HRESULT result = EnsureConnected(owner, true);
            if (FAILED(result)) return result;
            auto folder = boost::dynamic_pointer_cast<vfs::directory>(m_directory);
            if (!folder) return E_NOINTERFACE;
            IExtractImage* extractor = nullptr;
            result = create_extract_image(nullptr, folder, lists[0], &extractor);
            if (FAILED(result)) return result;
            result = extractor->QueryInterface(iid, object);
            extractor->Release();
            return result;
        }
        if (iid == IID_IExtractIconW) {
            if (count != 1 || !lists) return E_FAIL;
            IExtractIconW* extractor = nullptr;
            HRESULT result =
                create_extract_icon(CItemIdList(lists[0], false).GetLastItem(), &extractor);
            if (FAILED(result)) return result;
            result = extractor->QueryInterface(iid, object);
            extractor->Release();
            return result;
        }
        if (iid == IID_IDropSource) {
            CComObject<CDropSourceImpl>* source = nullptr;
            HRESULT result = CComObject<CDropSourceImpl>::CreateInstance(&source);
            if (FAILED(result)) return result;
            source->AddRef();
            result = source->QueryInterface(iid, object);
            source->Release();
            return result;
        }
        if (iid == IID_IDropTarget) {
            if (count != 1 || !lists) return E_INVALIDARG;
            // A drop on a child folder goes to that folder's own object.
            IShellFolder* child = nullptr;
            HRESULT result =
                BindToObject(lists[0], nullptr, IID_IShellFolder, reinterpret_cast<void**>(&child));
            if (FAILED(result)) return result;
            result = child->CreateViewObject(owner, iid, object);
            child->Release();
            return result;
        }
        if (iid == IID_IDataObject) {
            if (count == 0 || !lists) return E_INVALIDARG;
            HRESULT result = EnsureConnected(owner, true);
            if (FAILED(result)) return result;
            auto folder = boost::dynamic_pointer_cast<vfs::directory>(m_directory);
            if (!folder) return E_FAIL;
            CComObject<CDataObjectImpl>* data = nullptr;
            result = create_data_object(folder, m_pidlRoot, m_location, owner, lists, count, &data);
            if (FAILED(result)) return result;
            result = data->QueryInterface(iid, object);
            data->Release();
            return result;
        }
        if (iid == IID_IContextMenu) {
            HRESULT result = EnsureConnected(owner, true);
            if (FAILED(result)) return result;
            LPITEMIDLIST absolute = AbsoluteList().CreatePidl();
            if (!absolute) return E_OUTOFMEMORY;
            IContextMenu* menu = nullptr;
            result = CDefFolderMenu_Create2(absolute, owner, count, lists,
                                            static_cast<IShellFolder2*>(this), &MenuCallback, 0,
                                            nullptr, &menu);
            CoTaskMemFree(absolute);
            if (FAILED(result)) return result;
            result = menu->QueryInterface(iid, object);
            menu->Release();
            return result;
        }
        return E_NOINTERFACE;
    });
}

HRESULT CShellFolderImpl::CreateDropTarget(HWND owner, REFIID iid, void** object) {
    *object = nullptr;
    CComObject<CDropTargetImpl>* target = nullptr;
    HRESULT result = CComObject<CDropTargetImpl>::CreateInstance(&target);
    if (FAILED(result)) return result;
    target->AddRef();
    // The target holds this folder alive through its reference, so the
    // connection it asks for always finds the folder there.
    const auto connect = [this](HWND window) {
        return SUCCEEDED(EnsureConnected(window, false)) ? GetDirectory() : vfs::item_ptr();
    };
    result = target->Init(static_cast<IShellFolder2*>(this), connect, m_pidlRoot, m_location, owner,
                          true);
    if (SUCCEEDED(result)) result = target->QueryInterface(iid, object);
    target->Release();
    return result;
}
