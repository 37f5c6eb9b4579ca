#include "folder/overlay/shell_overlay_icon.h"

#include <cwchar>
#include <exception>

#include "folder/overlay/marked_paths.h"
#include "vfs/exceptions.h"
#include "win/process.h"

HRESULT CShellOverlayIcon::IsMemberOf(LPCWSTR path, DWORD) {
    if (!path) return S_FALSE;
    try {
        const std::optional<std::wstring> user = shell_overlay::shared_session_user().current();
        if (!user) return S_FALSE;
        return shell_overlay::shared_marked_paths().contains(*user, path) ? S_OK : S_FALSE;
    } catch (const std::exception&) {
        return S_FALSE;
    } catch (const vfs::exception&) {
        return S_FALSE;
    }
}

HRESULT CShellOverlayIcon::GetOverlayInfo(LPWSTR icon_file, int size, int* index, DWORD* flags) {
    if (!icon_file || !index || !flags) return E_POINTER;
    if (size <= 0) return E_INVALIDARG;
    icon_file[0] = L'\0';
    wchar_t path[4 * MAX_PATH];
    const DWORD length = GetModuleFileNameW(win_module::this_module(), path, 4 * MAX_PATH);
    if (length == 0 || length >= 4 * MAX_PATH) return E_FAIL;
    if (length >= static_cast<DWORD>(size)) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    std::wmemcpy(icon_file, path, length + 1);
    *index = icon_index;
    *flags = ISIOI_ICONFILE | ISIOI_ICONINDEX;
    return S_OK;
}

HRESULT CShellOverlayIcon::GetPriority(int* priority) {
    if (!priority) return E_POINTER;
    *priority = 0;
    return S_OK;
}
