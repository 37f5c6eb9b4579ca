// Property sheets: pages made from records, and the modal sheet that shows
// them under a tab control with OK, Cancel and Apply.

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "user_dialog_state.h"
#include "user_internal.h"
#include "win/commctrl.h"
#include "win/user.h"

// A page: the sheet's own copy of the caller's record (with whatever the
// caller put after it), the title it was given, and its dialog once made.
struct _PSP {
    std::vector<std::max_align_t> storage;
    std::wstring title;
    HWND window = nullptr;
    bool changed = false;
    PROPSHEETPAGEW* record() { return reinterpret_cast<PROPSHEETPAGEW*>(storage.data()); }
};

namespace win_user {

namespace {

// The pages that exist, so a handle that is not one is refused rather than
// followed.
std::mutex live_lock;
std::set<HPROPSHEETPAGE>& live_pages() {
    static std::set<HPROPSHEETPAGE> pages;
    return pages;
}

bool is_live(HPROPSHEETPAGE page) {
    std::lock_guard<std::mutex> guard(live_lock);
    return page && live_pages().count(page) != 0;
}

// A text given as a string or as a string id of a module.
std::wstring text_or_string(HINSTANCE instance, LPCWSTR text) {
    if (!text) return L"";
    if (!IS_INTRESOURCE(text)) return text;
    const wchar_t* found = nullptr;
    const int length = LoadStringW(instance, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(text)),
                                   reinterpret_cast<LPWSTR>(&found), 0);
    return length > 0 && found ? std::wstring(found, static_cast<size_t>(length)) : L"";
}

std::wstring template_label(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) return std::to_wstring(reinterpret_cast<ULONG_PTR>(name));
    return name ? name : L"";
}

void destroy_page(HPROPSHEETPAGE page) {
    {
        std::lock_guard<std::mutex> guard(live_lock);
        if (!live_pages().erase(page)) return;
    }
    if (page->window && IsWindow(page->window)) DestroyWindow(page->window);
    page->window = nullptr;
    PROPSHEETPAGEW* record = page->record();
    if ((record->dwFlags & PSP_USECALLBACK) && record->pfnCallback)
        record->pfnCallback(nullptr, PSPCB_RELEASE, record);
    if ((record->dwFlags & PSP_USEREFPARENT) && record->pcRefParent) --*record->pcRefParent;
    delete page;
}

// A page's template as a child of the sheet: no frame of its own, hidden
// until its tab is chosen, at the sheet's page area.
bool page_template(HPROPSHEETPAGE page, win_dialogs::dialog_template* t) {
    const PROPSHEETPAGEW* record = page->record();
    if (!load_dialog_template(record->hInstance, record->pszTemplate, t)) return false;
    t->style &= ~(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME | WS_VISIBLE |
                  DS_CENTER | DS_SETFOREGROUND);
    t->style |= WS_CHILD | DS_CONTROL;
    t->ex_style |= WS_EX_CONTROLPARENT;
    t->x = 0;
    t->y = 0;
    return true;
}

struct sheet_state {
    std::vector<HPROPSHEETPAGE> pages;
    std::wstring caption;
    HICON icon = nullptr;
    int start = 0;
    bool apply_button = true;
    short page_cx = 0, page_cy = 0;  // the largest page, in dialog units

    HWND sheet = nullptr;
    HWND tabs = nullptr;
    int current = -1;
    RECT area{};  // where pages go, in the sheet's client coordinates
    bool applied = false;
};

sheet_state* state_of(HWND sheet) {
    return reinterpret_cast<sheet_state*>(GetWindowLongPtrW(sheet, DWLP_USER));
}

// What the page answered through its message result.
LRESULT notify(sheet_state& s, HPROPSHEETPAGE page, UINT code, LPARAM parameter = 0) {
    if (!page->window || !IsWindow(page->window)) return 0;
    PSHNOTIFY note{};
    note.hdr = {s.sheet, 0, code};
    note.lParam = parameter;
    return SendMessageW(page->window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
}

// The page's dialog, made on first showing; false when its callback
// refuses or the dialog cannot be made.
bool make_page_window(sheet_state& s, HPROPSHEETPAGE page) {
    if (page->window && IsWindow(page->window)) return true;
    PROPSHEETPAGEW* record = page->record();
    if ((record->dwFlags & PSP_USECALLBACK) && record->pfnCallback &&
        record->pfnCallback(nullptr, PSPCB_CREATE, record) == 0)
        return false;
    win_dialogs::dialog_template t;
    if (!page_template(page, &t)) return false;
    HWND window =
        create_dialog_from(record->hInstance, t, template_label(record->pszTemplate), s.sheet,
                           record->pfnDlgProc, reinterpret_cast<LPARAM>(record), false);
    if (!window) return false;
    page->window = window;
    SetWindowPos(window, HWND_TOP, s.area.left, s.area.top, s.area.right - s.area.left,
                 s.area.bottom - s.area.top, SWP_NOACTIVATE);
    return true;
}

// Whether the page in front lets itself be left.
bool kill_active(sheet_state& s) {
    if (s.current < 0) return true;
    return notify(s, s.pages[static_cast<size_t>(s.current)], PSN_KILLACTIVE, 0) == 0;
}

bool show_page(sheet_state& s, int index) {
    if (index < 0 || index >= static_cast<int>(s.pages.size())) return false;
    HPROPSHEETPAGE page = s.pages[static_cast<size_t>(index)];
    if (!make_page_window(s, page)) return false;
    notify(s, page, PSN_SETACTIVE, 0);
    if (!IsWindow(s.sheet) || !page->window) return false;
    const int old = s.current;
    s.current = index;
    if (TabCtrl_GetCurSel(s.tabs) != index) TabCtrl_SetCurSel(s.tabs, index);
    SetWindowPos(page->window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(page->window, SW_SHOW);
    if (old >= 0 && old != index) {
        HPROPSHEETPAGE before = s.pages[static_cast<size_t>(old)];
        if (before->window) ShowWindow(before->window, SW_HIDE);
    }
    return true;
}

void update_apply(sheet_state& s) {
    HWND apply = GetDlgItem(s.sheet, IDC_PROPSHEET_APPLY);
    if (!apply) return;
    const bool changed = std::any_of(s.pages.begin(), s.pages.end(),
                                     [](HPROPSHEETPAGE p) { return p->changed && p->window; });
    EnableWindow(apply, changed ? TRUE : FALSE);
}

// Every made page applies in turn; the first that refuses stops it.
bool apply(sheet_state& s, bool ok) {
    if (!kill_active(s)) return false;
    for (size_t i = 0; i < s.pages.size(); ++i) {
        HPROPSHEETPAGE page = s.pages[i];
        if (!page->window) continue;
        const LRESULT answer = notify(s, page, PSN_APPLY, ok ? TRUE : FALSE);
        if (answer == PSNRET_INVALID) {
            show_page(s, static_cast<int>(i));
            return false;
        }
        if (answer == PSNRET_INVALID_NOCHANGEPAGE) return false;
    }
    for (HPROPSHEETPAGE page : s.pages) page->changed = false;
    s.applied = true;
    update_apply(s);
    return true;
}

void cancel(sheet_state& s) {
    if (s.current >= 0 && notify(s, s.pages[static_cast<size_t>(s.current)], PSN_QUERYCANCEL, 0))
        return;
    for (HPROPSHEETPAGE page : s.pages)
        if (page->window) notify(s, page, PSN_RESET, FALSE);
    EndDialog(s.sheet, IDCANCEL);
}

HPROPSHEETPAGE page_of_window(sheet_state& s, HWND window) {
    for (HPROPSHEETPAGE page : s.pages)
        if (page->window && page->window == window) return page;
    return nullptr;
}

// Tabs above the largest page, the buttons in a row under them at the
// right, the sheet around both.
void lay_out(sheet_state& s) {
    RECT page{0, 0, s.page_cx, s.page_cy};
    MapDialogRect(s.sheet, &page);
    RECT unit{0, 0, 4, 4};
    MapDialogRect(s.sheet, &unit);
    const int margin = unit.right;
    RECT button{0, 0, 50, 14};
    MapDialogRect(s.sheet, &button);
    const int bw = button.right, bh = button.bottom;

    RECT tab{margin, margin, margin + page.right, margin + page.bottom};
    TabCtrl_AdjustRect(s.tabs, TRUE, &tab);
    OffsetRect(&tab, margin - tab.left, margin - tab.top);
    const int buttons = s.apply_button ? 3 : 2;
    const int width = std::max<int>(tab.right + margin, buttons * (bw + margin) + margin);
    tab.right = width - margin;
    SetWindowPos(s.tabs, nullptr, tab.left, tab.top, tab.right - tab.left, tab.bottom - tab.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    s.area = {0, 0, tab.right - tab.left, tab.bottom - tab.top};
    TabCtrl_AdjustRect(s.tabs, FALSE, &s.area);
    OffsetRect(&s.area, tab.left, tab.top);

    const int top = tab.bottom + margin;
    int right = width - margin;
    for (int id : {IDC_PROPSHEET_APPLY, IDCANCEL, IDOK}) {
        HWND control = GetDlgItem(s.sheet, id);
        if (!control) continue;
        SetWindowPos(control, nullptr, right - bw, top, bw, bh, SWP_NOZORDER | SWP_NOACTIVATE);
        right -= bw + margin;
    }
    RECT frame{0, 0, width, top + bh + margin};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(s.sheet, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(s.sheet, GWL_EXSTYLE)));
    SetWindowPos(s.sheet, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(s.sheet, nullptr,
                 work.left + (work.right - work.left - (frame.right - frame.left)) / 2,
                 work.top + (work.bottom - work.top - (frame.bottom - frame.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL initialise(HWND sheet, sheet_state& s) {
    s.sheet = sheet;
    s.tabs = GetDlgItem(sheet, IDC_PROPSHEET_TABS);
    SetWindowLongPtrW(sheet, DWLP_USER, reinterpret_cast<LONG_PTR>(&s));
    SetWindowTextW(sheet, s.caption.c_str());
    if (s.icon) {
        SendMessageW(sheet, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(s.icon));
        SendMessageW(sheet, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(s.icon));
    }
    for (size_t i = 0; i < s.pages.size(); ++i) {
        std::wstring title = s.pages[i]->title;
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = title.data();
        item.lParam = static_cast<LPARAM>(i);
        TabCtrl_InsertItem(s.tabs, static_cast<int>(i), &item);
    }
    lay_out(s);
    // The start page, or the first after it that can be made.
    const int count = static_cast<int>(s.pages.size());
    for (int tried = 0; tried < count; ++tried)
        if (show_page(s, (s.start + tried) % count)) return TRUE;
    EndDialog(sheet, -1);
    return TRUE;
}

void answer(HWND sheet, LRESULT result) {
    SetWindowLongPtrW(sheet, DWLP_MSGRESULT, result);
}

INT_PTR CALLBACK sheet_procedure(HWND sheet, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) return initialise(sheet, *reinterpret_cast<sheet_state*>(lparam));
    sheet_state* s = state_of(sheet);
    if (!s) return FALSE;
    switch (message) {
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (!header || header->hwndFrom != s->tabs) return FALSE;
            if (header->code == TCN_SELCHANGING) {
                answer(sheet, kill_active(*s) ? FALSE : TRUE);
                return TRUE;
            }
            if (header->code == TCN_SELCHANGE) {
                // A page that cannot be made leaves the one in front.
                if (!show_page(*s, TabCtrl_GetCurSel(s->tabs)))
                    TabCtrl_SetCurSel(s->tabs, s->current);
                return TRUE;
            }
            return FALSE;
        }
        case WM_COMMAND:
            if (HIWORD(wparam) != BN_CLICKED) return FALSE;
            switch (LOWORD(wparam)) {
                case IDOK:
                    if (apply(*s, true)) EndDialog(sheet, IDOK);
                    return TRUE;
                case IDCANCEL:
                    cancel(*s);
                    return TRUE;
                case IDC_PROPSHEET_APPLY:
                    apply(*s, false);
                    return TRUE;
                default:
                    return FALSE;
            }
        case PSM_CHANGED:
        case PSM_UNCHANGED:
            if (HPROPSHEETPAGE page = page_of_window(*s, reinterpret_cast<HWND>(wparam))) {
                page->changed = message == PSM_CHANGED;
                update_apply(*s);
            }
            answer(sheet, 0);
            return TRUE;
        case PSM_APPLY:
            answer(sheet, apply(*s, false) ? TRUE : FALSE);
            return TRUE;
        case PSM_CANCELTOCLOSE:
            SetDlgItemTextW(sheet, IDOK, L"Close");
            EnableWindow(GetDlgItem(sheet, IDCANCEL), FALSE);
            answer(sheet, 0);
            return TRUE;
        case PSM_PRESSBUTTON: {
            int id = 0;
            if (wparam == PSBTN_OK) id = IDOK;
            if (wparam == PSBTN_CANCEL) id = IDCANCEL;
            if (wparam == PSBTN_APPLYNOW) id = IDC_PROPSHEET_APPLY;
            if (id)
                PostMessageW(sheet, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(sheet, id)));
            answer(sheet, 0);
            return TRUE;
        }
        case PSM_SETCURSEL: {
            int index = static_cast<int>(wparam);
            if (lparam) {
                const auto found = std::find(s->pages.begin(), s->pages.end(),
                                             reinterpret_cast<HPROPSHEETPAGE>(lparam));
                index = found == s->pages.end() ? -1 : static_cast<int>(found - s->pages.begin());
            }
            answer(sheet, index >= 0 && index < static_cast<int>(s->pages.size()) &&
                                  kill_active(*s) && show_page(*s, index)
                              ? TRUE
                              : FALSE);
            return TRUE;
        }
        case PSM_GETTABCONTROL:
            answer(sheet, reinterpret_cast<LRESULT>(s->tabs));
            return TRUE;
        case PSM_GETCURRENTPAGEHWND:
            answer(sheet, s->current >= 0 ? reinterpret_cast<LRESULT>(
                                                s->pages[static_cast<size_t>(s->current)]->window)
                                          : 0);
            return TRUE;
        case WM_DESTROY:
            // The pages go before the sheet does, while they can still
            // reach it.
            for (HPROPSHEETPAGE page : s->pages) {
                if (page->window && IsWindow(page->window)) DestroyWindow(page->window);
                page->window = nullptr;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

win_dialogs::dialog_template sheet_template(bool apply_button) {
    using namespace win_dialogs;
    dialog_template t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    t.cx = 200;
    t.cy = 200;
    control_template tabs;
    tabs.class_name = WC_TABCONTROLW;
    tabs.id = IDC_PROPSHEET_TABS;
    tabs.style = WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS;
    t.controls.push_back(tabs);
    t.controls.push_back(default_push_button(IDOK, L"OK", 0, 0, 50, 14));
    t.controls.push_back(push_button(IDCANCEL, L"Cancel", 0, 0, 50, 14));
    if (apply_button) {
        control_template apply = push_button(IDC_PROPSHEET_APPLY, L"&Apply", 0, 0, 50, 14);
        apply.style |= WS_DISABLED;
        t.controls.push_back(apply);
    }
    return t;
}

}  // namespace

}  // namespace win_user

using namespace win_user;

HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page) {
    // A template given as bytes carries no size to check it against.
    if (!page || page->dwSize < PROPSHEETPAGEW_V1_SIZE || (page->dwFlags & PSP_DLGINDIRECT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* made = new _PSP;
    const size_t size = std::max<size_t>(page->dwSize, sizeof(PROPSHEETPAGEW));
    made->storage.resize((size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
    std::memcpy(made->storage.data(), page, page->dwSize);
    PROPSHEETPAGEW* record = made->record();
    if ((record->dwFlags & PSP_USETITLE) && record->pszTitle) {
        made->title = text_or_string(record->hInstance, record->pszTitle);
        record->pszTitle = made->title.c_str();
    } else {
        win_dialogs::dialog_template t;
        if (load_dialog_template(record->hInstance, record->pszTemplate, &t))
            made->title = t.caption;
    }
    {
        std::lock_guard<std::mutex> guard(live_lock);
        live_pages().insert(made);
    }
    if ((record->dwFlags & PSP_USEREFPARENT) && record->pcRefParent) ++*record->pcRefParent;
    // Only a record of a later form than the first asks for PSPCB_ADDREF:
    // a page made from a first-form record gets PSPCB_CREATE and
    // PSPCB_RELEASE alone.
    if ((record->dwFlags & PSP_USECALLBACK) && record->pfnCallback &&
        record->dwSize > PROPSHEETPAGEW_V1_SIZE)
        record->pfnCallback(nullptr, PSPCB_ADDREF, record);
    return made;
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page) {
    if (!is_live(page)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    destroy_page(page);
    return TRUE;
}

INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header) {
    if (!header || header->dwSize < offsetof(PROPSHEETHEADERW, pfnCallback)) return -1;
    sheet_state s;
    const UINT count = std::min<UINT>(header->nPages, MAXPROPPAGES);
    if (header->dwFlags & PSH_PROPSHEETPAGE) {
        // Each record is as long as its own size says.
        const auto* at = reinterpret_cast<const unsigned char*>(header->ppsp);
        for (UINT i = 0; at && i < count; ++i) {
            const auto* record = reinterpret_cast<LPCPROPSHEETPAGEW>(at);
            if (record->dwSize < PROPSHEETPAGEW_V1_SIZE) break;
            if (HPROPSHEETPAGE page = CreatePropertySheetPageW(record)) s.pages.push_back(page);
            at += record->dwSize;
        }
    } else if (header->phpage) {
        for (UINT i = 0; i < count; ++i)
            if (is_live(header->phpage[i])) s.pages.push_back(header->phpage[i]);
    }
    const auto destroy_all = [&s] {
        for (HPROPSHEETPAGE page : s.pages) destroy_page(page);
    };
    if (header->dwFlags & PSH_MODELESS) {
        destroy_all();
        return -1;
    }
    // Pages without a template are dropped; the others size the sheet.
    std::vector<HPROPSHEETPAGE> usable;
    for (HPROPSHEETPAGE page : s.pages) {
        win_dialogs::dialog_template t;
        if (!page_template(page, &t)) {
            destroy_page(page);
            continue;
        }
        s.page_cx = std::max(s.page_cx, t.cx);
        s.page_cy = std::max(s.page_cy, t.cy);
        usable.push_back(page);
    }
    s.pages = usable;
    if (s.pages.empty()) return -1;

    if (header->dwFlags & PSH_USEPSTARTPAGE) {
        const std::wstring wanted = text_or_string(header->hInstance, header->pStartPage);
        for (size_t i = s.pages.size(); i-- > 0;)
            if (s.pages[i]->title == wanted) s.start = static_cast<int>(i);
    } else if (header->nStartPage < s.pages.size()) {
        s.start = static_cast<int>(header->nStartPage);
    }
    s.caption = text_or_string(header->hInstance, header->pszCaption);
    if (header->dwFlags & PSH_PROPTITLE) s.caption += L" Properties";
    if (header->dwFlags & PSH_USEHICON) s.icon = header->hIcon;
    s.apply_button = !(header->dwFlags & PSH_NOAPPLYNOW);

    const win_dialogs::dialog_template t = sheet_template(s.apply_button);
    const INT_PTR ended = run_modal_dialog(header->hwndParent, [&] {
        return create_dialog_from(header->hInstance, t, L"property sheet", header->hwndParent,
                                  sheet_procedure, reinterpret_cast<LPARAM>(&s), true);
    });
    destroy_all();
    if (ended == -1) return -1;
    return s.applied ? 1 : 0;
}
