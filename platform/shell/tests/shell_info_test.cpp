// Type names and icons of files, special folders, the item-id list of an
// object and the shell library's exports, clipboard format numbers, and what
// a process learns of processes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "drawing/tests/gdi_test_support.h"
#include "win/clipboard.h"
#include "win/file.h"
#include "win/handle.h"
#include "win/library.h"
#include "win/machine.h"
#include "win/process.h"
#include "win/psapi.h"
#include "win/registry.h"
#include "win/shell.h"
#include "win/user_icon.h"

namespace {

void set_default(const std::wstring& key_name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, key_name.c_str(), &key), ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::wstring type_name(const wchar_t* path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path, attributes, &info, sizeof info,
                        SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES))
        return L"failed";
    return info.szTypeName;
}

TEST(ShellInformation, TypeNamesComeFromTheRegisteredFileTypes) {
    win_machine::scoped_root root;
    set_default(L".gz", L"GzipArchive");
    set_default(L"GzipArchive", L"Compressed archive");
    set_default(L".orphan", L"NoSuchClass");
    set_default(L".long", L"LongName");
    set_default(L"LongName", std::wstring(100, L'x'));

    EXPECT_EQ(type_name(L"archive.tar.gz"), L"Compressed archive");
    EXPECT_EQ(type_name(L".gz"), L"Compressed archive");
    EXPECT_EQ(type_name(L"C:\\some.folder\\notes.TxT"), L"TXT File");
    EXPECT_EQ(type_name(L"data.orphan"), L"ORPHAN File");
    EXPECT_EQ(type_name(L"C:\\some.folder\\README"), L"File");
    EXPECT_EQ(type_name(L""), L"File");
    EXPECT_EQ(type_name(L"*", FILE_ATTRIBUTE_DIRECTORY), L"File folder");
    EXPECT_EQ(type_name(L"x.long"), std::wstring(79, L'x'));

    SHFILEINFOW info{};
    EXPECT_EQ(SHGetFileInfoW(L"a.txt", 0, &info, sizeof info, SHGFI_TYPENAME), 0u);
    EXPECT_EQ(
        SHGetFileInfoW(nullptr, 0, &info, sizeof info, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES),
        0u);
}

TEST(ShellInformation, TheLocalApplicationDataFolderIsMadeWhenAskedFor) {
    win_machine::scoped_root root;
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, TRUE));
    EXPECT_TRUE(std::filesystem::is_directory(win_file::native_path(path)));
    const std::wstring folder = std::wstring(path) + L"\\Calvimora";
    EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE));

    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW((folder + L"\\missing\\deeper").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// An object that names a folder, as a folder object does.
class named_folder final : public IPersistFolder2 {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IPersistFolder ||
            iid == IID_IPersistFolder2) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetCurFolder(PIDLIST_ABSOLUTE* list) override {
        static const BYTE one_element[] = {4, 0, 'x', 'y', 0, 0};
        *list = ILClone(reinterpret_cast<LPCITEMIDLIST>(one_element));
        return S_OK;
    }
};

using get_id_list = HRESULT (*)(IUnknown*, PIDLIST_ABSOLUTE*);

TEST(ShellInformation, TheShellLibraryHandsOutItsExportUnlessTheSystemLacksIt) {
    HMODULE shell = LoadLibraryW(L"C:\\Windows\\System32\\SHELL32.DLL");
    ASSERT_NE(shell, nullptr);
    auto function = reinterpret_cast<get_id_list>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHGetIDListFromObject")));
    ASSERT_NE(function, nullptr);
    named_folder folder;
    PIDLIST_ABSOLUTE list = nullptr;
    ASSERT_EQ(function(&folder, &list), S_OK);
    EXPECT_EQ(ILGetSize(list), 6u);
    ILFree(list);

    win_test::hide_shell_export("SHGetIDListFromObject", true);
    EXPECT_EQ(GetProcAddress(shell, "SHGetIDListFromObject"), nullptr);
    win_test::hide_shell_export("SHGetIDListFromObject", false);
    EXPECT_EQ(GetProcAddress(shell, "NoSuchExport"), nullptr);
    EXPECT_TRUE(FreeLibrary(shell));
    EXPECT_EQ(LoadLibraryW(L"other.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    IUnknown* nothing_named = nullptr;
    IMalloc* allocator = nullptr;
    ASSERT_EQ(CoGetMalloc(MEMCTX_TASK, &allocator), S_OK);
    nothing_named = allocator;
    EXPECT_EQ(SHGetIDListFromObject(nothing_named, &list), E_NOINTERFACE);
    EXPECT_EQ(list, nullptr);
    allocator->Release();
}

TEST(ClipboardFormats, OneNameIsOneNumberWhateverItsCase) {
    const UINT first = RegisterClipboardFormatW(L"Shell IDList Array");
    EXPECT_GE(first, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatW(L"SHELL IDLIST ARRAY"), first);
    const UINT second = RegisterClipboardFormatW(L"FileContents");
    EXPECT_NE(second, first);
    EXPECT_GE(second, 0xC000u);
    wchar_t name[8];
    EXPECT_EQ(GetClipboardFormatNameW(first, name, 8), 7);
    EXPECT_EQ(std::wstring(name), L"Shell I");
    EXPECT_EQ(GetClipboardFormatNameW(CF_HDROP, name, 8), 0);
    EXPECT_EQ(RegisterClipboardFormatW(L""), 0u);
    EXPECT_EQ(CF_HDROP, 15);
}

std::wstring image_of(DWORD process_id) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id);
    if (!process) return L"not opened";
    HMODULE first = nullptr;
    DWORD needed = 0;
    wchar_t path[MAX_PATH] = {};
    if (EnumProcessModules(process, &first, sizeof first, &needed))
        GetModuleFileNameExW(process, first, path, MAX_PATH);
    CloseHandle(process);
    return path;
}

TEST(ProcessInformation, AProcessReportsItsImageOrTheOneATestGivesIt) {
    wchar_t own[MAX_PATH];
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    EXPECT_EQ(image_of(GetCurrentProcessId()), own);

    win_test::set_process_image_path(L"C:\\Windows\\EXPLORER.EXE");
    EXPECT_EQ(image_of(GetCurrentProcessId()), L"C:\\Windows\\EXPLORER.EXE");
    wchar_t still[MAX_PATH];
    GetModuleFileNameW(nullptr, still, MAX_PATH);
    EXPECT_EQ(std::wstring(still), std::wstring(own));
    win_test::set_process_image_path(nullptr);
    EXPECT_EQ(image_of(GetCurrentProcessId()), own);

    EXPECT_EQ(image_of(static_cast<DWORD>(getppid())).empty(), false);
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0x7FFFFFF0u), nullptr);
}

}  // namespace

// ---- Icons of file types ----------------------------------------------------

namespace {

std::wstring location(const wchar_t* path, DWORD attributes = FILE_ATTRIBUTE_NORMAL,
                      UINT more = 0) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path, attributes, &info, sizeof info,
                        SHGFI_ICONLOCATION | SHGFI_USEFILEATTRIBUTES | more))
        return L"failed";
    return std::wstring(info.szDisplayName) + L"," + std::to_wstring(info.iIcon);
}

HICON icon_of(const wchar_t* path, DWORD attributes, UINT more = 0) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path, attributes, &info, sizeof info,
                        SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | more))
        return nullptr;
    return info.hIcon;
}

// The pixel at the middle of the icon, drawn at its own size over white.
uint32_t middle_of(HICON icon) {
    const SIZE size = win_icons::icon_size(icon);
    gdi_testing::surface s(size.cx, size.cy);
    s.fill(0xFFFFFFFF);
    EXPECT_TRUE(DrawIconEx(s.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
    return s.at(size.cx / 2, size.cy * 3 / 4);
}

}  // namespace

TEST(ShellIcons, LocationsComeFromTheClassesOrTheShellLibrary) {
    win_machine::scoped_root root;
    set_default(L".pdf", L"Reader.Document");
    set_default(L"Reader.Document\\DefaultIcon", L"C:\\Apps\\reader.exe,-2");
    set_default(L".txt", L"txtfile");
    set_default(L"txtfile\\DefaultIcon", L"C:\\Apps\\notes.exe");
    set_default(L".exe", L"exefile");
    set_default(L"exefile\\DefaultIcon", L"%1");
    set_default(L".bare", L"BareType");

    EXPECT_EQ(location(L"*", FILE_ATTRIBUTE_DIRECTORY), L"shell32.dll,3");
    EXPECT_EQ(location(L"*", FILE_ATTRIBUTE_DIRECTORY, SHGFI_OPENICON), L"shell32.dll,4");
    EXPECT_EQ(location(L".pdf"), L"C:\\Apps\\reader.exe,-2");
    EXPECT_EQ(location(L"C:\\some.dir\\Report.final.PDF"), L"C:\\Apps\\reader.exe,-2");
    EXPECT_EQ(location(L".txt"), L"C:\\Apps\\notes.exe,0");
    EXPECT_EQ(location(L".exe"), L"shell32.dll,0");   // its icon is in each file: none read
    EXPECT_EQ(location(L".bare"), L"shell32.dll,0");  // a class without an icon
    EXPECT_EQ(location(L".unknown"), L"shell32.dll,0");
    EXPECT_EQ(location(L""), L"shell32.dll,0");  // a name without an extension

    SHFILEINFOW info{};
    EXPECT_EQ(SHGetFileInfoW(L".pdf", 0, &info, sizeof info, SHGFI_ICONLOCATION), 0u);
    EXPECT_EQ(SHGetFileInfoW(L".pdf", 0, &info, sizeof info,
                             SHGFI_ICONLOCATION | SHGFI_USEFILEATTRIBUTES | 0x4000),
              0u);
}

TEST(ShellIcons, IconsAreNewHandlesOfTheSystemSizesThatDraw) {
    win_machine::scoped_root root;
    set_default(L".pdf", L"Reader.Document");
    set_default(L"Reader.Document\\DefaultIcon", L"C:\\Apps\\reader.exe,1");
    const int before = win_icons::live_icons();

    HICON folder = icon_of(L"*", FILE_ATTRIBUTE_DIRECTORY);
    HICON open = icon_of(L"*", FILE_ATTRIBUTE_DIRECTORY, SHGFI_OPENICON);
    HICON small = icon_of(L"*", FILE_ATTRIBUTE_DIRECTORY, SHGFI_SMALLICON);
    HICON document = icon_of(L"notes", FILE_ATTRIBUTE_NORMAL);
    HICON pdf = icon_of(L"a.pdf", FILE_ATTRIBUTE_NORMAL);  // its file holds no icon here
    ASSERT_TRUE(folder && open && small && document && pdf);
    EXPECT_EQ(win_icons::live_icons(), before + 5);
    EXPECT_EQ(win_icons::icon_size(folder).cx, 32);
    EXPECT_EQ(win_icons::icon_size(small).cy, 16);

    const uint32_t folder_colour = middle_of(folder);
    EXPECT_NE(folder_colour, 0xFFFFFFFFu);
    EXPECT_EQ(middle_of(small), folder_colour);
    EXPECT_NE(middle_of(open), folder_colour);
    EXPECT_EQ(middle_of(document), 0xFFFFFFFFu);  // a white page
    EXPECT_EQ(middle_of(pdf), middle_of(document));

    // Scaled and over a brush: the corner the icon leaves transparent
    // shows the brush.
    gdi_testing::surface s(64, 64);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    EXPECT_TRUE(DrawIconEx(s.dc(), 0, 0, folder, 64, 64, 0, red, DI_NORMAL));
    DeleteObject(red);
    EXPECT_EQ(s.at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(s.at(32, 48), folder_colour);

    for (HICON icon : {folder, open, small, document, pdf}) EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_EQ(win_icons::live_icons(), before);
    EXPECT_FALSE(DrawIconEx(s.dc(), 0, 0, folder, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ICON_HANDLE));
}

TEST(ShellIcons, OnlyTheShellLibraryHoldsIcons) {
    HICON large = nullptr, small = nullptr;
    EXPECT_EQ(ExtractIconExW(L"C:\\Windows\\System32\\SHELL32.DLL", 3, &large, &small, 1), 1u);
    ASSERT_TRUE(large && small);
    EXPECT_EQ(win_icons::icon_size(large).cx, 32);
    EXPECT_EQ(win_icons::icon_size(small).cx, 16);
    DestroyIcon(large);
    DestroyIcon(small);
    EXPECT_EQ(ExtractIconExW(L"shell32.dll", -1, nullptr, nullptr, 0), 3u);
    EXPECT_EQ(ExtractIconExW(L"shell32.dll", 2, &large, nullptr, 1), 0u);
    EXPECT_EQ(ExtractIconExW(L"C:\\Apps\\reader.exe", 0, &large, nullptr, 1), 0u);
    EXPECT_EQ(ExtractIconExW(nullptr, 0, &large, nullptr, 1), 0u);
}

TEST(ShellIcons, IconsFromBitmapsNeedAMaskAndStandardIconsCannotBeDrawn) {
    HBITMAP colour = CreateCompatibleBitmap(nullptr, 8, 8);
    ICONINFO info{TRUE, 0, 0, nullptr, colour};
    EXPECT_EQ(CreateIconIndirect(&info), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateIconIndirect(nullptr), nullptr);
    info.hbmMask = colour;
    HICON icon = CreateIconIndirect(&info);
    ASSERT_NE(icon, nullptr);
    DeleteObject(colour);  // the icon keeps its own copy
    EXPECT_EQ(win_icons::icon_size(icon).cx, 8);
    gdi_testing::surface s(8, 8);
    EXPECT_TRUE(DrawIconEx(s.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
    DestroyIcon(icon);

    HICON standard = LoadIconW(nullptr, IDI_WARNING);
    EXPECT_FALSE(DrawIconEx(s.dc(), 0, 0, standard, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}
