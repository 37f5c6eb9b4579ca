// The command bar of a folder window: the commands a folder offers above its
// view (each with a title, icon, tool tip, state for the selection, flags and
// perhaps a drop-down of sub-commands), the enumerator of them and the
// provider the folder hands out for them. Commands receive the selection as
// a shell item array, which SHCreateShellItemArray makes over a folder's
// item ids.
#pragma once

#include "win/com.h"
#include "win/persist.h"
#include "win/shell_folder.h"
#include "win/shell_item.h"
#include "win/shell_menu.h"

struct IBindCtx;

// {A08CE4D0-FA25-44AB-B57C-C7B1C323E0B9}
inline constexpr IID IID_IExplorerCommand{
    0xA08CE4D0, 0xFA25, 0x44AB, {0xB5, 0x7C, 0xC7, 0xB1, 0xC3, 0x23, 0xE0, 0xB9}};
// {A88826F8-186F-4987-AADE-EA0CEF8FBFE8}
inline constexpr IID IID_IEnumExplorerCommand{
    0xA88826F8, 0x186F, 0x4987, {0xAA, 0xDE, 0xEA, 0x0C, 0xEF, 0x8F, 0xBF, 0xE8}};
// {1079ACFC-29BD-11D3-8E0D-00C04F6837D5}
inline constexpr IID IID_IPersistIDList{
    0x1079ACFC, 0x29BD, 0x11D3, {0x8E, 0x0D, 0x00, 0xC0, 0x4F, 0x68, 0x37, 0xD5}};

// Handlers an item or an item array binds to (BindToHandler).
// {B8C0BD9F-ED24-455C-83E6-D5390C4FE8C4}: the items' data object.
inline constexpr GUID BHID_DataObject{
    0xB8C0BD9F, 0xED24, 0x455C, {0x83, 0xE6, 0xD5, 0x39, 0x0C, 0x4F, 0xE8, 0xC4}};
// {3981E224-F559-11D3-8E3A-00C04F6837D5}: the item bound as a folder.
inline constexpr GUID BHID_SFObject{
    0x3981E224, 0xF559, 0x11D3, {0x8E, 0x3A, 0x00, 0xC0, 0x4F, 0x68, 0x37, 0xD5}};

// A handler the item has none of.
#define MK_E_NOOBJECT ((HRESULT)0x800401E5L)

typedef DWORD EXPCMDSTATE;
#define ECS_ENABLED 0x00u
#define ECS_DISABLED 0x01u
#define ECS_HIDDEN 0x02u
#define ECS_CHECKBOX 0x04u
#define ECS_CHECKED 0x08u
#define ECS_RADIOCHECK 0x10u

typedef DWORD EXPCMDFLAGS;
#define ECF_DEFAULT 0x000u
#define ECF_HASSUBCOMMANDS 0x001u
#define ECF_HASSPLITBUTTON 0x002u
#define ECF_HIDELABEL 0x004u
#define ECF_ISSEPARATOR 0x008u
#define ECF_HASLUASHIELD 0x010u

struct IEnumExplorerCommand;

// One command of the bar. Texts are task-allocated; the caller frees them.
// The item array is null when nothing is selected.
struct IExplorerCommand : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTitle(IShellItemArray* items, LPWSTR* title) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIcon(IShellItemArray* items, LPWSTR* icon) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetToolTip(IShellItemArray* items, LPWSTR* tip) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCanonicalName(GUID* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL slow_ok,
                                               EXPCMDSTATE* state) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* context) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFlags(EXPCMDFLAGS* flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumSubCommands(IEnumExplorerCommand** commands) = 0;
};
WIN_COM_INTERFACE_TRAITS(IExplorerCommand, IUnknown, IID_IExplorerCommand);

struct IEnumExplorerCommand : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, IExplorerCommand** commands,
                                           ULONG* fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumExplorerCommand** copy) = 0;
};
WIN_COM_INTERFACE_TRAITS(IEnumExplorerCommand, IUnknown, IID_IEnumExplorerCommand);

struct IExplorerCommandProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCommands(IUnknown* site, REFIID iid, void** commands) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCommand(REFGUID name, REFIID iid, void** command) = 0;
};
WIN_COM_INTERFACE_TRAITS(IExplorerCommandProvider, IUnknown, IID_IExplorerCommandProvider);

// An object that names an item by its absolute item-id list.
struct IPersistIDList : IPersist {
    virtual HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE list) = 0;
    // A copy the caller frees (ILFree).
    virtual HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* list) = 0;
};
WIN_COM_INTERFACE_TRAITS(IPersistIDList, IPersist, IID_IPersistIDList);

// An array of the folder's items, given by their ids relative to it (the
// folder's own absolute list names the parent; with no folder object the
// parent is bound from the desktop). Every item answers IShellItem and
// IPersistIDList. The array binds BHID_DataObject to the folder's data
// object of all its items (GetUIObjectOf); an item binds BHID_DataObject to
// its own and BHID_SFObject to itself as a folder (BindToObject); any other
// handler is MK_E_NOOBJECT. GetAttributes gives the asked attributes the
// folder reports, S_FALSE when not all of them are set. E_INVALIDARG for no
// items, a null id or a null out pointer.
HRESULT SHCreateShellItemArray(PCIDLIST_ABSOLUTE parent, IShellFolder* folder, UINT count,
                               PCUITEMID_CHILD_ARRAY items, IShellItemArray** array);
