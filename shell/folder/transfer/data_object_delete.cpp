// Deleting the items a data object carries, as a completed move out of the
// folder needs: nothing is asked, each item goes to the trash (or, in the
// trash itself, is removed for good).
#include "folder/module/com_guard.h"
#include "folder/transfer/data_object_impl.h"
#include "vfs/exceptions.h"

HRESULT CDataObjectImpl::start_delete_items(HWND, bool no_confirm) {
    return shell_com::guarded([&]() -> HRESULT {
        if (m_items.GetSize() == 0 || !m_folder) return E_INVALIDARG;
        std::vector<vfs::item_ptr> items;
        try {
            for (UINT i = 0; i < m_items.GetSize(); ++i) {
                const PIDLDATA record = CItemIdList(m_items[i], false).GetLastItem();
                vfs::item_ptr item = m_folder->get_item_by_id(pidl_id(record), false);
                if (!item) return E_INVALIDARG;
                items.push_back(item);
            }
        } catch (const vfs::exception&) {
            return E_INVALIDARG;
        }
        // Asking first, with progress on a worker thread, is the delete
        // worker's job.
        if (!no_confirm) return E_NOTIMPL;
        const bool permanent = m_folder->get_folder_type() == vfs::folder_type_trash;
        try {
            for (const vfs::item_ptr& item : items) m_folder->delete_item(item, !permanent);
        } catch (const vfs::exception&) {
            notify_folder_changed();
            return E_FAIL;
        }
        notify_folder_changed();
        return S_OK;
    });
}
