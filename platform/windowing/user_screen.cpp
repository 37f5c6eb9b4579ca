// The virtual screen: one monitor of 1920 by 1080 pixels whose work area
// leaves a 40-pixel task bar at the bottom, its metrics and the system
// colours.

#include "user_state.h"
#include "win/user_input.h"

namespace {

constexpr LONG screen_width = 1920;
constexpr LONG screen_height = 1080;
constexpr LONG task_bar_height = 40;

const RECT screen_rect{0, 0, screen_width, screen_height};
const RECT work_area{0, 0, screen_width, screen_height - task_bar_height};

HMONITOR the_monitor() {
    static char monitor;
    return reinterpret_cast<HMONITOR>(&monitor);
}

bool overlaps_screen(const RECT& r) {
    return r.left < screen_rect.right && r.right > screen_rect.left && r.top < screen_rect.bottom &&
           r.bottom > screen_rect.top;
}

HMONITOR monitor_for(bool on_screen, DWORD flags) {
    return on_screen || flags != MONITOR_DEFAULTTONULL ? the_monitor() : nullptr;
}

}  // namespace

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
        case SM_CXVIRTUALSCREEN:
            return screen_width;
        case SM_CYSCREEN:
        case SM_CYVIRTUALSCREEN:
            return screen_height;
        case SM_XVIRTUALSCREEN:
        case SM_YVIRTUALSCREEN:
            return 0;
        case SM_CXFULLSCREEN:
            return work_area.right;
        case SM_CYFULLSCREEN:
            return work_area.bottom - 23;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return 17;
        case SM_CYCAPTION:
            return 23;
        case SM_CYSMCAPTION:
            return 17;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return 3;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return 4;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return 32;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        case SM_CXMENUCHECK:
        case SM_CYMENUCHECK:
            return 13;
        case SM_CXMIN:
            return 136;
        case SM_CYMIN:
            return 39;
        case SM_CXDOUBLECLK:
        case SM_CYDOUBLECLK:
        case SM_CXDRAG:
        case SM_CYDRAG:
            return 4;
        case SM_CMONITORS:
            return 1;
        default:
            return 0;
    }
}

BOOL SystemParametersInfoW(UINT action, UINT, LPVOID pvparam, UINT) {
    if (action != SPI_GETWORKAREA || !pvparam) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *static_cast<RECT*>(pvparam) = work_area;
    return TRUE;
}

HMONITOR MonitorFromRect(LPCRECT rect, DWORD flags) {
    return monitor_for(rect && overlaps_screen(*rect), flags);
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
    const RECT r{point.x, point.y, point.x + 1, point.y + 1};
    return monitor_for(overlaps_screen(r), flags);
}

HMONITOR MonitorFromWindow(HWND window, DWORD flags) {
    RECT r{};
    if (!GetWindowRect(window, &r)) return monitor_for(false, flags);
    if (r.right == r.left) ++r.right;
    if (r.bottom == r.top) ++r.bottom;
    return monitor_for(overlaps_screen(r), flags);
}

BOOL GetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info) {
    if (monitor != the_monitor() || !info || info->cbSize != sizeof(MONITORINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->rcMonitor = screen_rect;
    info->rcWork = work_area;
    info->dwFlags = MONITORINFOF_PRIMARY;
    return TRUE;
}

DWORD GetSysColor(int index) {
    switch (index) {
        case COLOR_SCROLLBAR:
            return 0x00C8C8C8;
        case COLOR_BACKGROUND:
            return 0x00000000;
        case COLOR_ACTIVECAPTION:
            return 0x00D1B499;
        case COLOR_INACTIVECAPTION:
            return 0x00DBCDBF;
        case COLOR_WINDOW:
            return 0x00FFFFFF;
        case COLOR_WINDOWFRAME:
            return 0x00646464;
        case COLOR_WINDOWTEXT:
        case COLOR_CAPTIONTEXT:
        case COLOR_BTNTEXT:
        case COLOR_INFOTEXT:
            return 0x00000000;
        case COLOR_HIGHLIGHT:
            return 0x00D77800;
        case COLOR_HIGHLIGHTTEXT:
        case COLOR_BTNHIGHLIGHT:
            return 0x00FFFFFF;
        case COLOR_BTNFACE:
            return 0x00F0F0F0;
        case COLOR_BTNSHADOW:
            return 0x00A0A0A0;
        case COLOR_GRAYTEXT:
            return 0x006D6D6D;
        case COLOR_INACTIVECAPTIONTEXT:
            return 0x00000000;
        case COLOR_3DDKSHADOW:
            return 0x00696969;
        case COLOR_3DLIGHT:
            return 0x00E3E3E3;
        case COLOR_INFOBK:
            return 0x00E1FFFF;
        case COLOR_HOTLIGHT:
            return 0x00CC6600;
        default:
            return 0;
    }
}
