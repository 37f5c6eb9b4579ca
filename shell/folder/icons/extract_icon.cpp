// Icons of remote items from the system's file types.
#include "folder/icons/extract_icon.h"

#include <algorithm>
#include <cwchar>

#include "folder/module/com_guard.h"
#include "vfs/item.h"
#include "win/file.h"
#include "win/shell_info.h"
#include "win/user_icon.h"

icon_lookup_key icon_key_of(const PIDLDATA& item) {
    if (item.type == vfs::item_type_directory) return {L"*", FILE_ATTRIBUTE_DIRECTORY};
    const std::wstring name = pidl_name(item);
    const size_t dot = name.rfind(L'.');
    return {dot == std::wstring::npos ? std::wstring() : name.substr(dot), FILE_ATTRIBUTE_NORMAL};
}

CExtractIconImpl::CExtractIconImpl() {
    m_data.cb = pidl_data_size;
}

void CExtractIconImpl::Init(const PIDLDATA& item) {
    m_data = item;
    m_for_shell = false;
    m_open_icon = false;
}

UINT CExtractIconImpl::info_flags() const {
    return SHGFI_USEFILEATTRIBUTES | (m_open_icon ? SHGFI_OPENICON : 0u);
}

HRESULT CExtractIconImpl::GetIconLocation(UINT flags, LPWSTR icon_file, UINT max, int* index,
                                          UINT* out_flags) {
    m_for_shell = flags & GIL_FORSHELL;
    m_open_icon = flags & GIL_OPENICON;
    if (!icon_file || max == 0 || !index || !out_flags) return E_INVALIDARG;
    return shell_com::guarded([&]() -> HRESULT {
        const icon_lookup_key key = icon_key_of(m_data);
        SHFILEINFOW info{};
        if (!SHGetFileInfoW(key.text.c_str(), key.attributes, &info, sizeof info,
                            SHGFI_ICONLOCATION | info_flags()))
            return E_FAIL;
        *index = info.iIcon;
        *out_flags = 0;
        std::wstring location(info.szDisplayName, wcsnlen(info.szDisplayName, MAX_PATH));
        if (location.empty()) {
            location = L"*";
            *out_flags |= GIL_NOTFILENAME;
        }
        const size_t length = std::min<size_t>(location.size(), max - 1);
        location.copy(icon_file, length);
        icon_file[length] = L'\0';
        return S_OK;
    });
}

HRESULT CExtractIconImpl::Extract(LPCWSTR, UINT, HICON* large, HICON* small, UINT) {
    if (m_for_shell) return S_FALSE;
    return shell_com::guarded([&]() -> HRESULT {
        const icon_lookup_key key = icon_key_of(m_data);
        SHFILEINFOW large_info{};
        SHFILEINFOW small_info{};
        const bool large_made = SHGetFileInfoW(key.text.c_str(), key.attributes, &large_info,
                                               sizeof large_info, SHGFI_ICON | info_flags()) != 0;
        const bool small_made =
            SHGetFileInfoW(key.text.c_str(), key.attributes, &small_info, sizeof small_info,
                           SHGFI_ICON | SHGFI_SMALLICON | info_flags()) != 0;
        // Both or neither: an icon made alone is destroyed, as is one the
        // caller did not ask for.
        const bool both = large_made && small_made;
        if (large_made) {
            if (both && large)
                *large = large_info.hIcon;
            else
                DestroyIcon(large_info.hIcon);
        }
        if (small_made) {
            if (both && small)
                *small = small_info.hIcon;
            else
                DestroyIcon(small_info.hIcon);
        }
        return both ? S_OK : E_FAIL;
    });
}

HRESULT create_extract_icon(const PIDLDATA& item, IExtractIconW** extractor) {
    *extractor = nullptr;
    CComObject<CExtractIconImpl>* made = nullptr;
    const HRESULT result = CComObject<CExtractIconImpl>::CreateInstance(&made);
    if (FAILED(result)) return result;
    made->AddRef();
    made->Init(item);
    *extractor = made;
    return S_OK;
}
