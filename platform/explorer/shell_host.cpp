#include "shell_host.h"

#include <dlfcn.h>

#include "kernel/wide_text.h"
#include "win/library.h"

namespace shell_host {

namespace {

HRESULT call_export(const std::wstring& module_path, const char* name) {
    std::string native = win_detail::to_utf8(module_path);
    for (char& c : native)
        if (c == '\\') c = '/';
    void* module = dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    using entry = HRESULT (*)();
    const auto function = reinterpret_cast<entry>(dlsym(module, name));
    const HRESULT result = function ? function() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    dlclose(module);
    return result;
}

}  // namespace

HRESULT register_server(const std::wstring& module_path) {
    com_apartment apartment;
    return call_export(module_path, "DllRegisterServer");
}

HRESULT unregister_server(const std::wstring& module_path) {
    com_apartment apartment;
    return call_export(module_path, "DllUnregisterServer");
}

com_apartment::com_apartment() : status_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

com_apartment::~com_apartment() {
    if (SUCCEEDED(status_)) CoUninitialize();
}

HRESULT create_instance(REFCLSID clsid, REFIID iid, void** object) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

void unload_unused_servers() {
    CoFreeUnusedLibraries();
}

}  // namespace shell_host
