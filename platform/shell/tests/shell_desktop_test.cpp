#include <cstring>
#include <thread>
#include <vector>

#include "com_test_support.h"

namespace {

using namespace com_test;

// The folder under "Computer" in the test server, registered.
class DesktopFolder : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        register_server(folder_class_text, TEST_FOLDER_SERVER);
        register_junction(folder_class_text);
        set_dword(HKEY_CLASSES_ROOT, L"CLSID\\" + folder_class_text + L"\\ShellFolder",
                  L"Attributes", SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_CANRENAME);
        ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    }
    void TearDown() override {
        if (desktop) {
            EXPECT_EQ(desktop->Release(), 0u);
        }
        ComTest::TearDown();
    }

    // Parses a name; S_OK or the failure, the list in *out.
    HRESULT parse(const std::wstring& name, LPITEMIDLIST* out, ULONG* attributes = nullptr) {
        std::wstring text = name;
        ULONG eaten = 0;
        const HRESULT result =
            desktop->ParseDisplayName(nullptr, nullptr, text.data(), &eaten, out, attributes);
        if (SUCCEEDED(result)) {
            EXPECT_EQ(eaten, name.size());
        }
        return result;
    }

    static std::vector<BYTE> bytes_of(LPCITEMIDLIST l) {
        const auto* p = reinterpret_cast<const BYTE*>(l);
        return {p, p + ILGetSize(l)};
    }

    std::wstring junction_name() const {
        return L"::" + computer_text + L"\\::" + folder_class_text;
    }

    IShellFolder* desktop = nullptr;
};

std::vector<BYTE> registry_binary(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, L"Software\\Calvimora Tests\\Folder", &key) != ERROR_SUCCESS)
        return {};
    std::vector<BYTE> data(4096);
    DWORD size = static_cast<DWORD>(data.size()), type = 0;
    const LONG status = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return {};
    data.resize(size);
    return data;
}

TEST_F(DesktopFolder, AJunctionIsParsedBoundAndEnumeratedAndEverythingIsGivenBack) {
    const long blocks = win_test::live_task_allocations();
    LPITEMIDLIST list = nullptr;
    ULONG attributes = SFGAO_FOLDER | SFGAO_CANRENAME | SFGAO_CANDELETE;
    ASSERT_EQ(parse(junction_name(), &list, &attributes), S_OK);
    EXPECT_EQ(attributes, SFGAO_FOLDER | SFGAO_CANRENAME);
    // Two elements of 20 bytes: the Computer folder, the junction.
    ASSERT_EQ(ILGetSize(list), 42u);
    const std::vector<BYTE> absolute = bytes_of(list);
    EXPECT_EQ(absolute[2], 0x1F);
    EXPECT_EQ(absolute[22], 0x2E);
    CLSID clsid{};
    std::memcpy(&clsid, absolute.data() + 24, sizeof clsid);
    EXPECT_EQ(clsid, folder_class);

    IShellFolder* folder = nullptr;
    ASSERT_EQ(
        desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)),
        S_OK);
    // The junction learnt where it stands.
    EXPECT_EQ(registry_binary(L"Initialized"), absolute);

    IEnumIDList* items = nullptr;
    ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items), S_OK);
    PITEMID_CHILD got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(items->Next(3, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(bytes_of(got[1]), (std::vector<BYTE>{4, 0, 'T', 1, 0, 0}));
    for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(got[i]);

    EXPECT_EQ(items->Release(), 0u);
    CoFreeUnusedLibraries();
    EXPECT_EQ(win_test::loaded_com_servers().size(), 1u);  // the folder is still alive
    EXPECT_EQ(folder->Release(), 0u);
    ILFree(list);
    EXPECT_EQ(win_test::live_task_allocations(), blocks);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(win_test::loaded_com_servers().empty());
}

TEST_F(DesktopFolder, TheJunctionsOwnAnswersComeThrough) {
    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(parse(junction_name(), &list), S_OK);
    IShellFolder* folder = nullptr;
    ASSERT_EQ(
        desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)),
        S_OK);
    steer_folder(L"EnumObjects", static_cast<DWORD>(E_ACCESSDENIED));
    IEnumIDList* items = reinterpret_cast<IEnumIDList*>(1);
    EXPECT_EQ(folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, &items), E_ACCESSDENIED);
    EXPECT_EQ(items, nullptr);
    EXPECT_EQ(folder->Release(), 0u);

    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(desktop->BindToObject(list, nullptr, IID_IStream, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    steer_folder(L"Initialize", static_cast<DWORD>(E_UNEXPECTED));
    EXPECT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder, &object), E_UNEXPECTED);
    steer_folder(L"CreateInstance", static_cast<DWORD>(E_OUTOFMEMORY));
    EXPECT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder, &object), E_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);
    ILFree(list);
}

TEST_F(DesktopFolder, NamesAndListsBelowAJunctionAreTheJunctions) {
    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(parse(junction_name() + L"\\Docs", &list), S_OK);
    ASSERT_EQ(ILGetSize(list), 40u + 6u + 2u);
    const std::vector<BYTE> bytes = bytes_of(list);
    EXPECT_EQ(std::vector<BYTE>(bytes.begin() + 40, bytes.end()),
              (std::vector<BYTE>{6, 0, 'D', 'o', 'c', 's', 0, 0}));
    // Binding it goes through the junction's own BindToObject.
    IShellFolder* below = nullptr;
    ASSERT_EQ(
        desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&below)),
        S_OK);
    EXPECT_EQ(below->Release(), 0u);
    ILFree(list);
}

TEST_F(DesktopFolder, UnknownNamesAndClassesAreRefused) {
    LPITEMIDLIST list = reinterpret_cast<LPITEMIDLIST>(1);
    EXPECT_EQ(parse(L"", &list), E_INVALIDARG);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(parse(L"C:\\Users", &list), E_INVALIDARG);
    EXPECT_EQ(parse(L"::{20D04FE0-3AEA-1069-A2D8}", &list), E_INVALIDARG);
    EXPECT_EQ(parse(L"::" + computer_text + L"x", &list), E_INVALIDARG);
    EXPECT_EQ(parse(L"::" + folder_class_text, &list), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(parse(L"::" + computer_text + L"\\C:", &list),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    const std::wstring unregistered = L"{6F1E3C52-9B0A-4D7E-8C11-2A5B7D9E0F14}";
    EXPECT_EQ(parse(L"::" + computer_text + L"\\::" + unregistered, &list),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(list, nullptr);

    // The Computer folder alone parses, but there is no object to bind.
    ASSERT_EQ(parse(L"::" + computer_text, &list), S_OK);
    EXPECT_EQ(ILGetSize(list), 22u);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder, &object), E_NOTIMPL);
    ILFree(list);

    // Lists that are not the desktop's own, or name an unregistered junction.
    ASSERT_EQ(parse(junction_name(), &list), S_OK);
    std::vector<BYTE> bytes = bytes_of(list);
    ILFree(list);
    std::vector<BYTE> wrong_kind = bytes;
    wrong_kind[22] = 0x1F;
    EXPECT_EQ(desktop->BindToObject(reinterpret_cast<LPCITEMIDLIST>(wrong_kind.data()), nullptr,
                                    IID_IShellFolder, &object),
              E_INVALIDARG);
    std::vector<BYTE> other_class = bytes;
    other_class[39] = 0x14;  // the last byte of the class id
    EXPECT_EQ(desktop->BindToObject(reinterpret_cast<LPCITEMIDLIST>(other_class.data()), nullptr,
                                    IID_IShellFolder, &object),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    const BYTE foreign[] = {4, 0, 1, 2, 0, 0};
    EXPECT_EQ(desktop->BindToObject(reinterpret_cast<LPCITEMIDLIST>(foreign), nullptr,
                                    IID_IShellFolder, &object),
              E_INVALIDARG);
    EXPECT_EQ(object, nullptr);
    EXPECT_TRUE(win_test::loaded_com_servers().empty());
}

TEST_F(DesktopFolder, BindingOnAThreadWithoutCoInitializeFails) {
    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(parse(junction_name(), &list), S_OK);
    std::thread([&] {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder, &object),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(object, nullptr);
    }).join();
    ILFree(list);
}

}  // namespace
