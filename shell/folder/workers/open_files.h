// Opening remote files: each file is brought into a local copy under the
// user's saved-files folder, at the remote folder's path, and the copy is
// bound to its remote folder so that the sync engine uploads the user's
// edits. The pieces the open worker of the data object is built from.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "folder/item_ids/pidl_data.h"
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

// The local folder of the copies of a remote folder's files: the user's
// saved-files folder followed by the levels of the folder's remote path,
// made with its parents when missing (native form, no trailing separator).
// Throws open_failure (refused_name for a level that cannot be a local
// name).
std::wstring get_local_copy_folder(const vfs::directory_ptr& folder);

// Brings the file of the folder that the item names into its local copy
// and answers the copy's folder. A copy whose last-write time is not older
// than the remote file's date is current and is kept without a transfer.
// A transfer goes into a hidden file beside the copy, which replaces the
// copy only once it is whole, so a failed or cancelled transfer leaves an
// earlier copy as it was. done grows by the bytes read, against total, on
// the dialog. A failing step asks Retry or Cancel in a box owned by the
// dialog's window (hwnd when it has none); Cancel throws the failure on.
std::wstring download_to_temp(HWND hwnd, IProgressDialog* dialog, std::uint64_t total,
                              std::uint64_t& done, const vfs::directory_ptr& folder,
                              const PIDLDATA& item);

// The name of the download/upload mutex of the log-on session, which the
// session handler creates and the open workers of every process share.
inline constexpr const wchar_t* download_upload_mutex_name =
    L"Local\\Calvimora_Mutex_Download_Upload";
