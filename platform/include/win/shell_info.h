// What the shell says about files and objects: type names from the
// registry's file types, the special folders by CSIDL, and the item-id
// list of a shell object.
#pragma once

#include "win/base.h"
#include "win/com.h"
#include "win/shell_idlist.h"
#include "win/user_types.h"

typedef struct _SHFILEINFOW {
    HICON hIcon;
    int iIcon;
    DWORD dwAttributes;
    WCHAR szDisplayName[MAX_PATH];
    WCHAR szTypeName[80];
} SHFILEINFOW;

#define SHGFI_ICON 0x000000100u
#define SHGFI_DISPLAYNAME 0x000000200u
#define SHGFI_TYPENAME 0x000000400u
#define SHGFI_ATTRIBUTES 0x000000800u
#define SHGFI_SMALLICON 0x000000001u
#define SHGFI_USEFILEATTRIBUTES 0x000000010u

// Only SHGFI_TYPENAME with SHGFI_USEFILEATTRIBUTES is known here: the path
// need not exist, its name and the given attributes decide. A folder
// (FILE_ATTRIBUTE_DIRECTORY) is "File folder". For a file, the extension is
// its name from the last "." on; HKEY_CLASSES_ROOT ".ext" names a class
// (its default value) whose default value is the type name; without one the
// name is the extension without its dot in upper case and " File" ("GZ
// File"), and "File" for a name without an extension. The text is cut to 79
// characters. Returns 1; 0 for a null path or record, a record of another
// size, or other flags.
DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT info_size,
                         UINT flags);

// The folder as SHGetFolderPathW gives it, created first when create is
// set; FALSE when the stand-in has no such folder or it cannot be made.
BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int folder, BOOL create);

// The absolute item-id list of a shell object: the folder that an object
// answering IPersistFolder2 names (GetCurFolder). E_INVALIDARG for null
// arguments, E_NOINTERFACE for an object that names none. The caller frees
// the list (ILFree). Exported under its own name, so that code which looks
// for it at run time in "shell32.dll" (win/library.h) finds it.
STDAPI SHGetIDListFromObject(IUnknown* object, PIDLIST_ABSOLUTE* list);
