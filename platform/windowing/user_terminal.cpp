// Lines typed on the terminal, shared by everyone in the process who asks
// the person, the commands typed between questions, and Ctrl+C.
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

#include "win/user.h"

namespace win_user {

namespace {

constexpr int look_interval_ms = 50;

struct terminal_state {
    std::mutex lock;
    bool line_taken = false;  // a reader is in the middle of a line
    int askers = 0;           // boxes, menus and dialogs asking now
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

// Claims the next line for the caller: nobody else is in a line, and
// commands stay back while someone waits with a question or their thread
// is at work.
bool claim_line(bool for_question, const std::function<bool()>& ready) {
    const bool idle = for_question || ready();
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
                        bool for_question, bool hidden, const std::function<bool()>& ready) {
    const terminal_question counted(for_question);
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
            // Told to stop while it waited: the line is for someone else.
            if (stop()) return {typed::stopped, {}};
            if (!claim_line(for_question, ready)) {
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

}  // namespace

terminal_question::terminal_question(bool counts) : counts_(counts) {
    if (!counts_) return;
    std::lock_guard<std::mutex> guard(terminal().lock);
    ++terminal().askers;
}

terminal_question::~terminal_question() {
    if (!counts_) return;
    std::lock_guard<std::mutex> guard(terminal().lock);
    --terminal().askers;
}

terminal_line read_terminal_line(const std::function<void()>& serve,
                                 const std::function<bool()>& stop, bool hidden) {
    return read_line(serve, stop, true, hidden, [] { return true; });
}

terminal_line read_terminal_command(const std::function<void()>& serve,
                                    const std::function<bool()>& stop,
                                    const std::function<bool()>& ready) {
    return read_line(serve, stop, false, false, ready);
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

}  // namespace win_user
