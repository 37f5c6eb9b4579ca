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

#define SHGFI_LARGEICON 0x000000000u
#define SHGFI_SMALLICON 0x000000001u
#define SHGFI_OPENICON 0x000000002u
#define SHGFI_ICON 0x000000100u
#define SHGFI_DISPLAYNAME 0x000000200u
#define SHGFI_TYPENAME 0x000000400u
#define SHGFI_ATTRIBUTES 0x000000800u
#define SHGFI_ICONLOCATION 0x000001000u
#define SHGFI_USEFILEATTRIBUTES 0x000000010u

// Only calls with SHGFI_USEFILEATTRIBUTES are known here: the path need not
// exist, its name and the given attributes decide. The extension of a file
// is its name from the last "." on.
// - SHGFI_TYPENAME: a folder (FILE_ATTRIBUTE_DIRECTORY) is "File folder".
//   For a file HKEY_CLASSES_ROOT ".ext" names a class (its default value)
//   whose default value is the type name; without one the name is the
//   extension without its dot in upper case and " File" ("GZ File"), and
//   "File" for a name without an extension. The text is cut to 79
//   characters.
// - SHGFI_ICONLOCATION: szDisplayName and iIcon get the file and index of
//   the icon. A folder has the shell library's folder icon (its open icon
//   with SHGFI_OPENICON); a file the icon its class names under
//   "DefaultIcon" ("file,index", index 0 when the text has no comma), else
//   the shell library's document icon. A class whose icon is in each file
//   itself ("%1") gets the document icon too: no file is read.
// - SHGFI_ICON: hIcon gets a new icon of that location (the small one with
//   SHGFI_SMALLICON), which the caller destroys; iIcon its index. An icon
//   that cannot be taken out of the named file is the document icon, as
//   the system shows for a type whose icon file is gone.
// Returns 1; 0 for a null path or record, a record of another size, or
// other flags.
DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT info_size,
                         UINT flags);

// The shell library's own icons, by their index in "shell32.dll".
#define SHELL_ICON_DOCUMENT 0
#define SHELL_ICON_FOLDER 3
#define SHELL_ICON_OPEN_FOLDER 4

// Takes icons out of a file: here only the shell library ("shell32.dll",
// with or without a folder) holds icons, those above, at 32 and 16 pixels.
// With count 1, the icon at index into *large and *small (either may be
// null); new icons that the caller destroys. Returns the number of icons
// taken out of the file (each pair counts once): 0 for any other file or
// index; with index -1 and no icon pointers, the number of icons in the file.
UINT ExtractIconExW(LPCWSTR file, int index, HICON* large, HICON* small, UINT count);

// The folder as SHGetFolderPathW gives it, created first when create is
// set; FALSE when the stand-in has no such folder or it cannot be made.
BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int folder, BOOL create);

// The absolute item-id list of a shell object: the item that an object
// answering IPersistIDList names (a shell item), else the folder that one
// answering IPersistFolder2 names (GetCurFolder). E_INVALIDARG for null
// arguments, E_NOINTERFACE for an object that names none. The caller frees
// the list (ILFree). Exported under its own name, so that code which looks
// for it at run time in "shell32.dll" (win/library.h) finds it.
STDAPI SHGetIDListFromObject(IUnknown* object, PIDLIST_ABSOLUTE* list);
