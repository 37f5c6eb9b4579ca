// Message boxes owned by the window of the caller's site when it has one
// (Explorer's window), with captions and format strings from the
// extension's string table. Each returns the button chosen.
#pragma once

#include <initializer_list>
#include <string>

#include "win/com.h"
#include "win/user.h"

namespace shell_utils {

// The owner is the site's window (IOleWindow) when the site answers, else
// the given window.
int MessageBoxWithSite(HWND window, IUnknown* site, LPCWSTR caption, LPCWSTR text, UINT type);
int MessageBoxCaptionId(HWND window, IUnknown* site, UINT caption_id, LPCWSTR text, UINT type);
// The format string's "%s" (or "%ls") placeholders take the arguments in
// order ("%%" is "%"); placeholders beyond the arguments stay as written.
int MessageBoxFormat(HWND window, IUnknown* site, UINT caption_id, UINT format_id, LPCWSTR argument,
                     UINT type);
int MessageBoxFormat2(HWND window, IUnknown* site, UINT caption_id, UINT format_id, LPCWSTR first,
                      LPCWSTR second, UINT type);
// The text in the ANSI code page (an exception's message), the caption
// converted to it.
int MessageBoxAnsiCaptionId(HWND window, IUnknown* site, UINT caption_id, LPCSTR text, UINT type);

// The Retry answers to one failing step. A person may retry as often as
// they like; a Retry that nobody chose (the box's default, with nobody at
// the machine) is taken a few times only, then as the box's Cancel, so a
// step that keeps failing the same way ends instead of looping for ever.
class retry_answers {
public:
    static constexpr int unattended_limit = 3;

    // The answer to act on: the box's, or IDCANCEL in place of a Retry
    // that nobody chose once the limit is reached.
    int operator()(int answer);

private:
    int unattended_ = 0;
};

// A string of the extension's string table; empty when it is missing.
std::wstring LoadShellString(UINT id);
// The format with its placeholders filled as MessageBoxFormat does.
std::wstring FormatWithArguments(const std::wstring& format,
                                 std::initializer_list<std::wstring> arguments);

}  // namespace shell_utils
