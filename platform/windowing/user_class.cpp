// Window classes: the program's own and the predefined ones (dialog,
// button, static, edit, tooltip, list view and its header), found by name without regard to case or
// by atom.

#include <cwctype>

#include "user_internal.h"
#include "user_listview.h"
#include "user_state.h"
#include "win/commctrl.h"
#include "win/user.h"

namespace win_user {

namespace {

bool same_name(const std::wstring& a, LPCWSTR b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return i == a.size() && b[i] == 0;
}

void add_system_class_locked(const wchar_t* name, ATOM atom, UINT style, WNDPROC procedure,
                             int window_extra, LPCWSTR cursor) {
    auto c = std::make_shared<window_class>();
    c->name = name;
    c->atom = atom ? atom : state().next_atom++;
    c->style = style | CS_GLOBALCLASS;
    c->procedure = procedure;
    c->window_extra = window_extra;
    c->cursor = LoadCursorW(nullptr, cursor);
    c->global = true;
    state().classes.push_back(std::move(c));
}

void ensure_system_classes_locked() {
    static bool done = false;
    if (done) return;
    done = true;
    add_system_class_locked(L"#32770", 0x8002, CS_DBLCLKS | CS_SAVEBITS, dialog_procedure,
                            DLGWINDOWEXTRA, IDC_ARROW);
    add_system_class_locked(WC_BUTTONW, 0, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW | CS_PARENTDC,
                            button_procedure, 0, IDC_ARROW);
    add_system_class_locked(WC_STATICW, 0, CS_DBLCLKS | CS_PARENTDC, static_procedure, 0,
                            IDC_ARROW);
    add_system_class_locked(WC_EDITW, 0, CS_DBLCLKS | CS_PARENTDC, edit_procedure, 0, IDC_IBEAM);
    add_system_class_locked(TOOLTIPS_CLASSW, 0, CS_DBLCLKS | CS_SAVEBITS, tooltip_procedure, 0,
                            IDC_ARROW);
    add_system_class_locked(WC_TABCONTROLW, 0, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW | CS_PARENTDC,
                            tab_procedure, 0, IDC_ARROW);
    add_system_class_locked(WC_LISTVIEWW, 0, CS_DBLCLKS, listview_procedure, 0, IDC_ARROW);
    add_system_class_locked(WC_HEADERW, 0, CS_DBLCLKS, header_procedure, 0, IDC_ARROW);
}

}  // namespace

std::shared_ptr<const window_class> find_class_locked(LPCWSTR name, HINSTANCE module) {
    ensure_system_classes_locked();
    if (!name) return nullptr;
    std::shared_ptr<const window_class> global;
    for (const auto& c : state().classes) {
        const bool matches = IS_INTRESOURCE(name)
                                 ? c->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))
                                 : same_name(c->name, name);
        if (!matches) continue;
        if (!c->global && c->module == module) return c;
        if (c->global && !global) global = c;
    }
    return global;
}

}  // namespace win_user

using namespace win_user;

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpszClassName || !wc->lpfnWndProc ||
        wc->cbWndExtra < 0 || wc->cbClsExtra < 0 || wc->cbWndExtra > 40000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const bool global = (wc->style & CS_GLOBALCLASS) != 0;
    std::lock_guard<std::mutex> guard(state().lock);
    ensure_system_classes_locked();
    if (IS_INTRESOURCE(wc->lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A module's own class may take a predefined class's name for itself.
    for (const auto& c : state().classes) {
        if (!same_name(c->name, wc->lpszClassName)) continue;
        const bool clash =
            global ? c->global && c->module : !c->global && c->module == wc->hInstance;
        if (clash) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    auto c = std::make_shared<window_class>();
    c->name = wc->lpszClassName;
    c->atom = state().next_atom++;
    c->module = wc->hInstance;
    c->style = wc->style;
    c->procedure = wc->lpfnWndProc;
    c->class_extra = wc->cbClsExtra;
    c->window_extra = wc->cbWndExtra;
    c->icon = wc->hIcon;
    c->cursor = wc->hCursor;
    c->background = wc->hbrBackground;
    c->global = global;
    const ATOM atom = c->atom;
    state().classes.push_back(std::move(c));
    return atom;
}

BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE instance) {
    std::lock_guard<std::mutex> guard(state().lock);
    const auto c = find_class_locked(class_name, instance);
    if (!c || (c->global && !c->module)) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    for (const auto& [handle, w] : state().windows) {
        if (w->cls == c && w->life != window_life::destroyed) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
    }
    auto& classes = state().classes;
    classes.erase(std::remove(classes.begin(), classes.end(), c), classes.end());
    return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR class_name, LPWNDCLASSEXW out) {
    if (!out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(state().lock);
    const auto c = find_class_locked(class_name, instance);
    if (!c) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    out->style = c->style;
    out->lpfnWndProc = c->procedure;
    out->cbClsExtra = c->class_extra;
    out->cbWndExtra = c->window_extra;
    out->hInstance = c->module;
    out->hIcon = c->icon;
    out->hCursor = c->cursor;
    out->hbrBackground = c->background;
    out->lpszMenuName = nullptr;
    out->lpszClassName = class_name;
    out->hIconSm = nullptr;
    return c->atom;
}

int GetClassNameW(HWND handle, LPWSTR out, int max_count) {
    const window_ptr w = find(handle);
    if (!w || !out || max_count <= 0) return 0;
    const std::wstring& name = w->cls->name;
    const int count = std::min<int>(static_cast<int>(name.size()), max_count - 1);
    std::copy(name.begin(), name.begin() + count, out);
    out[count] = 0;
    return count;
}

ATOM RegisterClassW(const WNDCLASSW* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WNDCLASSEXW extended{sizeof(WNDCLASSEXW), wc->style,         wc->lpfnWndProc,
                               wc->cbClsExtra,      wc->cbWndExtra,    wc->hInstance,
                               wc->hIcon,           wc->hCursor,       wc->hbrBackground,
                               wc->lpszMenuName,    wc->lpszClassName, nullptr};
    return RegisterClassExW(&extended);
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    std::lock_guard<std::mutex> guard(state().lock);
    ensure_system_classes_locked();
    return TRUE;
}

void InitCommonControls() {
    std::lock_guard<std::mutex> guard(state().lock);
    ensure_system_classes_locked();
}
