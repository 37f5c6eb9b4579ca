// The registrar's scripts: what registration writes, what removal leaves,
// replacements, and scripts that must write nothing.
#include <gtest/gtest.h>

#include "win/atl_registrar.h"
#include "win/machine.h"
#include "win/process.h"
#include "win/registry.h"
#include "win/resources.h"

namespace {

using lines = std::vector<std::wstring>;

class Registrar : public ::testing::Test {
protected:
    void SetUp() override {
        registrar.AddReplacement(L"CLSID", L"{11111111-2222-3333-4444-555555555555}");
        registrar.AddReplacement(L"Module", L"C:\\it's\\here.dll");
    }
    lines tree(const wchar_t* path = L"Software") {
        return win_test::registry_tree(HKEY_CURRENT_USER, path);
    }

    win_machine::scoped_root root;
    CRegObject registrar;
};

const wchar_t* const server_script =
    LR"(
    HKCU {
        NoRemove Software {
            ForceRemove %clsid% = s 'A ''quoted'' name' {
                InprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Apartment' }
                'Two words' { val Number = d '3099590995' val Hex = d '0x10' val Bytes = b '00fF10' }
                Expand = e '%%SystemRoot%%'
            }
            Plain { val Mine = s 'x' }
        }
    })";

TEST_F(Registrar, WritesEveryKeyAndValueWithItsTypeAndReplacements) {
    ASSERT_EQ(registrar.StringRegister(server_script), S_OK);
    EXPECT_EQ(tree(), (lines{
                          L"Plain",
                          L"Plain: Mine = REG_SZ \"x\"",
                          L"{11111111-2222-3333-4444-555555555555}",
                          L"{11111111-2222-3333-4444-555555555555}: @ = REG_SZ \"A 'quoted' name\"",
                          L"{11111111-2222-3333-4444-555555555555}\\Expand",
                          L"{11111111-2222-3333-4444-555555555555}\\Expand: @ = REG_EXPAND_SZ "
                          L"\"%SystemRoot%\"",
                          L"{11111111-2222-3333-4444-555555555555}\\InprocServer32",
                          L"{11111111-2222-3333-4444-555555555555}\\InprocServer32: @ = REG_SZ "
                          L"\"C:\\it's\\here.dll\"",
                          L"{11111111-2222-3333-4444-555555555555}\\InprocServer32: "
                          L"ThreadingModel = REG_SZ \"Apartment\"",
                          L"{11111111-2222-3333-4444-555555555555}\\Two words",
                          L"{11111111-2222-3333-4444-555555555555}\\Two words: Bytes = "
                          L"REG_BINARY 00ff10",
                          L"{11111111-2222-3333-4444-555555555555}\\Two words: Hex = REG_DWORD "
                          L"0x00000010",
                          L"{11111111-2222-3333-4444-555555555555}\\Two words: Number = "
                          L"REG_DWORD 0xB8C00153",
                      }));
}

TEST_F(Registrar, ARecreatedKeyLosesWhatWasAddedToItAndTwoRegistrationsLeaveOneSet) {
    ASSERT_EQ(registrar.StringRegister(server_script), S_OK);
    const lines once = tree();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER,
                            L"Software\\{11111111-2222-3333-4444-555555555555}\\Stale", &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(registrar.StringRegister(server_script), S_OK);
    EXPECT_EQ(tree(), once);
}

TEST_F(Registrar, RemovalKeepsKeptKeysAndKeysOthersStillUse) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Other", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(registrar.StringRegister(server_script), S_OK);
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Plain", &key), ERROR_SUCCESS);
    const std::wstring foreign = L"theirs";
    RegSetValueExW(key, L"Foreign", 0, REG_SZ, reinterpret_cast<const BYTE*>(foreign.c_str()),
                   static_cast<DWORD>((foreign.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    ASSERT_EQ(registrar.StringUnregister(server_script), S_OK);
    // The recreated key went whole; the plain key lost only the script's
    // value because another value is still in it; the kept key stays.
    EXPECT_EQ(tree(), (lines{L"Other", L"Plain", L"Plain: Foreign = REG_SZ \"theirs\""}));
    // Removing again finds nothing to remove.
    EXPECT_EQ(registrar.StringUnregister(server_script), S_OK);

    ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, L"Software\\Plain", &key), ERROR_SUCCESS);
    RegDeleteValueW(key, L"Foreign");
    RegCloseKey(key);
    ASSERT_EQ(registrar.StringRegister(server_script), S_OK);
    ASSERT_EQ(registrar.StringUnregister(server_script), S_OK);
    EXPECT_EQ(tree(), (lines{L"Other"}));
}

TEST_F(Registrar, AScriptThatDoesNotReadWritesNothing) {
    const wchar_t* const broken[] = {
        L"HKCU { NoRemove Software { Key = s '%UNKNOWN%' } }",
        L"HKCU { NoRemove Software { Key = s 'unterminated } }",
        L"HKCU { NoRemove Software { Key { val Number = d '99999999999' } } }",
        L"HKCU { NoRemove Software { Key { val Number = d '12ab' } } }",
        L"HKCU { NoRemove Software { Key { val Data = b '0' } } }",
        L"HKCU { NoRemove Software { 'Two\\Levels' } }",
        L"HKCU { NoRemove Software { Key = x 'text' } }",
        L"HKCU { NoRemove Software { Key }",
        L"HKXX { Key }",
        L"HKCU { NoRemove Software { Key = s '100%' } }",
    };
    for (const wchar_t* script : broken) {
        EXPECT_EQ(registrar.StringRegister(script), DISP_E_EXCEPTION) << script;
        EXPECT_EQ(registrar.StringUnregister(script), DISP_E_EXCEPTION) << script;
    }
    EXPECT_TRUE(tree().empty());
}

TEST_F(Registrar, ARegistryThatRefusesWritesFailsTheScript) {
    win_test::set_registry_read_only(HKEY_CURRENT_USER, true);
    EXPECT_EQ(registrar.StringRegister(server_script), E_FAIL);
    win_test::set_registry_read_only(HKEY_CURRENT_USER, false);
    EXPECT_TRUE(tree().empty());
}

TEST_F(Registrar, RunsScriptsFiledAsResources) {
    static const char script[] = "HKCU { NoRemove Software { FromResource = s '%CLSID%' } }";
    const HMODULE module = GetModuleHandleW(nullptr);
    ASSERT_TRUE(win_resources::register_resource(module, L"REGISTRY", MAKEINTRESOURCEW(104), script,
                                                 sizeof script - 1));
    ASSERT_EQ(registrar.ResourceRegister(module, 104, L"REGISTRY"), S_OK);
    EXPECT_EQ(tree(), (lines{L"FromResource",
                             L"FromResource: @ = REG_SZ "
                             L"\"{11111111-2222-3333-4444-555555555555}\""}));
    ASSERT_EQ(registrar.ResourceUnregister(module, 104, L"REGISTRY"), S_OK);
    EXPECT_TRUE(tree().empty());
    EXPECT_EQ(registrar.ResourceRegister(module, 105, L"REGISTRY"),
              HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
}

}  // namespace
