// "Open" on items of the folder, on a thread of its own, away from
// Explorer's: folders open in windows of the folder, audio and video play
// from their links, every other file is brought into its local copy, bound
// so that its edits go back, and opened. The downloads of every open job of
// the log-on session take turns on the session's download/upload mutex.
#include <boost/pointer_cast.hpp>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "folder/module/com_guard.h"
#include "folder/module/failure_text.h"
#include "folder/module/folder_session.h"
#include "folder/module/shell_registry.h"
#include "folder/module/site_message_box.h"
#include "folder/transfer/data_object_impl.h"
#include "folder/workers/copy_binding.h"
#include "folder/workers/data_object_job.h"
#include "folder/workers/open_files.h"
#include "folder/workers/play_all.h"
#include "folder/workers/shell_open.h"
#include "folder/workers/worker_scopes.h"
#include "utils/scoped_handle.h"
#include "vfs/exceptions.h"
#include "vfs/file.h"
#include "win/kernel.h"
#include "win/shell_thread.h"

namespace {

// The download/upload mutex held for one file: released on every way out.
class mutex_turn {
public:
    explicit mutex_turn(HANDLE mutex) : mutex_(mutex) {
        const DWORD waited = WaitForSingleObject(mutex, INFINITE);
        // An owner that died without releasing it leaves it to the next
        // waiter, which owns it now.
        if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
            throw open_failure(L"Error waiting for mutex");
    }
    ~mutex_turn() { ReleaseMutex(mutex_); }
    mutex_turn(const mutex_turn&) = delete;
    mutex_turn& operator=(const mutex_turn&) = delete;

private:
    HANDLE mutex_;
};

std::wstring loaded(UINT id, const std::wstring& argument) {
    return shell_utils::FormatWithArguments(shell_utils::LoadShellString(id), {argument});
}

struct sorted_items {
    std::vector<CItemIdList> folders;
    std::vector<play_entry> audio;
    std::vector<play_entry> video;
    std::vector<PIDLDATA> downloads;
    std::uint64_t total = 0;
};

sorted_items sort_items(const DataObjectJob& job) {
    sorted_items sorted;
    for (const PIDLDATA& item : job.item_records()) {
        try {
            if (item.type == vfs::item_type_directory) {
                sorted.folders.push_back(job.folder_pidl + CItemIdList(item));
                continue;
            }
            const std::wstring name = pidl_name(item);
            const bool audio = shell_utils::IsPerceivedAudio(name);
            if (audio || shell_utils::IsPerceivedVideo(name)) {
                const vfs::file_ptr file = boost::dynamic_pointer_cast<vfs::file>(
                    job.folder->get_item_by_id(pidl_id(item), false));
                if (file)
                    (audio ? sorted.audio : sorted.video)
                        .push_back({name, file->get_direct_link()});
                continue;
            }
            sorted.downloads.push_back(item);
            if (item.size > 0) sorted.total += static_cast<std::uint64_t>(item.size);
        } catch (...) {
            // An item that cannot be sorted is left out.
        }
    }
    return sorted;
}

// Where the user's client takes the place's path, as the sync engine will
// take it: a folder of the user's own with the same names, met first,
// takes it from the folder the copies are of.
enum class path_end { this_folder, another_folder, unknown };

path_end where_path_leads(const copy_place& place, const vfs::directory_ptr& folder) {
    try {
        const vfs::directory_ptr found =
            current_folder_session().get_client()->get_item_by_path(place.remote_path, false);
        if (!found) return path_end::unknown;
        return found->get_id() == folder->get_id() ? path_end::this_folder
                                                   : path_end::another_folder;
    } catch (const vfs::exception&) {
        return path_end::unknown;
    } catch (const std::exception&) {
        return path_end::unknown;
    }
}

// Where the job's copies live and whether their changes can go back,
// looked at once the first copy is there.
class job_place {
public:
    explicit job_place(const DataObjectJob& job) : job_(job), place_(place_of(job.folder_pidl)) {}

    const copy_place& place() const { return place_; }
    bool sends_changes() {
        if (!end_) end_ = where_path_leads(place_, job_.folder);
        return *end_ == path_end::this_folder;
    }
    // Once, when the user is to be told that changes are not sent: why, or
    // nothing.
    std::optional<path_end> why_not_sent() {
        if (told_ || !end_ || *end_ == path_end::this_folder) return std::nullopt;
        told_ = true;
        return end_;
    }

private:
    const DataObjectJob& job_;
    copy_place place_;
    std::optional<path_end> end_;
    bool told_ = false;
};

// One file's copy, and what the user is to be told of it after the mutex.
struct opened_file {
    std::wstring copy;
    std::optional<std::wstring> kept_as;
};

// One file: its copy brought in and bound, under the mutex. Nothing when
// the file failed (it was told in a box, or the user cancelled).
std::optional<opened_file> bring_in(const DataObjectJob& job, job_place& where, HANDLE mutex,
                                    IProgressDialog* dialog, std::uint64_t total,
                                    std::uint64_t& done, const PIDLDATA& item) {
    const std::wstring name = pidl_name(item);
    dialog->SetLine(1, loaded(1802, name).c_str(), TRUE, nullptr);
    dialog->SetLine(2, loaded(1801, job.folder_pidl.GetPath()).c_str(), TRUE, nullptr);
    mutex_turn turn(mutex);
    try {
        const brought_in copy =
            download_to_temp(job.hwnd, dialog, total, done, job.folder, where.place(), item);
        const std::wstring& remote = where.place().remote_path;
        CDataObjectImpl::_CreateTempBinding(
            job.hwnd, dialog,
            {remote, copy.folder, name, where.sends_changes(), copy.agreed, job.folder->get_id()});
        // The kept changes are the user's own file now: bound so that
        // nothing sends or removes it.
        if (copy.kept_as)
            CDataObjectImpl::_CreateTempBinding(
                job.hwnd, dialog, {remote, copy.folder, *copy.kept_as, false, {}, {}});
        return opened_file{copy.folder + L"/" + name, copy.kept_as};
    } catch (const vfs::exception&) {
    } catch (const open_failure&) {
    }
    return std::nullopt;
}

void tell_kept(const DataObjectJob& job, IProgressDialog* dialog, const std::wstring& name,
               const std::wstring& kept_as) {
    const std::wstring text = L"Your changes to '" + name +
                              L"' had not been sent, and the file was changed on Calvimora "
                              L"since. Your copy is kept beside the newer version as '" +
                              kept_as + L"'.";
    shell_utils::MessageBoxWithSite(job.hwnd, dialog, L"Calvimora", text.c_str(),
                                    MB_OK | MB_ICONINFORMATION);
}

void tell_not_sent(const DataObjectJob& job, IProgressDialog* dialog, path_end why) {
    const std::wstring text =
        L"Changes you make to the files opened from 'Calvimora\\" + job.folder_pidl.GetPath() +
        L"' are not sent back: " +
        (why == path_end::another_folder
             ? L"that path leads to another folder of yours with the same names."
             : L"the folder could not be found by its path.");
    shell_utils::MessageBoxWithSite(job.hwnd, dialog, L"Calvimora", text.c_str(),
                                    MB_OK | MB_ICONWARNING);
}

// A failure that ends the job: nothing of it is opened.
void internal_error(const DataObjectJob& job, const worker_progress& progress,
                    const std::wstring& text) {
    shell_utils::MessageBoxWithSite(job.hwnd, progress.get(), L"Internal error", text.c_str(),
                                    MB_OK | MB_ICONERROR);
}

void download_and_open(const DataObjectJob& job, const sorted_items& sorted) {
    const worker_apartment com;
    worker_progress progress;
    HANDLE mutex = nullptr;
    try {
        if (!com.entered()) throw open_failure(L"Com initialize failed");
        if (!progress.create()) throw open_failure(L"ProgressDialog create failed");
        mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, download_upload_mutex_name);
        if (!mutex) throw open_failure(L"Error opening mutex");
        const utils::scoped_handle mutex_handle(mutex);
        progress.start(job.hwnd);
        progress.get()->SetProgress64(0, sorted.total);
        progress.get()->Timer(PDTIMER_RESET, nullptr);
        progress.get()->SetTitle(shell_utils::LoadShellString(1800).c_str());
        std::uint64_t done = 0;
        job_place where(job);
        std::vector<std::wstring> copies;
        for (const PIDLDATA& item : sorted.downloads) {
            const auto copy = bring_in(job, where, mutex, progress.get(), sorted.total, done, item);
            if (!copy) continue;
            if (const auto why = where.why_not_sent()) tell_not_sent(job, progress.get(), *why);
            if (copy->kept_as) tell_kept(job, progress.get(), pidl_name(item), *copy->kept_as);
            copies.push_back(copy->copy);
        }
        if (!copies.empty())
            open_with_drop_target(copies, job.program_key, job.open_with_dialog != 0);
    } catch (const vfs::exception& failure) {
        internal_error(job, progress, failure.get_text());
    } catch (const std::exception&) {
        internal_error(job, progress, current_failure().text);
    } catch (...) {
        internal_error(job, progress, L"Unknown error in CDataObjectImpl::_OpenFilesThread()");
    }
}

}  // namespace

HRESULT CDataObjectImpl::start_open_files(HWND hwnd, HKEY program_key, bool open_with_dialog) {
    return shell_com::guarded([&]() -> HRESULT {
        auto job = std::make_unique<DataObjectJob>();
        if (!job->take(hwnd, m_folder, m_pidlRoot + m_location, m_items)) return E_FAIL;
        job->permanent = 0;
        job->open_with_dialog = open_with_dialog ? 1 : 0;
        if (program_key &&
            RegOpenKeyExW(program_key, L"", 0, KEY_READ, &job->program_key) != ERROR_SUCCESS)
            job->program_key = nullptr;
        if (!SHCreateThread(_OpenFilesThread, job.get(), CTF_PROCESS_REF | CTF_FREELIBANDEXIT,
                            nullptr))
            return E_FAIL;
        job.release();
        return S_OK;
    });
}

DWORD WINAPI CDataObjectImpl::_OpenFilesThread(LPVOID parameter) {
    std::unique_ptr<DataObjectJob> job(static_cast<DataObjectJob*>(parameter));
    try {
        const sorted_items sorted = sort_items(*job);
        try {
            write_play_all_playlist(sorted.audio, job->program_key, job->folder,
                                    job->open_with_dialog != 0);
            write_play_all_playlist(sorted.video, job->program_key, job->folder,
                                    job->open_with_dialog != 0);
        } catch (...) {
            // Media that cannot be played are not played; the rest opens.
        }
        shell_open_item(job->hwnd, sorted.folders, sorted.folders.size() > 1);
        if (!sorted.downloads.empty()) download_and_open(*job, sorted);
    } catch (...) {
        // Nothing may leave the thread; what could be told was told.
    }
    return 0;
}
