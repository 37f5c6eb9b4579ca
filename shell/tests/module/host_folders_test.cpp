// The host process's kind, the extension's local folders, the path that
// opens the virtual folder, and item-id lists of objects.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "folder/module/host_process.h"
#include "folder/module/local_folders.h"
#include "win/file.h"
#include "win/kernel.h"
#include "win/library.h"
#include "win/machine.h"
#include "win/psapi.h"
#include "win/shell_folder.h"

namespace {

using namespace shell_utils;

class HostProcess : public ::testing::Test {
protected:
    void TearDown() override { win_test::set_process_image_path(nullptr); }
    host_process_kind playing(const wchar_t* image) {
        win_test::set_process_image_path(image);
        return ClassifyProcess(GetCurrentProcessId());
    }
};

TEST_F(HostProcess, TheKindFollowsTheImagesFileNameWhateverItsCase) {
    EXPECT_EQ(playing(L"C:\\Windows\\EXPLORER.EXE"), host_explorer);
    EXPECT_EQ(playing(L"C:/Office/WinWord.exe"), host_word_processor);
    EXPECT_EQ(playing(L"D:\\Calvimora\\Calvimora_Session.exe"), host_session_handler);
    EXPECT_EQ(playing(L"D:\\Calvimora\\calvimora_session64.EXE"), host_session_handler);
    EXPECT_EQ(playing(L"C:\\Windows\\explorer.exe.bak"), host_other);
    EXPECT_EQ(playing(L"explorer.exe"), host_other) << "no folder, no file name part";
    EXPECT_EQ(ClassifyProcess(0x7FFFFFF0u), host_other);

    EXPECT_EQ(GetFileNamePart(L"C:\\a/b\\c.exe"), L"c.exe");
    EXPECT_EQ(GetFileNamePart(L"C:\\a\\b/c.exe"), L"c.exe");
    EXPECT_EQ(GetFileNamePart(L"plain"), L"");
    EXPECT_EQ(GetFileNamePart(L"C:\\folder\\"), L"");
}

TEST(LocalFolders, TheExtensionsFolderIsMadeAndTheOthersLieBelowIt) {
    win_machine::scoped_root root;
    const std::wstring folder = GetLocalAppDataFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.substr(folder.size() - 10), L"\\Calvimora");
    EXPECT_TRUE(std::filesystem::is_directory(win_file::native_path(folder)));
    EXPECT_EQ(GetLocalAppDataFolder(), folder) << "an existing folder is fine";
    EXPECT_EQ(GetIntermediateFilesFolder(), folder + L"\\Intermediate files");
    EXPECT_EQ(GetFilterTempFolder(), folder + L"\\Filter temp");
    EXPECT_FALSE(std::filesystem::exists(win_file::native_path(GetFilterTempFolder())));

    // Where something else has the folder's name there is no folder, nor
    // one below it.
    const std::string native = win_file::native_path(folder);
    std::filesystem::remove_all(native);
    std::ofstream(native) << "not a folder";
    EXPECT_EQ(GetLocalAppDataFolder(), L"");
    EXPECT_EQ(GetIntermediateFilesFolder(), L"");
}

TEST(ExplorerPath, NamesTheFolderBelowComputer) {
    EXPECT_EQ(GetExplorerParsingPath(L"\\Documents"),
              L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::"
              L"{B7C2E4A9-5D13-4F86-A0E2-7C9D1B3F5E48}\\Documents");
}

class named_folder final : public IPersistFolder2 {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_IPersistFolder2 || iid == IID_IUnknown ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetCurFolder(PIDLIST_ABSOLUTE* list) override {
        static const BYTE empty[] = {0, 0};
        *list = ILClone(reinterpret_cast<LPCITEMIDLIST>(empty));
        return S_OK;
    }
};

TEST(ObjectIdLists, AreAskedOfTheShellLibraryWhenItHasTheExport) {
    named_folder folder;
    PIDLIST_ABSOLUTE list = nullptr;
    ASSERT_EQ(SHGetIDListFromObject(&folder, &list), S_OK);
    EXPECT_TRUE(ILIsEmpty(list));
    ILFree(list);

    win_test::hide_shell_export("SHGetIDListFromObject", true);
    list = nullptr;
    EXPECT_EQ(SHGetIDListFromObject(&folder, &list), E_FAIL);
    EXPECT_EQ(list, nullptr);
    win_test::hide_shell_export("SHGetIDListFromObject", false);
}

}  // namespace
