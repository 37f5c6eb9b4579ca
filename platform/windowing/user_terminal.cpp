// Lines typed on the terminal, shared by everyone in the process who asks
// the person, the tray icons' commands between questions, and Ctrl+C.
#include "user_terminal.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "user_internal.h"
#include "win/shell_notify_icon.h"
#include "win/shell_test.h"
#include "win/user.h"

namespace win_user {

namespace {

constexpr int look_interval_ms = 50;

struct terminal_state {
    std::mutex lock;
    bool line_taken = false;  // a reader is in the middle of a line
    int askers = 0;           // readers for questions, waiting now
    bool tray_reader_running = false;
};

terminal_state& terminal() {
    static auto* s = new terminal_state;  // used until the process ends
    return *s;
}

std::atomic<bool> interrupted{false};

void on_interrupt(int) {
    interrupted.store(true);
}

bool input_waiting(int timeout_ms) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    return poll(&input, 1, timeout_ms) > 0;
}

// Counts a reader for a question for the life of the object, so the tray's
// commands wait for it.
class asker {
public:
    explicit asker(bool counts) : counts_(counts) {
        if (!counts_) return;
        std::lock_guard<std::mutex> guard(terminal().lock);
        ++terminal().askers;
    }
    ~asker() {
        if (!counts_) return;
        std::lock_guard<std::mutex> guard(terminal().lock);
        --terminal().askers;
    }
    asker(const asker&) = delete;
    asker& operator=(const asker&) = delete;

private:
    bool counts_;
};

// The window of the process's first tray icon, or none.
HWND first_icon_window() {
    const std::vector<win_test::tray_icon> icons = win_test::tray_icons();
    return icons.empty() ? nullptr : icons.front().window;
}

// Whether the icons' thread waits for messages with nothing left to do: a
// menu, box or dialog it is about to show would otherwise find its line
// taken by the tray's commands.
bool icon_thread_idle() {
    const HWND window = first_icon_window();
    std::uint64_t spells = 0;
    return !window || window_thread_idle(window, spells);
}

// Claims the next line for the caller: nobody else is in a line, and the
// tray's commands stay back while someone waits with a question or the
// icons' thread is at work.
bool claim_line(bool for_question) {
    const bool idle = for_question || icon_thread_idle();
    std::lock_guard<std::mutex> guard(terminal().lock);
    if (terminal().line_taken || (!for_question && (terminal().askers > 0 || !idle))) return false;
    terminal().line_taken = true;
    return true;
}

// The terminal's echo off for the life of the object (only the line's end
// is echoed), when standard input is a terminal.
class echo_off {
public:
    explicit echo_off(bool wanted) {
        if (!wanted || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        changed_ = tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
    }
    ~echo_off() {
        if (changed_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    echo_off(const echo_off&) = delete;
    echo_off& operator=(const echo_off&) = delete;

private:
    termios saved_{};
    bool changed_ = false;
};

void release_line() {
    std::lock_guard<std::mutex> guard(terminal().lock);
    terminal().line_taken = false;
}

terminal_line read_line(const std::function<void()>& serve, const std::function<bool()>& stop,
                        bool for_question, bool hidden = false) {
    const asker counted(for_question);
    const echo_off quiet(hidden);
    bool mine = false;
    std::string text;
    for (;;) {
        serve();
        if (interrupted.load()) {
            if (mine) release_line();
            return {typed::interrupted, {}};
        }
        if (!mine && stop()) return {typed::stopped, {}};
        if (!input_waiting(look_interval_ms)) continue;
        if (!mine) {
            if (!claim_line(for_question)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(look_interval_ms / 5));
                continue;
            }
            mine = true;
        }
        char c;
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got <= 0) {
            release_line();
            return {typed::end_of_input, {}};
        }
        if (c == '\n') {
            release_line();
            return {typed::line, text};
        }
        if (c != '\r') text += c;
    }
}

void print_tray_help() {
    std::fprintf(stderr,
                 "[tray] type a command and Enter: m opens the tray icon's menu, c clicks the "
                 "icon, o double-clicks it, b clicks its balloon; Ctrl+C ends the program\n");
}

void tray_command_loop() {
    print_tray_help();
    for (;;) {
        const terminal_line got = read_line([] {}, [] { return false; }, false);
        if (got.status != typed::line) break;
        if (!got.text.empty() && !run_tray_command(got.text)) print_tray_help();
    }
    std::lock_guard<std::mutex> guard(terminal().lock);
    terminal().tray_reader_running = false;
}

}  // namespace

terminal_line read_terminal_line(const std::function<void()>& serve,
                                 const std::function<bool()>& stop, bool hidden) {
    return read_line(serve, stop, true, hidden);
}

bool terminal_interrupted() {
    return interrupted.load();
}

void quit_on_terminal_interrupt(DWORD thread_id) {
    struct sigaction action = {};
    action.sa_handler = on_interrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    std::thread([thread_id] {
        while (!interrupted.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(look_interval_ms));
        std::fprintf(stderr,
                     "\n[terminal] Ctrl+C: every question is answered No and the program ends "
                     "(Ctrl+C again kills it)\n");
        PostThreadMessageW(thread_id, WM_QUIT, 0, 0);
    }).detach();
}

void read_tray_commands() {
    {
        std::lock_guard<std::mutex> guard(terminal().lock);
        if (terminal().tray_reader_running) return;
        terminal().tray_reader_running = true;
    }
    std::thread(tray_command_loop).detach();
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
    else
        return false;
    const std::vector<win_test::tray_icon> icons = win_test::tray_icons();
    if (icons.empty()) return false;
    const HWND window = icons.front().window;
    std::uint64_t spells_before = 0;
    window_thread_idle(window, spells_before);
    if (win_test::tray_icon_event(window, icons.front().id, event)) {
        // The command has run to its end when the icon's thread next waits
        // for messages: everything it asked meanwhile had its lines.
        for (;;) {
            std::uint64_t spells = 0;
            const bool idle = window_thread_idle(window, spells);
            if ((idle && spells > spells_before) || !IsWindow(window) || interrupted.load()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(look_interval_ms / 5));
        }
        return true;
    }
    std::fprintf(
        stderr, "[tray] %s\n",
        event == NIN_BALLOONUSERCLICK ? "no balloon is shown" : "the icon takes no events");
    return true;
}

}  // namespace win_user
