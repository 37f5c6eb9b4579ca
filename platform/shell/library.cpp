// The system's shell library as a module loaded at run time: this library,
// with a table of its exports.
#include "win/library.h"

#include <cstring>
#include <cwctype>
#include <mutex>
#include <set>
#include <string>

#include "system_objects.h"
#include "win/process.h"
#include "win/shell_info.h"

namespace {

struct library_state {
    std::mutex lock;
    std::set<std::string> hidden_exports;
};

library_state& state() {
    static auto* s = new library_state;  // used until the process ends
    return *s;
}

HMODULE shell_module() {
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&shell_module), &self);
    return self;
}

FARPROC shell_export(const char* name) {
    if (std::strcmp(name, "SHGetIDListFromObject") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&SHGetIDListFromObject));
    return nullptr;
}

}  // namespace

bool win_shell::names_shell_library(const std::wstring& name) {
    const size_t slash = name.find_last_of(L"\\/");
    std::wstring file = slash == std::wstring::npos ? name : name.substr(slash + 1);
    for (wchar_t& c : file) c = static_cast<wchar_t>(std::towlower(c));
    return file == L"shell32.dll" || file == L"shell32";
}

HMODULE LoadLibraryW(LPCWSTR name) {
    if (!name || !win_shell::names_shell_library(name)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return shell_module();
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    if (!module || !name || module != shell_module()) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    library_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const FARPROC found = s.hidden_exports.count(name) ? nullptr : shell_export(name);
    if (!found) SetLastError(ERROR_PROC_NOT_FOUND);
    return found;
}

BOOL FreeLibrary(HMODULE module) {
    if (module && module == shell_module()) return TRUE;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
}

namespace win_test {

void hide_shell_export(const char* name, bool hidden) {
    library_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (hidden)
        s.hidden_exports.insert(name);
    else
        s.hidden_exports.erase(name);
}

}  // namespace win_test
