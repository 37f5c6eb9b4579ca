// The dialog manager: dialogs and their controls from templates, the dialog
// class's default handling, EndDialog, the dialog keys and dialog units.

#include <algorithm>

#include "user_dialog_state.h"
#include "user_internal.h"
#include "user_state.h"
#include "win/user.h"

namespace win_user {

namespace {

int mul_div(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

// The average character width and the height of a font, as dialog units
// need them.
SIZE base_units_of(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, font);
    static const wchar_t alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE extent{};
    TEXTMETRICW metrics{};
    GetTextExtentPoint32W(dc, alphabet, 52, &extent);
    GetTextMetricsW(dc, &metrics);
    DeleteDC(dc);
    return {(extent.cx / 26 + 1) / 2, metrics.tmHeight};
}

RECT to_pixels(const SIZE& base, short x, short y, short cx, short cy) {
    return {mul_div(x, base.cx, 4), mul_div(y, base.cy, 8), mul_div(x + cx, base.cx, 4),
            mul_div(y + cy, base.cy, 8)};
}

std::wstring name_text(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) return std::to_wstring(reinterpret_cast<ULONG_PTR>(name));
    return name ? name : L"";
}

bool is_push_button(HWND control) {
    const LRESULT code = SendMessageW(control, WM_GETDLGCODE, 0, 0);
    return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

// The first visible, enabled control with WS_TABSTOP.
HWND first_tab_stop(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) return child;
    }
    return nullptr;
}

void send_command(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control && !IsWindowEnabled(control)) return;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void set_default_id(HWND dialog, int id) {
    const std::shared_ptr<dialog_data> data = dialog_of(dialog);
    if (!data) return;
    const int old = data->default_id;
    data->default_id = id;
    HWND old_button = GetDlgItem(dialog, old);
    if (old_button && (SendMessageW(old_button, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
        SendMessageW(old_button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    HWND new_button = GetDlgItem(dialog, id);
    if (new_button && (SendMessageW(new_button, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON))
        SendMessageW(new_button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

// What the dialog class does with what the dialog procedure left.
LRESULT default_dialog_handling(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ERASEBKGND: {
            HDC dc = reinterpret_cast<HDC>(wparam);
            auto brush = reinterpret_cast<HBRUSH>(
                SendMessageW(dialog, WM_CTLCOLORDLG, wparam, reinterpret_cast<LPARAM>(dialog)));
            if (!brush) return 0;
            RECT client;
            GetClientRect(dialog, &client);
            FillRect(dc, &client, brush);
            return 1;
        }
        case WM_CLOSE: {
            HWND cancel = GetDlgItem(dialog, IDCANCEL);
            if (cancel && !IsWindowEnabled(cancel)) return 0;
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(cancel));
            return 0;
        }
        case DM_GETDEFID: {
            const std::shared_ptr<dialog_data> data = dialog_of(dialog);
            return data ? MAKELRESULT(data->default_id, DC_HASDEFID) : 0;
        }
        case DM_SETDEFID:
            set_default_id(dialog, static_cast<int>(wparam));
            return TRUE;
        case WM_ACTIVATE: {
            const std::shared_ptr<dialog_data> data = dialog_of(dialog);
            if (!data) return 0;
            if (LOWORD(wparam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(dialog, focus)) data->saved_focus = focus;
                return 0;
            }
            HWND focus = IsWindow(data->saved_focus) ? data->saved_focus : first_tab_stop(dialog);
            SetFocus(focus ? focus : dialog);
            return 0;
        }
        case WM_SETFOCUS: {
            const std::shared_ptr<dialog_data> data = dialog_of(dialog);
            HWND focus =
                data && IsWindow(data->saved_focus) ? data->saved_focus : first_tab_stop(dialog);
            if (focus) SetFocus(focus);
            return 0;
        }
        case WM_GETFONT: {
            const std::shared_ptr<dialog_data> data = dialog_of(dialog);
            return data ? reinterpret_cast<LRESULT>(data->font) : 0;
        }
        case WM_NCDESTROY: {
            const std::shared_ptr<dialog_data> data = dialog_of(dialog);
            if (data && data->font) {
                DeleteObject(data->font);
                data->font = nullptr;
            }
            return DefWindowProcW(dialog, message, wparam, lparam);
        }
        default:
            return DefWindowProcW(dialog, message, wparam, lparam);
    }
}

// Messages whose answer the dialog procedure returns itself instead of
// through DWLP_MSGRESULT.
bool answers_directly(UINT message) {
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
           message == WM_INITDIALOG;
}

}  // namespace

std::shared_ptr<dialog_data> dialog_of(HWND dialog) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(dialog);
    return w ? std::dynamic_pointer_cast<dialog_data>(w->control) : nullptr;
}

bool is_dialog_window(HWND window) {
    return dialog_of(window) != nullptr;
}

void press_default(HWND dialog) {
    const LRESULT id = SendMessageW(dialog, DM_GETDEFID, 0, 0);
    send_command(dialog, HIWORD(id) == DC_HASDEFID ? LOWORD(id) : IDOK);
}

LRESULT CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefDlgProcW(dialog, message, wparam, lparam);
}

bool load_dialog_template(HINSTANCE instance, LPCWSTR template_name,
                          win_dialogs::dialog_template* out) {
    HRSRC found = FindResourceW(instance, template_name, RT_DIALOG);
    if (!found) return false;
    if (!win_dialogs::parse_dialog(LockResource(LoadResource(instance, found)),
                                   SizeofResource(instance, found), out)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    return true;
}

HWND create_dialog(HINSTANCE instance, LPCWSTR template_name, HWND owner, DLGPROC procedure,
                   LPARAM parameter, bool modal) {
    win_dialogs::dialog_template t;
    if (!load_dialog_template(instance, template_name, &t)) return nullptr;
    return create_dialog_from(instance, t, name_text(template_name), owner, procedure, parameter,
                              modal);
}

HWND create_dialog_from(HINSTANCE instance, const win_dialogs::dialog_template& t,
                        const std::wstring& name, HWND owner, DLGPROC procedure, LPARAM parameter,
                        bool modal) {
    auto data = std::make_shared<dialog_data>();
    data->modal = modal;
    data->template_name = name;
    HFONT font = nullptr;
    if (t.style & DS_SETFONT) {
        font =
            CreateFontW(-mul_div(t.point_size, 96, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                        DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, DEFAULT_PITCH, t.font_face.c_str());
        data->font = font;
    }
    data->base_units = base_units_of(font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));

    const bool visible = (t.style & WS_VISIBLE) != 0;
    DWORD style = t.style & ~WS_VISIBLE;
    DWORD ex_style = t.ex_style;
    if (t.style & DS_MODALFRAME) ex_style |= WS_EX_DLGMODALFRAME;
    RECT rect = to_pixels(data->base_units, t.x, t.y, t.cx, t.cy);
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
    const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    POINT at{rect.left, rect.top};
    if (t.style & DS_CENTER) {
        RECT work;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        at = {work.left + (work.right - work.left - width) / 2,
              work.top + (work.bottom - work.top - height) / 2};
    } else if (owner && !(t.style & DS_ABSALIGN) && !(style & WS_CHILD)) {
        ClientToScreen(owner, &at);
    }
    const std::wstring cls = t.class_name.empty() ? L"#32770" : t.class_name;
    HWND dialog = CreateWindowExW(ex_style, cls.c_str(), t.caption.c_str(), style, at.x, at.y,
                                  width, height, owner, nullptr, instance, nullptr);
    if (!dialog) {
        if (font) DeleteObject(font);
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> guard(state().lock);
        if (const window_ptr w = find_locked(dialog)) w->control = data;
    }
    SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(procedure));
    if (font) SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    bool default_found = false;
    for (const win_dialogs::control_template& c : t.controls) {
        const RECT r = to_pixels(data->base_units, c.x, c.y, c.cx, c.cy);
        HWND control = CreateWindowExW(
            c.ex_style | WS_EX_NOPARENTNOTIFY, c.class_name.c_str(), c.text.c_str(),
            c.style | WS_CHILD, r.left, r.top, r.right - r.left, r.bottom - r.top, dialog,
            reinterpret_cast<HMENU>(static_cast<intptr_t>(c.id)), instance, nullptr);
        if (!control) {
            if (t.style & DS_NOFAILCREATE) continue;
            DestroyWindow(dialog);
            return nullptr;
        }
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(font ? font : GetStockObject(SYSTEM_FONT)), FALSE);
        if (!default_found && (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) {
            data->default_id = c.id;
            default_found = true;
        }
    }
    HWND focus = first_tab_stop(dialog);
    if (SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), parameter) && focus &&
        IsWindow(focus)) {
        data->saved_focus = focus;
        SetFocus(focus);
    }
    if (!IsWindow(dialog)) return nullptr;
    if (visible && !modal && !data->ended) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        if (t.style & DS_SETFOREGROUND) SetForegroundWindow(dialog);
    }
    return dialog;
}

}  // namespace win_user

using namespace win_user;

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    auto procedure = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dialog, DWLP_DLGPROC));
    INT_PTR handled = FALSE;
    if (procedure) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
        handled = procedure(dialog, message, wparam, lparam);
    }
    if (handled) {
        if (answers_directly(message)) return handled;
        return IsWindow(dialog) ? GetWindowLongPtrW(dialog, DWLP_MSGRESULT) : 0;
    }
    if (!IsWindow(dialog)) return 0;
    return default_dialog_handling(dialog, message, wparam, lparam);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR template_name, HWND owner, DLGPROC procedure,
                        LPARAM parameter) {
    return create_dialog(instance, template_name, owner, procedure, parameter, false);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    const std::shared_ptr<dialog_data> data = dialog_of(dialog);
    if (!data) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    data->ended = true;
    data->result = result;
    const HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner && data->modal) EnableWindow(owner, TRUE);
    ShowWindow(dialog, SW_HIDE);
    PostMessageW(dialog, WM_NULL, 0, 0);
    return TRUE;
}

BOOL IsDialogMessageW(HWND dialog, LPMSG message) {
    if (!message || !dialog || !(message->hwnd == dialog || IsChild(dialog, message->hwnd)))
        return FALSE;
    if (message->message == WM_KEYDOWN) {
        const LRESULT wants = SendMessageW(message->hwnd, WM_GETDLGCODE, message->wParam,
                                           reinterpret_cast<LPARAM>(message));
        if (message->wParam == VK_RETURN && !(wants & DLGC_WANTALLKEYS)) {
            HWND focus = GetFocus();
            if (focus && IsChild(dialog, focus) && is_push_button(focus))
                send_command(dialog, GetDlgCtrlID(focus));
            else
                press_default(dialog);
            return TRUE;
        }
        if (message->wParam == VK_ESCAPE && !(wants & DLGC_WANTALLKEYS)) {
            send_command(dialog, IDCANCEL);
            return TRUE;
        }
    }
    TranslateMessage(message);
    DispatchMessageW(message);
    return TRUE;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
    const std::shared_ptr<dialog_data> data = dialog_of(dialog);
    if (!data || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = {mul_div(rect->left, data->base_units.cx, 4),
             mul_div(rect->top, data->base_units.cy, 8),
             mul_div(rect->right, data->base_units.cx, 4),
             mul_div(rect->bottom, data->base_units.cy, 8)};
    return TRUE;
}

LONG GetDialogBaseUnits() {
    static const SIZE units = base_units_of(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
    return MAKELONG(units.cx, units.cy);
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageW(control, message, wparam, lparam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowTextW(control, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int max_count) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
        if (text && max_count > 0) text[0] = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(control, text, max_count));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return FALSE;
    SendMessageW(control, BM_SETCHECK, check, 0);
    return TRUE;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
    for (int id = first; id <= last; ++id) {
        HWND control = GetDlgItem(dialog, id);
        if (control)
            SendMessageW(control, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? static_cast<UINT>(SendMessageW(control, BM_GETCHECK, 0, 0)) : 0;
}
