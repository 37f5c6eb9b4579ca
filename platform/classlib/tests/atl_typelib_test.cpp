// Type library registration: the keys written and removed.
#include <gtest/gtest.h>

#include "win/atl_typelib.h"
#include "win/machine.h"
#include "win/registry.h"

namespace {

using lines = std::vector<std::wstring>;

// {5B0D7A10-6C3E-4A2F-8D19-0E4C3B2A1F60}
constexpr GUID libid{0x5B0D7A10, 0x6C3E, 0x4A2F, {0x8D, 0x19, 0x0E, 0x4C, 0x3B, 0x2A, 0x1F, 0x60}};
// {5B0D7A11-6C3E-4A2F-8D19-0E4C3B2A1F60}
constexpr IID iid{0x5B0D7A11, 0x6C3E, 0x4A2F, {0x8D, 0x19, 0x0E, 0x4C, 0x3B, 0x2A, 0x1F, 0x60}};

win_atl::type_library library() {
    return {libid, 1, 10, 0x409, L"Test 1.10 Type Library", {{L"ITest", iid}}};
}

TEST(TypeLibrary, RegistrationWritesTheLibraryAndItsInterfacesAndRemovalTakesThemAway) {
    win_machine::scoped_root root;
    ASSERT_EQ(win_atl::register_type_library(library(), L"C:\\Program Files\\Test\\test.dll"),
              S_OK);
    const std::wstring lib = L"{5B0D7A10-6C3E-4A2F-8D19-0E4C3B2A1F60}";
    EXPECT_EQ(win_test::registry_tree(HKEY_CLASSES_ROOT, L"TypeLib"),
              (lines{lib, lib + L"\\1.a", lib + L"\\1.a: @ = REG_SZ \"Test 1.10 Type Library\"",
                     lib + L"\\1.a\\409", lib + L"\\1.a\\409\\win32",
                     lib + L"\\1.a\\409\\win32: @ = REG_SZ \"C:\\Program Files\\Test\\test.dll\"",
                     lib + L"\\1.a\\FLAGS", lib + L"\\1.a\\FLAGS: @ = REG_SZ \"0\"",
                     lib + L"\\1.a\\HELPDIR",
                     lib + L"\\1.a\\HELPDIR: @ = REG_SZ \"C:\\Program Files\\Test\""}));
    const std::wstring marshaller = L"\"{00020424-0000-0000-C000-000000000046}\"";
    const std::wstring face = L"{5B0D7A11-6C3E-4A2F-8D19-0E4C3B2A1F60}";
    EXPECT_EQ(
        win_test::registry_tree(HKEY_CLASSES_ROOT, L"Interface"),
        (lines{face, face + L": @ = REG_SZ \"ITest\"", face + L"\\ProxyStubClsid",
               face + L"\\ProxyStubClsid: @ = REG_SZ " + marshaller, face + L"\\ProxyStubClsid32",
               face + L"\\ProxyStubClsid32: @ = REG_SZ " + marshaller, face + L"\\TypeLib",
               face + L"\\TypeLib: @ = REG_SZ \"" + lib + L"\"",
               face + L"\\TypeLib: Version = REG_SZ \"1.a\""}));

    // Another version of the library stays, and so does the library's key.
    HKEY other = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + lib + L"\\2.0").c_str(), &other),
              ERROR_SUCCESS);
    RegCloseKey(other);
    ASSERT_EQ(win_atl::unregister_type_library(library()), S_OK);
    EXPECT_EQ(win_test::registry_tree(HKEY_CLASSES_ROOT, L"TypeLib"), (lines{lib, lib + L"\\2.0"}));
    EXPECT_TRUE(win_test::registry_tree(HKEY_CLASSES_ROOT, L"Interface").empty());
    ASSERT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + lib + L"\\2.0").c_str()),
              ERROR_SUCCESS);
    ASSERT_EQ(win_atl::register_type_library(library(), L"C:\\test.dll"), S_OK);
    ASSERT_EQ(win_atl::unregister_type_library(library()), S_OK);
    EXPECT_TRUE(win_test::registry_tree(HKEY_CLASSES_ROOT, L"TypeLib").empty());
}

TEST(TypeLibrary, ARefusedWriteFailsTheRegistration) {
    win_machine::scoped_root root;
    win_test::set_registry_read_only(HKEY_LOCAL_MACHINE, true);
    EXPECT_EQ(win_atl::register_type_library(library(), L"C:\\test.dll"), E_FAIL);
    win_test::set_registry_read_only(HKEY_LOCAL_MACHINE, false);
    EXPECT_EQ(win_atl::register_type_library(library(), L"test.dll"), E_INVALIDARG);
}

}  // namespace
