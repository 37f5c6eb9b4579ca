// The extension registered, used and removed through the shell host on a
// fresh stand-in machine, as the system's registration tool and Explorer
// use it.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>

#include "shell_host.h"
#include "utils/class_ids.h"
#include "win/locale.h"
#include "win/machine.h"
#include "win/persist.h"
#include "win/registry.h"
#include "win/shell.h"
#include "win/shell_menu.h"
#include "win/shell_overlay.h"
#include "win/shell_propsheet.h"
#include "win/test_journal.h"

namespace {

using lines = std::vector<std::wstring>;

std::wstring text_of(REFGUID guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

// The module's path as the system names it.
std::wstring module_path() {
    const std::string native = std::filesystem::canonical(CALVIMORA_MODULE).string();
    std::wstring path(native.begin(), native.end());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

lines sorted(lines all) {
    std::sort(all.begin(), all.end());
    return all;
}

// The machine's hive without the type library's keys (its own tests check
// those) and the identifier's value, which is new each time.
lines machine_tree_without_type_library() {
    lines out;
    for (const std::wstring& line : win_test::registry_tree(HKEY_LOCAL_MACHINE, L"")) {
        if (line.rfind(L"Software\\Classes\\Interface\\", 0) == 0 ||
            line.rfind(L"Software\\Classes\\TypeLib\\", 0) == 0 ||
            line.rfind(L"Software\\Calvimora: PCID", 0) == 0)
            continue;
        out.push_back(line);
    }
    return sorted(out);
}

std::wstring pc_id() {
    for (const std::wstring& line :
         win_test::registry_tree(HKEY_LOCAL_MACHINE, L"Software\\Calvimora"))
        if (line.rfind(L"PCID = REG_SZ ", 0) == 0) return line.substr(14);
    return L"";
}

// Writes lines for keys and values below a path.
class expected_tree {
public:
    expected_tree& key(const std::wstring& path) {
        lines_.push_back(path);
        return *this;
    }
    expected_tree& value(const std::wstring& path, const std::wstring& name,
                         const std::wstring& text) {
        lines_.push_back(path + L": " + name + L" = REG_SZ \"" + text + L"\"");
        return *this;
    }
    // A key with its default value, and the keys on its way.
    expected_tree& keys(const std::wstring& path) {
        for (size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1))
            add_once(path.substr(0, at));
        add_once(path);
        return *this;
    }
    expected_tree& server(const std::wstring& clsid_key, const std::wstring& module) {
        keys(clsid_key + L"\\InprocServer32");
        value(clsid_key + L"\\InprocServer32", L"@", module);
        value(clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
        return *this;
    }
    lines result() const { return sorted(lines_); }

private:
    void add_once(const std::wstring& path) {
        if (std::find(lines_.begin(), lines_.end(), path) == lines_.end()) lines_.push_back(path);
    }
    lines lines_;
};

class Registration : public ::testing::Test {
protected:
    const std::wstring module = module_path();
    const std::wstring folder = text_of(utils::clsid_calvimora_folder);
    const std::wstring drive = text_of(utils::clsid_properties_drive_dlg);
    const std::wstring sync = text_of(utils::clsid_properties_sync_dlg);
    const std::wstring menu = text_of(utils::clsid_shell_context_menu);
    const std::wstring overlay = text_of(utils::clsid_shell_overlay_icon);
    const std::wstring data_object = text_of(utils::clsid_data_object);
    const std::wstring app_id = text_of(utils::appid_calvimora);
    const std::wstring classes = L"Software\\Classes";
    const std::wstring version = L"Software\\Microsoft\\Windows\\CurrentVersion";

    lines registered() const {
        expected_tree t;
        t.keys(L"Software\\Calvimora");
        // The application id.
        t.keys(classes + L"\\AppID\\" + app_id)
            .value(classes + L"\\AppID\\" + app_id, L"@", L"Calvimora");
        t.keys(classes + L"\\AppID\\Calvimora.DLL")
            .value(classes + L"\\AppID\\Calvimora.DLL", L"AppID", app_id);
        // The folder.
        const std::wstring f = classes + L"\\CLSID\\" + folder;
        t.keys(f).value(f, L"@", L"Calvimora").value(f, L"InfoTip", L"Calvimora").server(f, module);
        t.keys(f + L"\\DefaultIcon").value(f + L"\\DefaultIcon", L"@", module + L",0");
        t.keys(f + L"\\ProgID").value(f + L"\\ProgID", L"@", L"Calvimora");
        const std::wstring category =
            f + L"\\Implemented Categories\\{00021490-0000-0000-C000-000000000046}";
        t.keys(category).value(category, L"@", L"Browsable Shell Extension");
        t.keys(f + L"\\ShellFolder");
        t.key(f + L"\\ShellFolder: Attributes = REG_DWORD 0xB8C00153");
        t.value(f + L"\\ShellFolder", L"PinToNameSpaceTree", L"");
        t.keys(version + L"\\Explorer\\MyComputer\\NameSpace\\" + folder);
        const std::wstring approved = version + L"\\Shell Extensions\\Approved";
        t.keys(approved).value(approved, folder, L"Calvimora");
        // The drive's property sheet.
        const std::wstring d = classes + L"\\CLSID\\" + drive;
        t.keys(d).value(d, L"@", L"Calvimora Property Sheet").server(d, module);
        const std::wstring on_folder = f + L"\\ShellEx\\PropertySheetHandlers\\" + drive;
        t.keys(on_folder).value(on_folder, L"@", L"Calvimora Property Sheet");
        t.keys(classes + L"\\Calvimora").value(classes + L"\\Calvimora", L"@", L"");
        const std::wstring on_name =
            classes + L"\\Calvimora\\ShellEx\\PropertySheetHandlers\\" + drive;
        t.keys(on_name).value(on_name, L"@", L"Calvimora Property Sheet");
        t.value(approved, drive, L"Calvimora Property Sheet");
        // The sheet and the menu of local files and folders.
        const std::wstring s = classes + L"\\CLSID\\" + sync;
        t.keys(s).value(s, L"@", L"Calvimora_Property_Sheet_Sync").server(s, module);
        const std::wstring sheet = classes +
                                   L"\\AllFileSystemObjects\\ShellEx\\PropertySheetHandlers\\Calvim"
                                   L"ora_Property_Sheet_Sync";
        t.keys(sheet).value(sheet, L"@", sync);
        const std::wstring m = classes + L"\\CLSID\\" + menu;
        t.keys(m).value(m, L"@", L"ShellContextMenu Class").server(m, module);
        const std::wstring handler =
            classes +
            L"\\AllFileSystemObjects\\ShellEx\\ContextMenuHandlers\\Calvimora_ShellContextMenu";
        t.keys(handler).value(handler, L"@", menu);
        // The overlay identifier.
        const std::wstring o = classes + L"\\CLSID\\" + overlay;
        t.keys(o)
            .value(o, L"@", L"ShellOverlayIcon Class")
            .value(o, L"AppID", app_id)
            .server(o, module);
        t.keys(o + L"\\ProgID").value(o + L"\\ProgID", L"@", L"Calvimora.ShellOverlayIcon.1");
        t.keys(o + L"\\VersionIndependentProgID")
            .value(o + L"\\VersionIndependentProgID", L"@", L"Calvimora.ShellOverlayIcon");
        t.keys(o + L"\\Programmable");
        t.keys(o + L"\\TypeLib").value(o + L"\\TypeLib", L"@", text_of(utils::libid_calvimora_lib));
        const std::wstring current = classes + L"\\Calvimora.ShellOverlayIcon.1";
        t.keys(current).value(current, L"@", L"ShellOverlayIcon Class");
        t.keys(current + L"\\CLSID").value(current + L"\\CLSID", L"@", overlay);
        const std::wstring independent = classes + L"\\Calvimora.ShellOverlayIcon";
        t.keys(independent).value(independent, L"@", L"ShellOverlayIcon Class");
        t.keys(independent + L"\\CLSID").value(independent + L"\\CLSID", L"@", overlay);
        t.keys(independent + L"\\CurVer")
            .value(independent + L"\\CurVer", L"@", L"Calvimora.ShellOverlayIcon.1");
        const std::wstring identifier =
            version + L"\\Explorer\\ShellIconOverlayIdentifiers\\Calvimora_ShellOverlayIcon";
        t.keys(identifier).value(identifier, L"@", overlay);
        // The data object, which the clipboard makes again after a flush.
        const std::wstring data = classes + L"\\CLSID\\" + data_object;
        t.keys(data).value(data, L"@", L"Calvimora Data Object").server(data, module);
        // The type library's own keys.
        t.keys(classes + L"\\Interface").keys(classes + L"\\TypeLib");
        return t.result();
    }

    win_machine::scoped_root root;
};

TEST_F(Registration, WritesEveryScriptsKeysAndOneSetOnlyWhenRepeated) {
    ASSERT_EQ(shell_host::register_server(module), S_OK);
    EXPECT_EQ(machine_tree_without_type_library(), registered());
    const std::wstring id = pc_id();
    EXPECT_EQ(id.size(), 38u) << "a quoted identifier of 36 characters";
    const lines library = win_test::registry_tree(
        HKEY_CLASSES_ROOT, L"TypeLib\\" + text_of(utils::libid_calvimora_lib) + L"\\1.3");
    ASSERT_FALSE(library.empty());
    EXPECT_EQ(library.front(), L"@ = REG_SZ \"Calvimora 1.3 Type Library\"");
    // Seven interfaces, nine lines each: the key, its name, the two proxy
    // keys with their values, and the library key with its id and version.
    EXPECT_EQ(win_test::registry_tree(HKEY_CLASSES_ROOT, L"Interface").size(), 7u * 9);
    EXPECT_TRUE(win_test::registry_tree(HKEY_CURRENT_USER, L"").empty());

    ASSERT_EQ(shell_host::register_server(module), S_OK);
    EXPECT_EQ(machine_tree_without_type_library(), registered());
    EXPECT_EQ(pc_id(), id) << "the identifier was made once";
}

TEST_F(Registration, RemovalTakesTheExtensionsKeysAndKeepsTheSharedOnes) {
    ASSERT_EQ(shell_host::register_server(module), S_OK);
    const std::wstring id = pc_id();
    ASSERT_EQ(shell_host::unregister_server(module), S_OK);
    expected_tree kept;
    kept.keys(L"Software\\Calvimora");
    kept.keys(classes + L"\\AllFileSystemObjects\\ShellEx\\ContextMenuHandlers");
    kept.keys(classes + L"\\AllFileSystemObjects\\ShellEx\\PropertySheetHandlers");
    kept.keys(classes + L"\\AppID").keys(classes + L"\\CLSID");
    kept.keys(classes + L"\\Calvimora\\ShellEx\\PropertySheetHandlers")
        .value(classes + L"\\Calvimora", L"@", L"");
    kept.keys(classes + L"\\Interface").keys(classes + L"\\TypeLib");
    kept.keys(version + L"\\Explorer\\MyComputer\\NameSpace");
    kept.keys(version + L"\\Explorer\\ShellIconOverlayIdentifiers");
    kept.keys(version + L"\\Shell Extensions\\Approved");
    EXPECT_EQ(machine_tree_without_type_library(), kept.result());
    EXPECT_EQ(pc_id(), id) << "removal leaves the identifier";
}

TEST_F(Registration, AnExistingIdentifierIsKeptAndRemovalMakesNone) {
    ASSERT_EQ(shell_host::unregister_server(module), S_OK);
    EXPECT_EQ(pc_id(), L"");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\Calvimora", &key), ERROR_SUCCESS);
    const std::wstring existing = L"existing-identifier";
    RegSetValueExW(key, L"PCID", 0, REG_SZ, reinterpret_cast<const BYTE*>(existing.c_str()),
                   static_cast<DWORD>((existing.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    ASSERT_EQ(shell_host::register_server(module), S_OK);
    EXPECT_EQ(pc_id(), L"\"existing-identifier\"");
}

TEST_F(Registration, WithoutWriteAccessToTheMachineItFailsAndWritesNothing) {
    SetThreadLocale(0x0407);
    win_test::set_registry_read_only(HKEY_LOCAL_MACHINE, true);
    EXPECT_EQ(shell_host::register_server(module), E_FAIL);
    win_test::set_registry_read_only(HKEY_LOCAL_MACHINE, false);
    EXPECT_EQ(GetThreadLocale(), 0x0407u) << "the locale is restored on failure";
    EXPECT_TRUE(win_test::registry_tree(HKEY_LOCAL_MACHINE, L"").empty());
    EXPECT_TRUE(win_test::registry_tree(HKEY_CURRENT_USER, L"").empty());

    ASSERT_EQ(shell_host::register_server(module), S_OK);
    EXPECT_EQ(GetThreadLocale(), 0x0407u);
    SetThreadLocale(LANG_ENGLISH_US);
}

bool module_loaded() {
    void* handle = dlopen(CALVIMORA_MODULE, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

TEST_F(Registration, TheHostUnloadsTheModuleOnceItsLastObjectIsGone) {
    ASSERT_EQ(shell_host::register_server(module), S_OK);
    EXPECT_FALSE(module_loaded()) << "registration unloads the module again";
    shell_host::com_apartment apartment;
    ASSERT_EQ(apartment.status(), S_OK);

    // Every class of the object map is registered; of them, the folder and
    // the overlay identifier are built.
    IUnknown* folder = nullptr;
    ASSERT_EQ(shell_host::create_instance(utils::clsid_calvimora_folder, IID_IUnknown,
                                          reinterpret_cast<void**>(&folder)),
              S_OK);
    shell_host::unload_unused_servers();
    EXPECT_TRUE(module_loaded()) << "a live folder keeps its module";
    folder->Release();
    IShellIconOverlayIdentifier* overlay = nullptr;
    ASSERT_EQ(shell_host::create_instance(utils::clsid_shell_overlay_icon,
                                          IID_IShellIconOverlayIdentifier,
                                          reinterpret_cast<void**>(&overlay)),
              S_OK);
    int priority = -1;
    EXPECT_EQ(overlay->GetPriority(&priority), S_OK);
    EXPECT_EQ(priority, 0);
    overlay->Release();
    IShellPropSheetExt* drive_sheet = nullptr;
    ASSERT_EQ(shell_host::create_instance(utils::clsid_properties_drive_dlg, IID_IShellPropSheetExt,
                                          reinterpret_cast<void**>(&drive_sheet)),
              S_OK);
    EXPECT_EQ(drive_sheet->ReplacePage(0, nullptr, 0), E_NOTIMPL);
    drive_sheet->Release();
    // The handlers of local items are made, each alone: no outer object.
    for (const auto& [clsid, iid] :
         {std::pair{utils::clsid_shell_context_menu, IID_IContextMenu},
          std::pair{utils::clsid_properties_sync_dlg, IID_IShellPropSheetExt}}) {
        IUnknown* handler = nullptr;
        ASSERT_EQ(shell_host::create_instance(clsid, iid, reinterpret_cast<void**>(&handler)),
                  S_OK);
        IShellExtInit* init = nullptr;
        EXPECT_EQ(handler->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)),
                  S_OK);
        if (init) init->Release();
        IUnknown* inner = nullptr;
        EXPECT_EQ(CoCreateInstance(clsid, handler, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&inner)),
                  CLASS_E_NOAGGREGATION);
        handler->Release();
    }
    // The data object is made empty, to be loaded from a saved form.
    IPersistStream* data_object = nullptr;
    ASSERT_EQ(shell_host::create_instance(utils::clsid_data_object, IID_IPersistStream,
                                          reinterpret_cast<void**>(&data_object)),
              S_OK);
    CLSID saved_class{};
    EXPECT_EQ(data_object->GetClassID(&saved_class), S_OK);
    EXPECT_EQ(saved_class, utils::clsid_data_object);
    data_object->Release();
    shell_host::unload_unused_servers();
    EXPECT_FALSE(module_loaded());

    // A factory held by the host keeps the module; its release lets it go.
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(utils::clsid_calvimora_folder, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    shell_host::unload_unused_servers();
    EXPECT_TRUE(module_loaded());
    EXPECT_EQ(win_test::loaded_com_servers().size(), 1u);
    factory->LockServer(TRUE);
    factory->Release();
    shell_host::unload_unused_servers();
    EXPECT_TRUE(module_loaded()) << "a server lock keeps it too";
    ASSERT_EQ(CoGetClassObject(utils::clsid_calvimora_folder, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->LockServer(FALSE);
    factory->Release();
    shell_host::unload_unused_servers();
    EXPECT_FALSE(module_loaded());
    EXPECT_TRUE(win_test::loaded_com_servers().empty());
}

TEST_F(Registration, AClassTheModuleDoesNotHaveIsNotAvailable) {
    HKEY key = nullptr;
    const std::wstring stranger = L"CLSID\\{0F0E0D0C-0B0A-0908-0706-050403020100}\\InprocServer32";
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, stranger.c_str(), &key), ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(module.c_str()),
                   static_cast<DWORD>((module.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    shell_host::com_apartment apartment;
    CLSID clsid{};
    CLSIDFromString(L"{0F0E0D0C-0B0A-0908-0706-050403020100}", &clsid);
    void* factory = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &factory),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    shell_host::unload_unused_servers();
    EXPECT_FALSE(module_loaded());
}

}  // namespace
