// calvimora_explorer: the shell host as a program.
//
//   calvimora_explorer register <module>     registers a shell extension
//   calvimora_explorer unregister <module>   removes its registration
//   calvimora_explorer create <{clsid}>      creates a registered class
//   calvimora_explorer browse <{clsid}>      browses a namespace junction on
//                                            the terminal (commands: help)
//
// The first three print the HRESULT and exit with 0 when it succeeded.
#include <cstdio>
#include <cstring>
#include <string>

#include <iostream>

#include "kernel/wide_text.h"
#include "shell_host.h"
#include "terminal_browser.h"
#include "win/com.h"

namespace {

// What a failed call means, in a sentence; empty when there is nothing to
// add to its code.
const char* meaning_of(HRESULT result) {
    switch (result) {
        case REGDB_E_CLASSNOTREG:
            return "no module is registered for that class on this machine (register one first: "
                   "calvimora_explorer register MODULE)";
        case CLASS_E_CLASSNOTAVAILABLE:
            return "the registered module does not make objects of that class";
        case CO_E_DLLNOTFOUND:
            return "the module registered for that class cannot be loaded";
        case E_NOINTERFACE:
            return "the object does not offer what was asked of it";
        default:
            return "";
    }
}

int report(const char* what, HRESULT result) {
    const std::string meaning = meaning_of(result);
    if (SUCCEEDED(result) || meaning.empty())
        std::printf("%s: 0x%08X\n", what, static_cast<unsigned>(result));
    else
        std::printf("%s failed: %s (0x%08X)\n", what, meaning.c_str(),
                    static_cast<unsigned>(result));
    return SUCCEEDED(result) ? 0 : 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: calvimora_explorer register <module> | unregister <module> | "
                 "create <{clsid}> | browse <{clsid}>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return usage();
    const std::wstring argument = win_detail::from_utf8(argv[2]);
    if (std::strcmp(argv[1], "register") == 0)
        return report("DllRegisterServer", shell_host::register_server(argument));
    if (std::strcmp(argv[1], "unregister") == 0)
        return report("DllUnregisterServer", shell_host::unregister_server(argument));
    if (std::strcmp(argv[1], "create") == 0) {
        CLSID clsid{};
        if (FAILED(CLSIDFromString(argument.c_str(), &clsid))) return usage();
        shell_host::com_apartment apartment;
        IUnknown* object = nullptr;
        const HRESULT result =
            shell_host::create_instance(clsid, IID_IUnknown, reinterpret_cast<void**>(&object));
        if (object) object->Release();
        shell_host::unload_unused_servers();
        return report("CoCreateInstance", result);
    }
    if (std::strcmp(argv[1], "browse") == 0) {
        CLSID clsid{};
        if (FAILED(CLSIDFromString(argument.c_str(), &clsid))) return usage();
        shell_host::com_apartment apartment;
        const int status = shell_host::run_terminal_browser(clsid, std::cin, std::cout);
        shell_host::unload_unused_servers();
        return status;
    }
    return usage();
}
