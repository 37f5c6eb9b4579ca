// The upload of a dropped tree into a remote folder, with the shell's
// progress dialog: remote folders are created or merged, files are copied
// in blocks of 16384 bytes (or copied by the service when they come from
// the extension's own data object), every failing step offers a retry, and
// existing names are asked about before they are replaced.
//
// Results: S_OK everything done; E_FAIL some item failed, was declined or
// skipped (a source tree that left items out included), the rest is done;
// E_ABORT the user aborted or the upload could not go on. Only S_OK may
// let a move delete its sources.
//
// A user's remote file is never lost: every file is uploaded under a name
// of its own and takes its real name (and the place of a file it replaces)
// only once the service committed all of it; an unfinished upload is never
// closed, so never committed; the clean-up of a failed file moves to the
// trash only the file this upload made, found by its id under its own
// name. A step that keeps failing with nobody to answer its box is retried
// a few times only.
#pragma once

#include <cstdint>
#include <string>

#include "folder/adapters/dropped_items.h"
#include "vfs/directory.h"
#include "vfs/exceptions.h"
#include "win/com.h"
#include "win/progress_dialog.h"
#include "win/shell_dragdrop.h"
#include "win/user_types.h"

namespace shell_upload {

// The string table entries of the upload's dialog and boxes.
enum string_id : UINT {
    IDS_UPLOAD_TARGET = 1300,
    IDS_UPLOAD_MOVING = 1301,
    IDS_UPLOAD_MOVING_FILE = 1302,
    IDS_UPLOAD_COPYING = 1303,
    IDS_UPLOAD_COPYING_FILE = 1304,
    IDS_CONFIRM_REPLACE = 1320,
    IDS_CONFIRM_REPLACE_TEXT = 1321,
    IDS_CONFIRM_MERGE = 1322,
    IDS_CONFIRM_MERGE_TEXT = 1323,
    IDS_ERROR_CREATING_FOLDER = 1350,
    IDS_FOLDER_NOT_CREATED = 1351,
    IDS_ERROR_CREATING_FILE = 1352,
    IDS_FILE_NOT_CREATED = 1353,
    IDS_UPLOAD_ERROR = 1354,
    IDS_CANT_CREATE = 1355,
    IDS_CANT_READ = 1356,
    IDS_CANT_WRITE = 1357,
    IDS_CANT_CLOSE = 1359,
    IDS_CANT_COPY = 1361,
    IDS_CANT_REFRESH = 1362,
    IDS_CANT_SIZE = 1363,
    IDS_CANT_OVERWRITE = 1364,
};

// One walk's shared state: the dialog, the byte counters and the answers
// that shape its boxes.
struct upload_context {
    HWND owner = nullptr;
    IProgressDialog* dialog = nullptr;
    std::uint64_t completed = 0;
    std::uint64_t total = 0;
    bool single = false;
    DWORD effect = DROPEFFECT_COPY;
    bool own = false;
    // The listing of the remote folder files were last looked up in, made
    // once for all the files dropped into it.
    vfs::directory_ptr listed;
    vfs::item_list listing;
};

// The whole upload with its dialog; target_path is the remote folder's
// path as the user reads it ("Documents\Letters").
HRESULT run_upload_with_progress(HWND owner, const dropped_folder_ptr& source,
                                 const vfs::directory_ptr& target, const std::wstring& target_path,
                                 DWORD effect, bool own);

// The walk of one source folder into one remote folder.
HRESULT upload_tree(upload_context& context, dropped_folder& source,
                    const vfs::directory_ptr& target);

// One file into a remote folder.
HRESULT upload_file(upload_context& context, dropped_file& source,
                    const vfs::directory_ptr& target);

}  // namespace shell_upload
