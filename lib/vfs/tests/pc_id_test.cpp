// The computer's identifier: made once, kept, and refused without write
// access to the machine's hive.
#include "vfs/pc_id.h"

#include <gtest/gtest.h>

#include <cwctype>

#include "vfs/exceptions.h"
#include "win/machine.h"
#include "win/registry.h"

namespace vfs_calvimora {
namespace {

bool looks_like_an_id(const std::wstring& id) {
    if (id.size() != 36) return false;
    for (size_t i = 0; i < id.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? id[i] != L'-' : !(std::iswdigit(id[i]) || (id[i] >= L'a' && id[i] <= L'f')))
            return false;
    }
    return true;
}

TEST(PcId, IsMadeOnceAsALowerCaseUuidTextAndThenKept) {
    win_machine::scoped_root root;
    EXPECT_THROW(load_pc_id(), vfs::exception);
    get_or_create_pc_id();
    const std::wstring first = load_pc_id();
    EXPECT_TRUE(looks_like_an_id(first)) << std::string(first.begin(), first.end());
    get_or_create_pc_id();
    EXPECT_EQ(load_pc_id(), first);

    // Stored as REG_SZ with its terminating zero.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, L"Software\\Calvimora", &key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"PCID", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 37 * sizeof(wchar_t));
    EXPECT_NE(generate_pc_id(), generate_pc_id());
}

TEST(PcId, AnExistingIdIsNeverReplacedAndAnUnreadableOneIs) {
    win_machine::scoped_root root;
    store_pc_id(L"existing-id");
    get_or_create_pc_id();
    EXPECT_EQ(load_pc_id(), L"existing-id");

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, L"Software\\Calvimora", &key), ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExW(key, L"PCID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
    get_or_create_pc_id();
    EXPECT_TRUE(looks_like_an_id(load_pc_id()));
}

TEST(PcId, WithoutWriteAccessNothingIsMadeAndTheFailureIsReported) {
    win_machine::scoped_root root;
    win_test::set_registry_read_only(HKEY_LOCAL_MACHINE, true);
    try {
        get_or_create_pc_id();
        ADD_FAILURE() << "no failure reported";
    } catch (const vfs::exception& failure) {
        EXPECT_EQ(failure.get_title(), L"open_registry_key failed");
    }
    win_test::set_registry_read_only(HKEY_LOCAL_MACHINE, false);
    EXPECT_TRUE(win_test::registry_tree(HKEY_LOCAL_MACHINE, L"").empty());

    // With the key there but not writable, the store itself is refused.
    open_registry_key(KEY_READ);
    win_test::set_registry_read_only(HKEY_LOCAL_MACHINE, true);
    try {
        get_or_create_pc_id();
        ADD_FAILURE() << "no failure reported";
    } catch (const vfs::exception& failure) {
        EXPECT_EQ(failure.get_title(), L"store_pc_id failed");
    }
    win_test::set_registry_read_only(HKEY_LOCAL_MACHINE, false);
    EXPECT_THROW(load_pc_id(), vfs::exception);
}

}  // namespace
}  // namespace vfs_calvimora
