// Tracked pop-up menus: the modal loop, who chooses, the journal, and what
// the owner is told.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "kernel/journal.h"
#include "kernel/wide_text.h"
#include "user_answer_file.h"
#include "user_answers.h"
#include "user_menu_state.h"
#include "win/kernel.h"
#include "win/user.h"

namespace win_user {

namespace {

constexpr int deepest_shown = 16;

struct responder_state {
    std::mutex lock;
    menu_script script;
};

responder_state& responder() {
    static auto* s = new responder_state;  // used until the process ends
    return *s;
}

// The menu being tracked on this thread, and whether EndMenu ended it.
struct tracking {
    bool active = false;
    bool ended = false;
};
thread_local tracking this_thread_tracking;

// One item of a menu as shown, at its depth below the tracked menu; an
// item that opens a sub-menu has no id of its own.
struct shown_line {
    int depth = 0;
    UINT type = 0;
    UINT state = 0;
    UINT id = 0;
    std::string text;  // UTF-8
};

// Every item of the menu and its sub-menus, in the order shown.
void flatten(HMENU menu, int depth, std::vector<shown_line>* out) {
    const std::optional<std::vector<menu_item>> items = items_of(menu);
    if (!items || depth > deepest_shown) return;
    for (const menu_item& i : *items) {
        out->push_back({depth, i.type, i.state, i.submenu ? 0 : i.id, win_detail::to_utf8(i.text)});
        if (i.submenu) flatten(i.submenu, depth + 1, out);
    }
}

std::vector<std::wstring> texts_of(const std::vector<shown_line>& lines) {
    std::vector<std::wstring> out;
    for (const auto& line : lines) out.push_back(win_detail::from_utf8(line.text));
    return out;
}

std::vector<menu_choice> choices_of(HMENU menu, const std::vector<shown_line>& lines) {
    std::vector<menu_choice> out;
    for (const auto& line : lines) {
        std::string label(static_cast<size_t>(line.depth) * 4, ' ');
        if (line.type & MFT_SEPARATOR) {
            label += "----";
        } else {
            if (line.state & MF_CHECKED) label += "[x] ";
            label += line.text.empty() && (line.type & MFT_BITMAP) ? "(picture)" : line.text;
        }
        const bool can = line.id && can_choose(menu, line.id);
        if (!can && !(line.type & MFT_SEPARATOR) && line.id) label += " (disabled)";
        out.push_back({label, can ? line.id : 0});
    }
    return out;
}

// Who chooses, once the thread has nothing else to do.
UINT respond(HMENU menu, HWND owner, const std::vector<shown_line>& lines,
             const char** answered_by) {
    menu_script script;
    {
        std::lock_guard<std::mutex> guard(responder().lock);
        script = responder().script;
    }
    if (script) {
        *answered_by = "script";
        return script(menu, owner);
    }
    if (const std::optional<UINT> chosen = file_answer_for_menu(texts_of(lines))) {
        *answered_by = "file";
        return *chosen;
    }
    if (answers_on_terminal()) {
        *answered_by = "terminal";
        return answer_menu_on_terminal(choices_of(menu, lines));
    }
    *answered_by = "nobody";
    std::fprintf(stderr, "[menu] %zu items shown, nothing chosen\n", lines.size());
    return 0;
}

void journal(const std::vector<shown_line>& lines, UINT chosen, const char* answered_by,
             UINT flags) {
    std::vector<std::string> fields{std::to_string(chosen), answered_by,
                                    win_detail::hex_field(flags)};
    for (const auto& line : lines) {
        fields.push_back(std::to_string(line.depth));
        fields.push_back(win_detail::hex_field(line.type));
        fields.push_back(win_detail::hex_field(line.state));
        fields.push_back(std::to_string(line.id));
        fields.push_back(line.text);
    }
    win_detail::append_journal_record(win_detail::journal_file(menu_journal), fields);
}

// The loop: the thread's messages until none waits, then the responder.
UINT run_menu(HMENU menu, HWND owner, UINT flags, const char** answered_by) {
    const std::vector<shown_line> lines = [&] {
        std::vector<shown_line> out;
        flatten(menu, 0, &out);
        return out;
    }();
    auto over = [&] { return this_thread_tracking.ended || !IsWindow(owner) || !IsMenu(menu); };
    *answered_by = "program";
    for (;;) {
        MSG m;
        if (over()) break;
        if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            UINT answer = respond(menu, owner, lines, answered_by);
            if (over() || !can_choose(menu, answer)) answer = 0;
            journal(lines, answer, *answered_by, flags);
            return answer;
        }
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    journal(lines, 0, *answered_by, flags);
    return 0;
}

}  // namespace

}  // namespace win_user

using namespace win_user;

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int, int, HWND owner, LPTPMPARAMS) {
    if (!IsMenu(menu)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (!IsWindow(owner) || GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (this_thread_tracking.active && !(flags & TPM_RECURSE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const tracking outer = this_thread_tracking;
    this_thread_tracking = {true, false};
    const bool notify = !(flags & TPM_NONOTIFY);
    if (notify) {
        SendMessageW(owner, WM_ENTERMENULOOP, TRUE, 0);
        SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, FALSE));
    }
    const char* answered_by = "program";
    const UINT chosen = run_menu(menu, owner, flags, &answered_by);
    if (notify && IsWindow(owner)) {
        SendMessageW(owner, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
        SendMessageW(owner, WM_EXITMENULOOP, TRUE, 0);
    }
    this_thread_tracking = outer;
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
    if (chosen) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

BOOL EndMenu() {
    if (!this_thread_tracking.active) return FALSE;
    this_thread_tracking.ended = true;
    return TRUE;
}

void win_user::set_menu_responder(menu_script script) {
    std::lock_guard<std::mutex> guard(responder().lock);
    responder().script = std::move(script);
}
