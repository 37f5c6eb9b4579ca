// The context menu that Explorer shows for local files and folders gains
// "Backup to Calvimora" and "Synchronize with Calvimora"; each opens the
// items' property sheet at the "Calvimora" page with its option chosen.
#pragma once

#include "utils/class_ids.h"
#include "win/atl_base.h"
#include "win/shell.h"
#include "win/shell_menu.h"

// Opens the property sheet of the selection in the data object (local
// items: their lists and files) at the "Calvimora" page, which starts with
// the option of the mode (local_sync_page.h). S_OK once the sheet was shown;
// E_FAIL when the selection has no lists or the sheet could not be shown.
HRESULT OpenLocalSyncSheet(IDataObject* data, int mode);

class CShellContextMenu : public CComObjectRootEx<CComSingleThreadModel>,
                          public CComCoClass<CShellContextMenu, &utils::clsid_shell_context_menu>,
                          public IShellExtInit,
                          public IContextMenu {
public:
    using com_map = win_atl::com_map<IShellExtInit, IContextMenu>;

    static HRESULT UpdateRegistry(BOOL do_register);

    // The entries' picture, its key colour turned into the face colour of
    // menus; the menu works without it.
    HRESULT FinalConstruct();
    void FinalRelease();

    // Keeps (holds a reference on) the selection's data object for
    // InvokeCommand.
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data,
                                         HKEY key) override;
    // Inserts "Synchronize with Calvimora" (first id) and, above it,
    // "Backup to Calvimora" (first id + 1), both with the picture; 2 ids
    // used. Nothing for CMF_DEFAULTONLY. E_FAIL when the ids up to last
    // are too few or an insertion is refused, leaving what was inserted.
    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last,
                                               UINT flags) override;
    // Offset 0 opens the sheet with "Full Sync", 1 with "Backup"; verbs and
    // other offsets are E_INVALIDARG.
    HRESULT STDMETHODCALLTYPE InvokeCommand(LPCMINVOKECOMMANDINFO info) override;
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR command, UINT type, UINT* reserved,
                                               LPSTR name, UINT size) override;

private:
    IDataObject* m_data = nullptr;
    HBITMAP m_bitmap = nullptr;
};
