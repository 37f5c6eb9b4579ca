// The tray icons of the process as the shell holds them: what the tray's
// calls keep, what the terminal's tray commands act on, and what the test
// API reads.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "win/shell_notify_icon.h"

namespace win_shell {

struct tray_balloon {
    std::wstring title;
    std::wstring text;
    UINT timeout_ms = 0;  // as the balloon got it: 10000 to 30000
    DWORD flags = 0;      // NIIF_*
    bool operator==(const tray_balloon&) const = default;
};

struct tray_icon {
    HWND window = nullptr;
    UINT id = 0;
    UINT callback_message = 0;
    HICON icon = nullptr;
    int icon_id = 0;  // the icon's resource id (win_icons::resource_id), 0 for none
    std::wstring tip;
    UINT version = 0;
    std::optional<tray_balloon> balloon;       // shown now
    std::optional<tray_balloon> last_balloon;  // the last one shown, whether or not it is up
    int balloons_shown = 0;
    int modifications = 0;  // successful NIM_MODIFY calls
};

// In the order they were added.
std::vector<tray_icon> tray_icons();
std::optional<tray_icon> find_tray_icon(HWND window, UINT id);

// What the shell does when a person uses the icon: posts its callback
// message with the event; a balloon event needs a balloon shown and ends
// it. False when there is no such icon, no balloon for a balloon event, or
// no callback message.
bool tray_icon_event(HWND window, UINT id, UINT event);

// While refused, every NIM_MODIFY fails and changes nothing.
void set_tray_modify_refused(bool refused);
// The shell forgets every icon of the process, as after its restart.
void forget_tray_icons();

}  // namespace win_shell
