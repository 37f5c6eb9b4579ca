// The edit class: one line of text (or, with ES_MULTILINE, lines broken at
// "\r\n" and wrapped) with a selection (the caret is its end),
// typed into with WM_CHAR, replaced with EM_REPLACESEL (as a paste does),
// and painted plainly, or as a row of password characters for ES_PASSWORD.
// Each change tells the parent with EN_CHANGE, also a text set with
// WM_SETTEXT on a single-line edit.

#include <algorithm>
#include <optional>
#include <string>

#include "user_internal.h"
#include "user_state.h"
#include "win/user.h"

namespace win_user {

namespace {

// The character a password edit shows for each of its own.
constexpr wchar_t default_password_char = L'\x25CF';

struct edit_data : control_data {
    size_t start = 0;  // the selection, start <= end
    size_t end = 0;
    std::optional<wchar_t> password_char;  // unset: ES_PASSWORD decides
};

wchar_t password_char_of(HWND edit) {
    const auto data = control_state<edit_data>(edit);
    if (data && data->password_char) return *data->password_char;
    return (GetWindowLongW(edit, GWL_STYLE) & ES_PASSWORD) ? default_password_char : 0;
}

void set_password_char(HWND edit, wchar_t shown) {
    if (const auto data = control_state<edit_data>(edit)) data->password_char = shown;
    const LONG style = GetWindowLongW(edit, GWL_STYLE);
    SetWindowLongW(edit, GWL_STYLE, shown ? (style | ES_PASSWORD) : (style & ~ES_PASSWORD));
    InvalidateRect(edit, nullptr, TRUE);
}

std::wstring text_of(HWND edit) {
    const int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), length + 1)));
    return text;
}

// The selection within the text as it is now.
std::pair<size_t, size_t> selection(HWND edit, const std::wstring& text) {
    const auto data = control_state<edit_data>(edit);
    if (!data) return {0, 0};
    return {std::min(data->start, text.size()), std::min(data->end, text.size())};
}

void select(HWND edit, size_t start, size_t end) {
    if (const auto data = control_state<edit_data>(edit)) {
        data->start = std::min(start, end);
        data->end = std::max(start, end);
    }
    InvalidateRect(edit, nullptr, TRUE);
}

void notify_change(HWND edit) {
    if (HWND parent = GetParent(edit))
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), EN_CHANGE),
                     reinterpret_cast<LPARAM>(edit));
}

// Replaces the selection and puts the caret after the new text.
void replace_selection(HWND edit, const std::wstring& replacement) {
    std::wstring text = text_of(edit);
    const auto [start, end] = selection(edit, text);
    text.replace(start, end - start, replacement);
    DefWindowProcW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    select(edit, start + replacement.size(), start + replacement.size());
    notify_change(edit);
}

void backspace(HWND edit) {
    const std::wstring text = text_of(edit);
    const auto [start, end] = selection(edit, text);
    if (start == end) {
        if (start == 0) return;
        select(edit, start - 1, end);
    }
    replace_selection(edit, L"");
}

void paint(HWND edit) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(edit, &ps);
    if (!dc) {
        EndPaint(edit, &ps);
        return;
    }
    RECT client;
    GetClientRect(edit, &client);
    const LONG style = GetWindowLongW(edit, GWL_STYLE);
    HBRUSH brush = nullptr;
    if (!IsWindowEnabled(edit) || (style & ES_READONLY)) {
        // A read-only or disabled edit is drawn as a static: in the
        // parent's colours, the dialog face by default.
        if (HWND parent = GetParent(edit))
            brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                          reinterpret_cast<WPARAM>(dc),
                                                          reinterpret_cast<LPARAM>(edit)));
        if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
    } else {
        brush = GetSysColorBrush(COLOR_WINDOW);
    }
    FillRect(dc, &client, brush);
    SelectObject(dc, control_font(edit));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(IsWindowEnabled(edit) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    std::wstring text = text_of(edit);
    if (const wchar_t shown = password_char_of(edit)) text.assign(text.size(), shown);
    RECT box{client.left + 2, client.top, client.right - 2, client.bottom};
    if (style & ES_MULTILINE) {
        std::wstring lines = text;
        lines.erase(std::remove(lines.begin(), lines.end(), L'\r'), lines.end());
        box.top += 1;
        DrawTextW(dc, lines.c_str(), -1, &box, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    } else {
        DrawTextW(dc, text.c_str(), -1, &box, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    EndPaint(edit, &ps);
}

}  // namespace

LRESULT CALLBACK edit_procedure(HWND edit, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_GETDLGCODE:
            return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        case WM_CHAR:
            if (GetWindowLongW(edit, GWL_STYLE) & ES_READONLY) return 0;
            if (wparam == VK_BACK)
                backspace(edit);
            else if (wparam == L'\r' &&
                     (GetWindowLongW(edit, GWL_STYLE) & (ES_MULTILINE | ES_WANTRETURN)) ==
                         (ES_MULTILINE | ES_WANTRETURN))
                replace_selection(edit, L"\r\n");
            else if (wparam >= L' ')
                replace_selection(edit, std::wstring(1, static_cast<wchar_t>(wparam)));
            return 0;
        case EM_GETSEL: {
            const std::wstring text = text_of(edit);
            const auto [start, end] = selection(edit, text);
            if (wparam) *reinterpret_cast<DWORD*>(wparam) = static_cast<DWORD>(start);
            if (lparam) *reinterpret_cast<DWORD*>(lparam) = static_cast<DWORD>(end);
            return MAKELONG(std::min<size_t>(start, 0xFFFF), std::min<size_t>(end, 0xFFFF));
        }
        case EM_SETSEL: {
            const size_t length = text_of(edit).size();
            const auto start = static_cast<INT_PTR>(wparam);
            const auto end = static_cast<INT_PTR>(lparam);
            if (start < 0) {  // no selection: the caret stays where it is
                const size_t caret = selection(edit, text_of(edit)).second;
                select(edit, caret, caret);
                return 0;
            }
            select(edit, std::min<size_t>(static_cast<size_t>(start), length),
                   end < 0 ? length : std::min<size_t>(static_cast<size_t>(end), length));
            return 0;
        }
        case EM_SETPASSWORDCHAR:
            set_password_char(edit, static_cast<wchar_t>(wparam));
            return 0;
        case EM_SETREADONLY: {
            const LONG style = GetWindowLongW(edit, GWL_STYLE);
            SetWindowLongW(
                edit, GWL_STYLE,
                wparam ? (style | ES_READONLY) : (style & ~static_cast<LONG>(ES_READONLY)));
            InvalidateRect(edit, nullptr, TRUE);
            return TRUE;
        }
        case EM_GETPASSWORDCHAR:
            return password_char_of(edit);
        case EM_REPLACESEL:
            if (lparam) replace_selection(edit, reinterpret_cast<LPCWSTR>(lparam));
            return 0;
        case WM_SETTEXT: {
            const LRESULT result = DefWindowProcW(edit, message, wparam, lparam);
            select(edit, 0, 0);
            // A single-line edit tells its parent of a text set from outside
            // as of a typed one; a multi-line edit does not.
            if (result && !(GetWindowLongW(edit, GWL_STYLE) & ES_MULTILINE)) notify_change(edit);
            return result;
        }
        case WM_LBUTTONDOWN:
            SetFocus(edit);
            return 0;
        case WM_ENABLE:
            InvalidateRect(edit, nullptr, TRUE);
            return 0;
        case WM_SETFONT:
        case WM_GETFONT:
            return control_font_message(edit, message, wparam, lparam);
        case WM_PAINT:
            paint(edit);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        default:
            return DefWindowProcW(edit, message, wparam, lparam);
    }
}

}  // namespace win_user
