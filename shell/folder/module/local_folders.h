// The extension's folders under the user's local application-data folder
// (texts without a trailing separator) and the parsing path that opens the
// virtual folder in Explorer.
#pragma once

#include <string>

#include "win/com.h"
#include "win/shell_idlist.h"

namespace shell_utils {

// The local application-data folder followed by "\Calvimora", made when
// missing; empty when the special folder is unavailable or the folder
// cannot be made.
std::wstring GetLocalAppDataFolder();
// GetLocalAppDataFolder followed by "\Intermediate files" / "\Filter temp"
// (not made here); empty when GetLocalAppDataFolder is.
std::wstring GetIntermediateFilesFolder();
std::wstring GetFilterTempFolder();

// "::{Computer}\::{the folder}" followed by the sub path. Throws a text
// (std::wstring) when a class id cannot be written.
std::wstring GetExplorerParsingPath(const std::wstring& sub_path);

// The shell's item-id list of an object, through the shell library's
// export of that name when the system has it; E_FAIL when it has not.
HRESULT SHGetIDListFromObject(IUnknown* object, PIDLIST_ABSOLUTE* list);

}  // namespace shell_utils
