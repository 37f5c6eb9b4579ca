// The "Calvimora" page of the property sheet of local files and folders:
// shows which remote folder the selected items are bound to and binds them
// permanently, as a full synchronisation or as a backup, or removes their
// bindings; the tray program's sync engine then keeps the pairs in step.
// Explorer's sheet loads it as a property-sheet handler for every
// file-system object; the context menu's commands open the sheet at it
// with an option chosen.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "syncer/core/binding.h"
#include "utils/class_ids.h"
#include "utils/named_mutex.h"
#include "vfs/client.h"
#include "win/atl_base.h"
#include "win/commctrl.h"
#include "win/shell.h"

// The option a command chooses for the page it opens: the command sets it
// just before it opens the sheet and resets it just after. Each thread has
// its own, since the sheet and its pages are made on the thread that asks.
enum sync_page_mode : int {
    sync_page_mode_none = 0,
    sync_page_mode_synchronize = 2,
    sync_page_mode_backup = 3,
};
int GetSyncPageMode();
void SetSyncPageMode(int mode);

class CPropertiesSyncDlg
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CPropertiesSyncDlg, &utils::clsid_properties_sync_dlg>,
      public IShellExtInit,
      public IShellPropSheetExt {
public:
    using com_map = win_atl::com_map<IShellExtInit, IShellPropSheetExt>;

    static HRESULT UpdateRegistry(BOOL do_register);

    HRESULT FinalConstruct();
    void FinalRelease();

    // Keeps (holds a reference on) the selection's data object: the page
    // reads it when it initialises, long after this call.
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data,
                                         HKEY key) override;
    // Hands the sheet the page "Calvimora"; the option a command chose
    // (GetSyncPageMode) is taken now, while the command's choice holds.
    // 2 when the sheet took the page.
    HRESULT STDMETHODCALLTYPE AddPages(LPFNADDPROPSHEETPAGE add_page, LPARAM parameter) override;
    HRESULT STDMETHODCALLTYPE ReplacePage(UINT page, LPFNADDPROPSHEETPAGE replace_with,
                                          LPARAM parameter) override;

    // The page's dialog procedure and page callback, as the sheet calls
    // them; the page record's parameter is the object.
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static UINT CALLBACK PageCallback(HWND window, UINT message, LPPROPSHEETPAGEW page);

    // The page's window once the sheet made it.
    HWND PageWindow() const { return m_page; }

private:
    // One selected local file or folder and the table's bindings of it.
    struct local_item {
        bool is_folder = false;
        std::wstring path;  // in the native form
        std::vector<syncer::binding> bindings;
    };

    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled);
    vfs::client_ptr EnsureLoggedIn();
    HRESULT InitPage();
    void LoadItems(const vfs::client_ptr& client);
    void ShowLocalPath();
    void InitRemoteFolder(const vfs::client_ptr& client);
    void InitOptions(int mode);
    void UpdateControls();
    void MarkChanged();
    void BrowseRemoteFolder();
    // The pages' box for a place that cannot be synced.
    void ShowWrongPath();
    LRESULT ApplyBindings();
    bool IsChecked(int id) const;
    std::wstring RemoteName() const;

    HWND m_page = nullptr;
    wchar_t m_title[80] = {};
    bool m_added = false;
    std::vector<local_item> m_items;
    IDataObject* m_data = nullptr;
    bool m_changed = false;
    int m_mode = sync_page_mode_none;
    std::unique_ptr<utils::named_mutex> m_loginMutex;
};
