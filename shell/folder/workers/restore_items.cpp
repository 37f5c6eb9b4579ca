// Restore of the item menu in the trash folder: each selected item goes
// back to the folder it was deleted from, at once on the caller's thread.
#include "folder/module/com_guard.h"
#include "folder/transfer/data_object_impl.h"
#include "vfs/exceptions.h"
#include "win/shell.h"
#include "win/user.h"

namespace {

void notify_deleted(const CItemIdList& list) {
    LPITEMIDLIST absolute = list.CreatePidl();
    if (!absolute) return;
    SHChangeNotify(SHCNE_DELETE, SHCNF_IDLIST, absolute, nullptr);
    CoTaskMemFree(absolute);
}

}  // namespace

HRESULT CDataObjectImpl::restore_items(HWND) {
    return shell_com::guarded([&]() -> HRESULT {
        if (m_items.GetSize() == 0 || !m_folder) return E_INVALIDARG;
        const CItemIdList folder = GetFolderList();
        const auto item_at = [&](UINT index) {
            return m_folder->get_item_by_id(
                pidl_id(CItemIdList(m_items[index], false).GetLastItem()), false);
        };
        try {
            if (!item_at(0) || m_folder->get_folder_type() != vfs::folder_type_trash)
                return E_INVALIDARG;
        } catch (const vfs::exception&) {
            return E_INVALIDARG;
        }
        try {
            for (UINT i = 0; i < m_items.GetSize(); ++i) {
                const vfs::item_ptr item = item_at(i);
                if (!item) return E_FAIL;
                item->restore();
                notify_deleted(folder + CItemIdList(m_items[i], false));
            }
        } catch (const vfs::exception& failure) {
            MessageBoxW(m_hwndOwner, failure.get_text().c_str(), failure.get_title().c_str(),
                        MB_ICONERROR);
            return E_FAIL;
        }
        notify_folder_changed();
        return S_OK;
    });
}
