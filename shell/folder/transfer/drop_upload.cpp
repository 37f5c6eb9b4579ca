#include "folder/transfer/drop_upload.h"

#include <boost/pointer_cast.hpp>
#include <functional>

#include "folder/adapters/clipboard_wrapper.h"
#include "folder/folder_object/tree_size.h"
#include "folder/module/site_message_box.h"
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

// A remote file that took fewer bytes than it was given.
class short_write : public vfs::exception {
public:
    short_write(int written, int length)
        : text_(L"only " + std::to_wstring(written) + L" of " + std::to_wstring(length) +
                L" bytes were written") {}
    std::wstring get_title() const override { return L"Write failed"; }
    std::wstring get_text() const override { return text_; }

private:
    std::wstring text_;
};

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
        for (;;) {
            try {
                step();
                return S_OK;
            } catch (const vfs::exception& failure) {
                const UINT buttons = context_.single ? MB_RETRYCANCEL : MB_ABORTRETRYIGNORE;
                const int answer = shell_utils::MessageBoxFormat2(
                    context_.owner, context_.dialog, caption, text, name.c_str(),
                    failure.get_text().c_str(), buttons | MB_ICONERROR);
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
    HRESULT find(vfs::directory& folder, const std::wstring& name, UINT caption, UINT text,
                 vfs::item_ptr& found) const {
        return guarded(caption, text, name, [&] {
            try {
                found = folder.get_item(name, false);
            } catch (const vfs::item_not_found_exception&) {
                found.reset();
            }
        });
    }

private:
    upload_context& context_;
};

void close_quietly(vfs::file* file) {
    if (!file) return;
    try {
        if (file->get_mode() != 0) file->close(vfs::no_date);
    } catch (const vfs::exception&) {
    }
}

// The copy (or move) of a file of the extension's own data object by the
// service. An existing file of that name is set aside first and removed
// only once the copy succeeded; a failed copy puts it back.
HRESULT copy_by_service(upload_context& context, const upload_steps& steps, vfs::file& source,
                        const vfs::directory_ptr& target, const std::wstring& name) {
    vfs::item_ptr existing;
    HRESULT result = steps.find(*target, name, IDS_UPLOAD_ERROR, IDS_CANT_COPY, existing);
    if (result != S_OK) return result;
    std::wstring set_aside;
    if (existing) {
        if (!boost::dynamic_pointer_cast<vfs::file>(existing)) {
            steps.fatal(IDS_ERROR_CREATING_FILE, IDS_FILE_NOT_CREATED, name);
            return E_ABORT;
        }
        const int answer = steps.question(IDS_CONFIRM_REPLACE, IDS_CONFIRM_REPLACE_TEXT, name);
        if (answer == IDCANCEL) return E_ABORT;
        if (answer != IDYES) return E_FAIL;
        set_aside = L"~" + name + L".replaced";
        result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_OVERWRITE, name,
                               [&] { target->rename_item(name, set_aside); });
        if (result != S_OK) return result;
    }
    result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_COPY, name,
                           [&] { source.copy(target, context.effect == DROPEFFECT_MOVE); });
    if (result != S_OK) {
        if (!set_aside.empty()) {
            try {
                target->rename_item(set_aside, name);
            } catch (const vfs::exception&) {
            }
        }
        return result;
    }
    if (!set_aside.empty()) {
        result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_OVERWRITE, name,
                               [&] { target->delete_item(set_aside, false); });
    }
    std::int64_t size = 0;
    try {
        size = source.get_size();
    } catch (const vfs::exception&) {
    }
    steps.advance(size > 0 ? static_cast<std::uint64_t>(size) : 0);
    close_quietly(&source);
    // The file is done; a cancel now only stops the files after it.
    if (result == S_OK && steps.cancelled()) return E_ABORT;
    return result;
}

// The transfer of a file's bytes.
HRESULT copy_bytes(const upload_steps& steps, vfs::file& source, vfs::directory& target,
                   const std::wstring& name) {
    vfs::file_ptr remote;
    bool created = false;
    bool aborted = false;
    const auto end = [&](HRESULT result) {
        close_quietly(&source);
        close_quietly(remote.get());
        if (created) {
            try {
                target.delete_item(name, false);
            } catch (const vfs::exception&) {
            }
        }
        return aborted || result == E_ABORT ? E_ABORT : E_FAIL;
    };

    bool exists = false;
    HRESULT result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_CREATE, name, [&] {
        try {
            const vfs::item_ptr made =
                target.create_and_open_file(name, replace_mode, source.get_size());
            remote = boost::dynamic_pointer_cast<vfs::file>(made);
            created = remote != nullptr;
            if (!remote) throw short_write(0, 0);
        } catch (const vfs::item_already_exists_exception&) {
            exists = true;
        }
    });
    if (result != S_OK) return end(result);
    if (exists) {
        const int answer = steps.question(IDS_CONFIRM_REPLACE, IDS_CONFIRM_REPLACE_TEXT, name);
        if (answer == IDCANCEL) return end(E_ABORT);
        if (answer != IDYES) return end(E_FAIL);
        vfs::item_ptr found;
        result = steps.find(target, name, IDS_UPLOAD_ERROR, IDS_FILE_NOT_CREATED, found);
        if (result != S_OK) return end(result);
        remote = boost::dynamic_pointer_cast<vfs::file>(found);
        if (!remote) {
            steps.fatal(IDS_ERROR_CREATING_FILE, IDS_FILE_NOT_CREATED, name);
            return end(E_ABORT);
        }
        // The service keeps the old contents until the new upload is
        // complete and closed; nothing of the old file is ever deleted.
        result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_WRITE, name,
                               [&] { remote->open(replace_mode, source.get_size()); });
        if (result != S_OK) return end(result);
    }
    result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_READ, name,
                           [&] { source.open(vfs::modeRead, 0); });
    if (result != S_OK) return end(result);

    char buffer[block_size];
    for (;;) {
        int got = 0;
        result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_READ, name,
                               [&] { got = source.read(buffer, block_size); });
        if (result != S_OK) return end(result);
        if (got <= 0) break;
        int written = 0;
        result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_WRITE, name, [&] {
            while (written < got) {
                const int count = remote->write(buffer + written, got - written);
                if (count <= 0) throw short_write(written, got);
                written += count;
            }
        });
        if (result != S_OK) return end(result);
        steps.advance(static_cast<std::uint64_t>(got));
        if (steps.cancelled()) {
            aborted = true;
            return end(E_ABORT);
        }
    }
    result =
        steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_CLOSE, name, [&] { source.close(vfs::no_date); });
    if (result != S_OK) return end(result);
    result = steps.guarded(IDS_UPLOAD_ERROR, IDS_CANT_CLOSE, name,
                           [&] { remote->close(source.get_modification_date()); });
    if (result != S_OK) return end(result);
    return S_OK;
}

std::wstring loaded(UINT id, const std::wstring& argument) {
    return shell_utils::FormatWithArguments(shell_utils::LoadShellString(id), {argument});
}

// Lists the target again so that its view shows what arrived; false when
// the user cancelled the retries.
bool refresh(HWND owner, IProgressDialog* dialog, vfs::directory& target) {
    for (;;) {
        try {
            target.list_items();
            return true;
        } catch (const vfs::exception& failure) {
            std::wstring name;
            try {
                name = target.get_name();
            } catch (const vfs::exception&) {
            }
            if (shell_utils::MessageBoxFormat2(owner, dialog, IDS_UPLOAD_ERROR, IDS_CANT_REFRESH,
                                               name.c_str(), failure.get_text().c_str(),
                                               MB_RETRYCANCEL | MB_ICONERROR) != IDRETRY)
                return false;
        }
    }
}

HRESULT run_with_dialog(upload_context& context, const vfs::directory_ptr& source,
                        const vfs::directory_ptr& target) {
    IProgressDialog* dialog = context.dialog;
    for (;;) {
        try {
            context.total = shell_utils::GetTreeSize(source, context.single);
            break;
        } catch (const vfs::exception& failure) {
            if (shell_utils::MessageBoxFormat2(context.owner, dialog, IDS_UPLOAD_ERROR,
                                               IDS_CANT_SIZE, L"", failure.get_text().c_str(),
                                               MB_RETRYCANCEL | MB_ICONERROR) != IDRETRY)
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

HRESULT upload_file(upload_context& context, vfs::file& source, const vfs::directory_ptr& target) {
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
    if (!context.own) return copy_bytes(steps, source, *target, name);
    return copy_by_service(context, steps, source, target, name);
}

HRESULT upload_tree(upload_context& context, vfs::directory& source,
                    const vfs::directory_ptr& target) {
    const upload_steps steps(context);
    try {
        bool failed = false;
        for (const vfs::item_ptr& child : source.list_items()) {
            if (child->get_type() != vfs::item_type_directory) {
                const auto file = boost::dynamic_pointer_cast<vfs::file>(child);
                if (!file) return E_ABORT;
                const HRESULT result = upload_file(context, *file, target);
                if (result == E_ABORT) return E_ABORT;
                if (result != S_OK) failed = true;
                continue;
            }
            const auto folder = boost::dynamic_pointer_cast<vfs::directory>(child);
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
                        if (!remote) throw short_write(0, 0);
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

HRESULT run_upload_with_progress(HWND owner, const vfs::directory_ptr& source,
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
