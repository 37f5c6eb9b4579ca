// The answers file: read when its name changes, each line used once.
#include "user_answer_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <mutex>
#include <sstream>

#include "kernel/wide_text.h"
#include "user_internal.h"
#include "win/user.h"

namespace win_user {

namespace {

enum class answer_kind { box, menu, dialog };

struct answer_line {
    answer_kind kind = answer_kind::box;
    std::wstring match;
    std::wstring answer;
    bool used = false;
};

struct answer_file {
    std::mutex lock;
    std::string path;  // the file the lines came from
    std::vector<answer_line> lines;
};

answer_file& answers() {
    static auto* f = new answer_file;  // used until the process ends
    return *f;
}

std::wstring trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t\r");
    if (first == std::wstring::npos) return L"";
    const size_t last = text.find_last_not_of(L" \t\r");
    return text.substr(first, last - first + 1);
}

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::optional<answer_line> parse_line(const std::wstring& raw) {
    const std::wstring line = trimmed(raw);
    const size_t arrow = line.find(L"=>");
    const size_t space = line.find_first_of(L" \t");
    const std::wstring kind = lower(line.substr(0, std::min(space, arrow)));
    if (arrow == std::wstring::npos) return std::nullopt;
    answer_line parsed;
    if (kind == L"box")
        parsed.kind = answer_kind::box;
    else if (kind == L"menu")
        parsed.kind = answer_kind::menu;
    else if (kind == L"dialog")
        parsed.kind = answer_kind::dialog;
    else
        return std::nullopt;
    parsed.match = trimmed(line.substr(kind.size(), arrow - kind.size()));
    parsed.answer = trimmed(line.substr(arrow + 2));
    if (parsed.answer.empty()) return std::nullopt;
    return parsed;
}

// Reads the file again when the variable names another one. Called under
// the lock.
void refresh_locked() {
    const char* variable = std::getenv(answers_file_variable);
    const std::string path = variable ? variable : "";
    if (path == answers().path) return;
    answers().path = path;
    answers().lines.clear();
    if (path.empty()) return;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "[answers] cannot read %s\n", path.c_str());
        return;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::wstring wide = trimmed(win_detail::from_utf8(line));
        if (wide.empty() || wide[0] == L'#') continue;
        if (std::optional<answer_line> parsed = parse_line(wide))
            answers().lines.push_back(std::move(*parsed));
        else
            std::fprintf(stderr, "[answers] %s:%d is no answer: %s\n", path.c_str(), number,
                         line.c_str());
    }
}

// The first unused line of the kind for which fits(line) gives a value;
// the line is used up.
template <typename T, typename Fits>
std::optional<T> take(answer_kind kind, Fits fits) {
    std::lock_guard<std::mutex> guard(answers().lock);
    refresh_locked();
    for (answer_line& line : answers().lines) {
        if (line.used || line.kind != kind) continue;
        if (std::optional<T> value = fits(line)) {
            line.used = true;
            return value;
        }
    }
    return std::nullopt;
}

bool contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

struct button_name {
    const wchar_t* name;
    int id;
};
const button_name button_names[] = {
    {L"ok", IDOK},
    {L"cancel", IDCANCEL},
    {L"abort", IDABORT},
    {L"retry", IDRETRY},
    {L"ignore", IDIGNORE},
    {L"yes", IDYES},
    {L"no", IDNO},
    {L"close", IDCLOSE},
    {L"help", IDHELP},
    {L"try again", IDTRYAGAIN},
    {L"continue", IDCONTINUE},
};

// A button by its name (with or without "ID") or number.
std::optional<int> button_of(const std::wstring& text) {
    std::wstring name = lower(trimmed(text));
    if (name.rfind(L"id", 0) == 0) name = name.substr(2);
    for (const button_name& b : button_names)
        if (name == b.name) return b.id;
    wchar_t* end = nullptr;
    const long number = std::wcstol(name.c_str(), &end, 10);
    if (!name.empty() && end && *end == 0) return static_cast<int>(number);
    return std::nullopt;
}

std::optional<UINT> number_of(const std::wstring& text) {
    wchar_t* end = nullptr;
    const unsigned long number = std::wcstoul(text.c_str(), &end, 10);
    if (text.empty() || !end || *end != 0 || number > 0xFFFFFFFFul) return std::nullopt;
    return static_cast<UINT>(number);
}

// The texts a dialog shows: its caption and its controls' texts, those of
// child dialogs inside it included.
void add_texts(HWND parent, std::vector<std::wstring>& texts) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        texts.push_back(stored_text(c));
        add_texts(c, texts);
    }
}

std::vector<std::wstring> dialog_texts(HWND dialog) {
    std::vector<std::wstring> texts{stored_text(dialog)};
    add_texts(dialog, texts);
    return texts;
}

// Carries out "check N", "uncheck N", "press BUTTON" and "text N WORDS",
// separated by ";", on the controls of the dialog and of the child dialogs
// inside it. Text goes in as typed text would (the edit's selection
// replaced), so the edit tells its parent; a read-only or disabled edit
// takes none, as it takes no typing. Stops at the first action it
// does not understand.
void act(HWND dialog, const std::wstring& actions) {
    std::wstringstream all(actions);
    std::wstring action;
    while (std::getline(all, action, L';') && IsWindow(dialog)) {
        std::wstringstream words(trimmed(action));
        std::wstring verb, target;
        words >> verb >> target;
        verb = lower(verb);
        const std::optional<int> id = button_of(target);
        if (!id) break;
        if (verb == L"check" || verb == L"uncheck") {
            HWND control = descendant_control(dialog, *id);
            if (control &&
                (SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED) != (verb == L"check"))
                SendMessageW(control, BM_CLICK, 0, 0);
        } else if (verb == L"press") {
            HWND control = descendant_control(dialog, *id);
            if (control)
                SendMessageW(control, BM_CLICK, 0, 0);
            else
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(*id, BN_CLICKED), 0);
        } else if (verb == L"text") {
            std::wstring rest;
            std::getline(words, rest);
            HWND control = descendant_control(dialog, *id);
            if (control &&
                ((GetWindowLongW(control, GWL_STYLE) & ES_READONLY) || !IsWindowEnabled(control))) {
                // As for a person: a read-only or disabled edit takes no typing.
                std::fprintf(stderr, "[answers] edit %d cannot be typed into: %s\n", *id,
                             win_detail::to_utf8(action).c_str());
            } else if (control) {
                SendMessageW(control, EM_SETSEL, 0, -1);
                SendMessageW(control, EM_REPLACESEL, TRUE,
                             reinterpret_cast<LPARAM>(trimmed(rest).c_str()));
            }
        } else {
            std::fprintf(stderr, "[answers] unknown dialog action: %s\n",
                         win_detail::to_utf8(action).c_str());
            break;
        }
    }
}

}  // namespace

std::optional<int> file_answer_for_box(const std::wstring& text, const std::wstring& caption,
                                       const std::vector<int>& buttons) {
    return take<int>(answer_kind::box, [&](const answer_line& line) -> std::optional<int> {
        if (!line.match.empty() && !contains(text, line.match) && !contains(caption, line.match))
            return std::nullopt;
        const std::optional<int> button = button_of(line.answer);
        if (!button || std::find(buttons.begin(), buttons.end(), *button) == buttons.end())
            return std::nullopt;
        return button;
    });
}

std::optional<UINT> file_answer_for_menu(const std::vector<std::wstring>& item_texts) {
    return take<UINT>(answer_kind::menu, [&](const answer_line& line) -> std::optional<UINT> {
        if (!line.match.empty() &&
            std::none_of(item_texts.begin(), item_texts.end(),
                         [&](const std::wstring& t) { return contains(t, line.match); }))
            return std::nullopt;
        if (lower(line.answer) == L"none") return 0u;
        return number_of(line.answer);
    });
}

bool file_answer_dialog(HWND dialog, const std::wstring& template_name) {
    const std::vector<std::wstring> texts = dialog_texts(dialog);
    const std::optional<std::wstring> actions = take<std::wstring>(
        answer_kind::dialog, [&](const answer_line& line) -> std::optional<std::wstring> {
            if (line.match.empty() || line.match == template_name ||
                std::any_of(texts.begin(), texts.end(),
                            [&](const std::wstring& t) { return contains(t, line.match); }))
                return line.answer;
            return std::nullopt;
        });
    if (!actions) return false;
    act(dialog, *actions);
    return true;
}

}  // namespace win_user
