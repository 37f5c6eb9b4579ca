// Type library registration as far as the registry sees it. A module
// describes its type library here instead of embedding the binary form;
// registration writes what the system writes for an in-process library:
//
//   HKCR\TypeLib\{libid}\<major>.<minor>            = help string
//       <lcid>\win32                                = the module's path
//       FLAGS                                       = "0"
//       HELPDIR                                     = the module's folder
//   HKCR\Interface\{iid}                            = interface name
//       ProxyStubClsid, ProxyStubClsid32            = the automation marshaller
//       TypeLib = "{libid}", value Version          = "<major>.<minor>"
//
// Version and locale are written in hexadecimal. Unregistration removes the
// version key and the interface keys, and the library's key when no other
// version is left. Failures: E_FAIL when the registry refuses a key or
// value (TYPE_E_REGISTRYACCESS is what the system answers; E_FAIL here as
// for the registrar), E_INVALIDARG for a path without a folder.
#pragma once

#include <string>
#include <vector>

#include "win/com.h"
#include "win/locale.h"

namespace win_atl {

// {00020424-0000-0000-C000-000000000046}
inline constexpr CLSID automation_marshaller{
    0x00020424, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct type_library_interface {
    std::wstring name;
    IID iid;
};

struct type_library {
    GUID libid;
    WORD major;
    WORD minor;
    LCID locale;
    std::wstring help_string;
    std::vector<type_library_interface> interfaces;
};

// module_path is the module's full path in the system's form.
HRESULT register_type_library(const type_library& library, const std::wstring& module_path);
HRESULT unregister_type_library(const type_library& library);

}  // namespace win_atl
