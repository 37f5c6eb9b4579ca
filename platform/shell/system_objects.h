// The shell's own classes that CoCreateInstance makes without the registry:
// the progress dialog (progress_dialog.cpp) asks here for the others.
#pragma once

#include <string>

#include "win/com.h"
#include "win/shell_info.h"

namespace win_com {

// The drag images' helper (shell_thread.cpp): S_OK with the object, or
// REGDB_E_CLASSNOTREG when clsid is not its class.
HRESULT create_helper_object(REFCLSID clsid, REFIID iid, void** object);

}  // namespace win_com

namespace win_shell {

// Whether a module name names the system's shell library (library.cpp):
// "shell32.dll" or "shell32", in any case, with or without a folder.
bool names_shell_library(const std::wstring& name);

// The default value of HKEY_CLASSES_ROOT\name as text (shell_info.cpp);
// empty when missing or not text.
std::wstring class_default(const std::wstring& name);

// The icon parts of SHGetFileInfoW (shell_icons.cpp): SHGFI_ICONLOCATION
// and SHGFI_ICON with their modifiers, by name and attributes alone. False
// when no icon could be made.
bool file_icon_info(const std::wstring& path, DWORD attributes, SHFILEINFOW& info, UINT flags);

}  // namespace win_shell
