// Context menus of shell items: the interface Explorer drives, and the
// shell's default menu for a folder's items, which a folder fills through a
// callback (its own commands merged in, its own handling of them and of the
// shell's delete and properties).
#pragma once

#include "win/data_object.h"
#include "win/registry.h"
#include "win/resources.h"
#include "win/shell_folder.h"
#include "win/user_menu.h"
#include "win/user_types.h"

// {000214E4-0000-0000-C000-000000000046}
inline constexpr IID IID_IContextMenu{0x000214E4, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// Interfaces that folders hand out for items, named here for their
// identifiers: thumbnails, icons and the command bar.
// {BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}
inline constexpr IID IID_IExtractImage{
    0xBB2E617C, 0x0920, 0x11D1, {0x9A, 0x0B, 0x00, 0xC0, 0x4F, 0xC2, 0xD6, 0xC1}};
// {000214FA-0000-0000-C000-000000000046}
inline constexpr IID IID_IExtractIconW{0x000214FA, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {64961751-0835-43C0-8FFE-D57686530E64}
inline constexpr IID IID_IExplorerCommandProvider{
    0x64961751, 0x0835, 0x43C0, {0x8F, 0xFE, 0xD5, 0x76, 0x86, 0x53, 0x0E, 0x64}};

#define CMF_NORMAL 0x00000000u
#define CMF_DEFAULTONLY 0x00000001u
#define CMF_VERBSONLY 0x00000002u
#define CMF_EXPLORE 0x00000004u
#define CMF_NOVERBS 0x00000008u
#define CMF_CANRENAME 0x00000010u
#define CMF_EXTENDEDVERBS 0x00000100u

#define GCS_VERBA 0x00000000u
#define GCS_HELPTEXTA 0x00000001u
#define GCS_VERBW 0x00000004u
#define GCS_HELPTEXTW 0x00000005u

// A command given by its offset from the menu's first id (IS_INTRESOURCE),
// or by its verb.
#define MAKEINTRESOURCEA(offset) ((LPCSTR)(ULONG_PTR)(WORD)(offset))

typedef struct _CMINVOKECOMMANDINFO {
    DWORD cbSize;
    DWORD fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    DWORD dwHotKey;
    HANDLE hIcon;
} CMINVOKECOMMANDINFO, *LPCMINVOKECOMMANDINFO;

struct IContextMenu : IUnknown {
    // Adds the commands at position index with ids from first to last;
    // succeeds with the count of ids used (highest used - first + 1) as its
    // code.
    virtual HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT index, UINT first,
                                                       UINT last, UINT flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE InvokeCommand(LPCMINVOKECOMMANDINFO info) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR command, UINT type, UINT* reserved,
                                                       LPSTR name, UINT size) = 0;
};
WIN_COM_INTERFACE_TRAITS(IContextMenu, IUnknown, IID_IContextMenu);

// ---- The default folder menu --------------------------------------------------
// Where the callback merges its commands: the menu, the position, the first
// free id (which the callback raises past the ids it used) and the last id.
typedef struct _QCMINFO {
    HMENU hmenu;
    UINT indexMenu;
    UINT idCmdFirst;
    UINT idCmdLast;
    const void* pIdMap;
} QCMINFO, *LPQCMINFO;

#define DFM_MERGECONTEXTMENU 1u
#define DFM_INVOKECOMMAND 2u
// The shell's own commands, as DFM_INVOKECOMMAND passes them.
#define DFM_CMD_DELETE ((UINT_PTR)-1)
#define DFM_CMD_PROPERTIES ((UINT_PTR)-5)

typedef HRESULT(CALLBACK* LPFNDFMCALLBACK)(IShellFolder* folder, HWND owner, IDataObject* data,
                                           UINT message, WPARAM wparam, LPARAM lparam);

#define MAKE_HRESULT(severity, facility, code) \
    ((HRESULT)(((ULONG)(severity) << 31) | ((ULONG)(facility) << 16) | ((ULONG)(code))))

// The default menu of the items of a folder. QueryContextMenu asks the
// folder for the items' data object (GetUIObjectOf with IID_IDataObject),
// lets the callback merge (DFM_MERGECONTEXTMENU with the flags and a
// QCMINFO) and, unless CMF_DEFAULTONLY, appends the shell's own commands
// after a separator: "Cut", "Copy", a separator, "Delete", a separator and
// "Properties" (verbs "cut", "copy", "delete", "properties").
// InvokeCommand of one of the callback's ids passes its offset with
// DFM_INVOKECOMMAND; "delete" and "properties" pass DFM_CMD_DELETE and
// DFM_CMD_PROPERTIES, and when the callback answers S_FALSE the shell's
// default, which has nothing to do for items that are no files, is taken.
// "cut" and "copy" put the data object on the clipboard with its
// "Preferred DropEffect" set to DROPEFFECT_MOVE or DROPEFFECT_COPY.
// E_INVALIDARG for a null out pointer or a null folder.
HRESULT CDefFolderMenu_Create2(PCIDLIST_ABSOLUTE folder_list, HWND owner, UINT count,
                               PCUITEMID_CHILD_ARRAY items, IShellFolder* folder,
                               LPFNDFMCALLBACK callback, UINT key_count, const HKEY* keys,
                               IContextMenu** menu);
