#include "ui/sync_manager_dlg.h"

#include <algorithm>

#include "folder/module/failure_text.h"
#include "folder/module/folder_session.h"
#include "folder/module/local_names.h"
#include "serializer/node.h"
#include "syncer/tables/binding_manager.h"

namespace {

void show_error(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), sync_manager_text::error_caption, MB_OK);
}

// Runs an operation that may fail; a failure is shown in a box and gives
// E_FAIL.
template <typename Operation>
HRESULT reporting_failures(Operation operation) {
    try {
        operation();
        return S_OK;
    } catch (...) {
        // A service failure shows its text, a standard one its message.
        show_error(current_failure().text);
    }
    return E_FAIL;
}

// Opens the user's table, changes it and saves it. When the change or the
// save fails, the table in memory goes back to what was read, so that what
// the table's closing writes is what the file already held.
template <typename Change>
void change_table(const std::wstring& user_name, Change change) {
    syncer::binding_manager table(user_name, true);
    serializer::node before(L"sync_bindings", L"");
    table.to_node(before);
    try {
        change(table);
        table.save();
    } catch (...) {
        table.from_node(before);
        throw;
    }
}

// The user whose table the dialog shows; empty when nobody is logged in.
std::wstring logged_in_user() {
    folder_session& session = current_folder_session();
    if (!session.is_logged_in()) return std::wstring();
    return session.get_user_info().user_name;
}

}  // namespace

CDialogSyncManager::CDialogSyncManager() {
    register_sync_manager_resources();
}

BOOL CDialogSyncManager::ProcessWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam,
                                              LRESULT& result, DWORD) {
    result = 0;
    switch (message) {
        case WM_INITDIALOG:
            on_init_dialog();
            result = TRUE;
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDOK:
                    // Enter keeps the dialog open.
                    return TRUE;
                case IDCANCEL:
                    EndDialog(IDCANCEL);
                    return TRUE;
                case IDC_SYNC_MANAGER_SYNC_ONCE:
                    sync_once();
                    return TRUE;
                case IDC_SYNC_MANAGER_CANCEL_SYNC:
                    cancel_permanent_sync();
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header && header->idFrom == IDC_SYNC_MANAGER_LIST &&
                header->code == LVN_ITEMCHANGED)
                on_item_changed(*reinterpret_cast<const NMLISTVIEW*>(lparam));
            return FALSE;
        }
        default:
            return FALSE;
    }
}

void CDialogSyncManager::on_init_dialog() {
    m_list.SubclassWindow(GetDlgItem(IDC_SYNC_MANAGER_LIST));
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_list.InsertColumn(0, sync_manager_text::file_name, LVCFMT_LEFT, 150, 0);
    m_list.InsertColumn(1, sync_manager_text::file_location, LVCFMT_LEFT, 200, 1);
    m_list.InsertColumn(2, sync_manager_text::remote_location, LVCFMT_LEFT, 160, 2);
    fill_list();
}

HRESULT CDialogSyncManager::fill_list() {
    return reporting_failures([this] {
        const std::wstring user = logged_in_user();
        if (user.empty()) return;
        syncer::binding_set stored;
        {
            const syncer::binding_manager table(user, true);
            stored = table.get_bindings();
        }
        m_bindings.assign(stored.begin(), stored.end());
        int row = 0;
        for (syncer::binding& b : m_bindings) {
            if (b._type != syncer::binding::type_user_choice || b._mode != 1) continue;
            const std::wstring name = b.filename.empty() ? sync_manager_text::folder : b.filename;
            const int at = m_list.InsertItem(row++, name.c_str());
            m_list.SetItemData(at, reinterpret_cast<DWORD_PTR>(&b));
            // Tables of earlier versions hold local folders written with "\".
            m_list.SetItemText(at, 1, local_names::native_form(b.dir_local).c_str());
            m_list.SetItemText(at, 2, b.dir_remote.c_str());
        }
    });
}

syncer::binding* CDialogSyncManager::binding_of_row(int row) {
    const auto data = m_list.GetItemData(row);
    const auto found = std::find_if(m_bindings.begin(), m_bindings.end(), [&](const auto& b) {
        return reinterpret_cast<DWORD_PTR>(&b) == data;
    });
    return found == m_bindings.end() ? nullptr : &*found;
}

HRESULT CDialogSyncManager::sync_once() {
    const int row = m_list.GetSelectionMark();
    if (row < 0) return S_OK;
    return reporting_failures([&] {
        const std::wstring user = logged_in_user();
        if (user.empty()) return;
        syncer::binding* chosen = binding_of_row(row);
        if (!chosen) return;
        change_table(user,
                     [&](syncer::binding_manager& table) { table.set_force_sync_once(*chosen); });
    });
}

HRESULT CDialogSyncManager::cancel_permanent_sync() {
    const int row = m_list.GetSelectionMark();
    if (row < 0) return S_OK;
    return reporting_failures([&] {
        const std::wstring user = logged_in_user();
        if (user.empty()) return;
        syncer::binding* chosen = binding_of_row(row);
        if (!chosen) return;
        change_table(user, [&](syncer::binding_manager& table) { table.remove_binding(*chosen); });
        m_list.DeleteItem(row);
        m_bindings.remove_if([&](const syncer::binding& b) { return &b == chosen; });
    });
}

void CDialogSyncManager::on_item_changed(const NMLISTVIEW& change) {
    const bool chosen = change.iItem >= 0 && (change.uNewState & LVIS_SELECTED);
    for (int id : {IDC_SYNC_MANAGER_SYNC_ONCE, IDC_SYNC_MANAGER_CANCEL_SYNC})
        ::EnableWindow(GetDlgItem(id), chosen);
}
