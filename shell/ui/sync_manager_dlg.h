// The sync manager: the user's permanent bindings of files and folders
// that the sync engine keeps in step (kind 0, scanned on every pass), with
// "One time sync" (the engine syncs the binding at its next scan) and
// "Cancel permanent sync" (the binding goes). Run modally; Enter keeps it
// open, Close and Escape end it with IDCANCEL.
//
// Each operation holds the user's binding table only while it runs, and
// saves it before it changes the list: a table that cannot be written is
// reported ("Calvimora syncer error") and left as it was on disk, the row
// in place.
#pragma once

#include <list>

#include "syncer/core/binding.h"
#include "ui/list_view_impl.h"
#include "ui/sync_manager_resources.h"
#include "win/atl_dialog.h"

class CDialogSyncManager : public CAxDialogImpl<CDialogSyncManager> {
public:
    enum { IDD = IDD_SYNC_MANAGER };

    CDialogSyncManager();

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;

private:
    void on_init_dialog();
    HRESULT fill_list();
    HRESULT sync_once();
    HRESULT cancel_permanent_sync();
    void on_item_changed(const NMLISTVIEW& change);
    // The binding a row stands for: one of the dialog's copy, or null.
    syncer::binding* binding_of_row(int row);

    CListViewImpl m_list;
    // Rows point at these; a list keeps every element in place while
    // others come and go.
    std::list<syncer::binding> m_bindings;
};
