#include "shell_tray_commands.h"

#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "win/shell_notify_icon.h"
#include "win/shell_test.h"
#include "windowing/user_terminal.h"

namespace win_shell {

namespace {

struct reader_state {
    std::mutex lock;
    bool running = false;
};

reader_state& reader() {
    static auto* s = new reader_state;  // used until the process ends
    return *s;
}

void print_tray_help() {
    std::fprintf(stderr,
                 "[tray] type a command and Enter: m opens the tray icon's menu, c clicks the "
                 "icon, o double-clicks it, b clicks its balloon; Ctrl+C ends the program\n");
}

void tray_command_loop() {
    print_tray_help();
    for (;;) {
        const win_user::terminal_line got =
            win_user::read_terminal_command([] {}, [] { return false; });
        if (got.status != win_user::typed::line) break;
        if (!got.text.empty() && !run_tray_command(got.text)) print_tray_help();
    }
    std::lock_guard<std::mutex> guard(reader().lock);
    reader().running = false;
}

}  // namespace

void read_tray_commands() {
    {
        std::lock_guard<std::mutex> guard(reader().lock);
        if (reader().running) return;
        reader().running = true;
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
    if (win_test::tray_icon_event(icons.front().window, icons.front().id, event)) return true;
    std::fprintf(
        stderr, "[tray] %s\n",
        event == NIN_BALLOONUSERCLICK ? "no balloon is shown" : "the icon takes no events");
    return true;
}

}  // namespace win_shell
