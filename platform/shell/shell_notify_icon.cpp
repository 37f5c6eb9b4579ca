// The tray icons of the process, their balloons, the journal of their
// changes and the lines a person sees.
#include "win/shell_notify_icon.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kernel/journal.h"
#include "kernel/wide_text.h"
#include "shell_journals.h"
#include "shell_tray_commands.h"
#include "tray_icons.h"
#include "win/user.h"
#include "windowing/user_answers.h"
#include "windowing/user_terminal.h"

namespace {

using win_shell::tray_balloon;
using win_shell::tray_icon;

constexpr UINT shortest_balloon_ms = 10000;
constexpr UINT longest_balloon_ms = 30000;

struct icon_state {
    tray_icon shown;
    UINT_PTR balloon_timer = 0;  // a thread timer of the thread that showed the balloon
};

struct tray_state {
    std::mutex lock;
    std::vector<icon_state> icons;
    bool modify_refused = false;
};

tray_state& tray() {
    static auto* s = new tray_state;  // used until the process ends
    return *s;
}

icon_state* find_locked(HWND window, UINT id) {
    for (icon_state& icon : tray().icons)
        if (icon.shown.window == window && icon.shown.id == id) return &icon;
    return nullptr;
}

// Nobody can use an icon whose window is gone: once no other is left, the
// terminal's commands for the icons stop.
void stop_commands_without_icons_locked() {
    for (const icon_state& icon : tray().icons)
        if (IsWindow(icon.shown.window)) return;
    win_shell::stop_reading_tray_commands();
}

template <size_t N>
std::wstring field_text(const WCHAR (&field)[N]) {
    size_t length = 0;
    while (length + 1 < N && field[length]) ++length;
    return std::wstring(field, length);
}

std::string operation_name(DWORD message) {
    switch (message) {
        case NIM_ADD:
            return "add";
        case NIM_MODIFY:
            return "modify";
        case NIM_DELETE:
            return "delete";
        case NIM_SETFOCUS:
            return "focus";
        case NIM_SETVERSION:
            return "version";
        default:
            return "unknown";
    }
}

void journal(const std::string& operation, bool succeeded, UINT id, UINT flags,
             const tray_icon& icon) {
    const tray_balloon balloon = icon.balloon.value_or(tray_balloon{});
    win_detail::append_journal_record(
        win_detail::journal_file(win_shell::tray_journal),
        {operation, succeeded ? "1" : "0", std::to_string(id), win_detail::hex_field(flags),
         win_detail::hex_field(icon.callback_message), std::to_string(icon.icon_id),
         win_detail::to_utf8(icon.tip), win_detail::to_utf8(balloon.text),
         win_detail::to_utf8(balloon.title), std::to_string(balloon.timeout_ms),
         win_detail::hex_field(balloon.flags)});
}

// What a person sees of a change.
void print_change(const tray_icon& before, const tray_icon& after, bool removed) {
    if (!win_user::answers_on_terminal()) return;
    if (removed) {
        std::fprintf(stderr, "[tray] icon %u removed\n", after.id);
        return;
    }
    if (before.icon_id != after.icon_id || before.tip != after.tip)
        std::fprintf(stderr, "[tray] icon %u shows icon %d, tip \"%s\"\n", after.id, after.icon_id,
                     win_detail::to_utf8(after.tip).c_str());
    if (after.balloon && after.balloons_shown != before.balloons_shown)
        std::fprintf(stderr, "[tray] balloon \"%s\": %s\n",
                     win_detail::to_utf8(after.balloon->title).c_str(),
                     win_detail::to_utf8(after.balloon->text).c_str());
}

void CALLBACK balloon_timed_out(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND window = nullptr;
    UINT id = 0;
    {
        std::lock_guard<std::mutex> guard(tray().lock);
        const auto found = std::find_if(
            tray().icons.begin(), tray().icons.end(),
            [timer](const icon_state& i) { return i.balloon_timer == timer && i.shown.balloon; });
        if (found == tray().icons.end()) return;
        window = found->shown.window;
        id = found->shown.id;
    }
    win_shell::tray_icon_event(window, id, NIN_BALLOONTIMEOUT);
}

// Takes the record's fields that its flags name.
void apply(icon_state& icon, const NOTIFYICONDATAW& data) {
    tray_icon& shown = icon.shown;
    if (data.uFlags & NIF_MESSAGE) shown.callback_message = data.uCallbackMessage;
    if (data.uFlags & NIF_ICON) {
        shown.icon = data.hIcon;
        shown.icon_id = win_icons::resource_id(data.hIcon);
    }
    if (data.uFlags & NIF_TIP) shown.tip = field_text(data.szTip);
    if (!(data.uFlags & NIF_INFO)) return;
    const std::wstring text = field_text(data.szInfo);
    icon.balloon_timer = 0;
    if (text.empty()) {
        shown.balloon.reset();
        return;
    }
    tray_balloon balloon{field_text(data.szInfoTitle), text,
                         std::clamp(data.uTimeout, shortest_balloon_ms, longest_balloon_ms),
                         data.dwInfoFlags};
    shown.balloon = balloon;
    shown.last_balloon = balloon;
    ++shown.balloons_shown;
    icon.balloon_timer = SetTimer(nullptr, 0, balloon.timeout_ms, balloon_timed_out);
}

}  // namespace

BOOL Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data) {
    if (!data || data->cbSize != sizeof(NOTIFYICONDATAW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool window_there = IsWindow(data->hWnd);
    std::lock_guard<std::mutex> guard(tray().lock);
    icon_state* icon = find_locked(data->hWnd, data->uID);
    tray_icon before = icon ? icon->shown : tray_icon{};
    bool succeeded = false;
    switch (message) {
        case NIM_ADD:
            if (icon || !window_there) break;
            tray().icons.push_back({});
            icon = &tray().icons.back();
            icon->shown.window = data->hWnd;
            icon->shown.id = data->uID;
            before = icon->shown;
            apply(*icon, *data);
            succeeded = true;
            // A person uses the icon through commands typed on the terminal.
            if (win_user::answers_on_terminal()) win_shell::read_tray_commands();
            break;
        case NIM_MODIFY:
            if (!icon || tray().modify_refused) break;
            apply(*icon, *data);
            ++icon->shown.modifications;
            succeeded = true;
            break;
        case NIM_DELETE:
            if (!icon) break;
            print_change(before, before, true);
            journal("delete", true, data->uID, data->uFlags, before);
            tray().icons.erase(tray().icons.begin() + (icon - tray().icons.data()));
            stop_commands_without_icons_locked();
            return TRUE;
        case NIM_SETVERSION:
            if (!icon) break;
            icon->shown.version = data->uVersion;
            succeeded = true;
            break;
        case NIM_SETFOCUS:
            succeeded = icon != nullptr;
            break;
        default:
            break;
    }
    const tray_icon after = succeeded ? icon->shown : before;
    const bool changed =
        message != NIM_MODIFY || after.callback_message != before.callback_message ||
        after.icon_id != before.icon_id || after.tip != before.tip ||
        after.balloon != before.balloon || after.balloons_shown != before.balloons_shown;
    if (succeeded) print_change(before, after, false);
    if (!succeeded || changed)
        journal(operation_name(message), succeeded, data->uID, data->uFlags, after);
    return succeeded ? TRUE : FALSE;
}

std::vector<tray_icon> win_shell::tray_icons() {
    std::lock_guard<std::mutex> guard(tray().lock);
    std::vector<tray_icon> out;
    for (const icon_state& icon : tray().icons) out.push_back(icon.shown);
    return out;
}

std::optional<tray_icon> win_shell::find_tray_icon(HWND window, UINT id) {
    std::lock_guard<std::mutex> guard(tray().lock);
    const icon_state* icon = find_locked(window, id);
    return icon ? std::optional<tray_icon>(icon->shown) : std::nullopt;
}

bool win_shell::tray_icon_event(HWND window, UINT id, UINT event) {
    UINT callback = 0;
    {
        std::lock_guard<std::mutex> guard(tray().lock);
        icon_state* icon = find_locked(window, id);
        if (!icon) return false;
        const bool balloon_event = event == NIN_BALLOONHIDE || event == NIN_BALLOONTIMEOUT ||
                                   event == NIN_BALLOONUSERCLICK;
        if (balloon_event) {
            if (!icon->shown.balloon) return false;
            icon->shown.balloon.reset();
            icon->balloon_timer = 0;
        }
        callback = icon->shown.callback_message;
        journal("event", true, id, event, icon->shown);
    }
    return callback && PostMessageW(window, callback, id, static_cast<LPARAM>(event));
}

void win_shell::set_tray_modify_refused(bool refused) {
    std::lock_guard<std::mutex> guard(tray().lock);
    tray().modify_refused = refused;
}

void win_shell::forget_tray_icons() {
    std::lock_guard<std::mutex> guard(tray().lock);
    tray().icons.clear();
    stop_commands_without_icons_locked();
}
