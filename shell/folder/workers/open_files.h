// Opening remote files: each file is brought into a local copy under the
// user's saved-files folder, at the remote folder's path, and the copy is
// bound to its remote folder so that the sync engine uploads the user's
// edits. The pieces the open worker of the data object is built from.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "folder/item_ids/item_id_list.h"
#include "folder/item_ids/pidl_data.h"
#include "folder/workers/opened_copies.h"
#include "vfs/directory.h"
#include "win/progress_dialog.h"

namespace file {

// The local file's last-write time in seconds since 1970-01-01 UTC.
// Throws open_failure when the file cannot be read.
std::int64_t get_modification_date(const std::wstring& path);
// Sets only the last-write time; the access time stays. Throws
// open_failure.
void set_modification_date(const std::wstring& path, std::int64_t seconds);

}  // namespace file

// A failure of opening that carries its own text, shown to the user as it
// stands.
class open_failure : public std::runtime_error {
public:
    explicit open_failure(const std::wstring& text);
    const std::wstring& text() const { return text_; }

private:
    std::wstring text_;
};

// A remote name that cannot become a local path (empty, "." or "..", a
// separator, a colon or a control character, or a path that would leave
// the saved-files folder). Retrying cannot help, so it is only reported.
class refused_name : public open_failure {
public:
    using open_failure::open_failure;
};

// Where the copies of a remote folder's files live and what their bindings
// name: the folder as this user reaches it in the virtual folder (the
// names of the levels from its top, as the item id list holds them), never
// the path its owner gives it, which for a folder another user shares
// names a folder of that user's.
struct copy_place {
    std::vector<std::wstring> levels;
    // The levels as the client resolves a path: "/" and the levels joined
    // with "/"; "/" for the top.
    std::wstring remote_path;
};
copy_place place_of(const CItemIdList& folder_list);

// The local folder of the copies of a remote folder's files: the user's
// saved-files folder followed by the place's levels, made with its parents
// when missing (native form, no trailing separator). Throws open_failure
// (refused_name for a level that cannot be a local name).
std::wstring get_local_copy_folder(const copy_place& place);

// What bringing one file in left.
struct brought_in {
    // The copy's local folder.
    std::wstring folder;
    // The name the earlier copy was kept under beside the new one, when it
    // held changes never sent and the remote file had changed too.
    std::optional<std::wstring> kept_as;
    // What the copy and the remote file held when they last agreed; none
    // when that is not known (a copy from before such records were kept).
    std::optional<opened_copy> agreed;
};

// Brings the file of the folder that the item names into its local copy
// at the place. The copy is kept without a transfer while it holds the
// remote version, or changes of the user's over the version the service
// still holds; it is replaced only when it holds nothing of the user's; a
// copy with changes never sent, whose remote file changed too, is first
// kept beside under a name that says so (step_for). A transfer goes into a
// hidden file beside the copy, which takes the copy's place only once it is
// whole, so a failed or cancelled transfer leaves an earlier copy as it
// was. done grows by the bytes read, against total, on the dialog. A
// failing step asks Retry or Cancel in a box owned by the dialog's window
// (hwnd when it has none); Cancel throws the failure on. The caller holds
// the session's download/upload mutex.
brought_in download_to_temp(HWND hwnd, IProgressDialog* dialog, std::uint64_t total,
                            std::uint64_t& done, const vfs::directory_ptr& folder,
                            const copy_place& place, const PIDLDATA& item);

// The name a copy with unsent changes is kept under beside its file:
// "notes (your changes).txt", then "notes (your changes 2).txt" and so on
// for the count-th try.
std::wstring kept_changes_name(const std::wstring& name, int count);

// The name of the download/upload mutex of the log-on session, which the
// session handler creates and the open workers of every process share.
inline constexpr const wchar_t* download_upload_mutex_name =
    L"Local\\Calvimora_Mutex_Download_Upload";
