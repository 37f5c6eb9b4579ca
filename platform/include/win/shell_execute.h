// The shell's execution of files, folders and addresses. Nothing is run
// here: each call is journalled under the stand-in machine's root (tests
// read it through win/shell_test.h) and, when a person runs the program on
// a terminal, its target is printed. A call with something to open
// succeeds as the system's does.
#pragma once

#include "win/base.h"
#include "win/registry.h"
#include "win/shell_idlist.h"

// Results of ShellExecuteW above 32 mean success.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31

// 42 for success; SE_ERR_FNF (last error ERROR_FILE_NOT_FOUND) when file
// is null or empty. A null verb is the default verb.
HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, INT show);

#define SEE_MASK_DEFAULT 0x00000000u
#define SEE_MASK_CLASSNAME 0x00000001u
#define SEE_MASK_CLASSKEY 0x00000003u
#define SEE_MASK_IDLIST 0x00000004u
#define SEE_MASK_INVOKEIDLIST 0x0000000Cu
#define SEE_MASK_NOCLOSEPROCESS 0x00000040u
#define SEE_MASK_NOASYNC 0x00000100u
#define SEE_MASK_FLAG_NO_UI 0x00000400u
#define SEE_MASK_UNICODE 0x00004000u
#define SEE_MASK_WAITFORINPUTIDLE 0x02000000u

typedef struct _SHELLEXECUTEINFOW {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    void* lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    union {
        HANDLE hIcon;
        HANDLE hMonitor;
    };
    HANDLE hProcess;
} SHELLEXECUTEINFOW, *LPSHELLEXECUTEINFOW;

// The same as ShellExecuteW, with the item-id list (SEE_MASK_IDLIST or
// SEE_MASK_INVOKEIDLIST) as another target, and the class that handles the
// target: the key hkeyClass (SEE_MASK_CLASSKEY) or the class name lpClass
// under HKEY_CLASSES_ROOT (SEE_MASK_CLASSNAME). A class other than "folder"
// must have a command for the verb (the verb's key "shell\<verb>\command";
// without a verb the class's default verb, win_shell::default_verb of
// win/shell_assoc.h): otherwise FALSE with ERROR_NO_ASSOCIATION and
// SE_ERR_NOASSOC.
// hInstApp receives the result; hProcess is null (nothing runs). FALSE with
// ERROR_INVALID_PARAMETER for a record of another size or a class key that
// is not open, with ERROR_FILE_NOT_FOUND when there is nothing to open.
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);
