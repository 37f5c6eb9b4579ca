// The controls both sync pages (of remote items and of local ones) share in
// their templates: the option radio buttons and the notes under them, with
// the notes' texts.
#pragma once

#include "win/user_dialog.h"

inline constexpr wchar_t sync_backup_note_text[] =
    L"Important: You are about to backup multiple files through your internet connection. The "
    L"time of the upload can vary based on the speed of your internet connection, number of "
    L"files and the amount of data you are transferring.";
inline constexpr wchar_t sync_full_note_text[] =
    L"Important: You are about to upload or download multiple files through your internet "
    L"connection. The time of the upload can vary based on the speed of your internet "
    L"connection, number of files and the amount of data you are transferring.";
inline constexpr wchar_t sync_hidden_note_text[] =
    L"Calvimora will not backup hidden files or folders.";

// An automatic radio button, created disabled: the check box above it
// enables it.
win_dialogs::control_template sync_option_radio(int id, std::wstring text, short x, short y,
                                                short cx, short cy);
// A note of the page's width at y, shown or hidden at first.
win_dialogs::control_template sync_note(int id, std::wstring text, short y, short cy, bool visible);
