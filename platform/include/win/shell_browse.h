// The shell's folder browser (SHBrowseForFolderW) and the item-id lists of
// special folders and their file-system paths.
//
// The browser is a modal dialog owned by the caller's window. Here the
// folder tree is stood in for by one edit box, "Folder:", whose text is the
// tree's selection: a folder is selected while the text names one, that
// is an existing local folder given by its absolute path, or a network
// share given by its UNC name ("\\server\share", for which the stand-in
// machine has no network to ask). The dialog is answered as every modal
// dialog is (win/user_dialog.h): a test's script types a path and presses
// OK or Cancel, a person types one on the terminal, and nobody at all
// leaves it as it opened (OK, when a folder is selected then).
#pragma once

#include "win/base.h"
#include "win/shell_idlist.h"
#include "win/user_messages.h"
#include "win/user_types.h"

typedef int(CALLBACK* BFFCALLBACK)(HWND browser, UINT message, LPARAM lparam, LPARAM data);

typedef struct _browseinfoW {
    HWND hwndOwner;
    PCIDLIST_ABSOLUTE pidlRoot;  // null: the desktop
    LPWSTR pszDisplayName;       // MAX_PATH characters, or null
    LPCWSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
} BROWSEINFOW, *LPBROWSEINFOW;

#define BIF_RETURNONLYFSDIRS 0x00000001u
#define BIF_DONTGOBELOWDOMAIN 0x00000002u
#define BIF_STATUSTEXT 0x00000004u
#define BIF_RETURNFSANCESTORS 0x00000008u
#define BIF_EDITBOX 0x00000010u
#define BIF_VALIDATE 0x00000020u
#define BIF_NEWDIALOGSTYLE 0x00000040u
#define BIF_USENEWUI (BIF_NEWDIALOGSTYLE | BIF_EDITBOX)
#define BIF_BROWSEINCLUDEURLS 0x00000080u
#define BIF_UAHINT 0x00000100u
#define BIF_NONEWFOLDERBUTTON 0x00000200u
#define BIF_NOTRANSLATETARGETS 0x00000400u
#define BIF_BROWSEFORCOMPUTER 0x00001000u
#define BIF_BROWSEFORPRINTER 0x00002000u
#define BIF_BROWSEINCLUDEFILES 0x00004000u
#define BIF_SHAREABLE 0x00008000u

// What the browser tells its callback.
#define BFFM_INITIALIZED 1  // the dialog is up; lparam 0
#define BFFM_SELCHANGED 2   // lparam: the new selection's absolute list
#define BFFM_VALIDATEFAILEDA 3
#define BFFM_VALIDATEFAILEDW 4  // lparam: the text; return 0 to end, else stay
#define BFFM_IUNKNOWN 5

// What the callback may send the browser.
#define BFFM_ENABLEOK (WM_USER + 101)        // lparam: enable
#define BFFM_SETSELECTIONW (WM_USER + 103)   // wparam TRUE: lparam a path; FALSE: a list
#define BFFM_SETSTATUSTEXTW (WM_USER + 104)  // lparam: the text (BIF_STATUSTEXT)
#define BFFM_SETOKTEXT (WM_USER + 105)       // lparam: the OK button's text
#define BFFM_SETEXPANDED (WM_USER + 106)

// The control ids of the browser's dialog.
#define IDC_BROWSE_FOLDER_EDIT 0x3744
#define IDC_BROWSE_STATUS 0x3743
#define IDC_BROWSE_TITLE 0x3742

// Runs the browser modally. The chosen folder's absolute list
// (task-allocated, the caller frees it with ILFree), its name in
// pszDisplayName; null for Cancel. With BIF_NEWDIALOGSTYLE the calling
// thread must have entered COM apartment-threaded, as on Windows: null
// otherwise, with nothing shown. A root that is a local folder limits the
// selection to folders inside it (itself included). The callback hears
// BFFM_INITIALIZED once the dialog is up and BFFM_SELCHANGED at each
// change of the selection; OK is enabled while a folder is selected (or as
// BFFM_ENABLEOK last set it).
PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW info);

// The absolute list of a special folder: CSIDL_DESKTOP (the empty list),
// CSIDL_DRIVES ("Computer"), CSIDL_PERSONAL and CSIDL_LOCAL_APPDATA (their
// local folders, see win/shell.h). E_INVALIDARG for a null out pointer or a
// folder the stand-in does not have; the caller frees the list (ILFree).
HRESULT SHGetFolderLocation(HWND owner, int folder, HANDLE token, DWORD reserved,
                            PIDLIST_ABSOLUTE* list);

// The file-system path of a list that names a local file or folder or a
// network share, into path (MAX_PATH characters); FALSE (path empty) for
// any other list, such as "Computer" or an item of a namespace junction.
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path);
