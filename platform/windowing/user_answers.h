// Who answers modal boxes, dialogs and menus: a script set in the process,
// the terminal, or the default answer; and the journals of what was
// answered, under the machine root (kernel/journal.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "win/user_types.h"

namespace win_user {

inline constexpr const char* message_box_journal = "message-boxes";
inline constexpr const char* dialog_journal = "dialogs";
inline constexpr const char* menu_journal = "menus";

// The script that answers every message box of the process, called on the
// box's thread inside its modal loop; an empty one restores the default.
using message_box_responder =
    std::function<int(const std::wstring& text, const std::wstring& caption, UINT type)>;
void set_message_box_responder(message_box_responder responder);

// The button a box answers when nobody does: its default button
// (MB_DEFBUTTONn of its button set, the first when n is beyond it); 0 for
// a type with no button set.
int default_button(UINT type);

using dialog_script = std::function<void(HWND dialog)>;

// The script set for dialogs, empty when none.
dialog_script dialog_responder();
void set_dialog_responder(dialog_script script);

// The script that chooses in every tracked menu: the id to choose, 0 for
// none.
using menu_script = std::function<UINT(HMENU menu, HWND owner)>;
void set_menu_responder(menu_script script);

// Whether unscripted boxes and dialogs ask the terminal: CALVIMORA_ANSWERS
// "terminal" or "default" decides; unset, the terminal asks when standard
// input is one.
bool answers_on_terminal();

// Shows the dialog's texts, check boxes, buttons, edits and links on the
// terminal, those of child dialogs inside it included, and presses, ticks,
// clicks or fills in (asking for the text on the next line) what the
// person types the number of, pumping the thread's messages while it
// waits, until the dialog has ended. End of input presses the default
// button.
void answer_dialog_on_terminal(HWND dialog);

// The answer of a box that nobody agreed to (Ctrl+C, or a WM_QUIT that
// ended it): No, else Cancel, else its default.
int no_button(const std::vector<int>& buttons, int default_answer);

// The button a person types for a message box; the default button at the
// end of input, which sets input_ended.
int answer_message_box_on_terminal(const std::wstring& text, const std::wstring& caption, UINT type,
                                   const std::vector<int>& buttons, int default_answer,
                                   bool& input_ended);

// One line of a menu as a person sees it: its text (indented, with its
// check mark) and the id it stands for, 0 when it cannot be chosen.
struct menu_choice {
    std::string label;
    UINT id = 0;
};

// The id a person types the number of; 0 (none) for an empty line or the
// end of input.
UINT answer_menu_on_terminal(const std::vector<menu_choice>& lines);

void journal_dialog(const std::wstring& template_name, const std::wstring& caption, INT_PTR result,
                    const char* answered_by);

}  // namespace win_user
