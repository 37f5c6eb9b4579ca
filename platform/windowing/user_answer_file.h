// Answers written down in advance: the file named by CALVIMORA_ANSWERS_FILE
// answers boxes, menus and dialogs of a program that runs as its own
// process, so end-to-end tests can drive it. The format is described with
// the test API (win/win_test.h, answers_file_variable) and in
// docs/answers.md. Each line answers once; a box, menu or dialog takes the
// first unused line of its kind whose match fits.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "win/user_types.h"

namespace win_user {

// The environment variable that names the answers file.
inline constexpr const char* answers_file_variable = "CALVIMORA_ANSWERS_FILE";

// The button for a message box with these buttons, when a line fits.
std::optional<int> file_answer_for_box(const std::wstring& text, const std::wstring& caption,
                                       const std::vector<int>& buttons);

// The id chosen in a menu with these item texts (0: none), when a line
// fits.
std::optional<UINT> file_answer_for_menu(const std::vector<std::wstring>& item_texts);

// Carries out the actions of the first fitting line in the live dialog;
// false when no line fits.
bool file_answer_dialog(HWND dialog, const std::wstring& template_name);

}  // namespace win_user
