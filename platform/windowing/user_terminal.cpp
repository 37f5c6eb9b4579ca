// Lines typed on the terminal, shared by everyone in the process who asks
// the person, the tray icons' commands between questions, and Ctrl+C.
#include "user_terminal.h"

#include <poll.h>
#include <signal.h>
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
    int askers = 0;           // readers for questions, waiting now
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

// Claims the next line for the caller: nobody else is in a line, and the
// tray's commands stay back while someone waits with a question.
bool claim_line(bool for_question) {
    std::lock_guard<std::mutex> guard(terminal().lock);
    if (terminal().line_taken || (!for_question && terminal().askers > 0)) return false;
    terminal().line_taken = true;
    return true;
}

void release_line() {
    std::lock_guard<std::mutex> guard(terminal().lock);
    terminal().line_taken = false;
}

terminal_line read_line(const std::function<void()>& serve, const std::function<bool()>& stop,
                        bool for_question) {
    const asker counted(for_question);
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

}  // namespace

terminal_line read_terminal_line(const std::function<void()>& serve,
                                 const std::function<bool()>& stop) {
    return read_line(serve, stop, true);
}

terminal_line read_terminal_command(const std::function<void()>& serve,
                                    const std::function<bool()>& stop) {
    return read_line(serve, stop, false);
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
