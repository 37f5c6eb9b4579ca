// Icons. A module's icon is a resource of type RT_GROUP_ICON filed under
// its id or name (win_resources::register_resource; the bytes may be a
// PNG picture of it, nothing reads them here); LoadIconW hands out a new
// handle to it each time, which DestroyIcon frees. The standard icons
// (IDI_*, with a null instance) are shared and never freed.
#pragma once

#include "win/user_types.h"

#define IDI_APPLICATION MAKEINTRESOURCEW(32512)
#define IDI_HAND MAKEINTRESOURCEW(32513)
#define IDI_QUESTION MAKEINTRESOURCEW(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEW(32515)
#define IDI_ASTERISK MAKEINTRESOURCEW(32516)
#define IDI_WINLOGO MAKEINTRESOURCEW(32517)
#define IDI_SHIELD MAKEINTRESOURCEW(32518)
#define IDI_ERROR IDI_HAND
#define IDI_WARNING IDI_EXCLAMATION
#define IDI_INFORMATION IDI_ASTERISK

#define ERROR_INVALID_ICON_HANDLE 1414L

// NULL with ERROR_RESOURCE_TYPE_NOT_FOUND or ERROR_RESOURCE_NAME_NOT_FOUND
// when the module has no such icon.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
// FALSE with ERROR_INVALID_ICON_HANDLE for a handle that is no live icon;
// TRUE (and nothing happens) for a standard icon.
BOOL DestroyIcon(HICON icon);

namespace win_icons {

// What an icon handle stands for: its resource id (or, for a standard
// icon, its IDI_* number); 0 for a named resource or a handle that is no
// live icon.
int resource_id(HICON icon);

// Icons loaded and not yet destroyed, in the whole process.
int live_icons();

}  // namespace win_icons
