// The callback of the folder's view: it tells the shell's view which list
// to watch for change notifications (the folder's own, every event), that
// the folder lies in the local machine's zone, and that it adds no
// tool-bar buttons.
#pragma once

#include "folder/item_ids/item_id_list.h"
#include "win/atl_base.h"
#include "win/shell_view.h"

class CShellFolderViewCBImpl : public CComObjectRootEx<CComSingleThreadModel>,
                               public IShellFolderViewCB {
public:
    using com_map = win_atl::com_map<IShellFolderViewCB>;

    CShellFolderViewCBImpl() = default;
    ~CShellFolderViewCBImpl();
    CShellFolderViewCBImpl(const CShellFolderViewCBImpl&) = delete;
    CShellFolderViewCBImpl& operator=(const CShellFolderViewCBImpl&) = delete;

    // Keeps a new copy of the folder's absolute list; E_OUTOFMEMORY.
    HRESULT Init(const CItemIdList& folder);

    HRESULT STDMETHODCALLTYPE MessageSFVCB(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    LPITEMIDLIST m_pidl = nullptr;
};

// A new callback for the folder's absolute list, with one reference for
// the caller.
HRESULT create_view_callback(const CItemIdList& folder, IShellFolderViewCB** callback);
