// What the COM files share among themselves.
#pragma once

#include <string>
#include <vector>

#include "win/com.h"

namespace win_com {

// Whether the calling thread has an initialisation not yet undone, and
// how many successful CoInitialize calls of it are not yet undone.
bool thread_initialized();
int thread_initialize_count();
// Whether that initialisation is apartment-threaded.
bool thread_apartment_threaded();

// A thread's single-threaded apartment ends with its last CoUninitialize.
// The apartments deliver calls through window messages, so they live in an
// area above COM, which gives their end here when the library loads; until
// then no thread has an apartment to end.
using apartment_end = void (*)();
void set_apartment_end(apartment_end end);

// The real paths of the in-process servers loaded now, in path order.
std::vector<std::string> loaded_server_paths();

// Blocks of the task allocator not yet freed, in the whole process.
long live_task_blocks();

// The text form of an identifier, without the terminator.
std::wstring guid_text(REFGUID guid);

// The classes built into the platform (the shell's progress dialog and the
// drag images' helper) live in areas above COM. The area that holds them
// gives CoCreateInstance their creator when the library loads; it answers
// REGDB_E_CLASSNOTREG for any other class, which then comes from the
// registry. Without a creator every class comes from the registry.
using system_object_creator = HRESULT (*)(REFCLSID clsid, REFIID iid, void** object);
void set_system_object_creator(system_object_creator creator);

}  // namespace win_com
