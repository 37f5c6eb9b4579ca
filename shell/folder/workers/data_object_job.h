// Room folder/workers, above folder/transfer and below folder/adapters (the
// order of the rooms: shell/CMakeLists.txt): the data object's jobs (delete,
// open, play-all, restore) and the bindings of opened copies.
//
// The record that the data object's delete and open starters hand to their
// worker threads. The thread owns it and frees it when it ends; it holds
// its own counted folder and copies of the lists, so the data object may
// go meanwhile.
#pragma once

#include "folder/item_ids/item_id_list.h"
#include "folder/item_ids/pidl_array.h"
#include "vfs/directory.h"
#include "win/registry.h"
#include "win/user_types.h"

struct DataObjectJob {
    // Owner of the progress dialog and of every box.
    HWND hwnd = nullptr;
    // The remote folder whose items the job works on.
    vfs::directory_ptr folder;
    // The absolute item id list of that folder.
    CItemIdList folder_pidl;
    // One list per selected item, relative to the folder.
    CPidlArray items;
    // Delete: the folder is the trash, so the items go for good. Always 0
    // for an open job.
    int permanent = 0;
    // Open: the class key of the program chosen to open the files, a handle
    // of the job's own (closed with the job), or NULL for the shell's choice.
    HKEY program_key = nullptr;
    // Open: non-zero lets the user choose the program in the Open With
    // dialog.
    int open_with_dialog = 0;

    DataObjectJob() = default;
    ~DataObjectJob();
    DataObjectJob(const DataObjectJob&) = delete;
    DataObjectJob& operator=(const DataObjectJob&) = delete;

    // The owner, the folder, its absolute list and a copy of each item's
    // list; false when memory for the copies ran out.
    bool take(HWND owner, const vfs::directory_ptr& from_folder, const CItemIdList& folder_list,
              const CPidlArray& selected);
    // The record of each item, in selection order.
    std::vector<PIDLDATA> item_records() const;
};
