// Message boxes answered by a responder instead of a person.
#include "win/user.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kernel/journal.h"
#include "kernel/wide_text.h"
#include "user_answer_file.h"
#include "user_answers.h"
#include "win/code_page.h"

namespace {

// The buttons of each button set, left to right.
const std::vector<int>* buttons_of(UINT type) {
    static const std::vector<int> sets[] = {
        {IDOK},                              // MB_OK
        {IDOK, IDCANCEL},                    // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},        // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},             // MB_YESNOCANCEL
        {IDYES, IDNO},                       // MB_YESNO
        {IDRETRY, IDCANCEL},                 // MB_RETRYCANCEL
        {IDCANCEL, IDTRYAGAIN, IDCONTINUE},  // MB_CANCELTRYCONTINUE
    };
    const UINT set = type & MB_TYPEMASK;
    return set < std::size(sets) ? &sets[set] : nullptr;
}

struct responder_state {
    std::mutex lock;
    win_user::message_box_responder responder;
};

responder_state& responder() {
    static auto* s = new responder_state;  // used until the process ends
    return *s;
}

// The box's modal loop: while it is up, the thread's messages run as they
// would under a shown box (sent, posted, timers and painting), until none
// waits. False when WM_QUIT came: it is posted again for the loop outside,
// and the box ends unanswered.
bool serve_messages_under_box() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return false;
        }
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return true;
}

// The calling thread's last box took its default for want of anyone.
thread_local bool last_unattended = false;

}  // namespace

bool win_user::last_box_unattended() {
    return last_unattended;
}

int win_user::default_button(UINT type) {
    const std::vector<int>* buttons = buttons_of(type);
    if (!buttons) return 0;
    const size_t index = (type & MB_DEFMASK) >> 8;
    return index < buttons->size() ? (*buttons)[index] : buttons->front();
}

void win_user::set_message_box_responder(message_box_responder scripted) {
    std::lock_guard<std::mutex> guard(responder().lock);
    responder().responder = std::move(scripted);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    const std::vector<int>* buttons = buttons_of(type);
    if (!buttons) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::wstring box_text = win_detail::wide_or_empty(text);
    const std::wstring box_caption = win_detail::wide_or_empty(caption);

    // The box is modal for its owner's window, as the system's is.
    // Disabling the owner takes the focus from its controls; when the box
    // ends it goes back where it was, as the owner's reactivation gives it.
    HWND top_owner = owner && IsWindow(owner) ? GetAncestor(owner, GA_ROOT) : nullptr;
    const bool disable_owner = top_owner && IsWindowEnabled(top_owner);
    const HWND focus_before = GetFocus();
    if (disable_owner) EnableWindow(top_owner, FALSE);

    int answer = 0;
    bool unattended = false;
    const char* answered_by = "default";
    win_user::message_box_responder scripted;
    std::optional<int> from_file;
    const bool quit = !serve_messages_under_box();
    if (!quit) {
        std::lock_guard<std::mutex> guard(responder().lock);
        scripted = responder().responder;
    }
    if (quit) {
        // Nobody agreed to anything: the answer that refuses.
        answer = win_user::no_button(*buttons, win_user::default_button(type));
        answered_by = "quit";
    } else if (scripted) {
        answer = scripted(box_text, box_caption, type);
        answered_by = "script";
    } else if ((from_file = win_user::file_answer_for_box(box_text, box_caption, *buttons))) {
        answer = *from_file;
        answered_by = "file";
    } else if (win_user::answers_on_terminal()) {
        answer = win_user::answer_message_box_on_terminal(
            box_text, box_caption, type, *buttons, win_user::default_button(type), unattended);
        answered_by = "terminal";
    } else {
        unattended = true;
        answer = win_user::default_button(type);
        std::fprintf(stderr, "[message box] %s: %s (type %#x, answered %d)\n",
                     win_detail::to_utf8(box_caption).c_str(),
                     win_detail::to_utf8(box_text).c_str(), type, answer);
    }
    last_unattended = unattended;
    if (disable_owner && IsWindow(top_owner)) {
        EnableWindow(top_owner, TRUE);
        if (!GetFocus() && focus_before && IsWindow(focus_before) && IsWindowEnabled(focus_before))
            SetFocus(focus_before);
    }
    win_detail::append_journal_record(
        win_detail::journal_file(win_user::message_box_journal),
        {win_detail::hex_field(type), std::to_string(answer), win_detail::to_utf8(box_text),
         win_detail::to_utf8(box_caption), answered_by});
    return answer;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    auto wide = [](LPCSTR ansi) {
        if (!ansi) return std::wstring();
        std::wstring out(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0)),
                         L'\0');
        MultiByteToWideChar(CP_ACP, 0, ansi, -1, out.data(), static_cast<int>(out.size()));
        if (!out.empty()) out.pop_back();  // the NUL
        return out;
    };
    return MessageBoxW(owner, wide(text).c_str(), wide(caption).c_str(), type);
}
