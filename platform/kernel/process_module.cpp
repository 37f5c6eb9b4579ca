// Modules: the executable and the shared objects loaded into the process. A
// module handle is the address at which the module's image starts, as the
// dynamic linker reports it.

#include <dlfcn.h>
#include <sys/auxv.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "wide_text.h"
#include "win/process.h"

namespace {

HMODULE module_containing(const void* address) {
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fbase) return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

// The executable's program headers lie inside its image.
HMODULE executable_module() {
    return module_containing(reinterpret_cast<const void*>(getauxval(AT_PHDR)));
}

std::optional<std::string> module_path(HMODULE module) {
    if (!module || module == executable_module()) {
        std::error_code error;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
        if (error) return std::nullopt;
        return self.string();
    }
    Dl_info info{};
    if (dladdr(module, &info) == 0 || info.dli_fbase != module || !info.dli_fname)
        return std::nullopt;
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved)) return std::string(resolved);
    return std::string(info.dli_fname);
}

}  // namespace

HMODULE GetModuleHandleW(LPCWSTR module_name) {
    if (module_name) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return executable_module();
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR module_name, HMODULE* module) {
    if (!module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *module = flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS ? module_containing(module_name)
                                                             : GetModuleHandleW(module_name);
    if (!*module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR file_name, DWORD size) {
    if (!file_name && size != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::optional<std::string> native = module_path(module);
    if (!native) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::wstring path = win_detail::from_utf8(*native);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        path.copy(file_name, size - 1);
        file_name[size - 1] = L'\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    path.copy(file_name, path.size());
    file_name[path.size()] = L'\0';
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}
