// What a process can learn about a process: its modules and their files.
// The first module of a process is its image, the executable.
#pragma once

#include "win/base.h"

#define PROCESS_TERMINATE 0x0001u
#define PROCESS_VM_READ 0x0010u
#define PROCESS_QUERY_INFORMATION 0x0400u
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000u

// A handle of the process with that id (CloseHandle it), for as long as
// the process lives. NULL with ERROR_INVALID_PARAMETER when there is no
// such process.
HANDLE OpenProcess(DWORD access, BOOL inherit, DWORD process_id);

// Only the image is reported: one module, its handle in modules[0] when
// there is room; *needed is the bytes the whole list takes.
BOOL EnumProcessModules(HANDLE process, HMODULE* modules, DWORD size, LPDWORD needed);

// The file of the process's module (null or the image: its executable), in
// the system's form ("\" between folders); as GetModuleFileNameW cuts and
// terminates. 0 on failure.
DWORD GetModuleFileNameExW(HANDLE process, HMODULE module, LPWSTR file_name, DWORD size);

namespace win_test {

// The image path this process reports about itself through the calls
// above, so a test can play a process of another program (such as
// "C:\Windows\explorer.exe"); null restores the real one. GetModuleFileNameW is not
// affected: the program still finds its own files.
void set_process_image_path(LPCWSTR path);

}  // namespace win_test
