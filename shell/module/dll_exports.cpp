// The shared object's module object and its four exports, the only symbols
// it makes visible (exports.map). Each export catches everything: nothing
// may cross into the host.
#include <new>

#include "folder/module/module.h"
#include "win/resources.h"

namespace {

CCalvimoraModule the_module;

// When the shared object is unloaded its embedded resources go with it.
struct resources_forgotten_at_unload {
    ~resources_forgotten_at_unload() { win_resources::forget_module(the_module.m_hInst); }
} forget_resources;

template <typename Call>
HRESULT guarded(Call call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace

#define CALVIMORA_EXPORT extern "C" __attribute__((visibility("default")))

CALVIMORA_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    return guarded([&] { return the_module.DllGetClassObject(clsid, iid, object); });
}

CALVIMORA_EXPORT HRESULT DllCanUnloadNow() {
    return the_module.DllCanUnloadNow();
}

CALVIMORA_EXPORT HRESULT DllRegisterServer() {
    return guarded([] { return the_module.DllRegisterServer(); });
}

CALVIMORA_EXPORT HRESULT DllUnregisterServer() {
    return guarded([] { return the_module.DllUnregisterServer(); });
}
