#include "stand_in_sheet.h"

#include <gtest/gtest.h>

#include <mutex>

#include "ui/sheet_selection.h"
#include "win/process.h"
#include "win/user_dialog.h"

namespace shell_testing {

namespace {

constexpr WORD stand_in_template = 120;

INT_PTR CALLBACK plain_dialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// The sheet's frame, size and Apply button; no tabs, no OK or Cancel.
void register_template() {
    static std::once_flag once;
    std::call_once(once, [] {
        using namespace win_dialogs;
        dialog_template t;
        t.style = WS_POPUP | WS_CAPTION | DS_SETFONT | WS_VISIBLE;
        t.cx = 263;
        t.cy = 279;
        t.caption = L"Sheet";
        control_template apply = push_button(sheet_apply_button_id, L"&Apply", 207, 258, 50, 14);
        apply.style |= WS_DISABLED;
        t.controls = {apply};
        register_dialog(win_module::this_module(), stand_in_template, t);
    });
}

}  // namespace

stand_in_sheet::stand_in_sheet(const std::wstring& caption) {
    register_template();
    window_ = CreateDialogParamW(win_module::this_module(), MAKEINTRESOURCEW(stand_in_template),
                                 nullptr, plain_dialog, 0);
    EXPECT_NE(window_, nullptr);
    SetWindowTextW(window_, caption.c_str());
}

stand_in_sheet::~stand_in_sheet() {
    if (IsWindow(window_)) DestroyWindow(window_);
}

HWND stand_in_sheet::apply_button() const {
    return GetDlgItem(window_, sheet_apply_button_id);
}

bool stand_in_sheet::apply_enabled() const {
    return IsWindowEnabled(apply_button()) != FALSE;
}

}  // namespace shell_testing
