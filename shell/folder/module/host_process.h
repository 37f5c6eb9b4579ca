// Which program the extension runs in. The folder shows its items as
// file-system items to programs other than Explorer, which expect paths.
#pragma once

#include <string>

#include "win/base.h"

namespace shell_utils {

enum host_process_kind {
    host_other = 0,
    host_explorer = 1,
    host_word_processor = 2,
    host_session_handler = 3,
};

// The image file of the process (at most 260 characters); empty when the
// process cannot be opened.
std::wstring GetProcessImagePath(DWORD process_id);
// The text after the last "\" or "/"; empty when there is neither.
std::wstring GetFileNamePart(const std::wstring& path);
// The process's kind by its image's file name, compared without regard to
// case: "explorer.exe", "winword.exe", "Calvimora_Session.exe" or
// "Calvimora_Session64.exe"; anything else is host_other.
host_process_kind ClassifyProcess(DWORD process_id);

}  // namespace shell_utils
