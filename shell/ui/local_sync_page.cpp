#include "ui/local_sync_page.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "folder/item_ids/item_id_list.h"
#include "folder/module/failure_text.h"
#include "folder/module/folder_session.h"
#include "folder/module/local_folders.h"
#include "folder/module/local_names.h"
#include "folder/module/site_message_box.h"
#include "syncer/core/paths.h"
#include "syncer/tables/binding_manager.h"
#include "ui/local_items_resources.h"
#include "ui/properties_sync_resources.h"
#include "ui/sync_choice.h"
#include "ui/sync_folder_rule.h"
#include "ui/sync_manager_dlg.h"
#include "ui/sync_manager_resources.h"
#include "vfs/directory.h"
#include "win/file.h"
#include "win/global_memory.h"
#include "win/shell_browse.h"
#include "win/shell_dragdrop.h"
#include "win/shell_path.h"
#include "win/user.h"

namespace {

constexpr wchar_t root_name[] = L"Calvimora";
constexpr wchar_t fallback_folder[] = L"My Documents";
constexpr UINT fill_page_message = WM_USER + 1;

thread_local int chosen_page_mode = sync_page_mode_none;

bool is_separator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The remote folders as the page shows them: the virtual folder's name
// for the user's root, then the names below it, with "\".
std::wstring shown_remote(const std::wstring& service_path) {
    std::wstring out = root_name;
    for (wchar_t c : service_path) {
        const wchar_t shown = is_separator(c) ? L'\\' : c;
        if (shown == L'\\' && out.back() == L'\\') continue;
        if (shown != L'\\' && out.size() == std::size(root_name) - 1) out += L'\\';
        out += shown;
    }
    while (out.size() > std::size(root_name) - 1 && out.back() == L'\\') out.pop_back();
    return out;
}

// The folder below the user's root that a shown text names, in the
// service's form ("/a/b"); the root's own name alone is the root ("/").
// Throws for a text outside the virtual folder.
std::wstring service_remote(const std::wstring& shown) {
    const std::wstring root = root_name;
    if (shown.compare(0, root.size(), root) != 0 ||
        (shown.size() > root.size() && !is_separator(shown[root.size()])))
        throw std::runtime_error("The remote folder is not in the Calvimora folder");
    std::wstring out;
    for (size_t i = root.size(); i < shown.size(); ++i) {
        const wchar_t c = is_separator(shown[i]) ? L'/' : shown[i];
        if (c == L'/' && !out.empty() && out.back() == L'/') continue;
        out += c;
    }
    while (out.size() > 1 && out.back() == L'/') out.pop_back();
    return out.empty() ? L"/" : out;
}

// The paths of a data object's dropped files, whole and read in one pass
// (name by name, the list is walked again from its start for each);
// nothing when it has none.
std::vector<std::wstring> dropped_paths(IDataObject* data) {
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (!data || FAILED(data->GetData(&format, &medium))) return {};
    std::vector<std::wstring> paths;
    if (medium.tymed == TYMED_HGLOBAL) {
        if (const void* block = GlobalLock(medium.hGlobal)) {
            paths = win_shell::read_drop_files(block, GlobalSize(medium.hGlobal));
            GlobalUnlock(medium.hGlobal);
        }
    }
    ReleaseStgMedium(&medium);
    return paths;
}

// The whole text of a control.
std::wstring window_text(HWND dialog, int id) {
    return CWindow(GetDlgItem(dialog, id)).GetWindowText();
}

// The levels of a remote folder as the page shows them, when each can be
// one local name; nothing otherwise.
std::optional<std::wstring> shown_levels(const std::vector<std::wstring>& names) {
    std::wstring shown = root_name;
    for (const std::wstring& name : names) {
        if (!local_names::is_acceptable(name)) return std::nullopt;
        shown += L"\\" + name;
    }
    return shown;
}

// Whether every level of a remote path in the service's form can be one
// local name.
bool has_local_levels(const std::wstring& remote) {
    size_t start = 0;
    while (start < remote.size()) {
        const size_t end = std::min(remote.find(L'/', start), remote.size());
        if (end > start && !local_names::is_acceptable(remote.substr(start, end - start)))
            return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

int GetSyncPageMode() {
    return chosen_page_mode;
}

void SetSyncPageMode(int mode) {
    chosen_page_mode = mode;
}

HRESULT CPropertiesSyncDlg::FinalConstruct() {
    try {
        register_local_items_resources();
        m_loginMutex = std::make_unique<utils::named_mutex>(L"Local\\CMV_LOGIN_MUTEX");
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

void CPropertiesSyncDlg::FinalRelease() {
    if (m_data) m_data->Release();
    m_data = nullptr;
}

HRESULT CPropertiesSyncDlg::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
    if (data) data->AddRef();
    if (m_data) m_data->Release();
    m_data = data;
    return S_OK;
}

HRESULT CPropertiesSyncDlg::AddPages(LPFNADDPROPSHEETPAGE add_page, LPARAM parameter) {
    if (!add_page) return E_INVALIDARG;
    // The command that opens the sheet resets the mode as soon as the sheet
    // is up; the page initialises later, so it keeps the mode of now.
    m_mode = GetSyncPageMode();
    LoadStringW(win_module::this_module(), IDS_SYNC_PRODUCT_NAME, m_title,
                static_cast<int>(std::size(m_title)));
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_USETITLE | PSP_USECALLBACK;
    page.hInstance = win_module::this_module();
    page.pszTemplate = MAKEINTRESOURCEW(IDD_LOCAL_SYNC_PAGE);
    page.pszTitle = m_title;
    page.pfnDlgProc = DialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    page.pfnCallback = PageCallback;
    const HPROPSHEETPAGE made = CreatePropertySheetPageW(&page);
    if (!made) return E_OUTOFMEMORY;
    if (add_page(made, parameter)) return 2;
    DestroyPropertySheetPage(made);
    return E_FAIL;
}

HRESULT CPropertiesSyncDlg::ReplacePage(UINT, LPFNADDPROPSHEETPAGE, LPARAM) {
    return E_NOTIMPL;
}

UINT CALLBACK CPropertiesSyncDlg::PageCallback(HWND, UINT message, LPPROPSHEETPAGEW page) {
    auto* self = reinterpret_cast<CPropertiesSyncDlg*>(page->lParam);
    switch (message) {
        case PSPCB_ADDREF:
            static_cast<IShellExtInit*>(self)->AddRef();
            self->m_added = true;
            return 1;
        case PSPCB_RELEASE:
            // Last: the release may destroy the object.
            static_cast<IShellExtInit*>(self)->Release();
            return 1;
        case PSPCB_CREATE:
            if (!self->m_added) {
                static_cast<IShellExtInit*>(self)->AddRef();
                self->m_added = true;
            }
            return 1;
        default:
            return 0;
    }
}

INT_PTR CALLBACK CPropertiesSyncDlg::DialogProc(HWND window, UINT message, WPARAM wparam,
                                                LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CPropertiesSyncDlg*>(
            reinterpret_cast<LPPROPSHEETPAGEW>(lparam)->lParam);
        self->m_page = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CPropertiesSyncDlg*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_page = nullptr;
        return FALSE;
    }
    bool handled = false;
    const LRESULT result = self->OnMessage(message, wparam, lparam, handled);
    if (!handled) return FALSE;
    // These answer through the procedure's own result; the rest through
    // the dialog's message result.
    if (message == WM_INITDIALOG || message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORDLG ||
        message == WM_CTLCOLOREDIT || message == WM_CTLCOLORBTN)
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

LRESULT CPropertiesSyncDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) {
    handled = true;
    switch (message) {
        case WM_INITDIALOG:
            PostMessageW(m_page, fill_page_message, 0, 0);
            return TRUE;
        case fill_page_message:
            if (FAILED(InitPage())) EnableWindow(m_page, FALSE);
            return 0;
        case WM_COMMAND:
            if (HIWORD(wparam) == BN_CLICKED) {
                switch (LOWORD(wparam)) {
                    case IDC_LOCAL_PERMANENT:
                    case IDC_LOCAL_FULL:
                    case IDC_LOCAL_BACKUP:
                        UpdateControls();
                        MarkChanged();
                        return 0;
                    case IDC_LOCAL_BROWSE:
                        BrowseRemoteFolder();
                        return 0;
                    case IDC_LOCAL_MANAGE: {
                        CDialogSyncManager manager;
                        manager.DoModal(GetActiveWindow());
                        return 0;
                    }
                    default:
                        break;
                }
            }
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header && header->code == PSN_APPLY && header->idFrom == 0) return ApplyBindings();
            break;
        }
        default:
            break;
    }
    handled = false;
    return 0;
}

vfs::client_ptr CPropertiesSyncDlg::EnsureLoggedIn() {
    folder_session& session = current_folder_session();
    try {
        // Held until the session is taken: the tray program and every
        // other process wait on it.
        utils::named_mutex_lock hold(*m_loginMutex);
        bool logged_in = false;
        try {
            logged_in = session.is_logged_in();
        } catch (...) {
            logged_in = false;
        }
        if (!logged_in && !session.log_in_with_dialog(GetActiveWindow())) return nullptr;
        return session.get_client();
    } catch (...) {
        return nullptr;
    }
}

HRESULT CPropertiesSyncDlg::InitPage() {
    try {
        const vfs::client_ptr client = EnsureLoggedIn();
        if (!client) return E_FAIL;
        LoadItems(client);
        ShowLocalPath();
        InitRemoteFolder(client);
    } catch (...) {
        return E_FAIL;
    }
    InitOptions(m_mode);
    m_changed = false;
    UpdateControls();
    // A command's option is pending at once, so OK alone applies it.
    if (m_mode == sync_page_mode_synchronize || m_mode == sync_page_mode_backup) MarkChanged();
    return S_OK;
}

void CPropertiesSyncDlg::LoadItems(const vfs::client_ptr& client) {
    syncer::binding_manager table(client->get_user_info().user_name, true);
    const syncer::binding_set stored = table.get_bindings();
    m_items.clear();
    const std::vector<std::wstring> paths = dropped_paths(m_data);
    if (paths.empty()) throw std::invalid_argument("The selection holds no files");
    for (const std::wstring& path : paths) {
        local_item item;
        const DWORD attributes = GetFileAttributesW(path.c_str());
        item.is_folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        // The shell names the files with "\"; the table holds native paths.
        item.path = local_names::native_form(path);
        // The open worker's one-time bindings (mode 2) are not the page's.
        for (const syncer::binding& b : stored)
            if (b._type == syncer::binding::type_user_choice && b._mode != 2 &&
                syncer::paths_equal(sync_folder_rule::covered_local(b), path))
                item.bindings.push_back(b);
        m_items.push_back(std::move(item));
    }
}

void CPropertiesSyncDlg::ShowLocalPath() {
    const std::wstring shown = m_items.size() == 1
                                   ? local_names::native_form(m_items.front().path)
                                   : shell_utils::LoadShellString(IDS_MULTIPLE_ITEMS);
    SetDlgItemTextW(m_page, IDC_LOCAL_PATH, shown.c_str());
}

void CPropertiesSyncDlg::InitRemoteFolder(const vfs::client_ptr& client) {
    if (m_items.size() == 1 && m_items.front().bindings.size() == 1) {
        const syncer::binding& b = m_items.front().bindings.front();
        const std::wstring remote =
            b.filename.empty() ? b.dir_remote : syncer::join_path(b.dir_remote, b.filename);
        SetDlgItemTextW(m_page, IDC_LOCAL_REMOTE_FOLDER, shown_remote(remote).c_str());
        return;
    }
    std::wstring folder = shown_remote(L"/" + std::wstring(fallback_folder));
    try {
        // The first folder of the root whose name can be a local one.
        for (const vfs::item_ptr& item : client->get_root_directory()->list_items()) {
            if (item->get_type() == vfs::item_type_directory &&
                local_names::is_acceptable(item->get_name()) &&
                has_local_levels(item->get_path())) {
                folder = shown_remote(item->get_path());
                break;
            }
        }
    } catch (...) {
        MessageBoxW(m_page, current_failure().text.c_str(), sync_manager_text::error_caption,
                    MB_ICONERROR);
        throw;
    }
    if (m_items.size() == 1) folder += L"\\" + syncer::leaf_name(m_items.front().path);
    SetDlgItemTextW(m_page, IDC_LOCAL_REMOTE_FOLDER, folder.c_str());
}

void CPropertiesSyncDlg::InitOptions(int mode) {
    bool permanent = false;
    bool backup = false;
    if (mode == sync_page_mode_synchronize) {
        permanent = true;
    } else if (mode == sync_page_mode_backup) {
        permanent = backup = true;
    } else if (m_items.size() == 1 && m_items.front().bindings.size() == 1) {
        permanent = true;
        backup = is_backup_binding(m_items.front().bindings.front());
    }
    CheckDlgButton(m_page, IDC_LOCAL_PERMANENT, permanent ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_page, IDC_LOCAL_FULL, backup ? BST_UNCHECKED : BST_CHECKED);
    CheckDlgButton(m_page, IDC_LOCAL_BACKUP, backup ? BST_CHECKED : BST_UNCHECKED);
}

bool CPropertiesSyncDlg::IsChecked(int id) const {
    return IsDlgButtonChecked(m_page, id) == BST_CHECKED;
}

void CPropertiesSyncDlg::UpdateControls() {
    RECT place;
    if (GetWindowRect(GetDlgItem(m_page, IDC_LOCAL_BACKUP_NOTE), &place)) {
        MapWindowPoints(nullptr, m_page, reinterpret_cast<POINT*>(&place), 2);
        SetWindowPos(GetDlgItem(m_page, IDC_LOCAL_FULL_NOTE), nullptr, place.left, place.top,
                     place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const bool permanent = IsChecked(IDC_LOCAL_PERMANENT);
    const bool backup = permanent && IsChecked(IDC_LOCAL_BACKUP);
    const bool full = permanent && IsChecked(IDC_LOCAL_FULL);
    EnableWindow(GetDlgItem(m_page, IDC_LOCAL_FULL), permanent);
    EnableWindow(GetDlgItem(m_page, IDC_LOCAL_BACKUP), permanent);
    ShowWindow(GetDlgItem(m_page, IDC_LOCAL_BACKUP_NOTE), backup ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(m_page, IDC_LOCAL_HIDDEN_NOTE), backup ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(m_page, IDC_LOCAL_FULL_NOTE), full ? SW_SHOW : SW_HIDE);
}

void CPropertiesSyncDlg::MarkChanged() {
    m_changed = true;
    SendMessageW(GetParent(m_page), PSM_CHANGED, reinterpret_cast<WPARAM>(m_page), 0);
}

void CPropertiesSyncDlg::BrowseRemoteFolder() {
    PIDLIST_ABSOLUTE root = nullptr;
    try {
        const std::wstring parsing = shell_utils::GetExplorerParsingPath(L"");
        if (FAILED(SHParseDisplayName(parsing.c_str(), nullptr, &root, 0, nullptr))) return;
    } catch (...) {
        return;
    }
    const std::wstring title = shell_utils::LoadShellString(IDS_SELECT_FOLDER);
    BROWSEINFOW info{};
    info.hwndOwner = m_page;
    info.pidlRoot = root;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    const PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    // The chosen folder's levels below the root name its remote folder; a
    // folder outside the virtual folder changes nothing.
    const UINT root_size = ILGetSize(root) - sizeof(USHORT);
    std::vector<std::wstring> levels;
    bool inside =
        chosen && ILGetSize(chosen) >= ILGetSize(root) && std::memcmp(chosen, root, root_size) == 0;
    if (inside) {
        try {
            const auto* below =
                reinterpret_cast<LPCITEMIDLIST>(reinterpret_cast<const BYTE*>(chosen) + root_size);
            const CItemIdList below_root(below, false);
            for (const PIDLDATA& level : below_root.GetItems()) levels.push_back(pidl_name(level));
        } catch (...) {
            inside = false;
        }
    }
    ILFree(chosen);
    ILFree(root);
    if (!inside) return;
    // Each level becomes a level of the bindings' remote paths, and through
    // them of local ones.
    std::optional<std::wstring> chosen_folder = shown_levels(levels);
    if (!chosen_folder) {
        ShowWrongPath();
        return;
    }
    std::wstring shown = *chosen_folder;
    if (m_items.size() == 1) shown += L"\\" + syncer::leaf_name(m_items.front().path);
    SetDlgItemTextW(m_page, IDC_LOCAL_REMOTE_FOLDER, shown.c_str());
    MarkChanged();
}

void CPropertiesSyncDlg::ShowWrongPath() {
    shell_utils::MessageBoxFormat(m_page, nullptr, IDS_WRONG_PATH_SELECTED, IDS_WRONG_PATH_TEXT,
                                  root_name, MB_ICONERROR);
}

LRESULT CPropertiesSyncDlg::ApplyBindings() {
    if (!m_changed) return PSNRET_NOERROR;
    try {
        std::wstring shown = window_text(m_page, IDC_LOCAL_REMOTE_FOLDER);
        // One item: the text is the item's own remote path.
        if (m_items.size() == 1) shown = syncer::parent_path(shown);
        const std::wstring remote = service_remote(shown);
        if (!has_local_levels(remote)) throw sync_folder_rule::unsyncable_folder();
        const vfs::client_ptr client = EnsureLoggedIn();
        if (!client) return PSNRET_INVALID_NOCHANGEPAGE;
        const bool permanent = IsChecked(IDC_LOCAL_PERMANENT);
        const syncer::sync_rule rule =
            IsChecked(IDC_LOCAL_BACKUP) ? backup_rule() : syncer::sync_rule();
        std::vector<binding_change> changes;
        for (const local_item& item : m_items) {
            binding_change change{item.bindings, std::nullopt};
            if (permanent) {
                const std::wstring name = syncer::leaf_name(item.path);
                // A folder is a pair of its own; a file is bound in its
                // folder. Local paths in the native form.
                change.wanted =
                    item.is_folder
                        ? syncer::binding(syncer::binding::type_user_choice, 1,
                                          syncer::join_path(remote, name), item.path, L"",
                                          syncer::sync_permission::not_set, rule, false, L"")
                        : syncer::binding(syncer::binding::type_user_choice, 1, remote,
                                          syncer::parent_path(item.path), name,
                                          syncer::sync_permission::not_set, rule, false, L"");
            }
            changes.push_back(std::move(change));
        }
        const auto written = apply_binding_changes(client->get_user_info().user_name, changes);
        for (size_t i = 0; i < m_items.size(); ++i) m_items[i].bindings = written[i];
        m_changed = false;
        return PSNRET_NOERROR;
    } catch (const sync_folder_rule::unsyncable_folder&) {
        ShowWrongPath();
        return PSNRET_INVALID_NOCHANGEPAGE;
    } catch (...) {
        shell_utils::MessageBoxCaptionId(m_page, nullptr, IDS_ERROR_SAVING_BINDINGS,
                                         current_failure().text.c_str(), MB_ICONERROR);
        return PSNRET_INVALID_NOCHANGEPAGE;
    }
}
