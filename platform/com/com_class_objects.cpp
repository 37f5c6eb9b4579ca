// Class objects of in-process servers: the server's path from the registry,
// the server loaded once per process, its DllGetClassObject asked, and
// servers that say they can go unloaded again.
#include <dlfcn.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "com_internal.h"
#include "kernel/wide_text.h"
#include "win/registry.h"

namespace {

using get_class_object_function = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using can_unload_function = HRESULT (*)();

struct server_module {
    std::string path;
    void* library = nullptr;
    get_class_object_function get_class_object = nullptr;
    can_unload_function can_unload = nullptr;
    // Calls of DllGetClassObject begun, and those not yet returned: a server
    // asked meanwhile may not yet count the object it is handing out.
    unsigned long long calls_begun = 0;
    int calls_running = 0;

    ~server_module() { dlclose(library); }
};

struct server_table {
    std::mutex lock;
    std::map<std::string, std::shared_ptr<server_module>> loaded;  // by real path
};

server_table& servers() {
    static auto* t = new server_table;  // used until the process ends
    return *t;
}

// The registered server path as a native path; nullopt when the class has
// no in-process server key.
std::optional<std::string> registered_server(REFCLSID clsid, bool* key_found) {
    *key_found = false;
    const std::wstring key_name = L"CLSID\\" + win_com::guid_text(clsid) + L"\\InprocServer32";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key_name.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    *key_found = true;
    DWORD type = 0, size = 0;
    std::wstring path;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && size >= sizeof(wchar_t)) {
        path.resize(size / sizeof(wchar_t));
        if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path.data()),
                             &size) != ERROR_SUCCESS)
            path.clear();
        path.resize(path.find(L'\0') == std::wstring::npos ? path.size() : path.find(L'\0'));
    }
    RegCloseKey(key);
    if (path.empty()) return std::nullopt;
    for (wchar_t& c : path)
        if (c == L'\\') c = L'/';
    return win_detail::to_utf8(path);
}

// The loaded server of that path, loading it first; null when it cannot be
// loaded or lacks DllGetClassObject. Called under the table's lock.
std::shared_ptr<server_module> load_locked(const std::string& path) {
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return nullptr;
    auto& slot = servers().loaded[resolved];
    if (slot) return slot;
    void* library = dlopen(resolved, RTLD_NOW | RTLD_LOCAL);
    auto get =
        library ? reinterpret_cast<get_class_object_function>(dlsym(library, "DllGetClassObject"))
                : nullptr;
    if (!get) {
        if (library) dlclose(library);
        servers().loaded.erase(resolved);
        return nullptr;
    }
    auto module = std::make_shared<server_module>();
    module->path = resolved;
    module->library = library;
    module->get_class_object = get;
    module->can_unload = reinterpret_cast<can_unload_function>(dlsym(library, "DllCanUnloadNow"));
    slot = module;
    return module;
}

// Set once, while the library loads; read by every CoCreateInstance.
std::atomic<win_com::system_object_creator>& system_objects() {
    static std::atomic<win_com::system_object_creator> creator{nullptr};
    return creator;
}

}  // namespace

void win_com::set_system_object_creator(system_object_creator creator) {
    system_objects().store(creator);
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID, REFIID iid, LPVOID* object) {
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    if (!win_com::thread_initialized()) return CO_E_NOTINITIALIZED;
    if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    bool key_found = false;
    const std::optional<std::string> path = registered_server(clsid, &key_found);
    if (!key_found) return REGDB_E_CLASSNOTREG;
    if (!path) return CO_E_DLLNOTFOUND;
    std::shared_ptr<server_module> module;
    {
        std::lock_guard<std::mutex> guard(servers().lock);
        module = load_locked(*path);
        if (!module) return CO_E_DLLNOTFOUND;
        ++module->calls_begun;
        ++module->calls_running;
    }
    const HRESULT result = module->get_class_object(clsid, iid, object);
    std::lock_guard<std::mutex> guard(servers().lock);
    --module->calls_running;
    if (FAILED(result)) *object = nullptr;
    return result;
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object) {
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    if (!win_com::thread_initialized()) return CO_E_NOTINITIALIZED;
    const win_com::system_object_creator create_system_object = system_objects().load();
    if (create_system_object && create_system_object(clsid, iid, object) != REGDB_E_CLASSNOTREG)
        return *object ? S_OK : E_NOINTERFACE;
    IClassFactory* factory = nullptr;
    HRESULT result = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory,
                                      reinterpret_cast<LPVOID*>(&factory));
    if (FAILED(result)) return result;
    result = factory->CreateInstance(outer, iid, object);
    factory->Release();
    if (FAILED(result)) *object = nullptr;
    return result;
}

void CoFreeUnusedLibraries() {
    struct candidate {
        std::shared_ptr<server_module> module;
        unsigned long long calls_begun;
    };
    std::vector<candidate> candidates;
    {
        std::lock_guard<std::mutex> guard(servers().lock);
        for (const auto& [path, module] : servers().loaded)
            if (module->can_unload && module->calls_running == 0)
                candidates.push_back({module, module->calls_begun});
    }
    // The servers' own code runs without the lock: it may use COM itself.
    std::vector<std::shared_ptr<server_module>> unloaded;
    for (const candidate& c : candidates) {
        if (c.module->can_unload() != S_OK) continue;
        std::lock_guard<std::mutex> guard(servers().lock);
        const auto found = servers().loaded.find(c.module->path);
        if (found == servers().loaded.end() || found->second != c.module ||
            c.module->calls_begun != c.calls_begun || c.module->calls_running != 0)
            continue;
        unloaded.push_back(found->second);
        servers().loaded.erase(found);
    }
    // The last references go here, outside the lock: the servers close.
}

std::vector<std::string> win_com::loaded_server_paths() {
    std::vector<std::string> out;
    std::lock_guard<std::mutex> guard(servers().lock);
    for (const auto& [path, module] : servers().loaded) out.push_back(path);
    return out;
}
