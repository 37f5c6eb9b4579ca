#include "shell_tray_commands.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "tray_icons.h"
#include "win/kernel.h"
#include "win/shell_notify_icon.h"
#include "win/user_queue.h"
#include "windowing/user_internal.h"
#include "windowing/user_terminal.h"

namespace win_shell {

namespace {

constexpr std::chrono::milliseconds look_interval(10);

// A command the program added for its window (add_tray_terminal_command).
struct program_command {
    std::string word;
    std::string help;
    HWND window = nullptr;
    UINT message = 0;
};

struct reader_state {
    std::mutex lock;
    bool running = false;
    unsigned generation = 0;  // of the reader that reads now, or last read
    std::vector<program_command> commands;
};

reader_state& reader() {
    static auto* s = new reader_state;  // used until the process ends
    return *s;
}

bool is_icon_command(const std::string& word) {
    return word == "m" || word == "c" || word == "o" || word == "b";
}

// The program's command of the word while its window is there.
std::optional<program_command> program_command_of(const std::string& word) {
    std::optional<program_command> found;
    {
        std::lock_guard<std::mutex> guard(reader().lock);
        for (const program_command& c : reader().commands)
            if (c.word == word) found = c;
    }
    if (found && IsWindow(found->window) == FALSE) return std::nullopt;
    return found;
}

// The process's first tray icon whose window is still there. The icon of
// a window that is gone stays in the tray until the shell notices, but
// nobody can use it: the person means the first live one.
std::optional<tray_icon> first_live_icon() {
    const std::vector<tray_icon> icons = tray_icons();
    const auto live = std::find_if(icons.begin(), icons.end(), [](const tray_icon& icon) {
        return IsWindow(icon.window) != FALSE;
    });
    if (live == icons.end()) return std::nullopt;
    return *live;
}

// Whether the icons' thread waits for messages with nothing left to do: a
// menu, box or dialog it is about to show would otherwise find its line
// taken by the commands.
bool icon_thread_idle() {
    const std::optional<tray_icon> icon = first_live_icon();
    std::uint64_t spells = 0;
    return !icon || win_user::window_thread_idle(icon->window, spells);
}

void print_tray_help() {
    std::string added;
    {
        std::lock_guard<std::mutex> guard(reader().lock);
        for (const program_command& c : reader().commands)
            if (IsWindow(c.window) != FALSE) added += ", " + c.word + " " + c.help;
    }
    std::fprintf(stderr,
                 "[tray] type a command and Enter: m opens the tray icon's menu, c clicks the "
                 "icon, o double-clicks it, b clicks its balloon%s; Ctrl+C ends the program\n",
                 added.c_str());
}

// A reader whose icons are all gone stops before its next line; the next
// icon has a reader of its own.
bool retired(unsigned generation) {
    std::lock_guard<std::mutex> guard(reader().lock);
    return reader().generation != generation;
}

void tray_command_loop(unsigned generation) {
    print_tray_help();
    for (;;) {
        const win_user::terminal_line got = win_user::read_terminal_command(
            [] {}, [generation] { return retired(generation); }, icon_thread_idle);
        if (got.status != win_user::typed::line) break;
        if (!got.text.empty() && !run_tray_command(got.text)) print_tray_help();
    }
    std::lock_guard<std::mutex> guard(reader().lock);
    if (reader().generation == generation) reader().running = false;
}

}  // namespace

void read_tray_commands() {
    unsigned generation = 0;
    {
        std::lock_guard<std::mutex> guard(reader().lock);
        if (reader().running) return;
        reader().running = true;
        generation = ++reader().generation;
    }
    std::thread(tray_command_loop, generation).detach();
}

void stop_reading_tray_commands() {
    std::lock_guard<std::mutex> guard(reader().lock);
    if (!reader().running) return;
    reader().running = false;
    ++reader().generation;
}

bool run_tray_command(const std::string& line) {
    UINT event = 0;
    if (line == "m")
        event = WM_RBUTTONUP;
    else if (line == "c")
        event = WM_LBUTTONDOWN;
    else if (line == "o")
        event = WM_LBUTTONDBLCLK;
    else if (line == "b")
        event = NIN_BALLOONUSERCLICK;
    else if (const std::optional<program_command> added = program_command_of(line)) {
        // Answered on the window's own thread; the next line is read once
        // it has been.
        SendMessageW(added->window, added->message, 0, 0);
        return true;
    } else
        return false;
    const std::optional<tray_icon> live = first_live_icon();
    if (!live) return false;
    const HWND window = live->window;
    std::uint64_t spells_before = 0;
    win_user::window_thread_idle(window, spells_before);
    if (tray_icon_event(window, live->id, event)) {
        // The command has run to its end when the icon's thread next waits
        // for messages: everything it asked meanwhile had its lines. The
        // icon's own thread runs it only once this returns.
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) return true;
        for (;;) {
            std::uint64_t spells = 0;
            const bool idle = win_user::window_thread_idle(window, spells);
            if ((idle && spells > spells_before) || !IsWindow(window) ||
                win_user::terminal_interrupted())
                break;
            std::this_thread::sleep_for(look_interval);
        }
        return true;
    }
    std::fprintf(
        stderr, "[tray] %s\n",
        event == NIN_BALLOONUSERCLICK ? "no balloon is shown" : "the icon takes no events");
    return true;
}

bool add_tray_terminal_command(const std::string& word, const std::string& help, HWND window,
                               UINT message) {
    if (word.empty() || is_icon_command(word) || IsWindow(window) == FALSE) return false;
    std::lock_guard<std::mutex> guard(reader().lock);
    auto& commands = reader().commands;
    commands.erase(std::remove_if(commands.begin(), commands.end(),
                                  [&](const program_command& c) {
                                      return c.word == word || IsWindow(c.window) == FALSE;
                                  }),
                   commands.end());
    commands.push_back({word, help, window, message});
    return true;
}

}  // namespace win_shell
