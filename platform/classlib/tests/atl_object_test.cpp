// The class library's COM objects: interface maps with their bases,
// identity, aggregation, the class factory and the module's lock count
// and object map.
#include <gtest/gtest.h>

#include <atomic>

#include "win/atl_base.h"
#include "win/ole.h"
#include "win/shell_folder.h"

namespace {

// {3A1E5C70-2B4D-4F61-9E8A-7C2D1B0F4E31}
constexpr CLSID plain_class{
    0x3A1E5C70, 0x2B4D, 0x4F61, {0x9E, 0x8A, 0x7C, 0x2D, 0x1B, 0x0F, 0x4E, 0x31}};
// {3A1E5C71-2B4D-4F61-9E8A-7C2D1B0F4E31}
constexpr CLSID aggregatable_class{
    0x3A1E5C71, 0x2B4D, 0x4F61, {0x9E, 0x8A, 0x7C, 0x2D, 0x1B, 0x0F, 0x4E, 0x31}};
// {3A1E5C72-2B4D-4F61-9E8A-7C2D1B0F4E31}
constexpr CLSID later_class{
    0x3A1E5C72, 0x2B4D, 0x4F61, {0x9E, 0x8A, 0x7C, 0x2D, 0x1B, 0x0F, 0x4E, 0x31}};

std::atomic<int> live_things{0};
std::atomic<bool> refuse_construction{false};
std::vector<std::string> registrations;
HRESULT registration_result = S_OK;

class CThing : public CComObjectRootEx<CComSingleThreadModel>,
               public CComCoClass<CThing, &plain_class>,
               public IPersistFolder2,
               public IOleWindow {
public:
    using com_map = win_atl::com_map<IPersistFolder2, IOleWindow>;

    CThing() { ++live_things; }
    ~CThing() { --live_things; }
    HRESULT FinalConstruct() { return refuse_construction ? E_ACCESSDENIED : S_OK; }
    static HRESULT UpdateRegistry(BOOL do_register) {
        registrations.push_back(do_register ? "thing+" : "thing-");
        return registration_result;
    }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
        *clsid = plain_class;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetCurFolder(PIDLIST_ABSOLUTE* list) override {
        *list = nullptr;
        return E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = nullptr;
        return E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
};

class CPart : public CComObjectRootEx<CComSingleThreadModel>,
              public CComCoClass<CPart, &aggregatable_class, true>,
              public IOleWindow {
public:
    using com_map = win_atl::com_map<IOleWindow>;
    CPart() { ++live_things; }
    ~CPart() { --live_things; }
    static HRESULT UpdateRegistry(BOOL do_register) {
        registrations.push_back(do_register ? "part+" : "part-");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = reinterpret_cast<HWND>(0x1234);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
};

class CLater : public CComObjectRootEx<CComSingleThreadModel>,
               public CComCoClass<CLater, &later_class> {
public:
    static HRESULT UpdateRegistry(BOOL do_register) {
        registrations.push_back(do_register ? "later+" : "later-");
        return S_OK;
    }
};

class test_module : public CAtlDllModuleT<test_module> {
public:
    std::span<const win_atl::object_map_entry> object_map() const override {
        static const win_atl::object_map_entry entries[] = {
            win_atl::object_entry<CThing>(), win_atl::object_entry<CPart>(),
            win_atl::registration_only_entry<CLater>()};
        return entries;
    }
};

// An outer object that counts the references its inner object takes for it.
class outer_object final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        ++queries;
        if (iid == IID_IUnknown) {
            *object = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(iid, object) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    IUnknown* inner = nullptr;
    ULONG references = 1;
    int queries = 0;
};

class ClassLibraryObjects : public ::testing::Test {
protected:
    void SetUp() override {
        live_things = 0;
        refuse_construction = false;
        registrations.clear();
        registration_result = S_OK;
    }
    void TearDown() override { EXPECT_EQ(module.GetLockCount(), 0); }

    IClassFactory* factory_of(REFCLSID clsid) {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(
            module.DllGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
        return factory;
    }

    test_module module;
};

TEST_F(ClassLibraryObjects, AnObjectAnswersItsInterfacesAndTheirBasesWithOneIdentity) {
    IClassFactory* factory = factory_of(plain_class);
    ASSERT_NE(factory, nullptr);
    IPersistFolder2* folder = nullptr;
    ASSERT_EQ(
        factory->CreateInstance(nullptr, IID_IPersistFolder2, reinterpret_cast<void**>(&folder)),
        S_OK);
    factory->Release();

    void* persist = nullptr;
    void* persist_folder = nullptr;
    void* window = nullptr;
    IUnknown* identity = nullptr;
    IUnknown* identity_from_window = nullptr;
    EXPECT_EQ(folder->QueryInterface(IID_IPersist, &persist), S_OK);
    EXPECT_EQ(folder->QueryInterface(IID_IPersistFolder, &persist_folder), S_OK);
    EXPECT_EQ(folder->QueryInterface(IID_IOleWindow, &window), S_OK);
    EXPECT_EQ(folder->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    ASSERT_EQ(static_cast<IOleWindow*>(window)->QueryInterface(
                  IID_IUnknown, reinterpret_cast<void**>(&identity_from_window)),
              S_OK);
    EXPECT_EQ(identity, identity_from_window);
    EXPECT_EQ(persist, static_cast<IPersist*>(folder));

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(folder->QueryInterface(IID_IShellFolder, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(folder->QueryInterface(IID_IPersist, nullptr), E_POINTER);

    static_cast<IUnknown*>(persist)->Release();
    static_cast<IUnknown*>(persist_folder)->Release();
    static_cast<IUnknown*>(window)->Release();
    identity->Release();
    identity_from_window->Release();
    EXPECT_EQ(live_things, 1);
    EXPECT_EQ(module.DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(folder->Release(), 0u);
    EXPECT_EQ(live_things, 0);
    EXPECT_EQ(module.DllCanUnloadNow(), S_OK);
}

TEST_F(ClassLibraryObjects, TheModuleStaysWhileAFactoryOrAServerLockIsHeld) {
    IClassFactory* factory = factory_of(plain_class);
    EXPECT_EQ(module.DllCanUnloadNow(), S_FALSE);
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(module.DllCanUnloadNow(), S_FALSE);
    factory = factory_of(plain_class);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(module.DllCanUnloadNow(), S_OK);
}

TEST_F(ClassLibraryObjects, AFailedConstructionLeavesNothingBehind) {
    refuse_construction = true;
    IClassFactory* factory = factory_of(plain_class);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &object), E_ACCESSDENIED);
    EXPECT_EQ(object, nullptr);
    factory->Release();
    EXPECT_EQ(live_things, 0);
    EXPECT_EQ(module.DllCanUnloadNow(), S_OK);
}

TEST_F(ClassLibraryObjects, OnlyAnAggregatableClassJoinsAnOuterObjectAndOnlyForIUnknown) {
    outer_object outer;
    void* object = reinterpret_cast<void*>(1);
    IClassFactory* plain = factory_of(plain_class);
    EXPECT_EQ(plain->CreateInstance(&outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    plain->Release();

    IClassFactory* factory = factory_of(aggregatable_class);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IOleWindow, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(live_things, 0);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    factory->Release();
    EXPECT_NE(outer.inner, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.references, 1u) << "the inner object's own reference is not the outer's";

    // An interface of the inner object counts its references for the outer
    // object, and its IUnknown is the outer object's.
    IOleWindow* window = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)), S_OK);
    EXPECT_EQ(outer.references, 2u);
    HWND handle = nullptr;
    EXPECT_EQ(window->GetWindow(&handle), S_OK);
    EXPECT_EQ(handle, reinterpret_cast<HWND>(0x1234));
    IUnknown* identity = nullptr;
    const int queries_before = outer.queries;
    ASSERT_EQ(window->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.queries, queries_before + 1);
    identity->Release();
    window->Release();
    EXPECT_EQ(outer.references, 1u);

    EXPECT_EQ(live_things, 1);
    EXPECT_EQ(outer.inner->Release(), 0u);
    EXPECT_EQ(live_things, 0);
    EXPECT_EQ(module.DllCanUnloadNow(), S_OK);

    // Without an outer object the class is made as any other.
    factory = factory_of(aggregatable_class);
    IOleWindow* alone = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IOleWindow, reinterpret_cast<void**>(&alone)),
              S_OK);
    factory->Release();
    EXPECT_EQ(alone->Release(), 0u);
}

TEST_F(ClassLibraryObjects, ClassesOutsideTheMapOrNotBuiltAreNotAvailable) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(module.DllGetClassObject(IID_IStream, IID_IClassFactory, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    IClassFactory* later = factory_of(later_class);
    ASSERT_NE(later, nullptr);
    EXPECT_EQ(later->CreateInstance(nullptr, IID_IUnknown, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    later->Release();
}

TEST_F(ClassLibraryObjects, RegistrationRunsTheMapInOrderAndStopsAtTheFirstFailure) {
    EXPECT_EQ(module.RegisterServer(), S_OK);
    EXPECT_EQ(registrations, (std::vector<std::string>{"thing+", "part+", "later+"}));
    registrations.clear();
    registration_result = E_ACCESSDENIED;
    EXPECT_EQ(module.UnregisterServer(), E_ACCESSDENIED);
    EXPECT_EQ(registrations, (std::vector<std::string>{"thing-"}));
}

}  // namespace
