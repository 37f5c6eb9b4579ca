// The shell host: what Explorer does with a shell extension, here. It
// registers an extension module as the system's registration tool does
// (load it, call its DllRegisterServer or DllUnregisterServer, unload it),
// creates the extension's classes only through COM, as Explorer does after
// reading the registration, and lets COM unload the modules it no longer
// uses. It grows into the browser of the virtual folder.
#pragma once

#include <string>

#include "win/com.h"

namespace shell_host {

// Failures: HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) for a module that does
// not load, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) for one without the
// export, else what the export answers. The path may be native or in the
// system's form.
HRESULT register_server(const std::wstring& module_path);
HRESULT unregister_server(const std::wstring& module_path);

// COM for the calling thread while the object lives.
class com_apartment {
public:
    com_apartment();
    ~com_apartment();
    com_apartment(const com_apartment&) = delete;
    com_apartment& operator=(const com_apartment&) = delete;
    HRESULT status() const { return status_; }

private:
    HRESULT status_;
};

// An object of a registered class, through CoCreateInstance.
HRESULT create_instance(REFCLSID clsid, REFIID iid, void** object);

// Unloads the in-process servers that answer they can go.
void unload_unused_servers();

}  // namespace shell_host
