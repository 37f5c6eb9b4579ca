// Local copies of opened remote files: where they live, their dates, and
// the transfer that brings them in without ever cutting an earlier copy.
#include "folder/workers/open_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <utf8.h>

#include <boost/filesystem/operations.hpp>
#include <boost/pointer_cast.hpp>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <functional>
#include <iterator>
#include <optional>
#include <vector>

#include "folder/folder_object/folder_session.h"
#include "folder/folder_object/local_names.h"
#include "folder/module/site_message_box.h"
#include "syncer/manager.h"
#include "ui/failure_text.h"
#include "vfs/exceptions.h"
#include "vfs/file.h"
#include "win/file.h"
#include "win/process.h"
#include "win/user_dialog.h"

namespace {

enum : UINT {
    IDS_DOWNLOAD_TITLE = 1800,
    IDS_DOWNLOAD_FROM = 1801,
    IDS_DOWNLOAD_FILE = 1802,
    IDS_OPEN_ERROR = 1850,
    IDS_FILE_NOT_FOUND = 1851,
    IDS_CANT_CREATE_COPY = 1852,
    IDS_CANT_WRITE_COPY = 1853,
};

const bool registered = [] {
    win_dialogs::register_strings(win_module::this_module(),
                                  {{IDS_DOWNLOAD_TITLE, L"Downloading..."},
                                   {IDS_DOWNLOAD_FROM, L"From 'Calvimora\\%s'"},
                                   {IDS_DOWNLOAD_FILE, L"Downloading '%s'"},
                                   {IDS_OPEN_ERROR, L"Error"},
                                   {IDS_FILE_NOT_FOUND, L"File not found"},
                                   {IDS_CANT_CREATE_COPY, L"Can't create internediate file"},
                                   {IDS_CANT_WRITE_COPY, L"Can't write intermediate file"}});
    return true;
}();

constexpr int block_size = 16384;

std::string utf8_of(const std::wstring& text) {
    std::string bytes;
    utf8::utf32to8(text.begin(), text.end(), std::back_inserter(bytes));
    return bytes;
}

// Seconds between 1601-01-01 and 1970-01-01, the two epochs of file times.
constexpr std::int64_t epoch_difference = 11644473600;
constexpr std::int64_t ticks_per_second = 10000000;

// A file time (100 ns since 1601) of a date in seconds since 1970, and back;
// the dates travel through the form the system keeps them in, so a copy's
// date reads back as exactly the remote date it was given.
std::int64_t file_time_of(std::int64_t seconds) {
    return (seconds + epoch_difference) * ticks_per_second;
}
std::int64_t seconds_of(std::int64_t file_time) {
    return file_time / ticks_per_second - epoch_difference;
}

// The remote path's levels: the service writes "/" between them. An empty
// level inside the path is refused as any other name that is no local one.
std::vector<std::wstring> remote_levels(const std::wstring& path) {
    std::vector<std::wstring> levels;
    size_t start = path.empty() || path[0] != L'/' ? 0 : 1;
    if (start >= path.size()) return levels;
    for (;;) {
        const size_t end = path.find(L'/', start);
        levels.push_back(path.substr(start, end - start));
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    return levels;
}

std::wstring saved_files_folder() {
    folder_session& session = current_folder_session();
    if (!session.is_logged_in()) throw open_failure(L"Not logged in");
    return syncer::manager::get_files_saved_directory(session.get_user_info().user_name).wstring();
}

// A cancel in the progress dialog: the user's own choice, not told back.
class user_cancel : public open_failure {
public:
    user_cancel() : open_failure(L"User cancel") {}
};

// The step's failure in a box with Retry and Cancel; true for Retry. A
// refused name is only told (OK), since trying again cannot help.
bool ask_retry(HWND hwnd, IProgressDialog* dialog, shell_utils::retry_answers& retries) {
    try {
        throw;
    } catch (const refused_name& refused) {
        shell_utils::MessageBoxWithSite(hwnd, dialog,
                                        shell_utils::LoadShellString(IDS_OPEN_ERROR).c_str(),
                                        refused.text().c_str(), MB_OK | MB_ICONERROR);
        return false;
    } catch (...) {
        const failure_text failure = current_failure();
        return retries(shell_utils::MessageBoxWithSite(hwnd, dialog, failure.title.c_str(),
                                                       failure.text.c_str(),
                                                       MB_RETRYCANCEL | MB_ICONERROR)) == IDRETRY;
    }
}

// Runs the step until it succeeds or the user gives up on it; giving up
// throws the step's failure on.
template <typename Step>
auto with_retry(HWND hwnd, IProgressDialog* dialog, Step step) -> decltype(step()) {
    shell_utils::retry_answers retries;
    for (;;) {
        try {
            return step();
        } catch (const user_cancel&) {
            throw;
        } catch (const vfs::exception&) {
            if (!ask_retry(hwnd, dialog, retries)) throw;
        } catch (const std::exception&) {
            if (!ask_retry(hwnd, dialog, retries)) throw;
        }
    }
}

// The hidden file a transfer writes, deleted again unless it was put in
// place of the copy.
class incoming_file {
public:
    explicit incoming_file(const std::wstring& path) : path_(path) {
        handle_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE)
            throw open_failure(shell_utils::LoadShellString(IDS_CANT_CREATE_COPY));
    }
    ~incoming_file() {
        close();
        if (!placed_) std::remove(win_file::native_path(path_).c_str());
    }
    incoming_file(const incoming_file&) = delete;
    incoming_file& operator=(const incoming_file&) = delete;

    void write(const char* bytes, int count) {
        DWORD written = 0;
        if (!WriteFile(handle_, bytes, static_cast<DWORD>(count), &written, nullptr) ||
            written != static_cast<DWORD>(count))
            throw open_failure(shell_utils::LoadShellString(IDS_CANT_WRITE_COPY));
    }

    void close() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    // Takes the place of the copy in one step, then shows itself: whoever
    // looks finds the earlier copy or the whole new one, never a part.
    void put_in_place_of(const std::wstring& copy) {
        close();
        if (std::rename(win_file::native_path(path_).c_str(),
                        win_file::native_path(copy).c_str()) != 0)
            throw open_failure(shell_utils::LoadShellString(IDS_CANT_CREATE_COPY));
        placed_ = true;
        SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    }

private:
    std::wstring path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool placed_ = false;
};

// The remote file, closed again (its failures dropped) unless the transfer
// closed it itself.
class reading_remote {
public:
    explicit reading_remote(const vfs::file_ptr& file) : file_(file) {
        file_->open(vfs::modeRead, 0);
        open_ = true;
    }
    ~reading_remote() {
        if (!open_) return;
        try {
            file_->close(-1);
        } catch (...) {
        }
    }
    reading_remote(const reading_remote&) = delete;
    reading_remote& operator=(const reading_remote&) = delete;

    void close() {
        open_ = false;
        file_->close(-1);
    }

private:
    vfs::file_ptr file_;
    bool open_ = false;
};

void transfer(IProgressDialog* dialog, std::uint64_t total, std::uint64_t& done,
              const vfs::file_ptr& remote, const std::wstring& copy, std::int64_t remote_date) {
    reading_remote source(remote);
    incoming_file target(copy + L".calvimora-download");
    std::vector<char> block(block_size);
    for (;;) {
        const int count = remote->read(block.data(), block_size);
        if (count <= 0) break;
        target.write(block.data(), count);
        done += static_cast<std::uint64_t>(count);
        if (dialog) {
            dialog->SetProgress64(done, total);
            if (dialog->HasUserCancelled()) throw user_cancel();
        }
    }
    source.close();
    target.close();
    file::set_modification_date(copy + L".calvimora-download", remote_date);
    target.put_in_place_of(copy);
}

}  // namespace

open_failure::open_failure(const std::wstring& text)
    : std::runtime_error(utf8_of(text)), text_(text) {}

namespace file {

std::int64_t get_modification_date(const std::wstring& path) {
    struct stat st {};
    if (::stat(win_file::native_path(path).c_str(), &st) != 0)
        throw open_failure(L"file::get_modification_date(): Can't open file");
    return seconds_of(file_time_of(static_cast<std::int64_t>(st.st_mtim.tv_sec)));
}

void set_modification_date(const std::wstring& path, std::int64_t seconds) {
    struct timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds_of(file_time_of(seconds)));
    if (::utimensat(AT_FDCWD, win_file::native_path(path).c_str(), times, 0) != 0)
        throw open_failure(errno == ENOENT ? L"file::set_modification_date(): Can't open file"
                                           : L"file::set_modification_date(): Can't set file time");
}

}  // namespace file

std::wstring get_local_copy_folder(const vfs::directory_ptr& folder) {
    try {
        const std::wstring base = saved_files_folder();
        const std::optional<std::wstring> joined =
            local_names::join_inside(base, remote_levels(folder->get_path()));
        if (!joined)
            throw refused_name(L"The folder '" + folder->get_name() +
                               L"' has a name that cannot be used for a local folder");
        boost::system::error_code ignored;
        const boost::filesystem::path native(win_file::native_path(*joined));
        boost::filesystem::create_directories(native, ignored);
        if (!boost::filesystem::is_directory(native, ignored))
            throw open_failure(L"Error: can not create folder " + *joined);
        return *joined;
    } catch (const open_failure&) {
        throw;
    } catch (const vfs::exception& failure) {
        throw open_failure(failure.get_text());
    } catch (const std::exception&) {
        throw open_failure(L"Error");
    }
}

std::wstring download_to_temp(HWND hwnd, IProgressDialog* dialog, std::uint64_t total,
                              std::uint64_t& done, const vfs::directory_ptr& folder,
                              const PIDLDATA& item) {
    // The name is looked at before anything is made for it.
    const std::wstring name = pidl_name(item);
    if (!local_names::is_acceptable(name))
        with_retry(hwnd, dialog, [&]() -> int {
            throw refused_name(L"The file '" + name +
                               L"' has a name that cannot be used for a local file");
        });
    const std::wstring dir =
        with_retry(hwnd, dialog, [&] { return get_local_copy_folder(folder); });
    const std::optional<std::wstring> copy = local_names::join_inside(dir, {name});
    if (!copy) throw refused_name(L"The file '" + name + L"' has no local path");

    const vfs::file_ptr remote = with_retry(hwnd, dialog, [&] {
        const vfs::file_ptr found =
            boost::dynamic_pointer_cast<vfs::file>(folder->get_item_by_id(pidl_id(item), false));
        if (!found || found->get_type() != vfs::item_type_file)
            throw open_failure(shell_utils::LoadShellString(IDS_FILE_NOT_FOUND));
        return found;
    });
    const std::int64_t remote_date =
        with_retry(hwnd, dialog, [&] { return remote->get_modification_date(); });

    boost::system::error_code ignored;
    if (boost::filesystem::exists(win_file::native_path(*copy), ignored) &&
        file::get_modification_date(*copy) >= remote_date)
        return dir;

    const std::uint64_t before = done;
    with_retry(hwnd, dialog, [&] {
        done = before;
        transfer(dialog, total, done, remote, *copy, remote_date);
        return 0;
    });
    return dir;
}
