// The shell's file operation, as far as the programs use it: FO_DELETE of
// files and folders, with FOF_ALLOWUNDO to the desktop's trash (the
// freedesktop layout under win_machine::trash_dir(): the item in "files",
// a "<name>.trashinfo" record with its original path and the deletion date
// in "info"), without it for good. The other functions are not here.
//
// Names are taken literally: "*" and "?" are name characters on this file
// system, so no wildcard is expanded.
#pragma once

#include <string>
#include <vector>

#include "win/base.h"

#define FO_MOVE 0x0001u
#define FO_COPY 0x0002u
#define FO_DELETE 0x0003u
#define FO_RENAME 0x0004u

#define FOF_MULTIDESTFILES 0x0001u
#define FOF_CONFIRMMOUSE 0x0002u
#define FOF_SILENT 0x0004u
#define FOF_RENAMEONCOLLISION 0x0008u
#define FOF_NOCONFIRMATION 0x0010u
#define FOF_WANTMAPPINGHANDLE 0x0020u
#define FOF_ALLOWUNDO 0x0040u
#define FOF_FILESONLY 0x0080u
#define FOF_SIMPLEPROGRESS 0x0100u
#define FOF_NOCONFIRMMKDIR 0x0200u
#define FOF_NOERRORUI 0x0400u
#define FOF_NOCOPYSECURITYATTRIBS 0x0800u
#define FOF_NORECURSION 0x1000u
#define FOF_NO_CONNECTED_ELEMENTS 0x2000u
#define FOF_WANTNUKEWARNING 0x4000u
#define FOF_NO_UI (FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR)

typedef WORD FILEOP_FLAGS;

typedef struct _SHFILEOPSTRUCTW {
    HWND hwnd;
    UINT wFunc;
    // Full paths, each ended by a NUL, the list by a second NUL.
    LPCWSTR pFrom;
    LPCWSTR pTo;
    FILEOP_FLAGS fFlags;
    BOOL fAnyOperationsAborted;
    LPVOID hNameMappings;
    LPCWSTR lpszProgressTitle;
} SHFILEOPSTRUCTW, *LPSHFILEOPSTRUCTW;

// Results of the shell's own numbering, beside the system's error codes.
#define DE_ROOTDIR 0x74
#define DE_OPCANCELLED 0x75
#define DE_DESTSUBTREE 0x76
#define DE_ACCESSDENIEDSRC 0x78
#define DE_INVALIDFILES 0x7C

// FO_DELETE: the items of pFrom in their order. Without FOF_NOCONFIRMATION
// a message box asks first (No: nothing is done, DE_OPCANCELLED); without
// FOF_NOERRORUI a failure is shown in a message box too. With FOF_ALLOWUNDO
// each full path goes to the trash whole (a folder with everything in it)
// under a name no other item there has; a path that is not a full path is
// deleted for good, as without the flag. The first failure ends the
// operation (the items before it stay done) and sets fAnyOperationsAborted.
// Returns 0, or: ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND (a missing
// folder on the way), DE_ROOTDIR (the root of the file system),
// DE_DESTSUBTREE (the trash itself or a folder that holds it),
// DE_ACCESSDENIEDSRC, DE_INVALIDFILES (an empty list), ERROR_DISK_FULL,
// ERROR_INVALID_PARAMETER (no structure, another function number),
// ERROR_CALL_NOT_IMPLEMENTED (FO_MOVE, FO_COPY, FO_RENAME). Every call is
// journalled. GetLastError is not set.
int SHFileOperationW(LPSHFILEOPSTRUCTW operation);

namespace win_test {

// One journalled SHFileOperationW call.
struct file_operation {
    UINT function = 0;
    UINT flags = 0;
    std::vector<std::string> from;  // UTF-8, as given
    int result = 0;
    bool aborted = false;
};

// The journal, oldest first, of every process under the machine root.
std::vector<file_operation> file_operations();
void clear_file_operations();

}  // namespace win_test
