// The button class: push buttons, default push buttons, check boxes, radio
// buttons and group boxes, clicked with the mouse, BM_CLICK or Space, each
// painting itself plainly. An automatic radio button that is clicked
// unchecks the other radio buttons of its group (the siblings from the one
// with WS_GROUP up to the next).

#include <algorithm>
#include <cmath>
#include <string>

#include "user_internal.h"
#include "user_state.h"
#include "win/user.h"

namespace win_user {

namespace {

struct button_data : control_data {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    bool focused = false;
};

UINT type_of(HWND button) {
    return GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK;
}

bool is_check_type(UINT type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
           type == BS_AUTO3STATE || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

bool inside(HWND button, LPARAM point) {
    RECT client;
    GetClientRect(button, &client);
    return PtInRect(&client, {GET_X_LPARAM(point), GET_Y_LPARAM(point)});
}

void set_pushed(HWND button, bool pushed) {
    const auto data = control_state<button_data>(button);
    if (!data || data->pushed == pushed) return;
    data->pushed = pushed;
    InvalidateRect(button, nullptr, FALSE);
}

bool is_radio(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) != WC_BUTTONW) return false;
    const UINT type = type_of(window);
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// The other automatic radio buttons of the button's group lose their check.
void uncheck_group(HWND button) {
    HWND first = button;
    while (!(GetWindowLongW(first, GWL_STYLE) & WS_GROUP)) {
        HWND previous = GetWindow(first, GW_HWNDPREV);
        if (!previous) break;
        first = previous;
    }
    for (HWND sibling = first; sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        if (sibling != first && (GetWindowLongW(sibling, GWL_STYLE) & WS_GROUP)) break;
        if (sibling != button && is_radio(sibling) && type_of(sibling) == BS_AUTORADIOBUTTON)
            SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

// A click: automatic check boxes change state, then the parent hears of it.
void clicked(HWND button) {
    const auto data = control_state<button_data>(button);
    if (!data) return;
    switch (type_of(button)) {
        case BS_AUTOCHECKBOX:
            data->check = data->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            InvalidateRect(button, nullptr, FALSE);
            break;
        case BS_AUTO3STATE:
            data->check = (data->check + 1) % 3;
            InvalidateRect(button, nullptr, FALSE);
            break;
        case BS_AUTORADIOBUTTON:
            data->check = BST_CHECKED;
            InvalidateRect(button, nullptr, FALSE);
            uncheck_group(button);
            break;
        default:
            break;
    }
    HWND parent = GetParent(button);
    if (parent)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
}

void fill(HDC dc, LONG l, LONG t, LONG r, LONG b, int color) {
    const RECT rect{l, t, r, b};
    FillRect(dc, &rect, GetSysColorBrush(color));
}

void frame(HDC dc, const RECT& r, int top_left, int bottom_right) {
    fill(dc, r.left, r.top, r.right, r.top + 1, top_left);
    fill(dc, r.left, r.top, r.left + 1, r.bottom, top_left);
    fill(dc, r.left, r.bottom - 1, r.right, r.bottom, bottom_right);
    fill(dc, r.right - 1, r.top, r.right, r.bottom, bottom_right);
}

void draw_check_mark(HDC dc, LONG x, LONG y) {
    // Two strokes, two pixels thick, inside a 13-pixel box.
    static const POINT strokes[] = {{3, 6}, {4, 7}, {5, 8}, {6, 7}, {7, 6}, {8, 5}, {9, 4}};
    for (const POINT& p : strokes)
        fill(dc, x + p.x, y + p.y, x + p.x + 1, y + p.y + 2, COLOR_WINDOWTEXT);
}

// A disc of the diameter at (x, y), row by row.
void fill_disc(HDC dc, LONG x, LONG y, LONG diameter, int color) {
    const double r = diameter / 2.0;
    for (LONG row = 0; row < diameter; ++row) {
        const double dy = row + 0.5 - r;
        const double half = std::sqrt(std::max(0.0, r * r - dy * dy));
        const LONG left = x + static_cast<LONG>(std::lround(r - half));
        const LONG right = x + static_cast<LONG>(std::lround(r + half));
        if (right > left) fill(dc, left, y + row, right, y + row + 1, color);
    }
}

void paint(HWND button) {
    const auto data = control_state<button_data>(button);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(button, &ps);
    if (!dc || !data) {
        EndPaint(button, &ps);
        return;
    }
    const UINT type = type_of(button);
    const bool check_like = is_check_type(type);
    const bool enabled = IsWindowEnabled(button);
    HWND parent = GetParent(button);
    auto brush = reinterpret_cast<HBRUSH>(
        parent ? SendMessageW(parent, check_like ? WM_CTLCOLORSTATIC : WM_CTLCOLORBTN,
                              reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(button))
               : 0);
    if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
    RECT client;
    GetClientRect(button, &client);
    SelectObject(dc, control_font(button));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    wchar_t text[1024];
    GetWindowTextW(button, text, 1024);

    if (check_like) {
        FillRect(dc, &client, brush);
        const LONG box = 13;
        const LONG top = (client.bottom - box) / 2;
        const RECT mark{0, top, box, top + box};
        const bool round = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
        const int face = data->pushed || !enabled ? COLOR_BTNFACE : COLOR_WINDOW;
        if (round) {
            fill_disc(dc, 0, top, box - 1, COLOR_BTNSHADOW);
            fill_disc(dc, 1, top + 1, box - 3, face);
            if (data->check == BST_CHECKED) fill_disc(dc, 4, top + 4, box - 9, COLOR_WINDOWTEXT);
        } else {
            fill(dc, mark.left, mark.top, mark.right, mark.bottom, face);
            frame(dc, mark, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
            if (data->check == BST_CHECKED) draw_check_mark(dc, 0, top);
        }
        if (data->check == BST_INDETERMINATE)
            fill(dc, 3, top + 3, box - 3, top + box - 3, COLOR_BTNSHADOW);
        RECT label{box + 4, 0, client.right, client.bottom};
        const UINT format = (GetWindowLongW(button, GWL_STYLE) & BS_MULTILINE)
                                ? DT_LEFT | DT_WORDBREAK
                                : DT_LEFT | DT_VCENTER | DT_SINGLELINE;
        DrawTextW(dc, text, -1, &label, format);
    } else if (type == BS_GROUPBOX) {
        // Only the frame and the label: the controls inside show through.
        frame(dc, {0, 6, client.right, client.bottom}, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
        RECT label{8, 0, client.right - 8, 13};
        if (text[0]) {
            RECT extent = label;
            DrawTextW(dc, text, -1, &extent, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
            RECT behind{label.left - 2, 0, std::min(extent.right + 2, client.right), 13};
            FillRect(dc, &behind, brush);
        }
        DrawTextW(dc, text, -1, &label, DT_LEFT | DT_SINGLELINE);
    } else {
        const bool is_default = type == BS_DEFPUSHBUTTON;
        fill(dc, client.left, client.top, client.right, client.bottom, COLOR_BTNFACE);
        RECT outer = client;
        if (is_default) {
            frame(dc, outer, COLOR_HIGHLIGHT, COLOR_HIGHLIGHT);
            InflateRect(&outer, -1, -1);
        }
        if (data->pushed)
            frame(dc, outer, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
        else
            frame(dc, outer, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW);
        RECT label = client;
        if (data->pushed) OffsetRect(&label, 1, 1);
        DrawTextW(dc, text, -1, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    EndPaint(button, &ps);
}

}  // namespace

LRESULT CALLBACK button_procedure(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_GETDLGCODE: {
            const UINT type = type_of(button);
            if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
            if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
            if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)
                return DLGC_BUTTON | DLGC_RADIOBUTTON;
            return DLGC_BUTTON;
        }
        case BM_GETCHECK: {
            const auto data = control_state<button_data>(button);
            return data && is_check_type(type_of(button)) ? data->check : BST_UNCHECKED;
        }
        case BM_SETCHECK: {
            const UINT type = type_of(button);
            const auto data = control_state<button_data>(button);
            if (!data || !is_check_type(type)) return 0;
            const bool three_state = type == BS_3STATE || type == BS_AUTO3STATE;
            const UINT check = wparam == BST_INDETERMINATE && three_state ? BST_INDETERMINATE
                               : wparam == BST_UNCHECKED                  ? BST_UNCHECKED
                                                                          : BST_CHECKED;
            if (data->check != check) {
                data->check = check;
                InvalidateRect(button, nullptr, FALSE);
            }
            return 0;
        }
        case BM_GETSTATE: {
            const auto data = control_state<button_data>(button);
            if (!data) return 0;
            return (is_check_type(type_of(button)) ? data->check : 0) |
                   (data->pushed ? BST_PUSHED : 0) | (data->focused ? BST_FOCUS : 0);
        }
        case BM_SETSTATE:
            set_pushed(button, wparam != 0);
            return 0;
        case BM_SETSTYLE: {
            const LONG style = GetWindowLongW(button, GWL_STYLE);
            SetWindowLongW(button, GWL_STYLE,
                           static_cast<LONG>((style & ~BS_TYPEMASK) | (wparam & BS_TYPEMASK)));
            if (lparam) InvalidateRect(button, nullptr, TRUE);
            return 0;
        }
        case BM_CLICK:
            if (!IsWindowEnabled(button)) return 0;
            SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            SendMessageW(button, WM_LBUTTONUP, 0, 0);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            SetFocus(button);
            SetCapture(button);
            set_pushed(button, true);
            return 0;
        case WM_MOUSEMOVE:
            if (GetCapture() == button) set_pushed(button, inside(button, lparam));
            return 0;
        case WM_LBUTTONUP: {
            if (GetCapture() != button) return 0;
            const auto data = control_state<button_data>(button);
            const bool click = data && data->pushed && inside(button, lparam);
            ReleaseCapture();
            if (click) clicked(button);
            return 0;
        }
        case WM_CAPTURECHANGED:
            set_pushed(button, false);
            return 0;
        case WM_KEYDOWN:
            if (wparam == VK_SPACE) set_pushed(button, true);
            return 0;
        case WM_KEYUP:
            if (wparam == VK_SPACE) {
                const auto data = control_state<button_data>(button);
                if (data && data->pushed) {
                    set_pushed(button, false);
                    clicked(button);
                }
            }
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            if (const auto data = control_state<button_data>(button))
                data->focused = message == WM_SETFOCUS;
            InvalidateRect(button, nullptr, FALSE);
            return 0;
        case WM_ENABLE:
            InvalidateRect(button, nullptr, FALSE);
            return 0;
        case WM_SETTEXT: {
            const LRESULT result = DefWindowProcW(button, message, wparam, lparam);
            InvalidateRect(button, nullptr, TRUE);
            return result;
        }
        case WM_SETFONT:
        case WM_GETFONT:
            return control_font_message(button, message, wparam, lparam);
        case WM_NCHITTEST:
            // A group box lets the mouse through to the controls it frames.
            if (type_of(button) == BS_GROUPBOX) return HTTRANSPARENT;
            return DefWindowProcW(button, message, wparam, lparam);
        case WM_PAINT:
            paint(button);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        default:
            return DefWindowProcW(button, message, wparam, lparam);
    }
}

}  // namespace win_user
