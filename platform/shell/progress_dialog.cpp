#include "win/progress_dialog.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "com/com_internal.h"
#include "kernel/journal.h"
#include "kernel/wide_text.h"
#include "system_objects.h"
#include "win/ole.h"
#include "win/user.h"
#include "win/user_dialog.h"
#include "windowing/user_answers.h"

namespace {

// The records are the process's own, as the dialogs are, but belong to the
// machine root they were made under, as every other journal does: a test
// in a root of its own sees only its own dialogs.
struct journal_entry {
    std::string root;
    std::shared_ptr<win_test::progress_record> record;
};

struct progress_journal {
    std::mutex lock;
    std::vector<journal_entry> records;
    win_test::progress_cancel_script cancel_script;
};

progress_journal& journal() {
    static progress_journal instance;
    return instance;
}

std::string current_root() {
    return win_detail::journal_file("progress_dialogs");
}

// One dialog; its journal record is updated under the journal's lock.
class progress_dialog final : public IProgressDialog, public IOleWindow {
public:
    progress_dialog() {
        journal_entry entry{current_root(), record_};
        std::lock_guard<std::mutex> guard(journal().lock);
        journal().records.push_back(std::move(entry));
    }
    ~progress_dialog() { close_window(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IProgressDialog)
            *object = static_cast<IProgressDialog*>(this);
        else if (iid == IID_IOleWindow)
            *object = static_cast<IOleWindow*>(this);
        else
            *object = nullptr;
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE StartProgressDialog(HWND parent, IUnknown*, DWORD flags,
                                                  LPCVOID) override {
        if (window_) return E_UNEXPECTED;
        window_ = CreateWindowExW(0, WC_STATICW, L"Progress", WS_POPUP | WS_VISIBLE, 0, 0, 360, 160,
                                  parent, nullptr, nullptr, nullptr);
        if (parent && (flags & PROGDLG_MODAL) && IsWindowEnabled(parent)) {
            EnableWindow(parent, FALSE);
            disabled_parent_ = parent;
        }
        update([&](win_test::progress_record& record) {
            record.owner = parent;
            record.flags = flags;
            record.started = true;
        });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE StopProgressDialog() override {
        close_window();
        win_test::progress_record state;
        update([&](win_test::progress_record& record) {
            record.stopped = true;
            state = record;
        });
        if (state.total > 0)
            print(state,
                  std::to_string(state.completed) + " of " + std::to_string(state.total) + " done");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTitle(LPCWSTR title) override {
        update([&](win_test::progress_record& record) { record.title = title ? title : L""; });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetAnimation(HINSTANCE, UINT) override { return S_OK; }
    BOOL STDMETHODCALLTYPE HasUserCancelled() override {
        win_test::progress_cancel_script script;
        win_test::progress_record state;
        {
            std::lock_guard<std::mutex> guard(journal().lock);
            ++record_->cancel_checks;
            script = journal().cancel_script;
            state = *record_;
        }
        if (!cancelled_ && script && script(state)) cancelled_ = true;
        return cancelled_ ? TRUE : FALSE;
    }
    HRESULT STDMETHODCALLTYPE SetProgress(DWORD completed, DWORD total) override {
        return SetProgress64(completed, total);
    }
    HRESULT STDMETHODCALLTYPE SetProgress64(ULONGLONG completed, ULONGLONG total) override {
        update([&](win_test::progress_record& record) {
            record.completed = completed;
            record.total = total;
        });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetLine(DWORD line, LPCWSTR text, BOOL, LPCVOID) override {
        if (line < 1 || line > 3) return E_INVALIDARG;
        win_test::progress_record state;
        update([&](win_test::progress_record& record) {
            record.lines[line - 1] = text ? text : L"";
            if (line == 1) record.line1_history.push_back(record.lines[0]);
            state = record;
        });
        if (line == 1) print(state, win_detail::to_utf8(state.lines[0]));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCancelMsg(LPCWSTR, LPCVOID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Timer(DWORD action, LPCVOID) override {
        if (action == PDTIMER_RESET)
            update([](win_test::progress_record& record) { ++record.timer_resets; });
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window) return E_INVALIDARG;
        *window = window_;
        return window_ ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    // What a person at the terminal sees of the dialog: its first line as it
    // changes, and how far it came when it stops.
    static void print(const win_test::progress_record& state, const std::string& text) {
        if (!win_user::answers_on_terminal()) return;
        std::fprintf(stderr, "[progress] %s: %s\n", win_detail::to_utf8(state.title).c_str(),
                     text.c_str());
    }

    template <typename Change>
    void update(Change change) {
        std::lock_guard<std::mutex> guard(journal().lock);
        change(*record_);
    }
    void close_window() {
        if (disabled_parent_) EnableWindow(disabled_parent_, TRUE);
        disabled_parent_ = nullptr;
        if (window_) DestroyWindow(window_);
        window_ = nullptr;
    }

    std::atomic<ULONG> references_{1};
    std::shared_ptr<win_test::progress_record> record_ =
        std::make_shared<win_test::progress_record>();
    HWND window_ = nullptr;
    HWND disabled_parent_ = nullptr;
    bool cancelled_ = false;
};

}  // namespace

namespace win_com {

HRESULT create_system_object(REFCLSID clsid, REFIID iid, void** object) {
    if (clsid != CLSID_ProgressDialog) return create_helper_object(clsid, iid, object);
    auto* dialog = new progress_dialog;
    const HRESULT result = dialog->QueryInterface(iid, object);
    dialog->Release();
    return result;
}

}  // namespace win_com

namespace {

// CoCreateInstance makes the shell's own classes through this from the
// moment the library is loaded.
const bool system_objects_given = [] {
    win_com::set_system_object_creator(&win_com::create_system_object);
    return true;
}();

}  // namespace

namespace win_test {

std::vector<progress_record> progress_dialogs() {
    const std::string root = current_root();
    std::lock_guard<std::mutex> guard(journal().lock);
    std::vector<progress_record> copies;
    for (const journal_entry& entry : journal().records)
        if (entry.root == root) copies.push_back(*entry.record);
    return copies;
}

void clear_progress_dialogs() {
    const std::string root = current_root();
    std::lock_guard<std::mutex> guard(journal().lock);
    std::erase_if(journal().records,
                  [&](const journal_entry& entry) { return entry.root == root; });
}

void set_progress_cancel_script(progress_cancel_script script) {
    std::lock_guard<std::mutex> guard(journal().lock);
    journal().cancel_script = std::move(script);
}

}  // namespace win_test
