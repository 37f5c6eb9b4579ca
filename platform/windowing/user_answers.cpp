// Answers from the terminal, the dialog responder and the dialog journal.

#include "user_answers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>

#include "kernel/journal.h"
#include "kernel/wide_text.h"
#include "user_dialog_state.h"
#include "user_terminal.h"
#include "win/commctrl.h"
#include "win/user.h"

namespace win_user {

namespace {

struct responder_state {
    std::mutex lock;
    dialog_script script;
};

responder_state& responder() {
    static auto* s = new responder_state;  // used until the process ends
    return *s;
}

// Delivers what waits in the thread's queue (dialog keys through the
// dialog when one is given).
void pump_available(HWND dialog) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return;
        }
        if (!dialog || !IsWindow(dialog) || !IsDialogMessageW(dialog, &m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
}

std::string text_of(HWND window) {
    wchar_t buffer[4096];
    GetWindowTextW(window, buffer, 4096);
    return win_detail::to_utf8(buffer);
}

// A control's text as a person sees it: "&&" is one ampersand, a single
// "&" only underlines the next character.
std::string as_shown(const std::string& text) {
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return shown;
}

std::string label_text_of(HWND window) {
    const std::string text = text_of(window);
    return GetWindowLongW(window, GWL_STYLE) & SS_NOPREFIX ? text : as_shown(text);
}

bool is_radio_button(UINT type) {
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

bool is_check_box(UINT type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
           type == BS_AUTO3STATE;
}

// What a person can do to a control the dialog shows.
enum class action_kind { press, edit, click, row, tab };

struct dialog_action {
    HWND control = nullptr;
    action_kind kind = action_kind::press;
    std::string label;  // for an edit, the text of its label
    int row = -1;       // for a list view's row, its index
    int tab = 0;        // for a tab, its index
};

std::wstring class_of(HWND window) {
    wchar_t cls[64];
    GetClassNameW(window, cls, 64);
    return cls;
}

// The static text that labels an edit: the nearest one to its left whose
// middle lies within the edit's height.
std::string label_of_edit(HWND edit) {
    RECT box;
    GetWindowRect(edit, &box);
    HWND best = nullptr;
    LONG best_gap = 0;
    for (HWND c = GetWindow(GetParent(edit), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (class_of(c) != WC_STATICW || !IsWindowVisible(c)) continue;
        RECT r;
        GetWindowRect(c, &r);
        const LONG middle = (r.top + r.bottom) / 2;
        if (r.right > box.left || middle < box.top || middle > box.bottom) continue;
        const LONG gap = box.left - r.right;
        if (!best || gap < best_gap) {
            best = c;
            best_gap = gap;
        }
    }
    return best ? label_text_of(best) : "Text";
}

std::string narrow(const std::wstring& text) {
    return win_detail::to_utf8(text);
}

// A report list: its headings, then each row with its columns' texts as
// something to choose (a click on the row).
void show_list(HWND list, std::vector<dialog_action>& actions) {
    int columns = 0;
    for (LVCOLUMNW probe{}; ListView_GetColumn(list, columns, &probe);) ++columns;
    columns = std::max(columns, 1);
    auto joined = [&](const std::function<std::wstring(int)>& text_of_column) {
        std::string line;
        for (int c = 0; c < columns; ++c) line += (c ? " | " : "") + narrow(text_of_column(c));
        return line;
    };
    std::fprintf(stderr, "  list: %s\n", joined([&](int c) {
                                             wchar_t text[260] = {};
                                             LVCOLUMNW column{};
                                             column.mask = LVCF_TEXT;
                                             column.pszText = text;
                                             column.cchTextMax = 260;
                                             ListView_GetColumn(list, c, &column);
                                             return std::wstring(text);
                                         }).c_str());
    const int rows = ListView_GetItemCount(list);
    if (rows == 0) std::fprintf(stderr, "    (no rows)\n");
    for (int i = 0; i < rows; ++i) {
        actions.push_back({list, action_kind::row, "", i});
        const bool chosen = ListView_GetItemState(list, i, LVIS_SELECTED) != 0;
        std::fprintf(stderr, "  [%zu] %s%s\n", actions.size(),
                     joined([&](int c) {
                         wchar_t text[260] = {};
                         ListView_GetItemText(list, i, c, text, 260);
                         return std::wstring(text);
                     }).c_str(),
                     chosen ? "  (chosen)" : "");
    }
}

// A click on a list view's row, in its first column as the mouse gives it.
void click_row(HWND list, int row) {
    RECT cell{};
    if (!ListView_GetSubItemRect(list, row, 0, LVIR_LABEL, &cell)) return;
    const LPARAM point = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(list, WM_LBUTTONUP, 0, point);
}

// Shows the visible controls of the window and of the child dialogs
// inside it, in the order they stack, and numbers what a person can act
// on.
void show_controls(HWND parent, std::vector<dialog_action>& actions) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        const std::wstring name = class_of(c);
        const LONG style = GetWindowLongW(c, GWL_STYLE);
        const char* disabled = IsWindowEnabled(c) ? "" : " (disabled)";
        if (name == WC_STATICW) {
            std::fprintf(stderr, "  %s\n", label_text_of(c).c_str());
        } else if (name == WC_BUTTONW && (style & BS_TYPEMASK) == BS_GROUPBOX) {
            std::fprintf(stderr, "  -- %s --\n", as_shown(text_of(c)).c_str());
        } else if (name == WC_BUTTONW) {
            const UINT type = style & BS_TYPEMASK;
            actions.push_back({c, action_kind::press, ""});
            const size_t number = actions.size();
            const std::string text = as_shown(text_of(c));
            const bool checked = SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (is_check_box(type)) {
                std::fprintf(stderr, "  [%zu] [%c] %s%s\n", number, checked ? 'x' : ' ',
                             text.c_str(), disabled);
            } else if (is_radio_button(type)) {
                std::fprintf(stderr, "  [%zu] (%c) %s%s\n", number, checked ? '*' : ' ',
                             text.c_str(), disabled);
            } else {
                const bool is_default = SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON;
                std::fprintf(stderr, "  [%zu] <%s>%s%s\n", number, text.c_str(),
                             is_default ? " (default)" : "", disabled);
            }
        } else if (name == WC_EDITW) {
            actions.push_back({c, action_kind::edit, label_of_edit(c)});
            const bool password = SendMessageW(c, EM_GETPASSWORDCHAR, 0, 0) != 0;
            const std::string shown =
                password ? std::string(static_cast<size_t>(GetWindowTextLengthW(c)), '*')
                         : text_of(c);
            std::fprintf(stderr, "  [%zu] %s [%s]%s%s\n", actions.size(),
                         actions.back().label.c_str(), shown.c_str(), disabled,
                         (style & ES_READONLY) ? " (read-only)" : "");
        } else if (name == WC_LISTVIEWW) {
            show_list(c, actions);
        } else if (name == WC_TABCONTROLW) {
            // Every tab is a choice; the page shown lies inside.
            const int selected = static_cast<int>(SendMessageW(c, TCM_GETCURSEL, 0, 0));
            const int count = static_cast<int>(SendMessageW(c, TCM_GETITEMCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                wchar_t title[128] = {};
                TCITEMW item{};
                item.mask = TCIF_TEXT;
                item.pszText = title;
                item.cchTextMax = 128;
                SendMessageW(c, TCM_GETITEMW, static_cast<WPARAM>(i),
                             reinterpret_cast<LPARAM>(&item));
                actions.push_back({c, action_kind::tab, "", -1, i});
                std::fprintf(stderr, "  [%zu] tab %s%s\n", actions.size(),
                             as_shown(win_detail::to_utf8(title)).c_str(),
                             i == selected ? " (shown)" : "");
            }
            show_controls(c, actions);
        } else if (GetWindow(c, GW_CHILD)) {
            show_controls(c, actions);
        } else if (!text_of(c).empty()) {
            // A control of the program's own class with a text, such as a
            // link: clicking it is an action.
            actions.push_back({c, action_kind::click, ""});
            std::fprintf(stderr, "  [%zu] (%s)%s\n", actions.size(), text_of(c).c_str(), disabled);
        }
    }
}

std::vector<dialog_action> show_dialog(HWND dialog) {
    std::vector<dialog_action> actions;
    std::fprintf(stderr, "\n[dialog] %s\n", text_of(dialog).c_str());
    show_controls(dialog, actions);
    std::fprintf(stderr,
                 "Type a number to press, tick, click or fill in, or Enter for the default: ");
    std::fflush(stderr);
    return actions;
}

// A click in the middle of the control, as the mouse gives it.
void click_control(HWND control) {
    RECT client;
    GetClientRect(control, &client);
    const LPARAM middle =
        MAKELPARAM((client.right - client.left) / 2, (client.bottom - client.top) / 2);
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    SendMessageW(control, WM_LBUTTONUP, 0, middle);
}

std::wstring label_of(int button) {
    switch (button) {
        case IDOK:
            return L"OK";
        case IDCANCEL:
            return L"Cancel";
        case IDABORT:
            return L"Abort";
        case IDRETRY:
            return L"Retry";
        case IDIGNORE:
            return L"Ignore";
        case IDYES:
            return L"Yes";
        case IDNO:
            return L"No";
        case IDTRYAGAIN:
            return L"Try Again";
        case IDCONTINUE:
            return L"Continue";
        default:
            return L"?";
    }
}

// A line that is no answer: the person may think the program waits for
// something else, so say what it waits for.
void say_what_is_awaited(const char* asking, size_t choices, const char* otherwise) {
    std::fprintf(stderr, "  (%s is open and waits for its answer: a number from 1 to %zu, or %s)\n",
                 asking, choices, otherwise);
}

// What Ctrl+C answers a dialog: its No button, else its Cancel button, else
// it ends as cancelled.
void press_no(HWND dialog) {
    for (const int id : {IDNO, IDCANCEL}) {
        const HWND button = GetDlgItem(dialog, id);
        if (button && IsWindowEnabled(button)) {
            SendMessageW(button, BM_CLICK, 0, 0);
            pump_available(dialog);
            const std::shared_ptr<dialog_data> data = dialog_of(dialog);
            if (!data || data->ended) return;
        }
    }
    EndDialog(dialog, IDCANCEL);
}

}  // namespace

int no_button(const std::vector<int>& buttons, int default_answer) {
    for (const int wanted : {IDNO, IDCANCEL})
        for (const int button : buttons)
            if (button == wanted) return button;
    return default_answer;
}

dialog_script dialog_responder() {
    std::lock_guard<std::mutex> guard(responder().lock);
    return responder().script;
}

void set_dialog_responder(dialog_script script) {
    std::lock_guard<std::mutex> guard(responder().lock);
    responder().script = std::move(script);
}

bool answers_on_terminal() {
    const char* mode = std::getenv("CALVIMORA_ANSWERS");
    if (mode && std::strcmp(mode, "terminal") == 0) return true;
    if (mode && std::strcmp(mode, "default") == 0) return false;
    return isatty(STDIN_FILENO) != 0;
}

namespace {

// Asks for the edit's new text on the next line and puts it in as typed
// text; false when the input ended or the dialog did meanwhile.
bool fill_in(HWND dialog, const dialog_action& action, const std::function<bool()>& ended) {
    std::string label = action.label;
    if (!label.empty() && label.back() == ':') label.pop_back();
    // Nobody types into a read-only or disabled edit.
    if ((GetWindowLongW(action.control, GWL_STYLE) & ES_READONLY) ||
        !IsWindowEnabled(action.control)) {
        std::fprintf(stderr, "  (%s cannot be typed into)\n", label.c_str());
        return false;
    }
    std::fprintf(stderr, "  %s: ", label.c_str());
    std::fflush(stderr);
    const bool password = SendMessageW(action.control, EM_GETPASSWORDCHAR, 0, 0) != 0;
    const terminal_line line =
        read_terminal_line([dialog] { pump_available(dialog); }, ended, password);
    if (line.status != typed::line || ended()) return false;
    const std::wstring text = win_detail::from_utf8(line.text);
    // A person clicks into the edit before typing: it has the focus, as
    // dialogs that tell typing from their own filling expect.
    SetFocus(action.control);
    SendMessageW(action.control, EM_SETSEL, 0, -1);
    SendMessageW(action.control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    return true;
}

}  // namespace

void answer_dialog_on_terminal(HWND dialog) {
    const std::shared_ptr<dialog_data> data = dialog_of(dialog);
    if (!data) return;
    const terminal_question asking;
    auto ended = [&] { return data->ended || !IsWindow(dialog); };
    while (!ended()) {
        const std::vector<dialog_action> actions = show_dialog(dialog);
        const terminal_line line = read_terminal_line([dialog] { pump_available(dialog); }, ended);
        if (ended()) break;
        if (line.status == typed::interrupted) {
            std::fprintf(stderr, "No\n");
            press_no(dialog);
            break;
        }
        if (line.status != typed::line) {
            press_default(dialog);
            if (!ended()) EndDialog(dialog, IDCANCEL);
            break;
        }
        if (line.text.empty()) {
            press_default(dialog);
            continue;
        }
        const long choice = std::strtol(line.text.c_str(), nullptr, 10);
        if (choice < 1 || static_cast<size_t>(choice) > actions.size()) {
            say_what_is_awaited("a dialog", actions.size(), "Enter for the default");
        } else {
            const dialog_action& action = actions[static_cast<size_t>(choice) - 1];
            if (action.kind == action_kind::press) {
                SendMessageW(action.control, BM_CLICK, 0, 0);
            } else if (action.kind == action_kind::click) {
                click_control(action.control);
            } else if (action.kind == action_kind::row) {
                click_row(action.control, action.row);
            } else if (action.kind == action_kind::tab) {
                // As a click on the tab: the dialog is asked and told.
                SendMessageW(action.control, TCM_SETCURFOCUS, static_cast<WPARAM>(action.tab), 0);
            } else if (!fill_in(dialog, action, ended)) {
                continue;
            }
        }
        pump_available(dialog);
    }
}

int answer_message_box_on_terminal(const std::wstring& text, const std::wstring& caption, UINT,
                                   const std::vector<int>& buttons, int default_answer,
                                   bool& input_ended) {
    input_ended = false;
    const terminal_question asking;
    std::fprintf(stderr, "\n[message box] %s\n  %s\n", win_detail::to_utf8(caption).c_str(),
                 win_detail::to_utf8(text).c_str());
    for (size_t i = 0; i < buttons.size(); ++i)
        std::fprintf(stderr, "  [%zu] <%s>%s\n", i + 1,
                     win_detail::to_utf8(label_of(buttons[i])).c_str(),
                     buttons[i] == default_answer ? " (default)" : "");
    for (;;) {
        std::fprintf(stderr, "Type a number, or Enter for the default: ");
        std::fflush(stderr);
        const terminal_line line =
            read_terminal_line([] { pump_available(nullptr); }, [] { return false; });
        if (line.status == typed::interrupted) {
            const int no = no_button(buttons, default_answer);
            std::fprintf(stderr, "%s\n", win_detail::to_utf8(label_of(no)).c_str());
            return no;
        }
        if (line.status != typed::line) {
            input_ended = true;
            return default_answer;
        }
        if (line.text.empty()) return default_answer;
        const long choice = std::strtol(line.text.c_str(), nullptr, 10);
        if (choice >= 1 && static_cast<size_t>(choice) <= buttons.size())
            return buttons[static_cast<size_t>(choice) - 1];
        say_what_is_awaited("a message box", buttons.size(), "Enter for the default");
    }
}

UINT answer_menu_on_terminal(const std::vector<menu_choice>& lines) {
    const terminal_question asking;
    std::fprintf(stderr, "\n[menu]\n");
    std::vector<UINT> numbered;
    for (const menu_choice& line : lines) {
        if (line.id) {
            numbered.push_back(line.id);
            std::fprintf(stderr, "  [%zu] %s\n", numbered.size(), line.label.c_str());
        } else {
            std::fprintf(stderr, "      %s\n", line.label.c_str());
        }
    }
    for (;;) {
        std::fprintf(stderr, "Type a number to choose, or Enter for none: ");
        std::fflush(stderr);
        const terminal_line line =
            read_terminal_line([] { pump_available(nullptr); }, [] { return false; });
        if (line.status != typed::line || line.text.empty()) return 0;
        const long choice = std::strtol(line.text.c_str(), nullptr, 10);
        if (choice >= 1 && static_cast<size_t>(choice) <= numbered.size())
            return numbered[static_cast<size_t>(choice) - 1];
        say_what_is_awaited("a menu", numbered.size(), "Enter to close it");
    }
}

void journal_dialog(const std::wstring& template_name, const std::wstring& caption, INT_PTR result,
                    const char* answered_by) {
    win_detail::append_journal_record(
        win_detail::journal_file(dialog_journal),
        {win_detail::to_utf8(template_name), win_detail::to_utf8(caption),
         std::to_string(static_cast<long long>(result)), answered_by});
}

}  // namespace win_user
