// The menu of the empty background of a view of the virtual folder (and the
// view's File menu): "New Folder", "Share..." and "Synchronize with
// Computer" for the folder shown, and the verbs "NewFolder" and "paste" that
// Explorer sends for its own New Folder and Paste. The folder makes it for
// CreateViewObject(IID_IContextMenu) and hands it its drop target, its place
// in the namespace and its remote folder. Explorer sets the view as its
// site; the view selects a new folder for renaming.
#pragma once

#include <string>

#include "folder/item_ids/item_id_list.h"
#include "vfs/directory.h"
#include "win/atl_base.h"
#include "win/ole.h"
#include "win/rect.h"
#include "win/shell_dragdrop.h"
#include "win/shell_menu.h"
#include "win/shell_view2.h"

// The commands, by their offset from the menu's first id (1 is never used).
enum background_command : UINT {
    background_new_folder = 0,
    background_share = 2,
    background_synchronize = 3,
};

// The first name of the form base, "base (2)", "base (3)" ... that the
// folder does not hold. The first lookup lists the folder afresh, the others
// ask what it listed. Only a lookup that finds nothing ends the search: any
// other failure of the service is thrown to the caller, never taken for a
// free name.
std::wstring unique_new_folder_name(vfs::directory& folder, const std::wstring& base);

class CBGContextMenu : public CComObjectRootEx<CComSingleThreadModel>,
                       public IContextMenu,
                       public IObjectWithSite {
public:
    using com_map = win_atl::com_map<IContextMenu, IObjectWithSite>;

    CBGContextMenu() = default;
    ~CBGContextMenu();
    CBGContextMenu(const CBGContextMenu&) = delete;
    CBGContextMenu& operator=(const CBGContextMenu&) = delete;

    // The folder's drop target (a reference is kept; paste drops through
    // it), its absolute list and its remote folder. S_OK.
    HRESULT Init(IDropTarget* target, const CItemIdList& folder, const vfs::item_ptr& directory);

    // IContextMenu. QueryContextMenu returns the highest offset used plus
    // one; 1 and no change with CMF_DEFAULTONLY; E_FAIL when an item cannot
    // be inserted (the items inserted before it stay).
    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last,
                                               UINT flags) override;
    HRESULT STDMETHODCALLTYPE InvokeCommand(LPCMINVOKECOMMANDINFO info) override;
    // No command has a help text or verb to give: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR command, UINT type, UINT* reserved,
                                               LPSTR name, UINT size) override;

    // IObjectWithSite: the site is, or serves (SID_SFolderView), the view.
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
    HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void** site) override;

private:
    HRESULT CreateNewFolder();
    HRESULT ShowFolderProperties(int start_page);
    HRESULT PasteFromClipboard();

    IDropTarget* m_dropTarget = nullptr;
    IShellView* m_view = nullptr;
    CItemIdList m_folder;
    POINT m_click{};
    int m_selectOnly = 0;
    int m_fileMenu = 0;
    vfs::item_ptr m_directory;
};

// A new background menu for the folder, initialised and asked for iid.
HRESULT create_background_menu(IDropTarget* target, const CItemIdList& folder,
                               const vfs::item_ptr& directory, REFIID iid, void** object);
