// Resources of modules: bytes filed under (module, type, name), as a
// program's image holds them. Programs and modules register their embedded
// data at start-up (win_resources::register_resource); code then finds it
// with the system's calls. Types and names are integer ids
// (MAKEINTRESOURCEW) or strings, compared without regard to case.
#pragma once

#include <cstddef>

#include "win/base.h"
#include "win/global_memory.h"

typedef struct resource_tag* HRSRC;

#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)

#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)

#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L

// A null module is the executable. NULL with ERROR_RESOURCE_TYPE_NOT_FOUND
// when the module has nothing of that type, ERROR_RESOURCE_NAME_NOT_FOUND
// when it has the type but not the name.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
// The resource's data as a handle that LockResource turns into its address;
// neither needs undoing.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

namespace win_resources {

// Files the bytes under (module, type, name); a null module is the
// executable. The bytes are not copied: they must live as long as the
// process (static data, as resources live in a module's image). Registering
// a key again replaces its bytes. False for a null type or name, an empty
// string name, or null bytes with a non-zero size.
bool register_resource(HMODULE module, LPCWSTR type, LPCWSTR name, const void* bytes, size_t size);

// Forgets every resource of the module, for a shared object that is being
// unloaded (its bytes go with it).
void forget_module(HMODULE module);

}  // namespace win_resources
