// Loading system modules at run time. The one known here is the system's
// shell library, "shell32.dll" (without regard to case, with or without a
// folder), which is the platform library itself: GetProcAddress finds its
// exports by name.
#pragma once

#include "win/base.h"

typedef LONG_PTR(WINAPI* FARPROC)();

// NULL with ERROR_MOD_NOT_FOUND for any other module.
HMODULE LoadLibraryW(LPCWSTR name);
// NULL with ERROR_PROC_NOT_FOUND when the module does not export the name.
#define ERROR_PROC_NOT_FOUND 127L
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
// FALSE with ERROR_MOD_NOT_FOUND for a module LoadLibraryW did not give.
BOOL FreeLibrary(HMODULE module);

namespace win_test {

// While hidden, GetProcAddress does not find that export of the system's
// shell library, as on a system that lacks it.
void hide_shell_export(const char* name, bool hidden);

}  // namespace win_test
