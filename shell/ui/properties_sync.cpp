#include "ui/properties_sync.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "folder/item_ids/item_id_list.h"
#include "folder/module/failure_text.h"
#include "folder/module/folder_session.h"
#include "folder/module/local_names.h"
#include "folder/module/site_message_box.h"
#include "syncer/core/paths.h"
#include "syncer/tables/binding_manager.h"
#include "ui/sync_choice.h"
#include "ui/sync_folder_rule.h"
#include "ui/sync_manager_dlg.h"
#include "vfs/directory.h"
#include "win/file.h"
#include "win/shell.h"
#include "win/shell_browse.h"
#include "win/shell_path.h"
#include "win/user.h"

namespace {

using syncer::sync_permission;

constexpr wchar_t product_word[] = L"Calvimora";

bool is_separator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring with_backslashes(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// The remote location as the page shows it: the product's folder, then the
// remote path, with "\" and one separator between.
std::wstring shown_remote(const std::wstring& path) {
    const std::wstring folder = product_word;
    if (path.empty() || is_separator(path.front())) return with_backslashes(folder + path);
    return with_backslashes(folder + L"\\" + path);
}

// Local paths are written in the platform's native form, "/" between the
// levels; a name may hold "\".
std::wstring join_native(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || name.empty() || folder.back() == L'/') return folder + name;
    return folder + L"/" + name;
}

std::wstring native_parent(const std::wstring& path) {
    std::wstring trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == L'/') trimmed.pop_back();
    const size_t last = trimmed.rfind(L'/');
    if (last == std::wstring::npos) return L"";
    return last == 0 ? L"/" : trimmed.substr(0, last);
}

// Whether every level of a remote path can be one local name.
bool has_local_levels(const std::wstring& remote_path) {
    size_t start = 0;
    while (start < remote_path.size()) {
        const size_t end = std::min(remote_path.find_first_of(L"/\\", start), remote_path.size());
        if (end > start && !local_names::is_acceptable(remote_path.substr(start, end - start)))
            return false;
        start = end + 1;
    }
    return true;
}

std::wstring text_of(HWND dialog, int id) {
    return CWindow(GetDlgItem(dialog, id)).GetWindowText();
}

// The remote path a binding covers: its folder, or the one file in it.
std::wstring covered_path(const syncer::binding& b) {
    return b.filename.empty() ? b.dir_remote : syncer::join_path(b.dir_remote, b.filename);
}

// The user whose binding table the page reads and writes.
std::wstring session_user_name() {
    return current_folder_session().get_user_info().user_name;
}

}  // namespace

bool is_syncable_local_folder(const std::wstring& path) {
    // Absolute: one leading separator; two start a network (UNC) name.
    if (path.empty() || !is_separator(path[0])) return false;
    if (path.size() > 1 && is_separator(path[1])) return false;
    size_t start = 1;
    while (start < path.size()) {
        const size_t end = std::min(path.find_first_of(L"\\/", start), path.size());
        const std::wstring element = path.substr(start, end - start);
        const bool last = end >= path.size() - 1;
        if ((element.empty() && !last) || element == L"." || element == L"..") return false;
        start = end + 1;
    }
    if (path.find(L'\0') != std::wstring::npos) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    return !PathIsNetworkPathW(path.c_str());
}

CPropertiesItemSyncDlg::CPropertiesItemSyncDlg(const sheet_selection& selection)
    : m_folder(selection.folder_directory),
      m_themeBrush(selection.theme_brush),
      m_sheet(selection.sheet) {
    register_properties_sync_resources();
    std::vector<LPCITEMIDLIST> lists;
    for (UINT i = 0; i < selection.items.GetSize(); ++i) lists.push_back(selection.items[i]);
    m_items.Assign(lists.data(), static_cast<UINT>(lists.size()));
}

CPropertiesItemSyncDlg::~CPropertiesItemSyncDlg() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

BOOL CPropertiesItemSyncDlg::ProcessWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM,
                                                  LRESULT& result, DWORD) {
    result = 0;
    switch (message) {
        case WM_INITDIALOG:
            result = TRUE;
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORDLG:
            if (!m_themeBrush) return FALSE;
            SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
            result = reinterpret_cast<LRESULT>(m_themeBrush);
            return TRUE;
        case WM_SETCURSOR:
            if (!m_busy) return FALSE;
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            result = TRUE;
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wparam) != BN_CLICKED) return FALSE;
            switch (LOWORD(wparam)) {
                case IDC_SYNC_BROWSE:
                    on_browse();
                    return TRUE;
                case IDC_SYNC_MANAGE:
                    on_manage();
                    return TRUE;
                case IDC_SYNC_FULL:
                case IDC_SYNC_BACKUP:
                    // One of the two, as a group of automatic radio buttons.
                    CheckDlgButton(m_hWnd, IDC_SYNC_FULL,
                                   LOWORD(wparam) == IDC_SYNC_FULL ? BST_CHECKED : BST_UNCHECKED);
                    CheckDlgButton(m_hWnd, IDC_SYNC_BACKUP,
                                   LOWORD(wparam) == IDC_SYNC_BACKUP ? BST_CHECKED : BST_UNCHECKED);
                    on_option_clicked();
                    return TRUE;
                case IDC_SYNC_PERMANENT:
                    on_option_clicked();
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

void CPropertiesItemSyncDlg::gather_records() {
    const syncer::binding_set stored = [] {
        syncer::binding_manager table(session_user_name(), true);
        return table.get_bindings();
    }();
    const std::wstring folder_path = m_folder->get_path();
    std::vector<item_record> records;
    for (UINT i = 0; i < m_items.GetSize(); ++i) {
        const CItemIdList ids(m_items[i], false);
        item_record record;
        record.item = m_folder->get_item_by_id(pidl_id(ids.GetLastItem()), false);
        if (!record.item) throw std::runtime_error("The item was not found");
        // The remote path as the engine walks it, from the user's root.
        record.path = syncer::join_path(folder_path, record.item->get_name());
        for (const syncer::binding& b : stored)
            if (b._type == syncer::binding::type_user_choice && b._mode != 2 &&
                syncer::paths_equal(covered_path(b), record.path))
                record.bindings.push_back(b);
        records.push_back(std::move(record));
    }
    m_records = std::move(records);
}

HRESULT CPropertiesItemSyncDlg::Fill(int start_page) {
    m_busy = true;
    try {
        try {
            gather_records();
        } catch (...) {
            shell_utils::MessageBoxCaptionId(m_hWnd, nullptr, IDS_ERROR_LOADING_ITEMS,
                                             current_failure().text.c_str(), MB_ICONERROR);
            throw;
        }
        const bool one = m_records.size() == 1;
        const bool one_binding = one && m_records.front().bindings.size() == 1;

        SetDlgItemTextW(m_hWnd, IDC_SYNC_REMOTE_LOCATION,
                        one ? shown_remote(m_records.front().path).c_str()
                            : shell_utils::LoadShellString(IDS_MULTIPLE_ITEMS).c_str());

        std::wstring local;
        if (one_binding) {
            const syncer::binding& b = m_records.front().bindings.front();
            local = local_names::native_form(join_native(b.dir_local, b.filename));
        } else {
            wchar_t documents[MAX_PATH];
            if (!SHGetSpecialFolderPathW(m_hWnd, documents, CSIDL_PERSONAL, FALSE))
                throw std::runtime_error("The documents folder was not found");
            local = local_names::native_form(documents);
            if (one) local = join_native(local, m_records.front().item->get_name());
        }
        SetDlgItemTextW(m_hWnd, IDC_SYNC_LOCAL_FOLDER, local.c_str());

        bool permanent = false;
        bool backup = false;
        if (start_page == start_full_sync) {
            permanent = true;
        } else if (start_page == start_backup || start_page == start_backup_too) {
            permanent = backup = true;
        } else if (one_binding) {
            permanent = true;
            backup = is_backup_binding(m_records.front().bindings.front());
        }
        CheckDlgButton(m_hWnd, IDC_SYNC_PERMANENT, permanent ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(m_hWnd, IDC_SYNC_FULL, backup ? BST_UNCHECKED : BST_CHECKED);
        CheckDlgButton(m_hWnd, IDC_SYNC_BACKUP, backup ? BST_CHECKED : BST_UNCHECKED);

        m_busy = false;
        update_controls();
        if (start_page == start_full_sync || start_page == start_backup ||
            start_page == start_backup_too)
            set_modified();
        return S_OK;
    } catch (...) {
        EnableWindow(m_hWnd, FALSE);
        return E_FAIL;
    }
}

bool CPropertiesItemSyncDlg::is_checked(int id) const {
    return IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CPropertiesItemSyncDlg::update_controls() {
    RECT place;
    if (::GetWindowRect(GetDlgItem(IDC_SYNC_BACKUP_NOTE), &place)) {
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
        ::SetWindowPos(GetDlgItem(IDC_SYNC_FULL_NOTE), nullptr, place.left, place.top,
                       place.right - place.left, place.bottom - place.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const bool permanent = is_checked(IDC_SYNC_PERMANENT);
    const bool backup = is_checked(IDC_SYNC_BACKUP);
    const bool full = is_checked(IDC_SYNC_FULL);
    EnableWindow(GetDlgItem(IDC_SYNC_FULL), permanent);
    EnableWindow(GetDlgItem(IDC_SYNC_BACKUP), permanent);
    ::ShowWindow(GetDlgItem(IDC_SYNC_BACKUP_NOTE), permanent && backup ? SW_SHOW : SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_SYNC_HIDDEN_NOTE), permanent && backup ? SW_SHOW : SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_SYNC_FULL_NOTE), permanent && full ? SW_SHOW : SW_HIDE);
}

void CPropertiesItemSyncDlg::set_modified() {
    m_modified = true;
    enable_sheet_apply(m_sheet);
}

void CPropertiesItemSyncDlg::on_option_clicked() {
    update_controls();
    if (!m_busy) set_modified();
}

void CPropertiesItemSyncDlg::on_browse() {
    PIDLIST_ABSOLUTE computer = nullptr;
    if (FAILED(SHGetFolderLocation(m_hWnd, CSIDL_DRIVES, nullptr, 0, &computer))) return;
    const std::wstring title = shell_utils::LoadShellString(IDS_SELECT_FOLDER);
    BROWSEINFOW info{};
    info.hwndOwner = m_hWnd;
    info.pidlRoot = computer;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    ILFree(computer);
    if (!chosen) return;
    wchar_t path[MAX_PATH];
    const bool has_path = SHGetPathFromIDListW(chosen, path);
    ILFree(chosen);
    std::wstring local = local_names::native_form(path);
    if (m_records.size() == 1) local = join_native(local, m_records.front().item->get_name());
    if (!has_path || !is_syncable_local_folder(path) || !may_bind(local)) {
        show_wrong_path();
        return;
    }
    SetDlgItemTextW(m_hWnd, IDC_SYNC_LOCAL_FOLDER, local.c_str());
    set_modified();
}

void CPropertiesItemSyncDlg::show_wrong_path() {
    shell_utils::MessageBoxFormat(m_hWnd, nullptr, IDS_WRONG_PATH_SELECTED, IDS_WRONG_PATH_TEXT,
                                  product_word, MB_ICONERROR);
}

bool CPropertiesItemSyncDlg::may_bind(const std::wstring& local_folder) const {
    try {
        std::vector<syncer::binding> wanted, replaced;
        for (const item_record& record : m_records) {
            wanted.push_back(binding_for(record, local_folder, false));
            replaced.insert(replaced.end(), record.bindings.begin(), record.bindings.end());
        }
        syncer::binding_manager table(session_user_name(), true);
        return sync_folder_rule::can_bind(wanted, table.get_bindings(), replaced);
    } catch (const sync_folder_rule::unsyncable_folder&) {
        return false;
    } catch (...) {
        // The table could not be read: Apply checks again and says why.
        return true;
    }
}

void CPropertiesItemSyncDlg::on_manage() {
    CDialogSyncManager manager;
    manager.DoModal(::GetActiveWindow());
}

syncer::binding CPropertiesItemSyncDlg::binding_for(const item_record& record,
                                                    const std::wstring& local_folder,
                                                    bool backup) const {
    const std::wstring name = record.item->get_name();
    // The remote names become levels of the local path: each must be one
    // local name.
    if (!local_names::is_acceptable(name) || !has_local_levels(record.path))
        throw sync_folder_rule::unsyncable_folder();
    const bool one = m_records.size() == 1;
    const std::wstring local = one ? local_folder : join_native(local_folder, name);
    const syncer::sync_rule rule = backup ? backup_rule() : syncer::sync_rule();
    if (record.item->get_type() == vfs::item_type_directory)
        return syncer::binding(syncer::binding::type_user_choice, 1, record.path, local, L"",
                               sync_permission::not_set, rule, false, L"");
    // A file is bound in its folder: the local folder's parent holds it.
    return syncer::binding(syncer::binding::type_user_choice, 1, syncer::parent_path(record.path),
                           one ? native_parent(local) : local_folder, name,
                           sync_permission::not_set, rule, false, L"");
}

std::vector<std::vector<syncer::binding>> CPropertiesItemSyncDlg::write_bindings(
    bool permanent, const std::wstring& local_folder, bool backup) const {
    std::vector<binding_change> changes;
    for (const item_record& record : m_records) {
        binding_change change{record.bindings, std::nullopt};
        if (permanent) change.wanted = binding_for(record, local_folder, backup);
        changes.push_back(std::move(change));
    }
    return apply_binding_changes(session_user_name(), changes);
}

HRESULT CPropertiesItemSyncDlg::Apply() {
    if (!m_modified) return S_OK;
    const bool permanent = is_checked(IDC_SYNC_PERMANENT);
    // One item: the folder shown is its local folder (a file's lies in its
    // parent); several: each gets a folder of its name inside it.
    const std::wstring local_folder = text_of(m_hWnd, IDC_SYNC_LOCAL_FOLDER);
    const std::wstring local_base =
        m_records.size() == 1 ? native_parent(local_folder) : local_folder;
    if (permanent && !is_syncable_local_folder(local_base)) {
        show_wrong_path();
        return E_FAIL;
    }
    std::vector<std::vector<syncer::binding>> written;
    try {
        written = write_bindings(permanent, local_folder, is_checked(IDC_SYNC_BACKUP));
    } catch (const sync_folder_rule::unsyncable_folder&) {
        show_wrong_path();
        return E_FAIL;
    } catch (...) {
        shell_utils::MessageBoxCaptionId(m_hWnd, nullptr, IDS_ERROR_SAVING_BINDINGS,
                                         current_failure().text.c_str(), MB_ICONERROR);
        return E_FAIL;
    }
    // The table now holds what the page shows: the next apply starts from it.
    for (size_t i = 0; i < m_records.size(); ++i) m_records[i].bindings = std::move(written[i]);
    m_modified = false;
    return S_OK;
}
