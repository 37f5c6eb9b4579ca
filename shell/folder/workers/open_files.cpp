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

#include "folder/module/failure_text.h"
#include "folder/module/folder_session.h"
#include "folder/module/local_names.h"
#include "folder/module/site_message_box.h"
#include "folder/workers/copy_binding.h"
#include "syncer/manager/manager.h"
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

std::wstring session_user() {
    folder_session& session = current_folder_session();
    if (!session.is_logged_in()) throw open_failure(L"Not logged in");
    return session.get_user_info().user_name;
}

std::wstring saved_files_folder() {
    return syncer::manager::get_files_saved_directory(session_user()).wstring();
}

// What the file system tells of the copy; none when there is no file.
std::optional<syncer::local_file_state> copy_state(const std::wstring& path) {
    struct stat status {};
    if (::stat(win_file::native_path(path).c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return syncer::local_file_state::from_stat(status);
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

// Brings the remote file in beside the copy; once it is whole, before it
// takes the copy's place, the earlier copy may be moved away.
void transfer(IProgressDialog* dialog, std::uint64_t total, std::uint64_t& done,
              const vfs::file_ptr& remote, const std::wstring& copy, std::int64_t remote_date,
              const std::function<void()>& before_placing) {
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
    before_placing();
    target.put_in_place_of(copy);
}

// Moves the copy to a free name beside it that says it holds the user's
// changes; answers that name.
std::wstring keep_changes(const std::wstring& folder, const std::wstring& name) {
    for (int count = 1; count < 1000; ++count) {
        const std::wstring kept = kept_changes_name(name, count);
        const std::optional<std::wstring> kept_path = local_names::join_inside(folder, {kept});
        if (!kept_path) break;
        const std::wstring copy = folder + L"/" + name;
        if (MoveFileExW(copy.c_str(), kept_path->c_str(), 0)) return kept;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw open_failure(L"Can't keep the changes of '" + name + L"' under a name of their own");
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

copy_place place_of(const CItemIdList& folder_list) {
    copy_place place;
    for (const PIDLDATA& level : folder_list.GetItems()) place.levels.push_back(pidl_name(level));
    place.remote_path = L"/";
    for (const std::wstring& level : place.levels)
        place.remote_path += (place.remote_path.size() > 1 ? L"/" : L"") + level;
    return place;
}

std::wstring get_local_copy_folder(const copy_place& place) {
    try {
        const std::wstring base = saved_files_folder();
        const std::optional<std::wstring> joined = local_names::join_inside(base, place.levels);
        if (!joined)
            throw refused_name(L"The folder '" +
                               (place.levels.empty() ? L"" : place.levels.back()) +
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

std::wstring kept_changes_name(const std::wstring& name, int count) {
    // The extension stays last, so the kept file opens as the file does.
    const size_t dot = name.rfind(L'.');
    const bool has_extension = dot != std::wstring::npos && dot > 0;
    const std::wstring stem = has_extension ? name.substr(0, dot) : name;
    const std::wstring extension = has_extension ? name.substr(dot) : L"";
    const std::wstring mark =
        count <= 1 ? L" (your changes)" : L" (your changes " + std::to_wstring(count) + L")";
    return stem + mark + extension;
}

brought_in download_to_temp(HWND hwnd, IProgressDialog* dialog, std::uint64_t total,
                            std::uint64_t& done, const vfs::directory_ptr& folder,
                            const copy_place& place, const PIDLDATA& item) {
    // The name is looked at before anything is made for it.
    const std::wstring name = pidl_name(item);
    if (!local_names::is_acceptable(name))
        with_retry(hwnd, dialog, [&]() -> int {
            throw refused_name(L"The file '" + name +
                               L"' has a name that cannot be used for a local file");
        });
    brought_in result;
    result.folder = with_retry(hwnd, dialog, [&] { return get_local_copy_folder(place); });
    const std::optional<std::wstring> copy = local_names::join_inside(result.folder, {name});
    if (!copy) throw refused_name(L"The file '" + name + L"' has no local path");

    const vfs::file_ptr remote = with_retry(hwnd, dialog, [&] {
        const vfs::file_ptr found =
            boost::dynamic_pointer_cast<vfs::file>(folder->get_item_by_id(pidl_id(item), false));
        if (!found || found->get_type() != vfs::item_type_file)
            throw open_failure(shell_utils::LoadShellString(IDS_FILE_NOT_FOUND));
        return found;
    });
    const remote_version version = with_retry(hwnd, dialog, [&] {
        return remote_version{remote->get_id(), remote->get_modification_date(),
                              remote->get_size()};
    });

    const std::wstring user = with_retry(hwnd, dialog, [] { return session_user(); });
    opened_copies records(user);
    const std::optional<opened_copy> record = records.find(*copy);
    const std::optional<syncer::local_file_state> found = copy_state(*copy);
    bool sent = false;
    if (found && record && record->local != *found) {
        // A binding table that cannot be read says nothing was sent: at
        // worst the copy is kept once more than needed.
        try {
            sent = sent_as_it_is(user,
                                 {place.remote_path, result.folder, name, true, std::nullopt, {}},
                                 *found, *record);
        } catch (const std::exception&) {
        }
    }
    // A record that cannot be written only leaves the next Open without it,
    // where the dates decide.
    const auto remember = [&](const opened_copy& agreed) {
        try {
            with_retry(hwnd, dialog, [&] {
                records.remember(*copy, agreed);
                return 0;
            });
        } catch (const std::exception&) {
        }
    };

    const copy_step step = step_for(found, record, version, sent);
    if (step == copy_step::use) {
        if (found->last_write_time() == version.date && found->size == version.size) {
            result.agreed = opened_copy{version, *found};
            if (result.agreed != record) remember(*result.agreed);
        } else if (record && record->remote.id == version.id) {
            result.agreed = record;
        }
        return result;
    }

    const std::uint64_t before = done;
    with_retry(hwnd, dialog, [&] {
        done = before;
        transfer(dialog, total, done, remote, *copy, version.date, [&] {
            if (step == copy_step::keep_and_fetch && !result.kept_as)
                result.kept_as = keep_changes(result.folder, name);
        });
        return 0;
    });
    if (const auto fetched = copy_state(*copy)) {
        result.agreed = opened_copy{version, *fetched};
        remember(*result.agreed);
    }
    return result;
}
