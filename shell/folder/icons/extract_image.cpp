// Thumbnails of remote files through the local thumbnail cache.
#include "folder/icons/extract_image.h"

#include <boost/pointer_cast.hpp>

#include "folder/icons/thumbnail_cache.h"
#include "folder/item_ids/item_id_list.h"
#include "folder/module/com_guard.h"
#include "folder/module/local_names.h"
#include "vfs/exceptions.h"
#include "vfs/file.h"
#include "win/shell_path.h"

HRESULT CExtractImageImpl::Init(vfs::item_ptr item) {
    if (!boost::dynamic_pointer_cast<vfs::file>(item)) return E_FAIL;
    m_item = std::move(item);
    return S_OK;
}

HRESULT CExtractImageImpl::InitFromPidl(const vfs::directory_ptr& directory,
                                        PCUIDLIST_RELATIVE list) {
    if (!directory || !list) return E_FAIL;
    return shell_com::guarded([&]() -> HRESULT {
        try {
            const std::wstring id = pidl_id(CItemIdList(list, false).GetLastItem());
            return Init(directory->get_item_by_id(id, false));
        } catch (const vfs::exception&) {
            return E_FAIL;
        }
    });
}

vfs::file_ptr CExtractImageImpl::kept_file() const {
    auto file = boost::dynamic_pointer_cast<vfs::file>(m_item);
    if (!file) throw thumbnail_error("Item is not a file");
    return file;
}

HRESULT CExtractImageImpl::GetLocation(LPWSTR path, DWORD size, DWORD* priority, const SIZE*, DWORD,
                                       DWORD* flags) {
    if (priority) *priority = IEIT_PRIORITY_NORMAL;
    return shell_com::guarded([&]() -> HRESULT {
        if (!path) return E_FAIL;
        // Handed to the shell, which keeps it: the native form.
        const std::wstring location =
            local_names::native_form(thumbnail_cache_folder(kept_file()->get_id()));
        if (location.size() >= size) throw thumbnail_error("Thumbnail file name is too long");
        m_path = location;
        location.copy(path, location.size());
        path[location.size()] = L'\0';
        return flags && (*flags & IEIFLAG_ASYNC) ? E_PENDING : S_OK;
    });
}

HRESULT CExtractImageImpl::Extract(HBITMAP* bitmap) {
    if (!bitmap) return E_POINTER;
    *bitmap = nullptr;
    return shell_com::guarded([&]() -> HRESULT {
        const vfs::file_ptr file = kept_file();
        if (m_path.empty()) m_path = thumbnail_cache_folder(file->get_id());
        if (!PathFileExistsW(m_path.c_str()) || !thumbnail_cache_is_current(m_path, file))
            store_thumbnail(m_path, file->get_thumbnail());
        *bitmap = load_thumbnail_bitmap(m_path);
        return *bitmap ? S_OK : E_FAIL;
    });
}

HRESULT create_extract_image(const vfs::item_ptr& item, const vfs::directory_ptr& directory,
                             PCUIDLIST_RELATIVE list, IExtractImage** extractor) {
    *extractor = nullptr;
    CComObject<CExtractImageImpl>* made = nullptr;
    HRESULT result = CComObject<CExtractImageImpl>::CreateInstance(&made);
    if (FAILED(result)) return result;
    made->AddRef();
    result = list ? made->InitFromPidl(directory, list) : made->Init(item);
    if (FAILED(result)) {
        made->Release();
        return result;
    }
    *extractor = made;
    return S_OK;
}
