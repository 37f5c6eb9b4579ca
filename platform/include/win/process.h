// Processes and modules of the Windows API subset: starting sibling programs,
// waiting for them and learning their exit codes, and naming the executable
// or shared object a piece of code lives in.
#pragma once

#include "win/base.h"
#include "win/handle.h"
#include "win/kernel.h"

typedef struct _STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;  // signalled when the process has ended; stays so
    HANDLE hThread;   // the main thread; signalled with the process
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// Starts a program. The program is application_name when given, else the
// first (optionally double-quoted) word of command_line, looked up in the
// executable's folder, the current folder and PATH when it names no folder.
// The child's arguments are command_line split as the C runtime splits it
// (just the program when command_line is null). Backslashes in paths are
// separators; a program path ending in ".exe" that does not exist runs the
// file of the same name without the suffix, which is how the built programs
// are named here. The child inherits this process's environment (environment
// must be null) and runs in current_directory when given. Creation flags and
// the start-up record's fields are accepted and ignored. Failure: FALSE with
// ERROR_FILE_NOT_FOUND for a missing program, ERROR_ACCESS_DENIED for one
// that cannot run, ERROR_INVALID_PARAMETER for missing arguments.
BOOL CreateProcessW(LPCWSTR application_name, LPWSTR command_line,
                    LPSECURITY_ATTRIBUTES process_attributes,
                    LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles,
                    DWORD creation_flags, LPVOID environment, LPCWSTR current_directory,
                    LPSTARTUPINFOW startup_info, LPPROCESS_INFORMATION process_information);

// STILL_ACTIVE while the process runs; its exit status when it exited; 128 +
// the signal number when a signal ended it.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exit_code);
// Kills the process (SIGKILL); its exit code becomes exit_code.
BOOL TerminateProcess(HANDLE process, UINT exit_code);

// The module handle of the executable (name == nullptr only).
HMODULE GetModuleHandleW(LPCWSTR module_name);

// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, module_name is an address and
// the result is the module (executable or shared object) that contains it:
//   HMODULE self;
//   GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
//                      GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
//                      reinterpret_cast<LPCWSTR>(&some_function_of_this_module), &self);
// Module handles need no release here.
#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001u
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004u
BOOL GetModuleHandleExW(DWORD flags, LPCWSTR module_name, HMODULE* module);

// The full path of the module (nullptr: the executable), in the system's
// form: the native absolute path with every "/" written as "\", so that code
// which cuts a path at its last "\" finds the module's folder. Returns the
// length written without the terminating zero; when the buffer is too small
// the path is cut to size - 1 characters, terminated, size is returned and
// the last error is ERROR_INSUFFICIENT_BUFFER. An unknown module: 0 with
// ERROR_MOD_NOT_FOUND.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR file_name, DWORD size);

namespace win_module {

// The module that contains the calling code: the executable, or the shared
// object when called from code inside one. Internal linkage, so each module
// gets its own copy and its own marker address.
static inline HMODULE this_module() {
    static const char marker = 0;
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&marker), &self);
    return self;
}

}  // namespace win_module
