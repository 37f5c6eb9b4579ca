#include "folder/workers/data_object_job.h"

DataObjectJob::~DataObjectJob() {
    if (program_key) RegCloseKey(program_key);
}

bool DataObjectJob::take(HWND owner, const vfs::directory_ptr& from_folder,
                         const CItemIdList& folder_list, const CPidlArray& selected) {
    hwnd = owner;
    folder = from_folder;
    folder_pidl = folder_list;
    items.RemoveAll();
    for (UINT i = 0; i < selected.GetSize(); ++i) {
        LPITEMIDLIST copy = CopyPidl(selected[i]);
        if (!copy) return false;
        if (!items.Add(copy)) {
            CoTaskMemFree(copy);
            return false;
        }
    }
    return true;
}

std::vector<PIDLDATA> DataObjectJob::item_records() const {
    std::vector<PIDLDATA> records;
    for (UINT i = 0; i < items.GetSize(); ++i)
        records.push_back(CItemIdList(items[i], false).GetLastItem());
    return records;
}
