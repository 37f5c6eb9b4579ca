// What the dialog manager keeps beside a dialog window.
#pragma once

#include <functional>
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

// The module's dialog template; false (last error set) when it is missing
// or malformed.
bool load_dialog_template(HINSTANCE instance, LPCWSTR template_name,
                          win_dialogs::dialog_template* out);
// The same from a template at hand; name is what the journal calls it.
HWND create_dialog_from(HINSTANCE instance, const win_dialogs::dialog_template& t,
                        const std::wstring& name, HWND owner, DLGPROC procedure, LPARAM parameter,
                        bool modal);

// Runs a modal dialog that make creates (owned by owner, null when it
// cannot be made: -1) until it ends, answered as DialogBoxParamW's are;
// the dialog is destroyed afterwards and its result returned.
INT_PTR run_modal_dialog(HWND owner, const std::function<HWND()>& make);

// Presses the dialog's default button as Enter does.
void press_default(HWND dialog);

}  // namespace win_user
