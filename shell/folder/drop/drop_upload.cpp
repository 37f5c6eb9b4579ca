#include "folder/drop/drop_upload.h"

#include <array>
#include <boost/pointer_cast.hpp>
#include <functional>
#include <memory>

#include "folder/adapters/clipboard_wrapper.h"
#include "folder/drop/set_aside.h"
#include "folder/drop/tree_size.h"
#include "folder/module/site_message_box.h"
#include "vfs/block_copy.h"
#include "vfs/calvimora_directory.h"
#include "vfs/file.h"
#include "win/process.h"
#include "win/user.h"
#include "win/user_dialog.h"

namespace shell_upload {

namespace {

constexpr int block_size = 16384;
constexpr int replace_mode = vfs::modeWrite | vfs::modeOverwrite;
constexpr std::uint64_t not_a_tree = ~std::uint64_t{0};

const bool strings_registered = [] {
    win_dialogs::register_strings(
        win_module::this_module(),
        {{IDS_UPLOAD_TARGET, L"To 'Calvimora\\%s'"},
         {IDS_UPLOAD_MOVING, L"Moving..."},
         {IDS_UPLOAD_MOVING_FILE, L"Moving '%s'"},
         {IDS_UPLOAD_COPYING, L"Copying..."},
         {IDS_UPLOAD_COPYING_FILE, L"Copying '%s'"},
         {IDS_CONFIRM_REPLACE, L"Confirm file replace"},
         {IDS_CONFIRM_REPLACE_TEXT, L"File with name '%s' already exists. Replace?"},
         {IDS_CONFIRM_MERGE, L"Confirm folder merge"},
         {IDS_CONFIRM_MERGE_TEXT, L"Folder with name '%s' already exists. Merge folder contents?"},
         {IDS_ERROR_CREATING_FOLDER, L"Error creating folder"},
         {IDS_FOLDER_NOT_CREATED, L"Folder '%s' could not be created."},
         {IDS_ERROR_CREATING_FILE, L"Error creating file"},
         {IDS_FILE_NOT_CREATED, L"File '%s' could not be created."},
         {IDS_UPLOAD_ERROR, L"Error"},
         {IDS_CANT_CREATE, L"Can't create '%s': %s"},
         {IDS_CANT_READ, L"Can't read from '%s': %s"},
         {IDS_CANT_WRITE, L"Can't write to '%s': %s"},
         {IDS_CANT_CLOSE, L"Can't close '%s': %s"},
         {IDS_CANT_COPY, L"Can't copy/move '%s': %s"},
         {IDS_CANT_REFRESH, L"Error refreshing folder '%s': %s"},
         {IDS_CANT_SIZE, L"Error calculating folder size: %s'%s'"},
         {IDS_CANT_OVERWRITE, L"Error overwriting file '%s': '%s'"}});
    return true;
}();

// A name the service must never receive: empty, "." or "..", or holding a
// path separator or a control character. Dropped data from other programs
// names its items freely.
class refused_name : public vfs::exception {
public:
    explicit refused_name(const std::wstring& name) : name_(name) {}
    std::wstring get_title() const override { return L"Invalid name"; }
    std::wstring get_text() const override {
        return L"The name '" + name_ + L"' cannot be used in the remote folder";
    }

private:
    std::wstring name_;
};

bool is_acceptable_name(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    for (const wchar_t c : name)
        if (c < 0x20 || c == 0x7F || c == L'/' || c == L'\\') return false;
    return true;
}

class upload_steps {
public:
    explicit upload_steps(upload_context& context) : context_(context) {}

    // Runs the step until it succeeds or the user gives up on it: S_OK,
    // E_FAIL (Ignore, or Cancel of a single file) or E_ABORT (Abort).
    HRESULT guarded(UINT caption, UINT text, const std::wstring& name,
                    const std::function<void()>& step) const {
        shell_utils::retry_answers retries;
        for (;;) {
            try {
                step();
                return S_OK;
            } catch (const vfs::exception& failure) {
                const UINT buttons = context_.single ? MB_RETRYCANCEL : MB_ABORTRETRYIGNORE;
                const int answer = retries(shell_utils::MessageBoxFormat2(
                    context_.owner, context_.dialog, caption, text, name.c_str(),
                    failure.get_text().c_str(), buttons | MB_ICONERROR));
                if (answer == IDRETRY) continue;
                return answer == IDABORT ? E_ABORT : E_FAIL;
            }
        }
    }

    // IDYES, IDNO or IDCANCEL (never IDCANCEL for a single file).
    int question(UINT caption, UINT text, const std::wstring& name) const {
        const UINT buttons = context_.single ? MB_YESNO : MB_YESNOCANCEL;
        return shell_utils::MessageBoxFormat(context_.owner, context_.dialog, caption, text,
                                             name.c_str(), buttons | MB_ICONWARNING);
    }

    void fatal(UINT caption, UINT text, const std::wstring& name) const {
        shell_utils::MessageBoxFormat(context_.owner, context_.dialog, caption, text, name.c_str(),
                                      MB_OK | MB_ICONERROR);
    }

    void plain(const vfs::exception& failure) const {
        shell_utils::MessageBoxWithSite(context_.owner, context_.dialog,
                                        failure.get_title().c_str(), failure.get_text().c_str(),
                                        MB_OK);
    }

    bool cancelled() const { return context_.dialog && context_.dialog->HasUserCancelled(); }

    void advance(std::uint64_t bytes) const {
        context_.completed += bytes;
        if (context_.dialog) context_.dialog->SetProgress64(context_.completed, context_.total);
    }

    // The item of that name in the folder, null when there is none. Only a
    // lookup that says "not found" means absent; any other failure (the
    // network's too) is a step error, so no existing item goes unasked.
    // fresh lists the folder again first.
    HRESULT find(vfs::directory& folder, const std::wstring& name, UINT caption, UINT text,
                 vfs::item_ptr& found, bool fresh = false) const {
        return guarded(caption, text, name, [&] {
            try {
                found = folder.get_item(name, fresh);
            } catch (const vfs::item_not_found_exception&) {
                found.reset();
            }
        });
    }

    // The item of that name in the folder as listed once for the files
    // dropped into it, null when there is none. Files placed since are
    // met by the rename that gives a file its name.
    HRESULT find_listed(const vfs::directory_ptr& folder, const std::wstring& name,
                        vfs::item_ptr& found) const {
        if (context_.listed != folder) {
            const HRESULT listed = guarded(IDS_UPLOAD_ERROR, IDS_FILE_NOT_CREATED, name,
                                           [&] { context_.listing = folder->list_items(); });
            if (listed != S_OK) return listed;
            context_.listed = folder;
        }
        found.reset();
        for (const vfs::item_ptr& item : context_.listing) {
            if (vfs_calvimora::directory::names_match(item->get_name(), name)) {
                found = item;
                break;
            }
        }
        return S_OK;
    }

    // S_OK for a file; for anything else the fatal box and E_ABORT.
    HRESULT replaceable(const vfs::item_ptr& existing, const std::wstring& name) const {
        if (boost::dynamic_pointer_cast<vfs::file>(existing) &&
            existing->get_type() != vfs::item_type_directory)
            return S_OK;
        fatal(IDS_ERROR_CREATING_FILE, IDS_FILE_NOT_CREATED, name);
        return E_ABORT;
    }

    // Whether an existing item of the name may be replaced: S_OK on Yes;
    // E_FAIL on No; E_ABORT on Cancel or when the item is no file.
    HRESULT may_replace(const vfs::item_ptr& existing, const std::wstring& name) const {
        const HRESULT kind = replaceable(existing, name);
        if (kind != S_OK) return kind;
        const int answer = question(IDS_CONFIRM_REPLACE, IDS_CONFIRM_REPLACE_TEXT, name);
        if (answer == IDCANCEL) return E_ABORT;
        return answer == IDYES ? S_OK : E_FAIL;
    }

private:
    upload_context& context_;
};

// A file's source closed, failures ignored: the file ends anyway.
void close_quietly(dropped_file& file) {
    try {
        if (file.is_open()) file.close();
    } catch (const vfs::exception&) {
    }
}

// The replace of an existing file by another one already in the folder:
// the existing file is set aside, the new one takes its name, and only then
// the set-aside file is removed. A failure puts the existing file back.
// place is the step that gives the new file its name.
HRESULT replace_in_place(const upload_steps& steps, vfs::directory& target,
                         const vfs::item_ptr& existing, const std::wstring& name,
                         const std::function<void()>& place) {
    const std::wstring set_aside = set_aside_name(name);
    const set_aside_in_progress busy(target, set_aside);
    const std::wstring original = existing->get_name();
    HRESULT result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_OVERWRITE, name,
                                   [&] { target.rename_item(existing, set_aside); });
    if (result != S_OK) return result;
    result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_COPY, name, place);
    if (result != S_OK) {
        try {
            target.rename_item(existing, original);
        } catch (const vfs::exception&) {
            // Put back by the next listing of the folder.
        }
        return result;
    }
    // The replace is done; a set-aside file that stays is removed by the
    // next listing of the folder.
    return steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_OVERWRITE, name,
                         [&] { target.delete_item(existing, false); });
}

// The copy (or move) of a file of the extension's own data object by the
// service; a file that stands for no remote file ends the upload.
HRESULT copy_by_service(upload_context& context, const upload_steps& steps, dropped_file& source,
                        const vfs::directory_ptr& target, const std::wstring& name) {
    auto* const remote = dynamic_cast<dropped_remote_file*>(&source);
    if (!remote) return E_ABORT;
    vfs::item_ptr existing;
    HRESULT result = steps.find(*target, name, IDS_UPLOAD_ERROR, IDS_CANT_COPY, existing);
    if (result != S_OK) return result;
    const auto copy = [&] { remote->copy(target, context.effect == DROPEFFECT_MOVE); };
    if (existing) {
        result = steps.may_replace(existing, name);
        if (result == S_OK) result = replace_in_place(steps, *target, existing, name, copy);
    } else {
        result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_COPY, name, copy);
    }
    if (result != S_OK) return result;
    std::int64_t size = 0;
    try {
        size = source.get_size();
    } catch (const vfs::exception&) {
    }
    steps.advance(size > 0 ? static_cast<std::uint64_t>(size) : 0);
    close_quietly(source);
    // The file is done; a cancel now only stops the files after it.
    return steps.cancelled() ? E_ABORT : S_OK;
}

// The transfer of a file's bytes. They go to a new remote file of a name of
// its own, which takes the real name only once the service committed it
// whole: a cancel, a failure or a killed host never leaves part of a file
// under the real name, nor touches a file the user had there.
class byte_upload {
public:
    byte_upload(const upload_steps& steps, dropped_file& source, const vfs::directory_ptr& target,
                const std::wstring& name)
        : steps_(steps), source_(source), folder_(target), target_(*target), name_(name) {}

    HRESULT run() {
        vfs::item_ptr existing;
        HRESULT result = steps_.find_listed(folder_, name_, existing);
        if (result != S_OK) return result;
        const bool agreed = existing != nullptr;
        if (agreed && (result = steps_.may_replace(existing, name_)) != S_OK) return result;
        result = transfer();
        if (result == S_OK) result = take_name(agreed);
        if (result == S_OK) return S_OK;
        close_quietly(source_);
        discard();
        return result == E_ABORT ? E_ABORT : E_FAIL;
    }

private:
    // The bytes into a new remote file, committed by its close.
    HRESULT transfer() {
        HRESULT result = steps_.guarded(IDS_UPLOAD_ERROR, IDS_CANT_CREATE, name_, [&] {
            // A name drawn anew for each try: a file an earlier try made
            // without an answer is never written into. The session knows
            // it is sent before it exists, so no listing takes it for one
            // a killed host left.
            own_name_ = upload_name(name_);
            sending_ = std::make_unique<upload_in_progress>(target_, own_name_);
            remote_ = boost::dynamic_pointer_cast<vfs::file>(
                target_.create_and_open_file(own_name_, replace_mode, source_.get_size()));
            if (!remote_) throw vfs::short_write(0, 0);
            made_id_ = remote_->get_id();
        });
        if (result != S_OK) return result;
        result = steps_.guarded(IDS_UPLOAD_ERROR, IDS_CANT_READ, name_, [&] { source_.open(); });
        if (result != S_OK) return result;

        // A read or write that fails is asked about; a write tried again
        // goes on from the first byte the remote file did not take.
        vfs::block_copy copy;
        copy.read = [&](char* buffer, std::size_t length,
                        std::uint64_t) -> std::optional<std::size_t> {
            int got = 0;
            result = steps_.guarded(IDS_UPLOAD_ERROR, IDS_CANT_READ, name_,
                                    [&] { got = source_.read(buffer, static_cast<int>(length)); });
            if (result != S_OK) return std::nullopt;
            return got > 0 ? static_cast<std::size_t>(got) : 0;
        };
        copy.write = [&](const char* block, std::size_t length, std::uint64_t, std::size_t& taken) {
            result = steps_.guarded(IDS_UPLOAD_ERROR, IDS_CANT_WRITE, name_,
                                    [&] { vfs::write_all(*remote_, block, length, taken); });
            return result == S_OK;
        };
        copy.progress = [&](std::uint64_t, std::size_t block) { steps_.advance(block); };
        copy.cancelled = [&] { return steps_.cancelled(); };
        std::array<char, block_size> buffer;
        const vfs::copy_end end = vfs::copy_blocks(copy, buffer).end;
        if (end == vfs::copy_end::gave_up) return result;
        if (end == vfs::copy_end::cancelled) return E_ABORT;
        result = steps_.guarded(IDS_UPLOAD_ERROR, IDS_CANT_CLOSE, name_, [&] { source_.close(); });
        if (result != S_OK) return result;
        return steps_.guarded(IDS_UPLOAD_ERROR, IDS_CANT_CLOSE, name_,
                              [&] { remote_->close(source_.get_modification_date()); });
    }

    // The committed file takes the real name. A file that holds the name by
    // now (another drop's, or the one the user agreed to replace) is asked
    // about unless agreed, and replaced in place.
    HRESULT take_name(bool agreed) {
        const auto rename = [&] { target_.rename_item(remote_, name_); };
        HRESULT result = S_OK;
        if (!agreed) {
            bool taken = false;
            result = steps_.guarded(IDS_UPLOAD_ERROR, IDS_CANT_CREATE, name_, [&] {
                try {
                    rename();
                } catch (const vfs::item_already_exists_exception&) {
                    taken = true;
                }
            });
            if (result != S_OK || !taken) return result;
        }
        vfs::item_ptr holder;
        result = steps_.find(target_, name_, IDS_UPLOAD_ERROR, IDS_FILE_NOT_CREATED, holder, true);
        if (result != S_OK) return result;
        if (!holder) return steps_.guarded(IDS_UPLOAD_ERROR, IDS_CANT_CREATE, name_, rename);
        // Only a file is ever replaced, whatever was agreed to before.
        result = agreed ? steps_.replaceable(holder, name_) : steps_.may_replace(holder, name_);
        if (result != S_OK) return result;
        result = replace_in_place(steps_, target_, holder, name_, rename);
        // Once renamed, the file is the user's: never discarded.
        if (result != S_OK && renamed()) made_id_.clear();
        return result;
    }

    bool renamed() {
        try {
            return target_.get_item_by_id(made_id_, true)->get_name() == name_;
        } catch (const vfs::exception&) {
            return false;
        }
    }

    // Drops the unfinished transfer without committing it, then moves the
    // file this upload made to the trash: found by its id and still under
    // this upload's own name, so nothing another drop put there meanwhile
    // is touched.
    void discard() {
        remote_.reset();
        if (made_id_.empty()) return;
        try {
            const vfs::item_ptr made = target_.get_item_by_id(made_id_, true);
            if (made->get_name() == own_name_) target_.delete_item(made, true);
        } catch (const vfs::exception&) {
        }
    }

    const upload_steps& steps_;
    dropped_file& source_;
    const vfs::directory_ptr folder_;
    vfs::directory& target_;
    const std::wstring name_;
    std::wstring own_name_;
    std::unique_ptr<upload_in_progress> sending_;
    std::wstring made_id_;
    vfs::file_ptr remote_;
};

std::wstring loaded(UINT id, const std::wstring& argument) {
    return shell_utils::FormatWithArguments(shell_utils::LoadShellString(id), {argument});
}

// Lists the target again so that its view shows what arrived; false when
// the user cancelled the retries.
bool refresh(HWND owner, IProgressDialog* dialog, vfs::directory& target) {
    shell_utils::retry_answers retries;
    for (;;) {
        try {
            if (repair_set_asides(target, target.list_items())) target.list_items();
            return true;
        } catch (const vfs::exception& failure) {
            std::wstring name;
            try {
                name = target.get_name();
            } catch (const vfs::exception&) {
            }
            if (retries(shell_utils::MessageBoxFormat2(
                    owner, dialog, IDS_UPLOAD_ERROR, IDS_CANT_REFRESH, name.c_str(),
                    failure.get_text().c_str(), MB_RETRYCANCEL | MB_ICONERROR)) != IDRETRY)
                return false;
        }
    }
}

HRESULT run_with_dialog(upload_context& context, const dropped_folder_ptr& source,
                        const vfs::directory_ptr& target) {
    IProgressDialog* dialog = context.dialog;
    shell_utils::retry_answers retries;
    for (;;) {
        try {
            context.total = shell_utils::GetTreeSize(source, context.single);
            break;
        } catch (const vfs::exception& failure) {
            if (retries(shell_utils::MessageBoxFormat2(
                    context.owner, dialog, IDS_UPLOAD_ERROR, IDS_CANT_SIZE, L"",
                    failure.get_text().c_str(), MB_RETRYCANCEL | MB_ICONERROR)) != IDRETRY)
                return E_ABORT;
        }
    }
    if (context.total == not_a_tree) return E_FAIL;
    dialog->SetProgress64(0, context.total);
    dialog->Timer(PDTIMER_RESET, nullptr);
    if (!refresh(context.owner, dialog, *target)) return E_ABORT;
    context.completed = 0;
    HRESULT result = upload_tree(context, *source, target);
    refresh(context.owner, dialog, *target);
    // Items the source tree had to leave out were not copied: never a
    // complete upload, so never a move that deletes the sources.
    const auto dropped = boost::dynamic_pointer_cast<CClipboardWrapper>(source);
    if (result == S_OK && dropped && !dropped->skipped().empty()) result = E_FAIL;
    return result;
}

}  // namespace

HRESULT upload_file(upload_context& context, dropped_file& source,
                    const vfs::directory_ptr& target) {
    const upload_steps steps(context);
    const std::wstring name = source.get_name();
    if (context.dialog) {
        const UINT line =
            context.effect == DROPEFFECT_COPY ? IDS_UPLOAD_COPYING_FILE : IDS_UPLOAD_MOVING_FILE;
        context.dialog->SetLine(1, loaded(line, name).c_str(), TRUE, nullptr);
    }
    if (steps.cancelled()) return E_ABORT;
    if (!is_acceptable_name(name))
        return steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_CREATE, name,
                             [&] { throw refused_name(name); });
    if (!context.own) return byte_upload(steps, source, target, name).run();
    return copy_by_service(context, steps, source, target, name);
}

HRESULT upload_tree(upload_context& context, dropped_folder& source,
                    const vfs::directory_ptr& target) {
    const upload_steps steps(context);
    try {
        bool failed = false;
        for (const dropped_item_ptr& child : source.list_items()) {
            if (child->get_type() != vfs::item_type_directory) {
                const auto file = boost::dynamic_pointer_cast<dropped_file>(child);
                if (!file) return E_ABORT;
                const HRESULT result = upload_file(context, *file, target);
                if (result == E_ABORT) return E_ABORT;
                if (result != S_OK) failed = true;
                continue;
            }
            const auto folder = boost::dynamic_pointer_cast<dropped_folder>(child);
            if (!folder) return E_ABORT;
            const std::wstring name = folder->get_name();
            if (!is_acceptable_name(name)) {
                const HRESULT refused =
                    steps.guarded(IDS_ERROR_CREATING_FOLDER, IDS_FOLDER_NOT_CREATED, name,
                                  [&] { throw refused_name(name); });
                if (refused == E_ABORT) return E_ABORT;
                failed = true;
                continue;
            }
            vfs::item_ptr existing;
            HRESULT result =
                steps.find(*target, name, IDS_ERROR_CREATING_FOLDER, IDS_CANT_CREATE, existing);
            if (result == E_ABORT) return E_ABORT;
            if (result != S_OK) {
                failed = true;
                continue;
            }
            vfs::directory_ptr remote;
            if (existing) {
                remote = boost::dynamic_pointer_cast<vfs::directory>(existing);
                if (!remote || existing->get_type() != vfs::item_type_directory) {
                    steps.fatal(IDS_ERROR_CREATING_FOLDER, IDS_FOLDER_NOT_CREATED, name);
                    return E_ABORT;
                }
                const int answer = steps.question(IDS_CONFIRM_MERGE, IDS_CONFIRM_MERGE_TEXT, name);
                if (answer == IDCANCEL) return E_ABORT;
                if (answer != IDYES) {
                    failed = true;
                    continue;
                }
            } else {
                result =
                    steps.guarded(IDS_ERROR_CREATING_FOLDER, IDS_FOLDER_NOT_CREATED, name, [&] {
                        remote = boost::dynamic_pointer_cast<vfs::directory>(
                            target->create_directory(name));
                        if (!remote) throw vfs::short_write(0, 0);
                    });
                if (result == E_ABORT) return E_ABORT;
                if (result != S_OK) {
                    failed = true;
                    continue;
                }
            }
            result = upload_tree(context, *folder, remote);
            if (result == E_ABORT) return E_ABORT;
            if (result != S_OK) failed = true;
        }
        return failed ? E_FAIL : S_OK;
    } catch (const vfs::exception& failure) {
        steps.plain(failure);
        return E_ABORT;
    }
}

HRESULT run_upload_with_progress(HWND owner, const dropped_folder_ptr& source,
                                 const vfs::directory_ptr& target, const std::wstring& target_path,
                                 DWORD effect, bool own) {
    if (!source || !target) return E_INVALIDARG;
    IProgressDialog* dialog = nullptr;
    const HRESULT made = CoCreateInstance(CLSID_ProgressDialog, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IProgressDialog, reinterpret_cast<void**>(&dialog));
    if (FAILED(made)) return made;
    dialog->StartProgressDialog(owner, nullptr, PROGDLG_MODAL, nullptr);
    dialog->SetProgress64(0, 0);
    dialog->Timer(PDTIMER_RESET, nullptr);
    dialog->SetTitle(shell_utils::LoadShellString(effect == DROPEFFECT_COPY ? IDS_UPLOAD_COPYING
                                                                            : IDS_UPLOAD_MOVING)
                         .c_str());
    dialog->SetLine(2, loaded(IDS_UPLOAD_TARGET, target_path).c_str(), TRUE, nullptr);

    upload_context context;
    context.owner = owner;
    context.dialog = dialog;
    context.effect = effect;
    context.own = own;
    const HRESULT result = run_with_dialog(context, source, target);
    dialog->StopProgressDialog();
    dialog->Release();
    return result;
}

}  // namespace shell_upload
