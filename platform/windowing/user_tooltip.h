// What a tooltip control keeps: its tools and the tip it shows.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "user_state.h"
#include "win/commctrl.h"

namespace win_user {

struct tool_entry {
    UINT flags = 0;
    HWND window = nullptr;
    UINT_PTR id = 0;
    RECT rect{};
    std::wstring text;
};

// Written on the control's thread; tests read it from theirs, so the lists
// and texts are guarded.
struct tooltip_data : control_data {
    std::mutex lock;
    std::vector<tool_entry> tools;
    bool active = true;
    int max_width = -1;
    int hovered = -1;  // the tool under the pointer
    std::wstring shown_text;
    UINT initial_ms = 500;
    UINT autopop_ms = 5000;
};

}  // namespace win_user
