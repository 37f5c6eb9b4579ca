// The folder browser, and the lists and paths of special folders.
#include "win/shell_browse.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>

#include "com_apartment.h"
#include "shell_local_folder.h"
#include "win/file.h"
#include "win/process.h"
#include "win/shell.h"
#include "win/user.h"

namespace {

// The browser's template in this library's own resources.
constexpr WORD browser_template_id = 0x7A10;
constexpr wchar_t computer_name[] = L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

void register_browser_template() {
    static std::once_flag once;
    std::call_once(once, [] {
        using namespace win_dialogs;
        dialog_template t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
        t.cx = 260;
        t.cy = 96;
        t.caption = L"Browse For Folder";
        control_template status = left_text(IDC_BROWSE_STATUS, L"", 8, 30, 244, 8);
        status.style &= ~WS_VISIBLE;
        t.controls = {
            left_text(IDC_BROWSE_TITLE, L"", 8, 7, 244, 20),
            status,
            left_text(-1, L"Folder:", 8, 46, 34, 8),
            edit_text(IDC_BROWSE_FOLDER_EDIT, 44, 44, 208, 14, ES_AUTOHSCROLL),
            default_push_button(IDOK, L"OK", 148, 74, 50, 14),
            push_button(IDCANCEL, L"Cancel", 202, 74, 50, 14),
        };
        register_dialog(win_module::this_module(), browser_template_id, t);
    });
}

bool is_separator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Whether the path lies inside the folder (or is it), element by element.
bool lies_inside(const std::wstring& path, const std::wstring& folder) {
    size_t p = 0, f = 0;
    for (;;) {
        while (p < path.size() && is_separator(path[p])) ++p;
        while (f < folder.size() && is_separator(folder[f])) ++f;
        if (f == folder.size()) return p == path.size() || p > 0;
        if (p == path.size()) return false;
        const size_t p_end = std::min(path.find_first_of(L"\\/", p), path.size());
        const size_t f_end = std::min(folder.find_first_of(L"\\/", f), folder.size());
        if (path.compare(p, p_end - p, folder, f, f_end - f) != 0) return false;
        p = p_end;
        f = f_end;
    }
}

bool has_dot_names(const std::wstring& path) {
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find_first_of(L"\\/", start), path.size());
        const std::wstring name = path.substr(start, end - start);
        if (name == L"." || name == L"..") return true;
        start = end + 1;
    }
    return false;
}

struct browser {
    LPBROWSEINFOW info = nullptr;
    std::optional<std::wstring> root_folder;  // a local root limits the choice
    PIDLIST_ABSOLUTE selection = nullptr;
    std::optional<std::wstring> selected_text;  // none before the first
    PIDLIST_ABSOLUTE chosen = nullptr;

    ~browser() {
        ILFree(selection);
        ILFree(chosen);
    }

    int tell(HWND dialog, UINT message, LPARAM lparam) const {
        return info->lpfn ? info->lpfn(dialog, message, lparam, info->lParam) : 0;
    }

    // The list of the folder the text names, when it is one that can be
    // selected under the root.
    PIDLIST_ABSOLUTE list_of(const std::wstring& text) const {
        if (text.find(L'\0') != std::wstring::npos || has_dot_names(text)) return nullptr;
        PIDLIST_ABSOLUTE list = nullptr;
        if (win_shell::is_network_share_path(text)) {
            if (root_folder) return nullptr;
            return SUCCEEDED(win_shell::make_network_list(text, &list)) ? list : nullptr;
        }
        if (!win_shell::is_local_path(text)) return nullptr;
        if (root_folder && !lies_inside(text, *root_folder)) return nullptr;
        const DWORD attributes = GetFileAttributesW(text.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return nullptr;
        ULONG wanted = 0;
        return SUCCEEDED(win_shell::parse_local_path(text, &list, &wanted)) ? list : nullptr;
    }

    void select(HWND dialog, const std::wstring& text) {
        if (selected_text == text) return;
        selected_text = text;
        ILFree(selection);
        selection = list_of(text);
        EnableWindow(GetDlgItem(dialog, IDOK), selection != nullptr);
        if (selection) tell(dialog, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(selection));
    }

    std::wstring edit_text(HWND dialog) const {
        const HWND edit = GetDlgItem(dialog, IDC_BROWSE_FOLDER_EDIT);
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
        text.resize(
            static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
        return text;
    }

    void set_edit_text(HWND dialog, const std::wstring& text) {
        SetDlgItemTextW(dialog, IDC_BROWSE_FOLDER_EDIT, text.c_str());
        select(dialog, text);
    }

    void on_ok(HWND dialog) {
        if (!selection) {
            // Typed text that names no folder: the callback may keep the
            // dialog open (non-zero) or end it with nothing chosen.
            if (info->lpfn && (info->ulFlags & BIF_VALIDATE)) {
                const std::wstring text = edit_text(dialog);
                if (tell(dialog, BFFM_VALIDATEFAILEDW, reinterpret_cast<LPARAM>(text.c_str())))
                    return;
                EndDialog(dialog, IDCANCEL);
            }
            return;
        }
        chosen = ILClone(selection);
        if (!chosen) return;
        if (info->pszDisplayName) {
            std::wstring name = selected_text.value_or(L"");
            while (name.size() > 1 && is_separator(name.back())) name.pop_back();
            const size_t slash = name.find_last_of(L"\\/");
            if (slash != std::wstring::npos && slash + 1 < name.size())
                name = name.substr(slash + 1);
            name.resize(std::min<size_t>(name.size(), MAX_PATH - 1));
            std::copy(name.begin(), name.end(), info->pszDisplayName);
            info->pszDisplayName[name.size()] = L'\0';
        }
        info->iImage = 0;
        EndDialog(dialog, IDOK);
    }
};

INT_PTR CALLBACK browser_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<browser*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            self = reinterpret_cast<browser*>(lparam);
            SetWindowLongPtrW(dialog, DWLP_USER, lparam);
            if (self->info->lpszTitle)
                SetDlgItemTextW(dialog, IDC_BROWSE_TITLE, self->info->lpszTitle);
            if (self->info->ulFlags & BIF_STATUSTEXT)
                ShowWindow(GetDlgItem(dialog, IDC_BROWSE_STATUS), SW_SHOW);
            // The tree opens on its root: a local root is selected then.
            self->set_edit_text(dialog, self->root_folder.value_or(L""));
            self->tell(dialog, BFFM_INITIALIZED, 0);
            return TRUE;
        }
        case WM_COMMAND:
            if (!self) return FALSE;
            if (LOWORD(wparam) == IDC_BROWSE_FOLDER_EDIT && HIWORD(wparam) == EN_CHANGE) {
                self->select(dialog, self->edit_text(dialog));
                return TRUE;
            }
            if (LOWORD(wparam) == IDOK) {
                self->on_ok(dialog);
                return TRUE;
            }
            if (LOWORD(wparam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        case BFFM_ENABLEOK:
            if (!self) return FALSE;
            EnableWindow(GetDlgItem(dialog, IDOK), lparam != 0);
            return TRUE;
        case BFFM_SETSELECTIONW:
            if (!self || !lparam) return FALSE;
            if (wparam) {
                self->set_edit_text(dialog, reinterpret_cast<LPCWSTR>(lparam));
            } else {
                wchar_t path[MAX_PATH];
                if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lparam), path))
                    self->set_edit_text(dialog, path);
            }
            return TRUE;
        case BFFM_SETSTATUSTEXTW:
            if (!self || !(self->info->ulFlags & BIF_STATUSTEXT)) return FALSE;
            SetDlgItemTextW(dialog, IDC_BROWSE_STATUS,
                            lparam ? reinterpret_cast<LPCWSTR>(lparam) : L"");
            return TRUE;
        case BFFM_SETOKTEXT:
            if (!self) return FALSE;
            SetDlgItemTextW(dialog, IDOK, lparam ? reinterpret_cast<LPCWSTR>(lparam) : L"OK");
            return TRUE;
        case BFFM_SETEXPANDED:
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW info) {
    if (!info) return nullptr;
    // The new dialog style hosts COM objects: without a single-threaded
    // apartment on the thread Windows shows nothing usable.
    if ((info->ulFlags & BIF_NEWDIALOGSTYLE) && !win_com::current_apartment()) return nullptr;
    register_browser_template();
    browser state;
    state.info = info;
    if (info->pidlRoot && !ILIsEmpty(info->pidlRoot)) {
        wchar_t root[MAX_PATH];
        if (SHGetPathFromIDListW(info->pidlRoot, root)) state.root_folder = root;
    }
    const INT_PTR result =
        DialogBoxParamW(win_module::this_module(), MAKEINTRESOURCEW(browser_template_id),
                        info->hwndOwner, browser_procedure, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) return nullptr;
    PIDLIST_ABSOLUTE chosen = state.chosen;
    state.chosen = nullptr;
    return chosen;
}

HRESULT SHGetFolderLocation(HWND owner, int folder, HANDLE token, DWORD, PIDLIST_ABSOLUTE* list) {
    if (!list) return E_INVALIDARG;
    *list = nullptr;
    switch (folder & ~CSIDL_FLAG_MASK) {
        case CSIDL_DESKTOP: {
            auto* empty = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(WORD)));
            if (!empty) return E_OUTOFMEMORY;
            empty[0] = empty[1] = 0;
            *list = reinterpret_cast<PIDLIST_ABSOLUTE>(empty);
            return S_OK;
        }
        case CSIDL_DRIVES:
            return SHParseDisplayName(computer_name, nullptr, list, 0, nullptr);
        case CSIDL_PERSONAL:
        case CSIDL_PROFILE:
        case CSIDL_LOCAL_APPDATA: {
            wchar_t path[MAX_PATH];
            const HRESULT found = SHGetFolderPathW(owner, folder, token, SHGFP_TYPE_CURRENT, path);
            if (FAILED(found)) return found;
            ULONG wanted = 0;
            return win_shell::parse_local_path(path, list, &wanted);
        }
        default:
            return E_INVALIDARG;
    }
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path) {
    if (!path) return FALSE;
    path[0] = L'\0';
    std::optional<std::wstring> found = win_shell::local_path_of(list);
    if (!found) found = win_shell::network_path_of(list);
    if (!found || found->size() >= MAX_PATH) return FALSE;
    std::copy(found->begin(), found->end(), path);
    path[found->size()] = L'\0';
    return TRUE;
}
