#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "kernel/tests/helper_process.h"
#include "win/machine.h"
#include "win/registry.h"

namespace {

class Registry : public ::testing::Test {
protected:
    win_machine::scoped_root root;

    std::string hive_bytes(const char* file = "current_user.hive") {
        std::ifstream in(root.path() + "/registry/" + file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

// Opens (creating) a key with all rights; fails the test otherwise.
HKEY create(HKEY parent, const wchar_t* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

LONG set_string(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LONG set_dword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

// The value's text, or the error code as text.
std::wstring get_string(HKEY key, const wchar_t* name) {
    wchar_t buffer[128] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    const LONG status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (status != ERROR_SUCCESS) return L"error " + std::to_wstring(status);
    return buffer;
}

std::optional<DWORD> get_dword(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

}  // namespace

TEST_F(Registry, NamesMatchWhateverTheirCaseAndKeepTheCaseTheyWereMadeWith) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Calvimora");
    ASSERT_EQ(set_dword(key, L"AutoLogin", 1), ERROR_SUCCESS);
    RegCloseKey(key);

    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\calvimora", 0, KEY_ALL_ACCESS, &again),
              ERROR_SUCCESS);
    EXPECT_EQ(get_dword(again, L"AUTOLOGIN"), 1u);
    ASSERT_EQ(set_dword(again, L"autologin", 0), ERROR_SUCCESS);
    EXPECT_EQ(get_dword(again, L"AutoLogin"), 0u);
    DWORD disposition = 0;
    HKEY same = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"software\\CALVIMORA", 0, nullptr, 0, KEY_READ,
                              nullptr, &same, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(same);
    RegCloseKey(again);

    const std::string hive = hive_bytes();
    EXPECT_NE(hive.find("Software"), std::string::npos);
    EXPECT_NE(hive.find("Calvimora"), std::string::npos);
    EXPECT_NE(hive.find("AutoLogin"), std::string::npos);
    EXPECT_EQ(hive.find("SOFTWARE"), std::string::npos);
    EXPECT_EQ(hive.find("autologin"), std::string::npos);
}

TEST_F(Registry, StringsAreKeptAsUtf16WithTheirNulAndExchangedAsWideText) {
    HKEY key = create(HKEY_LOCAL_MACHINE, L"Software\\Calvimora");
    const std::wstring text = L"Zo\u00eb \U0001D11E";  // one character outside the BMP
    ASSERT_EQ(set_string(key, L"PCID", text), ERROR_SUCCESS);

    const std::string stored = hive_bytes("local_machine.hive");
    const std::string utf16("Z\0o\0\xeb\0 \0\x34\xd8\x1e\xdd\0\0",
                            14);  // surrogate pair, then the NUL unit
    EXPECT_NE(stored.find(utf16), std::string::npos);

    DWORD size = 0;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"PCID", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, (text.size() + 1) * sizeof(wchar_t));

    std::vector<wchar_t> small(text.size());
    DWORD small_size = static_cast<DWORD>(small.size() * sizeof(wchar_t));
    EXPECT_EQ(RegQueryValueExW(key, L"PCID", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(small.data()), &small_size),
              ERROR_MORE_DATA);
    EXPECT_EQ(small_size, size);
    EXPECT_EQ(get_string(key, L"PCID"), text);
    RegCloseKey(key);
}

TEST_F(Registry, DwordsAndBinaryAreStoredAsGiven) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Calvimora");
    ASSERT_EQ(set_dword(key, L"SavePass", 0x01020304), ERROR_SUCCESS);
    const BYTE blob[] = {0xde, 0xad, 0x00, 0xbe, 0xef};
    ASSERT_EQ(RegSetValueExW(key, L"Data1", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);

    const std::string stored = hive_bytes();
    EXPECT_NE(stored.find(std::string("\x04\x03\x02\x01", 4)), std::string::npos);
    BYTE back[8] = {};
    DWORD size = sizeof back;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"Data1", nullptr, &type, back, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(std::vector<BYTE>(back, back + size), std::vector<BYTE>(blob, blob + sizeof blob));
    RegCloseKey(key);
}

TEST_F(Registry, TheUsersHiveIsReadableByThatUserOnly) {
    const std::string hive = root.path() + "/registry/current_user.hive";
    HKEY key = create(HKEY_CURRENT_USER, L"CLSID\\{6D3F2A61-9C84-4E1B-B57A-2C0E8F4D9A13}");
    const BYTE login[] = {0x8f, 0xc4, 0, 0};
    ASSERT_EQ(RegSetValueExW(key, L"Data1", 0, REG_BINARY, login, sizeof login), ERROR_SUCCESS);
    struct stat st {};
    ASSERT_EQ(stat(hive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat((hive + ".lock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);

    // A hive left by an older run with wider permissions is narrowed at the
    // next write.
    std::filesystem::permissions(hive, std::filesystem::perms(0644));
    ASSERT_EQ(RegSetValueExW(key, L"Data1", 0, REG_BINARY, login, 2), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(stat(hive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(Registry, ClassesRootIsTheMachinesSoftwareClasses) {
    HKEY server = create(HKEY_CLASSES_ROOT, L"CLSID\\{1234}\\InprocServer32");
    ASSERT_EQ(set_string(server, nullptr, L"/opt/module.so"), ERROR_SUCCESS);
    RegCloseKey(server);

    HKEY through_machine = nullptr;
    ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, L"software\\classes\\clsid\\{1234}\\InprocServer32",
                          &through_machine),
              ERROR_SUCCESS);
    EXPECT_EQ(get_string(through_machine, L""), L"/opt/module.so");
    ASSERT_EQ(set_string(through_machine, L"ThreadingModel", L"Apartment"), ERROR_SUCCESS);
    RegCloseKey(through_machine);

    HKEY through_classes = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{1234}\\InprocServer32", 0, KEY_READ,
                            &through_classes),
              ERROR_SUCCESS);
    EXPECT_EQ(get_string(through_classes, L"ThreadingModel"), L"Apartment");
    RegCloseKey(through_classes);
    EXPECT_TRUE(hive_bytes().empty());  // nothing went to the user's hive
}

TEST_F(Registry, ReportsMissingKeysValuesAndRights) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Nothing", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"AllFilesystemObjects", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"\\Software", &key), ERROR_BAD_PATHNAME);

    HKEY writable = create(HKEY_CURRENT_USER, L"Software\\Calvimora");
    EXPECT_EQ(get_string(writable, L"PCID"), L"error 2");
    EXPECT_EQ(RegDeleteValueW(writable, L"PCID"), ERROR_FILE_NOT_FOUND);

    HKEY read_only = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Calvimora", 0, KEY_READ, &read_only),
              ERROR_SUCCESS);
    EXPECT_EQ(set_dword(read_only, L"AutoLogin", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyW(read_only, L"Child", &key), ERROR_ACCESS_DENIED);
    HKEY write_only = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Calvimora", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &write_only, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(set_dword(write_only, L"AutoLogin", 1), ERROR_SUCCESS);
    EXPECT_FALSE(get_dword(write_only, L"AutoLogin"));
    EXPECT_EQ(get_dword(read_only, L"AutoLogin"), 1u);

    RegCloseKey(write_only);
    RegCloseKey(read_only);
    RegCloseKey(writable);
    EXPECT_EQ(RegCloseKey(writable), ERROR_INVALID_HANDLE);
    EXPECT_EQ(get_dword(writable, L"AutoLogin"), std::nullopt);
}

TEST_F(Registry, DeletesValuesAndLeafKeysOnly) {
    HKEY parent = create(HKEY_CURRENT_USER, L"Software\\Calvimora");
    HKEY child = create(parent, L"Child\\Grandchild");
    ASSERT_EQ(set_dword(child, L"Level", 2), ERROR_SUCCESS);
    ASSERT_EQ(set_dword(parent, L"Kept", 1), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteKeyW(parent, L"Child"), ERROR_ACCESS_DENIED);  // it has a subkey
    ASSERT_EQ(RegDeleteKeyW(parent, L"CHILD\\grandchild"), ERROR_SUCCESS);
    EXPECT_EQ(get_dword(child, L"Level"), std::nullopt);
    EXPECT_EQ(set_dword(child, L"Level", 3), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyW(parent, L"Child\\Grandchild"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegDeleteKeyW(parent, L"Child"), ERROR_SUCCESS);

    ASSERT_EQ(RegDeleteValueW(parent, L"KEPT"), ERROR_SUCCESS);
    EXPECT_EQ(get_dword(parent, L"Kept"), std::nullopt);
    RegCloseKey(child);
    RegCloseKey(parent);
}

TEST_F(Registry, AHiveThatDoesNotParseIsReportedAndLeftAlone) {
    std::filesystem::create_directories(root.path() + "/registry");
    const std::string garbage("CVMHIVE\0 not really a hive", 26);
    {
        std::ofstream out(root.path() + "/registry/current_user.hive", std::ios::binary);
        out << garbage;
    }
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Calvimora", &key), ERROR_BADDB);
    EXPECT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, L"Software", &key), ERROR_BADDB);
    EXPECT_EQ(hive_bytes(), garbage);

    // A truncated copy of a good hive is refused too.
    HKEY machine = create(HKEY_LOCAL_MACHINE, L"Software\\Calvimora");
    ASSERT_EQ(set_string(machine, L"PCID", L"0123"), ERROR_SUCCESS);
    RegCloseKey(machine);
    const std::string good = hive_bytes("local_machine.hive");
    {
        std::ofstream out(root.path() + "/registry/local_machine.hive", std::ios::binary);
        out << good.substr(0, good.size() - 1);
    }
    EXPECT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, L"Software\\Calvimora", &key), ERROR_BADDB);
}

TEST_F(Registry, AnotherProcessSeesChangesBothWays) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Calvimora");
    ASSERT_EQ(set_string(key, L"FromTest", L"t\u00e9st"), ERROR_SUCCESS);
    EXPECT_EQ(helper_process::run({"expect-string", "fromtest", "t\xc3\xa9st"}), 0);

    EXPECT_EQ(get_string(key, L"FromHelper"), L"error 2");  // now cached without it
    ASSERT_EQ(helper_process::run({"set-string", "FromHelper", "first"}), 0);
    EXPECT_EQ(get_string(key, L"FromHelper"), L"first");
    ASSERT_EQ(helper_process::run({"set-string", "FromHelper", "second"}), 0);
    EXPECT_EQ(get_string(key, L"FromHelper"), L"second");
    EXPECT_EQ(get_string(key, L"FromTest"), L"t\u00e9st");
    RegCloseKey(key);
}

TEST_F(Registry, AWriterKilledAtAnyMomentLeavesAWholeHive) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Calvimora");
    ASSERT_EQ(set_string(key, L"Before", L"kept"), ERROR_SUCCESS);
    for (int kill_round = 0; kill_round < 5; ++kill_round) {
        // Each writer counts from 1 again.
        RegDeleteValueW(key, L"Counter");
        const pid_t writer = helper_process::start({"count-forever"});
        // Let it get well into its writes, a little further each round.
        const DWORD target = 3 + kill_round * 7;
        const bool progressed = helper_process::eventually([&] {
            auto counter = get_dword(key, L"Counter");
            return counter && *counter >= target;
        });
        kill(writer, SIGKILL);
        helper_process::wait(writer);
        ASSERT_TRUE(progressed);

        const auto counter = get_dword(key, L"Counter");
        ASSERT_TRUE(counter.has_value());
        EXPECT_GE(*counter, target);
        std::vector<BYTE> blob(64 * 1024);
        DWORD size = static_cast<DWORD>(blob.size());
        ASSERT_EQ(RegQueryValueExW(key, L"Blob", nullptr, nullptr, blob.data(), &size),
                  ERROR_SUCCESS);
        ASSERT_EQ(size, blob.size());
        // The blob belongs to the last round or the one before, whole.
        const BYTE expected_now = static_cast<BYTE>(*counter);
        const BYTE expected_before = static_cast<BYTE>(*counter - 1);
        EXPECT_TRUE(blob.front() == expected_now || blob.front() == expected_before);
        EXPECT_EQ(std::count(blob.begin(), blob.end(), blob.front()),
                  static_cast<long>(blob.size()));
        EXPECT_EQ(get_string(key, L"Before"), L"kept");
    }
    // The lock died with the writer: writing goes on.
    EXPECT_EQ(set_dword(key, L"After", 1), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Registry, EnumeratesSubkeysAndValuesInNameOrderWithTheirCase) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Enum");
    RegCloseKey(create(key, L"beta"));
    RegCloseKey(create(key, L"Alpha"));
    ASSERT_EQ(set_string(key, L"Second", L"two"), ERROR_SUCCESS);
    ASSERT_EQ(set_dword(key, L"first", 7), ERROR_SUCCESS);

    wchar_t name[16];
    DWORD count = 16;
    ASSERT_EQ(RegEnumKeyExW(key, 0, name, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(name), L"Alpha");
    EXPECT_EQ(count, 5u);
    count = 16;
    ASSERT_EQ(RegEnumKeyExW(key, 1, name, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(name), L"beta");
    count = 16;
    EXPECT_EQ(RegEnumKeyExW(key, 2, name, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    // A buffer without room for the name and its NUL is not written past.
    count = 5;
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);

    DWORD type = 0, value = 0, size = sizeof value;
    count = 16;
    ASSERT_EQ(
        RegEnumValueW(key, 0, name, &count, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(name), L"first");
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 7u);
    wchar_t text[2];
    size = sizeof text;
    count = 16;
    EXPECT_EQ(
        RegEnumValueW(key, 1, name, &count, nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 4 * sizeof(wchar_t));

    DWORD subkeys = 0, values = 0;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 2u);
    EXPECT_EQ(values, 2u);
    RegCloseKey(key);

    HKEY read_only = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Enum", 0, KEY_QUERY_VALUE, &read_only),
              ERROR_SUCCESS);
    count = 16;
    EXPECT_EQ(RegEnumKeyExW(read_only, 0, name, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    RegCloseKey(read_only);
}

TEST_F(Registry, DeletesATreeOrEmptiesAKey) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Tree\\A\\B\\C");
    ASSERT_EQ(set_string(key, L"Deep", L"x"), ERROR_SUCCESS);
    RegCloseKey(key);
    HKEY top = create(HKEY_CURRENT_USER, L"Software\\Tree");
    ASSERT_EQ(set_string(top, L"Kept", L"y"), ERROR_SUCCESS);
    RegCloseKey(create(top, L"Sibling"));

    EXPECT_EQ(RegDeleteTreeW(top, L"A"), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyW(top, L"A\\B", &gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(get_string(top, L"Kept"), L"y");
    EXPECT_EQ(RegDeleteTreeW(top, L"A"), ERROR_FILE_NOT_FOUND);

    // Without a subkey the key stays, emptied.
    EXPECT_EQ(RegDeleteTreeW(top, nullptr), ERROR_SUCCESS);
    DWORD subkeys = 1, values = 1;
    ASSERT_EQ(RegQueryInfoKeyW(top, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 0u);
    RegCloseKey(top);
}

TEST_F(Registry, AReadOnlyHiveRefusesEveryChangeButStillReads) {
    HKEY key = create(HKEY_LOCAL_MACHINE, L"Software\\Existing");
    ASSERT_EQ(set_string(key, L"Value", L"before"), ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string before = hive_bytes("local_machine.hive");

    win_test::set_registry_read_only(HKEY_CLASSES_ROOT, true);  // the machine's hive
    HKEY opened = nullptr;
    // Opening what exists works, also through RegCreateKeyExW.
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Existing", 0, nullptr, 0, KEY_READ,
                              nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(get_string(opened, L"Value"), L"before");
    RegCloseKey(opened);
    key = create(HKEY_LOCAL_MACHINE, L"Software\\Existing");
    EXPECT_EQ(set_string(key, L"Value", L"after"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(key, L"Value"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(get_string(key, L"Value"), L"before");
    RegCloseKey(key);
    HKEY made = nullptr;
    EXPECT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, L"New", &made), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Existing"), ERROR_ACCESS_DENIED);
    // The user's hive is another hive.
    HKEY user = create(HKEY_CURRENT_USER, L"Software\\Writable");
    EXPECT_EQ(set_string(user, L"Value", L"fine"), ERROR_SUCCESS);
    RegCloseKey(user);
    win_test::set_registry_read_only(HKEY_LOCAL_MACHINE, false);

    EXPECT_EQ(hive_bytes("local_machine.hive"), before);
    key = create(HKEY_LOCAL_MACHINE, L"Software\\Existing");
    EXPECT_EQ(set_string(key, L"Value", L"after"), ERROR_SUCCESS);
    RegCloseKey(key);
}
