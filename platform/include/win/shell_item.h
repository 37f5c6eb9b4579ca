// Shell items: one item of the namespace, and the array of the items a
// command was invoked on (the selection of a folder view). The stand-in
// makes them over a folder's item ids (SHCreateShellItemArray,
// win/shell_command.h).
#pragma once

#include "win/com.h"
#include "win/propkey.h"
#include "win/shell_folder.h"

struct IBindCtx;

typedef enum _SIGDN : int {
    SIGDN_NORMALDISPLAY = 0,
    SIGDN_PARENTRELATIVEPARSING = static_cast<int>(0x80018001u),
    SIGDN_DESKTOPABSOLUTEPARSING = static_cast<int>(0x80028000u),
    SIGDN_PARENTRELATIVEEDITING = static_cast<int>(0x80031001u),
    SIGDN_DESKTOPABSOLUTEEDITING = static_cast<int>(0x8004C000u),
    SIGDN_FILESYSPATH = static_cast<int>(0x80058000u),
    SIGDN_URL = static_cast<int>(0x80068000u),
    SIGDN_PARENTRELATIVEFORADDRESSBAR = static_cast<int>(0x8007C001u),
    SIGDN_PARENTRELATIVE = static_cast<int>(0x80080001u),
} SIGDN;

typedef DWORD SICHINTF;

typedef enum SIATTRIBFLAGS {
    SIATTRIBFLAGS_AND = 0x1,
    SIATTRIBFLAGS_OR = 0x2,
    SIATTRIBFLAGS_APPCOMPAT = 0x3,
} SIATTRIBFLAGS;

typedef int GETPROPERTYSTOREFLAGS;

// {43826D1E-E718-42EE-BC55-A1E261C37BFE}
inline constexpr IID IID_IShellItem{
    0x43826D1E, 0xE718, 0x42EE, {0xBC, 0x55, 0xA1, 0xE2, 0x61, 0xC3, 0x7B, 0xFE}};
// {B63EA76D-1F85-456F-A19C-48159EFA858B}
inline constexpr IID IID_IShellItemArray{
    0xB63EA76D, 0x1F85, 0x456F, {0xA1, 0x9C, 0x48, 0x15, 0x9E, 0xFA, 0x85, 0x8B}};

struct IShellItem : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx* context, REFGUID handler, REFIID iid,
                                                    void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParent(IShellItem** parent) = 0;
    // The name, task-allocated.
    virtual HRESULT STDMETHODCALLTYPE GetDisplayName(SIGDN form, LPWSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributes(SFGAOF mask, SFGAOF* attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE Compare(IShellItem* other, SICHINTF hint, int* order) = 0;
};
WIN_COM_INTERFACE_TRAITS(IShellItem, IUnknown, IID_IShellItem);

struct IEnumShellItems;

struct IShellItemArray : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx* context, REFGUID handler, REFIID iid,
                                                    void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyStore(GETPROPERTYSTOREFLAGS flags, REFIID iid,
                                                       void** store) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyDescriptionList(REFPROPERTYKEY type, REFIID iid,
                                                                 void** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributes(SIATTRIBFLAGS how, SFGAOF mask,
                                                    SFGAOF* attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemAt(DWORD index, IShellItem** item) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumItems(IEnumShellItems** items) = 0;
};
WIN_COM_INTERFACE_TRAITS(IShellItemArray, IUnknown, IID_IShellItemArray);
