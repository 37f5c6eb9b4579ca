// Deleting the items a data object carries: the item menu's Delete and a
// drop on the Recycle Bin ask first, a completed move out of the folder
// does not. The delete worker does the rest on its own thread: each item
// goes to the trash or, in the trash and in the folders shown in it, is
// removed for good.
#include <algorithm>
#include <memory>

#include "folder/module/com_guard.h"
#include "folder/transfer/data_object_impl.h"
#include "folder/workers/delete_worker.h"
#include "vfs/exceptions.h"

namespace {

// Whether the folder is the trash or lies in it. What lies in the trash
// cannot go there again; the service removes it for good. A folder shown
// in the trash carries its delete date, and so does its level in the
// places of the folders below it.
bool lies_in_trash(vfs::directory& folder, const CItemIdList& location) {
    if (folder.get_folder_type() == vfs::folder_type_trash) return true;
    if (folder.get_delete_date() != vfs::no_date) return true;
    const std::vector<PIDLDATA> levels = location.GetItems();
    return std::any_of(levels.begin(), levels.end(),
                       [](const PIDLDATA& level) { return level.date_deleted != -1.0; });
}

}  // namespace

HRESULT CDataObjectImpl::start_delete_items(HWND owner, bool no_confirm) {
    return shell_com::guarded([&]() -> HRESULT {
        if (m_items.GetSize() == 0 || !m_folder) return E_INVALIDARG;
        auto job = std::make_unique<DataObjectJob>();
        if (!job->take(owner, m_folder, GetFolderList(), m_items)) return E_OUTOFMEMORY;
        const std::vector<shell_delete::selected_item> items = shell_delete::selected_items(*job);
        try {
            if (!m_folder->get_item_by_id(items.front().id, false)) return E_INVALIDARG;
            job->permanent = lies_in_trash(*m_folder, m_location);
        } catch (const vfs::exception&) {
            return E_INVALIDARG;
        }
        if (!no_confirm && !shell_delete::confirm_delete(owner, items, job->permanent != 0))
            return S_FALSE;
        return shell_delete::start_delete_worker(std::move(job)) ? S_OK : E_FAIL;
    });
}
