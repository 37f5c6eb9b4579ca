// Deleting remote items of the virtual folder: items of an ordinary folder
// go to the service's trash, items shown in the trash are removed for good,
// everything below a folder first. The work runs on a worker thread under
// the shell's progress dialog: everything affected is counted first, then
// deleted item by item, with Retry or Cancel when the service refuses.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "folder/item_ids/item_id_list.h"
#include "folder/workers/data_object_job.h"
#include "vfs/directory.h"
#include "win/progress_dialog.h"
#include "win/user_types.h"

namespace shell_delete {

// The string table entries of the confirmation, the progress dialog and
// the boxes.
enum string_id : UINT {
    IDS_DELETE_FILE_TITLE = 1200,
    IDS_DELETE_FILE = 1201,
    IDS_DELETE_FOLDER_TITLE = 1202,
    IDS_DELETE_FOLDER = 1203,
    IDS_DELETE_SEVERAL_TITLE = 1204,
    IDS_DELETE_SEVERAL = 1205,
    IDS_ERASE_FILE = 1206,
    IDS_ERASE_SEVERAL = 1207,
    IDS_ERASE_FOLDER = 1208,
    IDS_DELETING_ITEM = 1803,
    IDS_DELETING = 1804,
    IDS_PREPARING_DELETE = 1805,
    IDS_DELETE_ERROR = 1850,
    IDS_CANT_DELETE = 1856,
};

// One selected item: its id, which finds it even where names repeat (the
// trash), and the name it was shown with.
struct selected_item {
    std::wstring id;
    std::wstring name;
    bool is_folder = false;
};

// The caption and text asking whether to delete the selection.
std::pair<std::wstring, std::wstring> confirmation_texts(const std::vector<selected_item>& items,
                                                         bool permanent);
// Asks with Yes and No in a box owned by the window; true for Yes.
bool confirm_delete(HWND owner, const std::vector<selected_item>& items, bool permanent);

// The selected items of a job, in selection order.
std::vector<selected_item> selected_items(const DataObjectJob& job);

// Starts the worker thread with the host's process reference; false when
// the thread could not start.
bool start_delete_worker(std::unique_ptr<DataObjectJob> job);

// The worker's whole run on the calling thread, which must not have entered
// COM yet: counts, deletes, stops the progress dialog on every path and,
// unless a failure escaped, tells the shell the folder changed (the job's
// folder_pidl).
void run_delete_job(const DataObjectJob& job);

}  // namespace shell_delete
