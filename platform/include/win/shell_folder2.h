// The richer side of a namespace folder: columns and typed details
// (IShellFolder2), the persistence of a folder that is told its bind context
// (IPersistFolder3), the sort flags of CompareIDs and the strings folders
// hand out in STRRET records.
#pragma once

#include "win/bind_context.h"
#include "win/oleauto.h"
#include "win/propkey.h"
#include "win/shell_folder.h"

// {93F2F68C-1D1B-11D3-A30E-00C04F79ABD1}
inline constexpr IID IID_IShellFolder2{
    0x93F2F68C, 0x1D1B, 0x11D3, {0xA3, 0x0E, 0x00, 0xC0, 0x4F, 0x79, 0xAB, 0xD1}};
// {0E700BE1-9DB6-11D1-A1CE-00C04FD75D13}
inline constexpr IID IID_IEnumExtraSearch{
    0x0E700BE1, 0x9DB6, 0x11D1, {0xA1, 0xCE, 0x00, 0xC0, 0x4F, 0xD7, 0x5D, 0x13}};
// {CEF04FDF-FE72-11D2-87A5-00C04F6837CF}
inline constexpr IID IID_IPersistFolder3{
    0xCEF04FDF, 0xFE72, 0x11D2, {0x87, 0xA5, 0x00, 0xC0, 0x4F, 0x68, 0x37, 0xCF}};

// The low 16 bits of lParam name the column; these flags sit above them.
#define SHCIDS_COLUMNMASK 0x0000FFFFu
#define SHCIDS_ALLFIELDS 0x80000000u
#define SHCIDS_CANONICALONLY 0x10000000u

// Column states.
#define SHCOLSTATE_TYPE_STR 0x00000001u
#define SHCOLSTATE_TYPE_INT 0x00000002u
#define SHCOLSTATE_TYPE_DATE 0x00000003u
#define SHCOLSTATE_TYPEMASK 0x0000000Fu
#define SHCOLSTATE_ONBYDEFAULT 0x00000010u
#define SHCOLSTATE_SLOW 0x00000020u
#define SHCOLSTATE_HIDDEN 0x00000100u
typedef DWORD SHCOLSTATEF;

// Column alignment (the list view's formats).
#define LVCFMT_LEFT 0x0000
#define LVCFMT_RIGHT 0x0001
#define LVCFMT_CENTER 0x0002

typedef struct _SHELLDETAILS {
    int fmt;     // alignment
    int cxChar;  // width in characters
    STRRET str;
} SHELLDETAILS;

struct EXTRASEARCH;
struct IEnumExtraSearch : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, EXTRASEARCH* items, ULONG* fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumExtraSearch** copy) = 0;
};
WIN_COM_INTERFACE_TRAITS(IEnumExtraSearch, IUnknown, IID_IEnumExtraSearch);

struct IShellFolder2 : IShellFolder {
    virtual HRESULT STDMETHODCALLTYPE GetDefaultSearchGUID(GUID* guid) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumSearches(IEnumExtraSearch** searches) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDefaultColumn(DWORD reserved, ULONG* sort,
                                                       ULONG* display) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDefaultColumnState(UINT column, SHCOLSTATEF* flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDetailsEx(PCUITEMID_CHILD list, const SHCOLUMNID* key,
                                                   VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDetailsOf(PCUITEMID_CHILD list, UINT column,
                                                   SHELLDETAILS* details) = 0;
    virtual HRESULT STDMETHODCALLTYPE MapColumnToSCID(UINT column, SHCOLUMNID* key) = 0;
};
WIN_COM_INTERFACE_TRAITS(IShellFolder2, IShellFolder, IID_IShellFolder2);

typedef struct {
    PIDLIST_ABSOLUTE pidlTargetFolder;
    WCHAR szTargetParsingName[MAX_PATH];
    WCHAR szNetworkProvider[MAX_PATH];
    DWORD dwAttributes;
    int csidl;
} PERSIST_FOLDER_TARGET_INFO;

struct IPersistFolder3 : IPersistFolder2 {
    virtual HRESULT STDMETHODCALLTYPE InitializeEx(IBindCtx* context, PCIDLIST_ABSOLUTE root,
                                                   const PERSIST_FOLDER_TARGET_INFO* target) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFolderTargetInfo(PERSIST_FOLDER_TARGET_INFO* target) = 0;
};
WIN_COM_INTERFACE_TRAITS(IPersistFolder3, IPersistFolder2, IID_IPersistFolder3);

// A task-allocated copy of the text (CoTaskMemFree); E_INVALIDARG for null
// arguments, E_OUTOFMEMORY with *copy null when memory is short.
HRESULT SHStrDupW(LPCWSTR text, LPWSTR* copy);

// The text of a STRRET as a new task-allocated string: STRRET_WSTR hands
// over its string (the record's string is freed, so the record no longer
// owns one), STRRET_CSTR converts its characters, STRRET_OFFSET reads the
// characters at that offset into the list's element. E_INVALIDARG for
// null arguments, an unknown type or an offset without a list.
HRESULT StrRetToStrW(STRRET* name, PCUITEMID_CHILD list, LPWSTR* text);
