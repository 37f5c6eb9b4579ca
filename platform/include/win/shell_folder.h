// Shell folders: the interfaces of a namespace folder and its enumerator,
// and the desktop folder at the top of the namespace.
//
// The desktop folder here knows the Computer folder and the namespace
// junctions registered below it: it parses "::{Computer}" and
// "::{Computer}\::{clsid}" (anything after a junction is parsed by the
// junction), and binds to such a junction by creating its class through COM
// and initialising it with its absolute item-id list. Its item ids are the
// stand-in's own: 20 bytes each, a 16-bit size (20), a kind byte (0x1F for
// the Computer folder, 0x2E for a junction below it), a zero byte and the
// class id.
#pragma once

#include "win/com.h"
#include "win/persist.h"
#include "win/shell_idlist.h"
#include "win/user_types.h"

struct IBindCtx;
typedef IBindCtx* LPBC;

// {000214EA-0000-0000-C000-000000000046}
inline constexpr IID IID_IPersistFolder{0x000214EA, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {1AC3D9F0-175C-11D1-95BE-00609797EA4F}
inline constexpr IID IID_IPersistFolder2{
    0x1AC3D9F0, 0x175C, 0x11D1, {0x95, 0xBE, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x4F}};
// {000214E6-0000-0000-C000-000000000046}
inline constexpr IID IID_IShellFolder{0x000214E6, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {000214F2-0000-0000-C000-000000000046}
inline constexpr IID IID_IEnumIDList{0x000214F2, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {20D04FE0-3AEA-1069-A2D8-08002B30309D}: the Computer folder.
inline constexpr CLSID CLSID_MyComputer{
    0x20D04FE0, 0x3AEA, 0x1069, {0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D}};
// {00021400-0000-0000-C000-000000000046}: the desktop folder.
inline constexpr CLSID CLSID_ShellDesktop{
    0x00021400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IPersistFolder : IPersist {
    virtual HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE list) = 0;
};
WIN_COM_INTERFACE_TRAITS(IPersistFolder, IPersist, IID_IPersistFolder);

struct IPersistFolder2 : IPersistFolder {
    virtual HRESULT STDMETHODCALLTYPE GetCurFolder(PIDLIST_ABSOLUTE* list) = 0;
};
WIN_COM_INTERFACE_TRAITS(IPersistFolder2, IPersistFolder, IID_IPersistFolder2);

struct IEnumIDList : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, PITEMID_CHILD* lists, ULONG* fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumIDList** copy) = 0;
};
typedef IEnumIDList* LPENUMIDLIST;
WIN_COM_INTERFACE_TRAITS(IEnumIDList, IUnknown, IID_IEnumIDList);

// What EnumObjects lists.
#define SHCONTF_CHECKING_FOR_CHILDREN 0x00010u
#define SHCONTF_FOLDERS 0x00020u
#define SHCONTF_NONFOLDERS 0x00040u
#define SHCONTF_INCLUDEHIDDEN 0x00080u
#define SHCONTF_INIT_ON_FIRST_NEXT 0x00100u
#define SHCONTF_NETPRINTERSRCH 0x00200u
#define SHCONTF_SHAREABLE 0x00400u
#define SHCONTF_STORAGE 0x00800u
#define SHCONTF_NAVIGATION_ENUM 0x01000u
#define SHCONTF_FASTITEMS 0x02000u
#define SHCONTF_FLATLIST 0x04000u
#define SHCONTF_ENABLE_ASYNC 0x08000u
#define SHCONTF_INCLUDESUPERHIDDEN 0x10000u

// Attributes of items (GetAttributesOf, ParseDisplayName).
#define SFGAO_CANCOPY 0x00000001u
#define SFGAO_CANMOVE 0x00000002u
#define SFGAO_CANLINK 0x00000004u
#define SFGAO_STORAGE 0x00000008u
#define SFGAO_CANRENAME 0x00000010u
#define SFGAO_CANDELETE 0x00000020u
#define SFGAO_HASPROPSHEET 0x00000040u
#define SFGAO_DROPTARGET 0x00000100u
#define SFGAO_ENCRYPTED 0x00002000u
#define SFGAO_ISSLOW 0x00004000u
#define SFGAO_GHOSTED 0x00008000u
#define SFGAO_LINK 0x00010000u
#define SFGAO_SHARE 0x00020000u
#define SFGAO_READONLY 0x00040000u
#define SFGAO_HIDDEN 0x00080000u
#define SFGAO_FILESYSANCESTOR 0x10000000u
#define SFGAO_FOLDER 0x20000000u
#define SFGAO_FILESYSTEM 0x40000000u
#define SFGAO_HASSUBFOLDER 0x80000000u
#define SFGAO_CONTENTSMASK 0x80000000u
#define SFGAO_VALIDATE 0x01000000u
#define SFGAO_REMOVABLE 0x02000000u
#define SFGAO_COMPRESSED 0x04000000u
#define SFGAO_BROWSABLE 0x08000000u
#define SFGAO_NONENUMERATED 0x00100000u
#define SFGAO_NEWCONTENT 0x00200000u
#define SFGAO_STREAM 0x00400000u
#define SFGAO_STORAGEANCESTOR 0x00800000u
typedef ULONG SFGAOF;

// Display names (GetDisplayNameOf, SetNameOf).
#define SHGDN_NORMAL 0x0000u
#define SHGDN_INFOLDER 0x0001u
#define SHGDN_FOREDITING 0x1000u
#define SHGDN_FORADDRESSBAR 0x4000u
#define SHGDN_FORPARSING 0x8000u
typedef DWORD SHGDNF;

#define STRRET_WSTR 0x0000u
#define STRRET_OFFSET 0x0001u
#define STRRET_CSTR 0x0002u
typedef struct _STRRET {
    UINT uType;
    union {
        LPWSTR pOleStr;  // task-allocated
        UINT uOffset;
        char cStr[MAX_PATH];
    };
} STRRET;

struct IShellFolder : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND owner, LPBC context, LPWSTR name,
                                                       ULONG* eaten, PIDLIST_RELATIVE* list,
                                                       ULONG* attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumObjects(HWND owner, DWORD flags,
                                                  IEnumIDList** enumerator) = 0;
    virtual HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE list, LPBC context,
                                                   REFIID iid, void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE list, LPBC context,
                                                    REFIID iid, void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM column, PCUIDLIST_RELATIVE first,
                                                 PCUIDLIST_RELATIVE second) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateViewObject(HWND owner, REFIID iid, void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY lists,
                                                      SFGAOF* attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND owner, UINT count,
                                                    PCUITEMID_CHILD_ARRAY lists, REFIID iid,
                                                    UINT* reserved, void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD list, SHGDNF flags,
                                                       STRRET* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNameOf(HWND owner, PCUITEMID_CHILD list, LPCWSTR name,
                                                SHGDNF flags, PITEMID_CHILD* new_list) = 0;
};
typedef IShellFolder* LPSHELLFOLDER;
WIN_COM_INTERFACE_TRAITS(IShellFolder, IUnknown, IID_IShellFolder);

// A new reference to the desktop folder, each time a new object. Besides
// IUnknown it answers IShellFolder and IPersist. Of IShellFolder it does
// ParseDisplayName and BindToObject (see above) and answers E_NOTIMPL for
// the rest. Failures: E_INVALIDARG for a name that is not of the
// "::{clsid}" form and for a list that is not of its item ids,
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) for a class that is neither the
// Computer folder nor a junction registered below it, E_NOTIMPL for binding
// to the Computer folder itself (there is no such object here), else the
// failure of the junction's creation, of its Initialize or of its own
// parsing or binding. ParseDisplayName reports, of the attributes asked
// for, those registered under HKEY_CLASSES_ROOT "CLSID\{clsid}\ShellFolder"
// value "Attributes" for a junction, and folder, has-subfolders and
// file-system ancestor for the Computer folder.
HRESULT SHGetDesktopFolder(IShellFolder** folder);
// The desktop folder also takes local paths ("\dir\file", "/dir/file"): one
// of an existing file or folder parses (folder and file-system attributes),
// anything else fails with HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); a
// folder's list binds to a folder object of which ParseDisplayName (a name
// inside it; E_INVALIDARG for a name with a separator, the same failure for
// a missing one) and GetUIObjectOf (IID_IDataObject only: the items as
// dropped files, CF_HDROP, and their lists, "Shell IDList Array" with the
// folder's absolute list, both in global memory) work; binding a file's list
// gives E_INVALIDARG.
//
// The desktop's ParseDisplayName as a function: the absolute list of the
// name, and of the attributes asked for those that hold (0 on failure).
HRESULT SHParseDisplayName(LPCWSTR name, IBindCtx* context, PIDLIST_ABSOLUTE* list, SFGAOF asked,
                           SFGAOF* attributes);
// The task allocator (the same as CoGetMalloc's).
HRESULT SHGetMalloc(LPMALLOC* allocator);
