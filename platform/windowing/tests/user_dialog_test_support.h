// Dialog templates and a dialog procedure that records what it sees, for
// the dialog tests.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "user_test_support.h"

namespace dialog_test {

constexpr WORD question = 110;  // Yes (default) / No, a text, two check boxes
constexpr WORD later = 111;     // a check box first, Yes, and "Later" (7) as the default
constexpr int message_text = 1050;
constexpr int apply_to_all = 1051;
constexpr int remember = 1052;
constexpr int later_button = 7;

inline void register_templates() {
    static const bool done = [] {
        using namespace win_dialogs;
        dialog_template q;
        q.style =
            DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFOREGROUND | DS_SETFONT;
        q.ex_style = WS_EX_TOPMOST;
        q.cx = 320;
        q.cy = 113;
        q.caption = L"Question";
        q.controls = {default_push_button(IDOK, L"Yes", 204, 87, 50, 14),
                      push_button(IDCANCEL, L"No", 258, 87, 50, 14),
                      left_text(message_text, L"placeholder", 60, 12, 246, 66),
                      auto_check_box(remember, L"Remember my answer", 60, 79, 142, 10),
                      auto_check_box(apply_to_all, L"Apply to all", 60, 91, 122, 10)};
        register_dialog(GetModuleHandleW(nullptr), question, q);

        dialog_template l;
        l.caption = L"Later";
        l.cx = 200;
        l.cy = 60;
        l.controls = {auto_check_box(remember, L"Remember", 10, 10, 100, 10),
                      push_button(IDOK, L"Yes", 10, 40, 50, 14),
                      default_push_button(later_button, L"Later", 70, 40, 50, 14)};
        register_dialog(GetModuleHandleW(nullptr), later, l);
        return true;
    }();
    (void)done;
}

// What a dialog saw; the procedure ends the dialog on IDOK, IDCANCEL and
// "Later" with that id, reading the remember box first.
struct probe {
    std::vector<UINT> messages;
    std::vector<int> commands;
    DWORD thread = 0;
    bool end_in_init = false;
    UINT remembered = 0;
};

inline INT_PTR CALLBACK probe_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    auto* p = reinterpret_cast<probe*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!p) return FALSE;
    p->messages.push_back(message);
    switch (message) {
        case WM_INITDIALOG:
            p->thread = GetCurrentThreadId();
            if (p->end_in_init) EndDialog(dialog, 42);
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wparam);
            if (HIWORD(wparam) != BN_CLICKED) return FALSE;
            p->commands.push_back(id);
            if (id == IDOK || id == IDCANCEL || id == later_button) {
                p->remembered = IsDlgButtonChecked(dialog, remember);
                EndDialog(dialog, id);
            }
            return TRUE;
        }
        default:
            return FALSE;
    }
}

inline INT_PTR run(WORD id, probe& p, HWND owner = nullptr) {
    register_templates();
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), owner, probe_procedure,
                           reinterpret_cast<LPARAM>(&p));
}

// Standard input replaced by what a person would type, and the terminal
// asked, for the life of the object.
class typed_input {
public:
    explicit typed_input(const std::string& lines) {
        int pipe_ends[2];
        EXPECT_EQ(pipe(pipe_ends), 0);
        EXPECT_EQ(write(pipe_ends[1], lines.data(), lines.size()),
                  static_cast<ssize_t>(lines.size()));
        close(pipe_ends[1]);
        saved_ = dup(STDIN_FILENO);
        dup2(pipe_ends[0], STDIN_FILENO);
        close(pipe_ends[0]);
        setenv("CALVIMORA_ANSWERS", "terminal", 1);
    }
    ~typed_input() {
        dup2(saved_, STDIN_FILENO);
        close(saved_);
        setenv("CALVIMORA_ANSWERS", "default", 1);
    }
    typed_input(const typed_input&) = delete;
    typed_input& operator=(const typed_input&) = delete;

private:
    int saved_ = -1;
};

// The answers file named by the environment, for the life of the object.
class answers_file {
public:
    answers_file(const std::string& folder, const std::string& lines)
        : path_(folder + "/answers.txt") {
        std::ofstream(path_) << lines;
        setenv(win_test::answers_file_variable, path_.c_str(), 1);
    }
    ~answers_file() { unsetenv(win_test::answers_file_variable); }
    answers_file(const answers_file&) = delete;
    answers_file& operator=(const answers_file&) = delete;

private:
    std::string path_;
};

}  // namespace dialog_test
