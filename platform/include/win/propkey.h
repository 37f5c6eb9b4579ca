// Property keys: a format identifier and a property number. The shell's
// folders name their columns by them (SHCOLUMNID) and hand out typed values
// by them (IShellFolder2::GetDetailsEx).
#pragma once

#include "win/guid.h"

typedef struct _tagpropertykey {
    GUID fmtid;
    DWORD pid;
} PROPERTYKEY;
typedef PROPERTYKEY SHCOLUMNID;
typedef const PROPERTYKEY& REFPROPERTYKEY;

inline bool operator==(const PROPERTYKEY& a, const PROPERTYKEY& b) {
    return a.fmtid == b.fmtid && a.pid == b.pid;
}

// {B725F130-47EF-101A-A5F1-02608C9EEBAC}: the properties of stored items.
inline constexpr GUID FMTID_Storage{
    0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}};
// {28636AA6-953D-11D2-B5D6-00C04FD918D0}: the shell's own item properties.
inline constexpr GUID FMTID_ShellDetails{
    0x28636AA6, 0x953D, 0x11D2, {0xB5, 0xD6, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};
// {C554493C-C1F7-40C1-A76C-EF8C0614003E}: lists of properties for the panes.
inline constexpr GUID FMTID_PropList{
    0xC554493C, 0xC1F7, 0x40C1, {0xA7, 0x6C, 0xEF, 0x8C, 0x06, 0x14, 0x00, 0x3E}};

inline constexpr PROPERTYKEY PKEY_ItemTypeText{FMTID_Storage, 4};
inline constexpr PROPERTYKEY PKEY_ItemNameDisplay{FMTID_Storage, 10};
inline constexpr PROPERTYKEY PKEY_Size{FMTID_Storage, 12};
inline constexpr PROPERTYKEY PKEY_DateModified{FMTID_Storage, 14};
inline constexpr PROPERTYKEY PKEY_DateCreated{FMTID_Storage, 15};
inline constexpr PROPERTYKEY PKEY_DateAccessed{FMTID_Storage, 16};
inline constexpr PROPERTYKEY PKEY_ItemType{FMTID_ShellDetails, 11};
inline constexpr PROPERTYKEY PKEY_PropList_PreviewTitle{FMTID_PropList, 6};
inline constexpr PROPERTYKEY PKEY_PropList_PreviewDetails{FMTID_PropList, 8};
