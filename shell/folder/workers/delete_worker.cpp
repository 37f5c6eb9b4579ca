#include "folder/workers/delete_worker.h"

#include <boost/pointer_cast.hpp>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "folder/module/failure_text.h"
#include "folder/module/module.h"
#include "folder/module/site_message_box.h"
#include "folder/workers/worker_scopes.h"
#include "vfs/exceptions.h"
#include "win/process.h"
#include "win/shell.h"
#include "win/shell_thread.h"
#include "win/user.h"
#include "win/user_dialog.h"

namespace shell_delete {

namespace {

void register_delete_strings() {
    static std::once_flag once;
    std::call_once(once, [] {
        win_dialogs::register_strings(
            win_module::this_module(),
            {
                {IDS_DELETE_FILE_TITLE, L"Delete File"},
                {IDS_DELETE_FILE, L"Are you sure you want to move this file to the Trash?"},
                {IDS_DELETE_FOLDER_TITLE, L"Delete Folder"},
                {IDS_DELETE_FOLDER, L"Are you sure you want to move this folder to the Trash?"},
                {IDS_DELETE_SEVERAL_TITLE, L"Delete Multiple Items"},
                {IDS_DELETE_SEVERAL, L"Are you sure you want to move these %d items to the Trash?"},
                {IDS_ERASE_FILE, L"Are you sure you want to permanently delete this file?"},
                {IDS_ERASE_SEVERAL, L"Are you sure you want to permanently delete these %d items?"},
                {IDS_ERASE_FOLDER, L"Are you sure you want to permanently delete this folder?"},
                {IDS_DELETING_ITEM, L"Deleting '%s'"},
                {IDS_DELETING, L"Deleting..."},
                {IDS_PREPARING_DELETE, L"Preparing to delete..."},
                {IDS_DELETE_ERROR, L"Error"},
                {IDS_CANT_DELETE, L"Can't delete '%s': %s"},
            });
    });
}

std::wstring loaded(UINT id) {
    register_delete_strings();
    return shell_utils::LoadShellString(id);
}

// A failure the walk does not ask about: it ends the job with an "Internal
// error" box. Not a std::exception, so the walk's own handlers pass it on.
struct escaping_failure {
    std::wstring text;
};

// The lookup by id found nothing (the service's lookups raise their own
// failure; this is for one that answers with no item).
class missing_item : public vfs::item_not_found_exception {
public:
    explicit missing_item(std::wstring name) : name_(std::move(name)) {}
    std::wstring get_title() const override { return L"Item not found"; }
    std::wstring get_text() const override { return L"'" + name_ + L"' is no longer there"; }

private:
    std::wstring name_;
};

// The count and the deletes of one job, with the dialog they report to.
class delete_walk {
public:
    delete_walk(HWND owner, IProgressDialog* dialog, bool permanent)
        : owner_(owner), dialog_(dialog), permanent_(permanent) {}

    // 1 for a file, 1 plus everything below it for a folder; -1 when the
    // user cancelled, in the dialog or in a box. Without a known item the
    // selected one is looked up by its id.
    int count(const vfs::directory_ptr& directory, const vfs::item_ptr& known,
              const selected_item& selected) {
        return retried<int>(
            -1, [&] { return count_once(directory, known, selected); },
            [](const vfs::exception& failure) {
                return std::make_pair(failure.get_title(), failure.get_text());
            });
    }

    // Deletes the item (in the trash: everything below it first); E_FAIL
    // when the job is to stop.
    HRESULT remove(const vfs::directory_ptr& directory, const vfs::item_ptr& known,
                   const selected_item& selected) {
        return retried<HRESULT>(
            E_FAIL, [&] { return remove_once(directory, known, selected); },
            [&](const vfs::exception& failure) {
                return std::make_pair(
                    loaded(IDS_DELETE_ERROR),
                    shell_utils::FormatWithArguments(
                        loaded(IDS_CANT_DELETE), {name_of(known, selected), failure.get_text()}));
            });
    }

    void set_total(int total) { total_ = total; }

private:
    using box_texts = std::pair<std::wstring, std::wstring>;  // caption, text

    // Runs the step again from its start while the user answers Retry to a
    // failure of the service or the library; give_up after Cancel. A
    // service failure's box shows what box_of makes of it.
    template <typename Result>
    Result retried(Result give_up, const std::function<Result()>& step,
                   const std::function<box_texts(const vfs::exception&)>& box_of) {
        shell_utils::retry_answers retries;
        for (;;) {
            box_texts box;
            try {
                return step();
            } catch (const escaping_failure&) {
                throw;
            } catch (const vfs::exception& failure) {
                box = box_of(failure);
            } catch (const std::exception&) {
                box = {loaded(IDS_DELETE_ERROR), current_failure().text};
            }
            if (retries(ask(box.first, box.second)) != IDRETRY) return give_up;
        }
    }

    bool cancelled() const { return dialog_->HasUserCancelled() != FALSE; }

    int ask(const std::wstring& caption, const std::wstring& text) const {
        return shell_utils::MessageBoxWithSite(owner_, dialog_, caption.c_str(), text.c_str(),
                                               MB_RETRYCANCEL | MB_ICONERROR);
    }

    static std::wstring name_of(const vfs::item_ptr& known, const selected_item& selected) {
        return known ? known->get_name() : selected.name;
    }

    static vfs::item_ptr find(const vfs::directory_ptr& directory, const vfs::item_ptr& known,
                              const selected_item& selected) {
        if (known) return known;
        vfs::item_ptr found = directory->get_item_by_id(selected.id, false);
        if (!found) throw missing_item(selected.name);
        return found;
    }

    static vfs::directory_ptr as_folder(const vfs::item_ptr& item, const wchar_t* where) {
        auto folder = boost::dynamic_pointer_cast<vfs::directory>(item);
        if (!folder) throw escaping_failure{std::wstring(L"NULL pointer in ") + where};
        return folder;
    }

    int count_once(const vfs::directory_ptr& directory, const vfs::item_ptr& known,
                   const selected_item& selected) {
        if (cancelled()) return -1;
        const vfs::item_ptr item = find(directory, known, selected);
        if (cancelled()) return -1;
        if (item->get_type() != vfs::item_type_directory) return 1;
        const vfs::directory_ptr folder =
            as_folder(item, L"CDataObjectImpl::_CountSubitemsAndSelf(...)");
        int total = 1;
        for (const vfs::item_ptr& child : folder->list_items()) {
            const int below = count(folder, child, selected_item{});
            if (below < 0) return -1;
            total += below;
        }
        return total;
    }

    HRESULT remove_once(const vfs::directory_ptr& directory, const vfs::item_ptr& known,
                        const selected_item& selected) {
        if (cancelled()) return E_FAIL;
        const vfs::item_ptr item = find(directory, known, selected);
        if (cancelled()) return E_FAIL;
        // Moved to the trash, a folder goes as one item with its contents.
        if (permanent_ && item->get_type() == vfs::item_type_directory) {
            const vfs::directory_ptr folder =
                as_folder(item, L"CDataObjectImpl::_DeleteRecursively(...)");
            for (const vfs::item_ptr& child : folder->list_items())
                if (remove(folder, child, selected_item{}) != S_OK) return E_FAIL;
        }
        if (cancelled()) return E_FAIL;
        const std::wstring line =
            shell_utils::FormatWithArguments(loaded(IDS_DELETING_ITEM), {item->get_name()});
        dialog_->SetLine(1, line.c_str(), TRUE, nullptr);
        directory->delete_item(item, !permanent_);
        ++done_;
        dialog_->SetProgress(static_cast<DWORD>(done_), static_cast<DWORD>(total_));
        return S_OK;
    }

    HWND owner_;
    IProgressDialog* dialog_;
    bool permanent_;
    int done_ = 0;
    int total_ = 0;
};

void run_with_dialog(const DataObjectJob& job, worker_progress& running) {
    IProgressDialog* dialog = running.get();
    dialog->SetProgress(0, 0);
    dialog->Timer(PDTIMER_RESET, nullptr);
    dialog->SetTitle(loaded(IDS_DELETING).c_str());
    dialog->SetLine(1, loaded(IDS_PREPARING_DELETE).c_str(), FALSE, nullptr);

    delete_walk walk(job.hwnd, dialog, job.permanent != 0);
    const std::vector<selected_item> items = selected_items(job);
    int total = 0;
    bool counted = true;
    for (const selected_item& selected : items) {
        const int count = walk.count(job.folder, nullptr, selected);
        if (count < 0) {
            counted = false;
            break;
        }
        total += count;
    }
    if (counted) {
        walk.set_total(total);
        for (const selected_item& selected : items)
            if (walk.remove(job.folder, nullptr, selected) != S_OK) break;
    }
    running.stop();
    LPITEMIDLIST folder = job.folder_pidl.CreatePidl();
    if (folder) {
        SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_IDLIST, folder, nullptr);
        CoTaskMemFree(folder);
    }
}

// The job, holding the module loaded from before the worker starts: as its
// first member the hold goes last, after everything else of the job.
struct handed_job {
    CCalvimoraModule::worker_reference keep_loaded;
    std::unique_ptr<DataObjectJob> job;
};

DWORD WINAPI delete_thread(LPVOID parameter) {
    std::unique_ptr<handed_job> handed(static_cast<handed_job*>(parameter));
    run_delete_job(*handed->job);
    return 0;
}

void show_internal_error(HWND owner, const std::wstring& text) {
    MessageBoxW(owner, text.c_str(), L"Internal error", MB_OK | MB_ICONERROR);
}

}  // namespace

std::pair<std::wstring, std::wstring> confirmation_texts(const std::vector<selected_item>& items,
                                                         bool permanent) {
    if (items.size() == 1 && items.front().is_folder)
        return {loaded(IDS_DELETE_FOLDER_TITLE),
                loaded(permanent ? IDS_ERASE_FOLDER : IDS_DELETE_FOLDER)};
    if (items.size() == 1)
        return {loaded(IDS_DELETE_FILE_TITLE),
                loaded(permanent ? IDS_ERASE_FILE : IDS_DELETE_FILE)};
    std::wstring text = loaded(permanent ? IDS_ERASE_SEVERAL : IDS_DELETE_SEVERAL);
    const size_t place = text.find(L"%d");
    if (place != std::wstring::npos) text.replace(place, 2, std::to_wstring(items.size()));
    return {loaded(IDS_DELETE_SEVERAL_TITLE), text};
}

bool confirm_delete(HWND owner, const std::vector<selected_item>& items, bool permanent) {
    const auto [caption, text] = confirmation_texts(items, permanent);
    return MessageBoxW(owner, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONEXCLAMATION) ==
           IDYES;
}

std::vector<selected_item> selected_items(const DataObjectJob& job) {
    std::vector<selected_item> items;
    for (const PIDLDATA& record : job.item_records())
        items.push_back(
            {pidl_id(record), pidl_name(record), record.type == vfs::item_type_directory});
    return items;
}

bool start_delete_worker(std::unique_ptr<DataObjectJob> job) {
    auto handed = std::make_unique<handed_job>();
    handed->job = std::move(job);
    // The thread also holds the module's code mapped until the procedure has
    // returned: the job lets its hold go in the procedure's last steps.
    if (!SHCreateThread(delete_thread, handed.get(), CTF_PROCESS_REF | CTF_FREELIBANDEXIT, nullptr))
        return false;
    handed.release();
    return true;
}

void run_delete_job(const DataObjectJob& job) {
    try {
        const worker_apartment com;
        if (!com.entered()) throw escaping_failure{L"Com initialize failed"};
        try {
            worker_progress running;
            if (!running.create()) throw escaping_failure{L"Progress Dialog initialize failed"};
            running.start(job.hwnd);
            run_with_dialog(job, running);
        } catch (const escaping_failure& failure) {
            // The dialog is stopped by now: the box is not left under it.
            show_internal_error(job.hwnd, failure.text);
        } catch (const vfs::exception& failure) {
            show_internal_error(job.hwnd, failure.get_text());
        } catch (const std::exception&) {
            show_internal_error(job.hwnd, current_failure().text);
        } catch (...) {
            show_internal_error(job.hwnd,
                                L"Unknown error in CDataObjectImpl::_DoDeleteItemThread(...)");
        }
    } catch (const escaping_failure& failure) {
        show_internal_error(job.hwnd, failure.text);
    }
}

}  // namespace shell_delete
