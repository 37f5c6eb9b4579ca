// Modal dialogs: the loop that runs them on the calling thread, and who
// answers them once the thread has nothing else to do.

#include "user_answer_file.h"
#include "user_answers.h"
#include "user_dialog_state.h"
#include "user_internal.h"
#include "user_terminal.h"
#include "win/kernel.h"
#include "win/user.h"

namespace win_user {

namespace {

// Answers the dialog once: the script, the answers file, the terminal or
// the default.
const char* respond(HWND dialog, const std::wstring& template_name) {
    if (const dialog_script script = dialog_responder()) {
        script(dialog);
        return "script";
    }
    if (file_answer_dialog(dialog, template_name)) return "file";
    if (answers_on_terminal()) {
        answer_dialog_on_terminal(dialog);
        return "terminal";
    }
    press_default(dialog);
    return "default";
}

const char* run_modal_loop(HWND dialog, const std::shared_ptr<dialog_data>& data) {
    const char* answered_by = "program";
    bool responded = false;
    bool defaulted = false;
    while (!data->ended && IsWindow(dialog)) {
        MSG m;
        if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(m.wParam));
                break;
            }
            if (!IsDialogMessageW(dialog, &m)) {
                TranslateMessage(&m);
                DispatchMessageW(&m);
            }
            continue;
        }
        if (!responded) {
            responded = true;
            answered_by = respond(dialog, data->template_name);
        } else if (!defaulted) {
            // The responder left it open and nothing else will close it.
            defaulted = true;
            answered_by = "default";
            press_default(dialog);
        } else {
            EndDialog(dialog, IDCANCEL);
        }
    }
    return answered_by;
}

}  // namespace

}  // namespace win_user

using namespace win_user;

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR template_name, HWND owner, DLGPROC procedure,
                        LPARAM parameter) {
    return run_modal_dialog(owner, [&] {
        return create_dialog(instance, template_name, owner, procedure, parameter, true);
    });
}

INT_PTR win_user::run_modal_dialog(HWND owner, const std::function<HWND()>& make) {
    HWND top_owner = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    const bool disable_owner = top_owner && IsWindowEnabled(top_owner);
    if (disable_owner) EnableWindow(top_owner, FALSE);
    // From its making on, a dialog the person answers has the lines typed
    // for it: its initialisation may take a while before it asks.
    const terminal_question asking(!dialog_responder() && answers_on_terminal());
    HWND dialog = make();
    const std::shared_ptr<dialog_data> data = dialog ? dialog_of(dialog) : nullptr;
    if (!data) {
        if (disable_owner) EnableWindow(top_owner, TRUE);
        return -1;
    }
    if (!data->ended) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        if (GetWindowLongW(dialog, GWL_STYLE) & DS_SETFOREGROUND) SetForegroundWindow(dialog);
        UpdateWindow(dialog);
    }
    const char* answered_by = run_modal_loop(dialog, data);
    wchar_t caption[1024];
    GetWindowTextW(dialog, caption, 1024);
    const INT_PTR result = data->result;
    DestroyWindow(dialog);
    if (disable_owner && IsWindow(top_owner)) {
        EnableWindow(top_owner, TRUE);
        if (GetWindowThreadProcessId(top_owner, nullptr) == GetCurrentThreadId() &&
            IsWindowVisible(top_owner))
            SetActiveWindow(top_owner);
    }
    journal_dialog(data->template_name, caption, result, answered_by);
    return result;
}
