// Path helpers, associations over the classes root, the classes of shell
// executions, and local folders handing files to a registered drop handler.
#include <gtest/gtest.h>

#include <fstream>

#include "com_test_support.h"
#include "registry/registry_key_name.h"
#include "win/clipboard.h"
#include "win/file.h"
#include "win/shell_assoc.h"
#include "win/shell_browse.h"
#include "win/shell_dragdrop.h"
#include "win/shell_path.h"
#include "win/shell_test.h"
#include "win/user_window.h"

namespace {

using com_test::set_string;

TEST(ShellPath, ExtensionIsFromTheLastDotOfTheLastElement) {
    const wchar_t* name = L"\\dir.x\\a.tar.gz";
    EXPECT_STREQ(PathFindExtensionW(name), L".gz");
    EXPECT_STREQ(PathFindExtensionW(L"\\dir.x\\file"), L"");
    EXPECT_STREQ(PathFindExtensionW(L"a. b"), L"");
    EXPECT_STREQ(PathFindExtensionW(L"my song.MP3"), L".MP3");
    EXPECT_STREQ(PathFindExtensionW(L"name."), L".");
    EXPECT_EQ(PathFindExtensionW(nullptr), nullptr);
    // The end of the text when there is none, not a copy.
    const wchar_t* plain = L"README";
    EXPECT_EQ(PathFindExtensionW(plain), plain + 6);
}

TEST(ShellPath, FileNameIsTheLastElement) {
    EXPECT_STREQ(PathFindFileNameW(L"\\tmp\\x\\a b.txt"), L"a b.txt");
    EXPECT_STREQ(PathFindFileNameW(L"/tmp/x/a.txt"), L"a.txt");
    EXPECT_STREQ(PathFindFileNameW(L"c:\\dir\\"), L"dir\\");
    EXPECT_STREQ(PathFindFileNameW(L"c:name"), L"name");
    EXPECT_STREQ(PathFindFileNameW(L"alone"), L"alone");
    EXPECT_EQ(PathFindFileNameW(nullptr), nullptr);
}

TEST(ShellPath, CommandLinesProgramIsTheFirstToken) {
    EXPECT_EQ(win_shell::command_executable(L"\"C:\\Program Files\\p.exe\" \"%1\""),
              L"C:\\Program Files\\p.exe");
    EXPECT_EQ(win_shell::command_executable(L"  C:\\Apps\\p.exe %1"), L"C:\\Apps\\p.exe");
    EXPECT_EQ(win_shell::command_executable(L"\"unclosed quote"), L"unclosed quote");
    EXPECT_EQ(win_shell::command_executable(L"\"\" x"), L"");
    EXPECT_EQ(win_shell::command_executable(L"   "), L"");
}

// A classes root with a type, its class, a program under two names and a
// type whose class names no key.
class Associations : public com_test::ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        set_string(HKEY_CLASSES_ROOT, L".mp3", nullptr, L"Player.Audio");
        set_string(HKEY_CLASSES_ROOT, L"Player.Audio\\shell\\open\\command", nullptr,
                   L"\"C:\\Program Files\\Player\\player.exe\" \"%1\"");
        set_string(HKEY_CLASSES_ROOT, L"Player.Audio\\shell\\enqueue\\command", nullptr,
                   L"C:\\Apps\\queue.exe /add %1");
        set_string(HKEY_CLASSES_ROOT, L"Applications\\player.exe", L"FriendlyAppName",
                   L"Sound Player");
        set_string(HKEY_CLASSES_ROOT, L"Applications\\player.exe\\shell\\open\\command", nullptr,
                   L"\"C:\\Program Files\\Player\\player.exe\" \"%1\"");
        set_string(HKEY_CLASSES_ROOT, L".nodef\\OpenWithProgIds", L"Player.Audio", L"");
        set_string(HKEY_CLASSES_ROOT, L".gone", nullptr, L"No.Such.Class");
        set_string(HKEY_CLASSES_ROOT, L"Bare.Class\\shell\\print", nullptr, L"Print");
    }
    void TearDown() override {
        for (HKEY key : opened) RegCloseKey(key);
        EXPECT_EQ(win_test::open_registry_keys(), 0u);
        ComTest::TearDown();
    }
    HKEY open(const wchar_t* name) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyW(HKEY_CLASSES_ROOT, name, &key), ERROR_SUCCESS);
        opened.push_back(key);
        return key;
    }
    HKEY query_key(ASSOCF flags, ASSOCKEY what, const wchar_t* assoc, HRESULT expected = S_OK) {
        HKEY key = nullptr;
        EXPECT_EQ(AssocQueryKeyW(flags, what, assoc, nullptr, &key), expected) << assoc;
        if (key) opened.push_back(key);
        return key;
    }
    std::vector<HKEY> opened;
};

TEST_F(Associations, ExecutableAndCommandOfTheDefaultOrAGivenVerb) {
    HKEY key = open(L"Player.Audio");
    WCHAR text[MAX_PATH] = {};
    DWORD count = MAX_PATH;
    ASSERT_EQ(AssocQueryStringByKeyW(0, ASSOCSTR_EXECUTABLE, key, nullptr, text, &count), S_OK);
    EXPECT_STREQ(text, L"C:\\Program Files\\Player\\player.exe");
    EXPECT_EQ(count, std::wcslen(text) + 1);
    count = MAX_PATH;
    ASSERT_EQ(AssocQueryStringByKeyW(0, ASSOCSTR_EXECUTABLE, key, L"enqueue", text, &count), S_OK);
    EXPECT_STREQ(text, L"C:\\Apps\\queue.exe");
    count = MAX_PATH;
    ASSERT_EQ(AssocQueryStringByKeyW(0, ASSOCSTR_COMMAND, key, L"enqueue", text, &count), S_OK);
    EXPECT_STREQ(text, L"C:\\Apps\\queue.exe /add %1");
    // The class names no friendly name: the program's own key does.
    count = MAX_PATH;
    ASSERT_EQ(AssocQueryStringByKeyW(0, ASSOCSTR_FRIENDLYAPPNAME, key, nullptr, text, &count),
              S_OK);
    EXPECT_STREQ(text, L"Sound Player");
    // Without any friendly name: the program's file name.
    count = MAX_PATH;
    ASSERT_EQ(AssocQueryStringByKeyW(0, ASSOCSTR_FRIENDLYAPPNAME, key, L"enqueue", text, &count),
              S_OK);
    EXPECT_STREQ(text, L"queue.exe");
}

TEST_F(Associations, BufferSizesAsTheSystemAnswersThem) {
    HKEY key = open(L"Player.Audio");
    const std::wstring program = L"C:\\Program Files\\Player\\player.exe";
    DWORD count = 0;
    EXPECT_EQ(AssocQueryStringByKeyW(0, ASSOCSTR_EXECUTABLE, key, nullptr, nullptr, &count),
              S_FALSE);
    EXPECT_EQ(count, program.size() + 1);
    // One unit short: E_POINTER and the size needed; cut unless told not to.
    WCHAR text[MAX_PATH];
    std::fill(std::begin(text), std::end(text), L'#');
    count = static_cast<DWORD>(program.size());
    EXPECT_EQ(AssocQueryStringByKeyW(0, ASSOCSTR_EXECUTABLE, key, nullptr, text, &count),
              E_POINTER);
    EXPECT_EQ(count, program.size() + 1);
    EXPECT_EQ(std::wstring(text), program.substr(0, program.size() - 1));
    std::fill(std::begin(text), std::end(text), L'#');
    count = 4;
    EXPECT_EQ(
        AssocQueryStringByKeyW(ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, key, nullptr, text, &count),
        E_POINTER);
    EXPECT_EQ(text[0], L'#');
    EXPECT_EQ(AssocQueryStringByKeyW(0, ASSOCSTR_EXECUTABLE, nullptr, nullptr, text, &count),
              E_INVALIDARG);
}

TEST_F(Associations, MissingCommandsAreNoAssociation) {
    const HRESULT none = HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION);
    WCHAR text[MAX_PATH] = {};
    DWORD count = MAX_PATH;
    EXPECT_EQ(
        AssocQueryStringByKeyW(0, ASSOCSTR_EXECUTABLE, open(L"Bare.Class"), nullptr, text, &count),
        none);
    EXPECT_EQ(AssocQueryStringByKeyW(0, ASSOCSTR_EXECUTABLE, open(L"Player.Audio"), L"edit", text,
                                     &count),
              none);
    EXPECT_EQ(AssocQueryStringByKeyW(0, ASSOCSTR_FRIENDLYAPPNAME, open(L"Bare.Class"), nullptr,
                                     text, &count),
              none);
}

TEST_F(Associations, KeysByExtensionAndByProgram) {
    HKEY shell_class = query_key(ASSOCF_INIT_IGNOREUNKNOWN, ASSOCKEY_SHELLEXECCLASS, L".mp3");
    EXPECT_EQ(win_detail::registry_key_name(shell_class),
              L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Player.Audio");
    HKEY application = query_key(ASSOCF_INIT_IGNOREUNKNOWN, ASSOCKEY_APP, L".mp3");
    EXPECT_EQ(win_detail::registry_key_name(application),
              L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Applications\\player.exe");
    HKEY by_name =
        query_key(ASSOCF_INIT_BYEXENAME, ASSOCKEY_APP, L"C:\\Program Files\\Player\\player.exe");
    EXPECT_EQ(win_detail::registry_key_name(by_name),
              L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Applications\\player.exe");
    query_key(ASSOCF_INIT_BYEXENAME, ASSOCKEY_SHELLEXECCLASS, L"PLAYER.EXE");

    const HRESULT none = HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION);
    query_key(ASSOCF_INIT_IGNOREUNKNOWN, ASSOCKEY_SHELLEXECCLASS, L".nodef", none);
    query_key(ASSOCF_INIT_IGNOREUNKNOWN, ASSOCKEY_SHELLEXECCLASS, L".gone", none);
    query_key(ASSOCF_INIT_IGNOREUNKNOWN, ASSOCKEY_SHELLEXECCLASS, L".unknown", none);
    query_key(ASSOCF_INIT_BYEXENAME, ASSOCKEY_APP, L"stranger.exe", none);
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(AssocQueryKeyW(0, ASSOCKEY_APP, nullptr, nullptr, &key), E_INVALIDARG);
    EXPECT_EQ(key, nullptr);
}

TEST_F(Associations, ExecutionsRecordTheirClassAndNeedItsCommand) {
    win_test::clear_shell_executions();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_CLASSKEY | SEE_MASK_FLAG_NO_UI;
    info.hkeyClass = open(L"Player.Audio");
    info.lpFile = L"\\tmp\\a.mp3";
    info.nShow = SW_SHOWNORMAL;
    EXPECT_TRUE(ShellExecuteExW(&info));
    info.lpVerb = L"edit";
    EXPECT_FALSE(ShellExecuteExW(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_ASSOCIATION));
    EXPECT_EQ(reinterpret_cast<intptr_t>(info.hInstApp), SE_ERR_NOASSOC);
    info.hkeyClass = open(L"Bare.Class");
    info.lpVerb = nullptr;
    EXPECT_FALSE(ShellExecuteExW(&info));
    // A class key that is no open key.
    info.hkeyClass = reinterpret_cast<HKEY>(4000);
    EXPECT_FALSE(ShellExecuteExW(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // The folder class is the shell's own; other names must be classes.
    BYTE list[2] = {0, 0};
    SHELLEXECUTEINFOW folder{};
    folder.cbSize = sizeof folder;
    folder.fMask = SEE_MASK_IDLIST | SEE_MASK_CLASSNAME;
    folder.lpVerb = L"explore";
    folder.lpClass = L"Folder";
    folder.lpFile = L"\\tmp";
    folder.lpIDList = list;
    EXPECT_TRUE(ShellExecuteExW(&folder));
    folder.lpClass = L"No.Such.Class";
    EXPECT_FALSE(ShellExecuteExW(&folder));

    const auto journal = win_test::shell_executions();
    ASSERT_EQ(journal.size(), 5u);  // the call with a closed key is refused before
    EXPECT_EQ(journal[0].class_name, "HKEY_LOCAL_MACHINE\\Software\\Classes\\Player.Audio");
    EXPECT_EQ(journal[0].mask, SEE_MASK_CLASSKEY | SEE_MASK_FLAG_NO_UI);
    EXPECT_EQ(journal[0].result, 42);
    EXPECT_EQ(journal[1].result, SE_ERR_NOASSOC);
    EXPECT_EQ(journal[3].class_name, "Folder");
    EXPECT_EQ(journal[3].verb, "explore");
    EXPECT_EQ(journal[4].result, SE_ERR_NOASSOC);
}

// {4B9E2D71-3C5A-4F08-9E61-7D2C8A1B5E34}
const CLSID handler_class{
    0x4B9E2D71, 0x3C5A, 0x4F08, {0x9E, 0x61, 0x7D, 0x2C, 0x8A, 0x1B, 0x5E, 0x34}};

class LocalFolders : public com_test::ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        folder = com_test::system_form(root.path() + "/local");
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        for (const wchar_t* name : {L"a.mp3", L"b c.mp3", L"Käse.mp3"}) {
            std::ofstream(win_file::native_path(folder + L"\\" + name)) << "x";
        }
        com_test::register_server(L"{4B9E2D71-3C5A-4F08-9E61-7D2C8A1B5E34}", TEST_DROP_HANDLER);
        win_test::clear_handler_drops();
    }
    IShellFolder* bind(const std::wstring& path) {
        PIDLIST_ABSOLUTE list = nullptr;
        SFGAOF attributes = 0;
        EXPECT_EQ(SHParseDisplayName(path.c_str(), nullptr, &list, SFGAO_FOLDER | SFGAO_CANRENAME,
                                     &attributes),
                  S_OK);
        EXPECT_EQ(attributes, SFGAO_FOLDER);
        IShellFolder* desktop = nullptr;
        EXPECT_EQ(SHGetDesktopFolder(&desktop), S_OK);
        IShellFolder* local = nullptr;
        EXPECT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder,
                                        reinterpret_cast<void**>(&local)),
                  S_OK);
        desktop->Release();
        CoTaskMemFree(list);
        return local;
    }
    PITEMID_CHILD parse(IShellFolder* local, std::wstring name, HRESULT expected = S_OK) {
        PIDLIST_RELATIVE child = nullptr;
        EXPECT_EQ(local->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &child, nullptr),
                  expected);
        return child;
    }
    std::wstring folder;
};

TEST_F(LocalFolders, MissingPathsAndFilesAreNotFound) {
    PIDLIST_ABSOLUTE list = nullptr;
    SFGAOF attributes = SFGAO_FOLDER;
    EXPECT_EQ(SHParseDisplayName((folder + L"\\nothing").c_str(), nullptr, &list, SFGAO_FOLDER,
                                 &attributes),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(attributes, 0u);
    // A file's list parses but does not bind as a folder.
    ASSERT_EQ(SHParseDisplayName((folder + L"\\a.mp3").c_str(), nullptr, &list, 0, nullptr), S_OK);
    IShellFolder* desktop = nullptr;
    ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    void* object = nullptr;
    EXPECT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder, &object), E_INVALIDARG);
    desktop->Release();
    CoTaskMemFree(list);

    IShellFolder* local = bind(folder);
    ASSERT_NE(local, nullptr);
    parse(local, L"missing.mp3", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    parse(local, L"..", E_INVALIDARG);
    parse(local, L"sub\\a.mp3", E_INVALIDARG);
    void* data = nullptr;
    EXPECT_EQ(local->GetUIObjectOf(nullptr, 0, nullptr, IID_IDataObject, nullptr, &data),
              E_INVALIDARG);
    local->Release();
}

TEST_F(LocalFolders, OneHandlerGetsAllFilesInOneDrop) {
    IShellFolder* local = bind(folder + L"\\");
    ASSERT_NE(local, nullptr);
    std::vector<PITEMID_CHILD> children{parse(local, L"a.mp3"), parse(local, L"b c.mp3"),
                                        parse(local, L"Käse.mp3")};
    IDataObject* data = nullptr;
    ASSERT_EQ(local->GetUIObjectOf(nullptr, 3, children.data(), IID_IDataObject, nullptr,
                                   reinterpret_cast<void**>(&data)),
              S_OK);
    IDropTarget* target = nullptr;
    ASSERT_EQ(CoCreateInstance(handler_class, nullptr, CLSCTX_ALL, IID_IDropTarget,
                               reinterpret_cast<void**>(&target)),
              S_OK);
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_EQ(target->DragEnter(data, 0, POINTL{0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_EQ(target->Drop(data, 0, POINTL{0, 0}, &effect), S_OK);
    target->Release();
    data->Release();
    for (auto* child : children) CoTaskMemFree(child);
    local->Release();

    const auto drops = win_test::handler_drops();
    ASSERT_EQ(drops.size(), 2u);
    EXPECT_EQ(drops[0].call, "DragEnter");
    EXPECT_EQ(drops[1].call, "Drop");
    EXPECT_EQ(drops[0].instance, drops[1].instance);
    const std::vector<std::wstring> files{folder + L"\\a.mp3", folder + L"\\b c.mp3",
                                          folder + L"\\Käse.mp3"};
    EXPECT_EQ(drops[0].files, files);
    EXPECT_EQ(drops[1].files, files);
}

TEST_F(LocalFolders, ASelectionCarriesTheListsOfItsFolderAndItemsBesideItsFiles) {
    IShellFolder* local = bind(folder);
    ASSERT_NE(local, nullptr);
    std::vector<PITEMID_CHILD> children{parse(local, L"b c.mp3"), parse(local, L"a.mp3")};
    IDataObject* data = nullptr;
    ASSERT_EQ(local->GetUIObjectOf(nullptr, 2, children.data(), IID_IDataObject, nullptr,
                                   reinterpret_cast<void**>(&data)),
              S_OK);
    FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_SHELLIDLIST)), nullptr,
                     DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&format), S_OK);
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&format, &medium), S_OK);
    const void* block = GlobalLock(medium.hGlobal);
    const auto lists = win_shell::read_id_array(block, GlobalSize(medium.hGlobal));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    ASSERT_TRUE(lists);
    ASSERT_EQ(lists->items.size(), 2u);
    for (size_t i = 0; i < children.size(); ++i) {
        const auto* bytes = reinterpret_cast<const BYTE*>(children[i]);
        EXPECT_EQ(lists->items[i], std::vector<BYTE>(bytes, bytes + ILGetSize(children[i])));
    }
    // The folder's list is absolute: the desktop binds it to the same folder.
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(
        SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lists->folder.data()), path));
    EXPECT_EQ(std::wstring(path), folder);

    // The files are there as before, in the selection's order; other
    // formats are not.
    format.cfFormat = CF_HDROP;
    ASSERT_EQ(data->GetData(&format, &medium), S_OK);
    const std::vector<std::wstring> files{folder + L"\\b c.mp3", folder + L"\\a.mp3"};
    EXPECT_EQ(win_shell::read_drop_files(GlobalLock(medium.hGlobal), GlobalSize(medium.hGlobal)),
              files);
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    format.cfFormat = CF_UNICODETEXT;
    EXPECT_EQ(data->QueryGetData(&format), DV_E_FORMATETC);

    data->Release();
    for (auto* child : children) CoTaskMemFree(child);
    local->Release();
}

}  // namespace
