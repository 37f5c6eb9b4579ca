// "Open" on items of the folder, on a thread of its own, away from
// Explorer's: folders open in windows of the folder, audio and video play
// from their links, every other file is brought into its local copy, bound
// so that its edits go back, and opened. The downloads of every open job of
// the log-on session take turns on the session's download/upload mutex.
#include <boost/pointer_cast.hpp>
#include <memory>
#include <optional>
#include <vector>

#include "folder/folder_object/folder_session.h"
#include "folder/module/com_guard.h"
#include "folder/module/shell_registry.h"
#include "folder/module/site_message_box.h"
#include "folder/transfer/data_object_impl.h"
#include "folder/workers/open_files.h"
#include "folder/workers/play_all.h"
#include "folder/workers/shell_open.h"
#include "folder/workers/worker_scopes.h"
#include "syncer/binding_manager.h"
#include "ui/failure_text.h"
#include "utils/scoped_handle.h"
#include "vfs/exceptions.h"
#include "vfs/file.h"
#include "win/kernel.h"
#include "win/shell_thread.h"

namespace {

// What a starter hands its worker thread; the thread owns it. It holds its
// own copies of everything, so the data object may go meanwhile.
struct open_job {
    HWND hwnd = nullptr;
    vfs::directory_ptr folder;
    CItemIdList folder_pidl;
    std::vector<PIDLDATA> items;
    // The job's own handle of the chosen program's key, so that the key
    // stays valid after the command that chose it has gone.
    HKEY program_key = nullptr;
    bool open_with_dialog = false;

    ~open_job() {
        if (program_key) RegCloseKey(program_key);
    }
};

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

sorted_items sort_items(const open_job& job) {
    sorted_items sorted;
    for (const PIDLDATA& item : job.items) {
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

// One file: its copy brought in and bound, under the mutex. The copy's
// path, or nothing when the file failed (it was told in a box, or the user
// cancelled).
std::optional<std::wstring> bring_in(const open_job& job, HANDLE mutex, IProgressDialog* dialog,
                                     std::uint64_t total, std::uint64_t& done,
                                     const PIDLDATA& item) {
    const std::wstring name = pidl_name(item);
    dialog->SetLine(1, loaded(1802, name).c_str(), TRUE, nullptr);
    dialog->SetLine(2, loaded(1801, job.folder_pidl.GetPath()).c_str(), TRUE, nullptr);
    mutex_turn turn(mutex);
    try {
        const std::wstring local =
            download_to_temp(job.hwnd, dialog, total, done, job.folder, item);
        CDataObjectImpl::_CreateTempBinding(job.hwnd, dialog, job.folder, local, name);
        return local + L"/" + name;
    } catch (const vfs::exception&) {
    } catch (const open_failure&) {
    }
    return std::nullopt;
}

// A failure that ends the job: nothing of it is opened.
void internal_error(const open_job& job, const worker_progress& progress,
                    const std::wstring& text) {
    shell_utils::MessageBoxWithSite(job.hwnd, progress.get(), L"Internal error", text.c_str(),
                                    MB_OK | MB_ICONERROR);
}

void download_and_open(const open_job& job, const sorted_items& sorted) {
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
        std::vector<std::wstring> copies;
        for (const PIDLDATA& item : sorted.downloads)
            if (auto copy = bring_in(job, mutex, progress.get(), sorted.total, done, item))
                copies.push_back(*copy);
        if (!copies.empty()) open_with_drop_target(copies, job.program_key, job.open_with_dialog);
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
        auto job = std::make_unique<open_job>();
        job->hwnd = hwnd;
        job->folder = m_folder;
        job->folder_pidl = m_pidlRoot + m_location;
        for (UINT i = 0; i < m_items.GetSize(); ++i)
            job->items.push_back(CItemIdList(m_items[i], false).GetLastItem());
        job->open_with_dialog = open_with_dialog;
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
    std::unique_ptr<open_job> job(static_cast<open_job*>(parameter));
    try {
        const sorted_items sorted = sort_items(*job);
        try {
            write_play_all_playlist(sorted.audio, job->program_key, job->folder,
                                    job->open_with_dialog);
            write_play_all_playlist(sorted.video, job->program_key, job->folder,
                                    job->open_with_dialog);
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

void CDataObjectImpl::_CreateTempBinding(HWND hwnd, IProgressDialog* dialog,
                                         const vfs::directory_ptr& folder,
                                         const std::wstring& local_folder,
                                         const std::wstring& file_name) {
    try {
        folder_session& session = current_folder_session();
        if (!session.is_logged_in()) throw open_failure(L"Not logged in");
        const std::wstring user = session.get_user_info().user_name;
        // The remote folder as the engine walks it, from the user's root.
        const std::wstring remote = folder->get_path();
        syncer::binding_manager table(user, true);
        syncer::binding copy(remote, local_folder, file_name, L"");
        copy._type = syncer::binding::type_open_copy;
        copy._mode = 2;
        copy.can_recourse_subdirs = syncer::sync_permission::not_set;
        copy.rule = syncer::sync_rule({syncer::sync_permission::no, syncer::sync_permission::no,
                                       syncer::sync_permission::yes, syncer::sync_permission::no,
                                       syncer::sync_permission::no, syncer::sync_permission::no,
                                       syncer::sync_permission::no, syncer::sync_permission::no});
        if (const auto same = table.find_binding_by_paths(remote, local_folder, file_name)) {
            // The user synchronises these paths already: their binding
            // uploads the edits, and it is theirs to keep.
            if (same->_type != syncer::binding::type_open_copy) return;
            table.remove_binding_by_paths(remote, local_folder, file_name);
        }
        table.add_binding(copy);
        table.save();
    } catch (const vfs::exception& failure) {
        shell_utils::MessageBoxWithSite(hwnd, dialog, failure.get_title().c_str(),
                                        failure.get_text().c_str(), MB_OK | MB_ICONERROR);
    } catch (const std::exception&) {
        const failure_text failure = current_failure();
        shell_utils::MessageBoxWithSite(hwnd, dialog, L"Error", failure.text.c_str(),
                                        MB_OK | MB_ICONERROR);
    } catch (...) {
        shell_utils::MessageBoxWithSite(hwnd, dialog, L"Internal error",
                                        L"Unknown error in CDataObjectImpl::_CreateTempBinding()",
                                        MB_OK | MB_ICONERROR);
    }
}
