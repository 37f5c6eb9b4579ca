// What the dialog manager keeps beside a dialog window.
#pragma once

#include <memory>
#include <string>

#include "user_state.h"
#include "win/user.h"

namespace win_user {

struct dialog_data : control_data {
    HFONT font = nullptr;  // made from the template; deleted with the dialog
    SIZE base_units{};     // average character width and height of the font
    int default_id = IDOK;
    HWND saved_focus = nullptr;
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    std::wstring template_name;  // for the journal: the id as a number, or the name
};

// The dialog data of a dialog window, null for other windows.
std::shared_ptr<dialog_data> dialog_of(HWND dialog);

// Creates the dialog and its controls from the module's template, sends
// WM_INITDIALOG and shows it when the template asks (and not modal).
HWND create_dialog(HINSTANCE instance, LPCWSTR template_name, HWND owner, DLGPROC procedure,
                   LPARAM parameter, bool modal);

// Presses the dialog's default button as Enter does.
void press_default(HWND dialog);

}  // namespace win_user
