// The "Sync & Backup" page of the property sheet of remote items: binds the
// selected remote items to a local folder for permanent synchronisation
// ("Full Sync") or backup by the tray program's sync engine, through the
// user's binding table. The sheet makes it as a modeless child of its tab
// control, fills it once with the page it opens at and applies it on OK
// and Apply.
#pragma once

#include <string>
#include <vector>

#include "syncer/core/binding.h"
#include "ui/properties_sync_resources.h"
#include "ui/sheet_selection.h"
#include "vfs/item.h"
#include "win/atl_dialog.h"

// The rule for a local folder the engine may keep in step with a remote
// one: an absolute path (no ".", ".." or empty elements) that names an
// existing folder which is not a network location (a UNC name or a folder
// on a network file system).
bool is_syncable_local_folder(const std::wstring& path);

class CPropertiesItemSyncDlg : public CAxDialogImpl<CPropertiesItemSyncDlg> {
public:
    enum { IDD = IDD_PROPERTIES_SYNC };

    // The start pages that open the sheet at this page with a mode chosen.
    static constexpr int start_full_sync = 2;
    static constexpr int start_backup = 3;
    static constexpr int start_backup_too = 4;

    explicit CPropertiesItemSyncDlg(const sheet_selection& selection);
    // A page still open is destroyed while its handler is still there.
    ~CPropertiesItemSyncDlg() override;

    // Gathers the selected items and their bindings and shows them; the
    // start page 2 chooses "Full Sync", 3 or 4 "Backup", with the change
    // already pending. E_FAIL (the page disabled) when the items or the
    // documents folder cannot be found.
    HRESULT Fill(int start_page);
    // Writes the pending change into the binding table, all or nothing:
    // E_FAIL after an error box when anything fails, the table on disk as
    // it was. S_OK without a pending change.
    HRESULT Apply();
    // Whether a change waits for Apply.
    bool IsModified() const { return m_modified; }

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;

private:
    // One selected item and the bindings of the table that belong to it.
    struct item_record {
        vfs::item_ptr item;
        std::wstring path;  // "Calvimora" / the folder's path / the name
        std::vector<syncer::binding> bindings;
    };

    void gather_records();
    void update_controls();
    void on_option_clicked();
    void on_browse();
    void on_manage();
    void show_wrong_path();
    // Whether the records can be bound with that local folder shown (the
    // pages' folder rule, against the table as it is now).
    bool may_bind(const std::wstring& local_folder) const;
    void set_modified();
    bool is_checked(int id) const;
    // The binding the page writes for a record: the local folder shown
    // when one item is selected, else the local base joined with the
    // item's name; local paths in the native form. Throws
    // sync_folder_rule::unsyncable_folder for a remote name that cannot be
    // one local name.
    syncer::binding binding_for(const item_record& record, const std::wstring& local_folder,
                                bool backup) const;
    // Writes the records' bindings, all or nothing; the bindings each record
    // has afterwards.
    std::vector<std::vector<syncer::binding>> write_bindings(bool permanent,
                                                             const std::wstring& local_folder,
                                                             bool backup) const;

    vfs::directory_ptr m_folder;
    CPidlArray m_items;
    HBRUSH m_themeBrush = nullptr;
    HWND m_sheet = nullptr;
    std::vector<item_record> m_records;
    bool m_busy = true;
    bool m_modified = false;
};
