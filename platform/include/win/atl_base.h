// Thin stand-ins of the COM classes of the shell extension's class library:
// the object root with its reference count, objects made from a class with
// an interface map, aggregated objects, the standard class factory, the
// coclass helper and the DLL module with its lock count and object map.
// Only what the extension uses.
//
// An object class derives from CComObjectRootEx and its interfaces and
// names them in its map:
//
//   class CThing : public CComObjectRootEx<CComSingleThreadModel>,
//                  public CComCoClass<CThing, &CLSID_Thing>,
//                  public IPersistFolder2 {
//   public:
//       using com_map = win_atl::com_map<IPersistFolder2>;
//       ...
//   };
//
// QueryInterface answers every interface of the map and each interface it
// derives from (here also IPersistFolder, IPersist and IUnknown); IUnknown
// is always the first interface's. CComObject<CThing> is the object itself:
// it counts references and locks the module while it lives.
#pragma once

#include <atomic>
#include <new>
#include <span>
#include <type_traits>

#include "win/atl_registrar.h"
#include "win/com.h"
#include "win/process.h"

namespace win_atl {

template <typename... Interfaces>
struct com_map {};

namespace detail {

// Answers iid when it is Current or one of its bases, as seen through
// Listed, the interface of the map that Current belongs to.
template <typename Listed, typename Current, typename T>
bool answer_as(T* self, REFIID iid, void** object) {
    if (iid == win_com::interface_traits<Current>::iid) {
        Current* answer = static_cast<Current*>(static_cast<Listed*>(self));
        answer->AddRef();
        *object = answer;
        return true;
    }
    using base = typename win_com::interface_traits<Current>::base;
    if constexpr (std::is_void_v<base>)
        return false;
    else
        return answer_as<Listed, base>(self, iid, object);
}

template <typename T, typename... Interfaces>
bool answer_from(T* self, com_map<Interfaces...>*, REFIID iid, void** object) {
    return (answer_as<Interfaces, Interfaces>(self, iid, object) || ...);
}

}  // namespace detail

// QueryInterface over T's map; the answer has a reference added.
template <typename T>
HRESULT query_interface(T* self, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return detail::answer_from(self, static_cast<typename T::com_map*>(nullptr), iid, object)
               ? S_OK
               : E_NOINTERFACE;
}

// One class that outside callers can create: its identifier, its
// registration function and its creation function (null for a class whose
// creation is not available yet: its factory answers
// CLASS_E_CLASSNOTAVAILABLE).
struct object_map_entry {
    const CLSID* clsid;
    HRESULT (*update_registry)(BOOL do_register);
    HRESULT (*create_instance)(IUnknown* outer, REFIID iid, void** object);
};

}  // namespace win_atl

// The module of a DLL: its lock count, which every live object and every
// server lock holds, and its object map. One module object per shared
// object; it makes itself the module that this shared object's objects
// lock (the pointer lives in the shared object itself).
// A replacement of a registry script: %key% becomes data. A map of them
// ends with an entry whose key is null.
struct _ATL_REGMAP_ENTRY {
    LPCOLESTR szKey;
    LPCOLESTR szData;
};

class CAtlModule {
public:
    // module is the shared object the scripts and the objects live in.
    explicit CAtlModule(HMODULE module = win_module::this_module());
    virtual ~CAtlModule();
    CAtlModule(const CAtlModule&) = delete;
    CAtlModule& operator=(const CAtlModule&) = delete;

    virtual LONG Lock() { return ++lock_count_; }
    virtual LONG Unlock() { return --lock_count_; }
    LONG GetLockCount() const { return lock_count_; }

    // The classes with a class factory, in map order.
    virtual std::span<const win_atl::object_map_entry> object_map() const = 0;

    // Replacements every script of the module gets besides %MODULE% (the
    // module's full path).
    virtual HRESULT AddCommonRGSReplacements(CRegObject&) { return S_OK; }

    // Runs the module's registry script (resource type "REGISTRY") for
    // registration or removal, with the module's replacements and those of
    // the map.
    HRESULT UpdateRegistryFromResource(UINT id, BOOL do_register,
                                       const _ATL_REGMAP_ENTRY* map = nullptr) {
        CRegObject registrar;
        wchar_t path[4 * MAX_PATH];
        const DWORD length = GetModuleFileNameW(m_hInst, path, 4 * MAX_PATH);
        if (length == 0 || length >= 4 * MAX_PATH) return E_FAIL;
        registrar.AddReplacement(L"MODULE", path);
        HRESULT result = AddCommonRGSReplacements(registrar);
        if (FAILED(result)) return result;
        for (; map && map->szKey; ++map) {
            result = registrar.AddReplacement(map->szKey, map->szData);
            if (FAILED(result)) return result;
        }
        return do_register ? registrar.ResourceRegister(m_hInst, id, L"REGISTRY")
                           : registrar.ResourceUnregister(m_hInst, id, L"REGISTRY");
    }

    HMODULE m_hInst;

private:
    std::atomic<LONG> lock_count_{0};
};

namespace win_atl {
// The module of the shared object (or program) that this code is built into.
inline CAtlModule* current_module = nullptr;
}  // namespace win_atl

inline CAtlModule::CAtlModule(HMODULE module) : m_hInst(module) {
    win_atl::current_module = this;
}

inline CAtlModule::~CAtlModule() {
    if (win_atl::current_module == this) win_atl::current_module = nullptr;
}

namespace win_atl {

inline void lock_module() {
    if (current_module) current_module->Lock();
}

inline void unlock_module() {
    if (current_module) current_module->Unlock();
}

}  // namespace win_atl

// Reference counts for objects used on one thread, and for objects shared
// between threads.
struct CComSingleThreadModel {
    static ULONG Increment(std::atomic<ULONG>& count) {
        return count.fetch_add(1, std::memory_order_relaxed) + 1;
    }
    static ULONG Decrement(std::atomic<ULONG>& count) {
        return count.fetch_sub(1, std::memory_order_relaxed) - 1;
    }
};
struct CComMultiThreadModel {
    static ULONG Increment(std::atomic<ULONG>& count) { return ++count; }
    static ULONG Decrement(std::atomic<ULONG>& count) { return --count; }
};

// The root of every object class: the reference count (or, in an aggregated
// object, the outer object all references go to), and the construction and
// release hooks.
template <typename ThreadModel>
class CComObjectRootEx {
public:
    using thread_model = ThreadModel;

    // Runs after construction, before the object is handed out; a failure
    // destroys the object and is returned to the creator.
    HRESULT FinalConstruct() { return S_OK; }
    // Runs just before destruction.
    void FinalRelease() {}

    ULONG InternalAddRef() { return ThreadModel::Increment(m_dwRef); }
    ULONG InternalRelease() { return ThreadModel::Decrement(m_dwRef); }

    std::atomic<ULONG> m_dwRef{0};
    IUnknown* m_pOuterUnknown = nullptr;  // set in an aggregated object only
};

// The object of class Base: it counts references and locks the module
// while it lives.
template <typename Base>
class CComObject final : public Base {
public:
    CComObject() { win_atl::lock_module(); }
    ~CComObject() {
        this->FinalRelease();
        win_atl::unlock_module();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return win_atl::query_interface<Base>(this, iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return this->InternalAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = this->InternalRelease();
        if (left == 0) delete this;
        return left;
    }

    // A new object with no references yet, for the caller to query; its
    // FinalConstruct failure (the object destroyed) or E_OUTOFMEMORY.
    static HRESULT CreateInstance(CComObject** made) {
        if (!made) return E_POINTER;
        *made = nullptr;
        auto* object = new (std::nothrow) CComObject;
        if (!object) return E_OUTOFMEMORY;
        // Held across FinalConstruct, which may hand itself out and back.
        object->InternalAddRef();
        const HRESULT result = object->FinalConstruct();
        object->InternalRelease();
        if (FAILED(result)) {
            delete object;
            return result;
        }
        *made = object;
        return S_OK;
    }
};

// The inner object of an aggregate: its references and queries go to the
// outer object.
template <typename Base>
class CComContainedObject final : public Base {
public:
    explicit CComContainedObject(IUnknown* outer) { this->m_pOuterUnknown = outer; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return this->m_pOuterUnknown->QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return this->m_pOuterUnknown->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return this->m_pOuterUnknown->Release(); }
};

// An object of class Base made as part of an outer object: this is its own
// IUnknown (which the outer object keeps), every other interface is the
// contained object's, whose references count for the outer object.
template <typename Base>
class CComAggObject final : public IUnknown {
public:
    explicit CComAggObject(IUnknown* outer) : contained_(outer) { win_atl::lock_module(); }
    ~CComAggObject() {
        contained_.FinalRelease();
        win_atl::unlock_module();
    }
    CComAggObject(const CComAggObject&) = delete;
    CComAggObject& operator=(const CComAggObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return win_atl::query_interface<Base>(&contained_, iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    static HRESULT CreateInstance(IUnknown* outer, CComAggObject** made) {
        if (!made) return E_POINTER;
        *made = nullptr;
        if (!outer) return E_INVALIDARG;
        auto* object = new (std::nothrow) CComAggObject(outer);
        if (!object) return E_OUTOFMEMORY;
        object->AddRef();
        const HRESULT result = object->contained_.FinalConstruct();
        --object->references_;
        if (FAILED(result)) {
            delete object;
            return result;
        }
        *made = object;
        return S_OK;
    }

private:
    std::atomic<ULONG> references_{0};
    CComContainedObject<Base> contained_;
};

namespace win_atl {

// Creation functions of the class factory. An outer object asks for
// IUnknown only; a class that cannot be aggregated refuses any outer.
template <typename T>
HRESULT create_plain(IUnknown* outer, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    CComObject<T>* made = nullptr;
    HRESULT result = CComObject<T>::CreateInstance(&made);
    if (FAILED(result)) return result;
    made->AddRef();
    result = made->QueryInterface(iid, object);
    made->Release();
    return result;
}

template <typename T>
HRESULT create_aggregatable(IUnknown* outer, REFIID iid, void** object) {
    if (!outer) return create_plain<T>(nullptr, iid, object);
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    CComAggObject<T>* made = nullptr;
    HRESULT result = CComAggObject<T>::CreateInstance(outer, &made);
    if (FAILED(result)) return result;
    made->AddRef();
    result = made->QueryInterface(iid, object);
    made->Release();
    return result;
}

}  // namespace win_atl

// The standard class factory over a creation function. It locks the module
// while it lives, and LockServer adds a lock of its own.
class CComClassFactory final : public IClassFactory {
public:
    using creator = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);
    explicit CComClassFactory(creator create) : create_(create) { win_atl::lock_module(); }
    ~CComClassFactory() { win_atl::unlock_module(); }
    CComClassFactory(const CComClassFactory&) = delete;
    CComClassFactory& operator=(const CComClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!create_) return CLASS_E_CLASSNOTAVAILABLE;
        return create_(outer, iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            win_atl::lock_module();
        else
            win_atl::unlock_module();
        return S_OK;
    }

private:
    creator create_;
    std::atomic<ULONG> references_{0};
};

// What a creatable class declares of itself: its class identifier, and
// (with aggregatable true) that an outer object may contain it.
template <typename T, const CLSID* clsid, bool aggregatable = false>
class CComCoClass {
public:
    static const CLSID& GetObjectCLSID() { return *clsid; }
    static HRESULT create_instance(IUnknown* outer, REFIID iid, void** object) {
        if constexpr (aggregatable)
            return win_atl::create_aggregatable<T>(outer, iid, object);
        else
            return win_atl::create_plain<T>(outer, iid, object);
    }
};

namespace win_atl {

// The object map entry of a class whose creation is available.
template <typename T>
object_map_entry object_entry() {
    return {&T::GetObjectCLSID(), &T::UpdateRegistry, &T::create_instance};
}

// The entry of a class that is registered but not creatable yet.
template <typename T>
object_map_entry registration_only_entry() {
    return {&T::GetObjectCLSID(), &T::UpdateRegistry, nullptr};
}

}  // namespace win_atl

// The DLL module: the answers of the four exports over the object map and
// the lock count.
template <typename T>
class CAtlDllModuleT : public CAtlModule {
public:
    explicit CAtlDllModuleT(HMODULE module = win_module::this_module()) : CAtlModule(module) {}

    // The class factory of a class of the map; CLASS_E_CLASSNOTAVAILABLE
    // for any other class.
    HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
        if (!object) return E_POINTER;
        *object = nullptr;
        for (const win_atl::object_map_entry& entry : object_map()) {
            if (*entry.clsid != clsid) continue;
            auto* factory = new (std::nothrow) CComClassFactory(entry.create_instance);
            if (!factory) return E_OUTOFMEMORY;
            factory->AddRef();
            const HRESULT result = factory->QueryInterface(iid, object);
            factory->Release();
            return result;
        }
        return CLASS_E_CLASSNOTAVAILABLE;
    }

    HRESULT DllCanUnloadNow() { return GetLockCount() == 0 ? S_OK : S_FALSE; }

    // Each class's registration function, in map order; the first failure
    // ends it.
    HRESULT RegisterServer() {
        for (const win_atl::object_map_entry& entry : object_map()) {
            const HRESULT result = entry.update_registry(TRUE);
            if (FAILED(result)) return result;
        }
        return S_OK;
    }
    HRESULT UnregisterServer() {
        for (const win_atl::object_map_entry& entry : object_map()) {
            const HRESULT result = entry.update_registry(FALSE);
            if (FAILED(result)) return result;
        }
        return S_OK;
    }
};
