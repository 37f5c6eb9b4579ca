#include <dlfcn.h>

#include <thread>

#include "com_test_support.h"

namespace {

using namespace com_test;
using ClassObjects = ComTest;

bool loaded_in_process(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (!library) return false;
    dlclose(library);
    return true;
}

TEST_F(ClassObjects, ClassesWithoutAUsableServerFailAsTheSystemSays) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);

    // A server key without a path.
    set_string(HKEY_CLASSES_ROOT, L"CLSID\\" + folder_class_text + L"\\InprocServer32", nullptr,
               L"");
    EXPECT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
              CO_E_DLLNOTFOUND);
    // A path where there is no file, and a shared object without the export.
    register_server(folder_class_text, "/nowhere/server.so");
    EXPECT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
              CO_E_DLLNOTFOUND);
    register_server(folder_class_text, PLATFORM_LIBRARY);
    EXPECT_EQ(
        CoGetClassObject(folder_class, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &object),
        CO_E_DLLNOTFOUND);
    EXPECT_EQ(object, nullptr);
    EXPECT_TRUE(win_test::loaded_com_servers().empty());

    // Only in-process servers exist.
    register_server(folder_class_text, TEST_FOLDER_SERVER);
    EXPECT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
              E_INVALIDARG);
}

TEST_F(ClassObjects, AThreadWithoutCoInitializeGetsNothing) {
    register_server(folder_class_text, TEST_FOLDER_SERVER);
    std::thread([] {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_INPROC_SERVER, IID_IShellFolder,
                                   &object),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(object, nullptr);
        // After its CoUninitialize a thread is back where it started.
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        IUnknown* folder = nullptr;
        EXPECT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&folder)),
                  S_OK);
        ASSERT_NE(folder, nullptr);
        folder->Release();
        CoUninitialize();
        EXPECT_EQ(CoGetClassObject(folder_class, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   &object),
                  CO_E_NOTINITIALIZED);
    }).join();
    EXPECT_EQ(win_test::loaded_com_servers().size(), 1u);
}

TEST_F(ClassObjects, AServerIsLoadedOnceAndUnloadedOnlyWhenItSaysSo) {
    register_server(folder_class_text, TEST_FOLDER_SERVER);
    IShellFolder* first = nullptr;
    IPersistFolder* second = nullptr;
    ASSERT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_INPROC_SERVER, IID_IShellFolder,
                               reinterpret_cast<void**>(&first)),
              S_OK);
    ASSERT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFolder,
                               reinterpret_cast<void**>(&second)),
              S_OK);
    ASSERT_EQ(win_test::loaded_com_servers().size(), 1u);
    CLSID clsid{};
    EXPECT_EQ(second->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, folder_class);

    // Objects alive: the server stays.
    first->Release();
    CoFreeUnusedLibraries();
    EXPECT_EQ(win_test::loaded_com_servers().size(), 1u);
    // A locked server stays too.
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(folder_class, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(second->Release(), 0u);
    CoFreeUnusedLibraries();
    EXPECT_EQ(win_test::loaded_com_servers().size(), 1u);
    ASSERT_EQ(CoGetClassObject(folder_class, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->LockServer(FALSE);
    factory->Release();

    CoFreeUnusedLibraries();
    EXPECT_TRUE(win_test::loaded_com_servers().empty());
    EXPECT_FALSE(loaded_in_process(TEST_FOLDER_SERVER));
    // And it comes back when asked again.
    IUnknown* again = nullptr;
    ASSERT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&again)),
              S_OK);
    EXPECT_TRUE(loaded_in_process(TEST_FOLDER_SERVER));
    again->Release();
}

TEST_F(ClassObjects, TheFactorysAnswersReachTheCaller) {
    register_server(folder_class_text, TEST_FOLDER_SERVER);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_INPROC_SERVER, IID_IStream, &object),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    IUnknown* outer = reinterpret_cast<IUnknown*>(&object);  // never called: refused first
    EXPECT_EQ(CoCreateInstance(folder_class, outer, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    steer_folder(L"CreateInstance", static_cast<DWORD>(E_OUTOFMEMORY));
    EXPECT_EQ(CoCreateInstance(folder_class, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              E_OUTOFMEMORY);
    // A class the server does not have.
    const CLSID other{0x6F1E3C52, 0x9B0A, 0x4D7E, {0x8C, 0x11, 0x2A, 0x5B, 0x7D, 0x9E, 0x0F, 0x14}};
    register_server(L"{6F1E3C52-9B0A-4D7E-8C11-2A5B7D9E0F14}", TEST_FOLDER_SERVER);
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(win_test::loaded_com_servers().size(), 1u);
}

}  // namespace
