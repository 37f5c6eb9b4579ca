// Type names of files, special folders, the item-id list of an object and
// the shell library's exports, clipboard format numbers, and what a process
// learns of processes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "win/clipboard.h"
#include "win/file.h"
#include "win/handle.h"
#include "win/library.h"
#include "win/machine.h"
#include "win/process.h"
#include "win/psapi.h"
#include "win/registry.h"
#include "win/shell.h"

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
    EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROFILE, FALSE));

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
