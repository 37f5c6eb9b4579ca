#include "win/shell_browse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kernel/wide_text.h"
#include "win/com.h"
#include "win/shell.h"
#include "win/shell_path.h"
#include "windowing/tests/user_dialog_test_support.h"

namespace {

std::wstring wide(const std::string& native) {
    return win_detail::from_utf8(native);
}

// A local path as the shell gives it back, with "\" between names.
std::wstring shell_form(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// Types the text into the browser's folder box, as pasting does.
void type_folder(HWND browser, const std::wstring& text) {
    const HWND edit = GetDlgItem(browser, IDC_BROWSE_FOLDER_EDIT);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

// What the browser told its callback.
struct heard {
    std::vector<UINT> messages;
    std::vector<std::wstring> selections;
    std::wstring select_at_start;
    int keep_open_on_failed_validation = 0;
    std::wstring failed_text;
};

int CALLBACK listen(HWND browser, UINT message, LPARAM lparam, LPARAM data) {
    auto* h = reinterpret_cast<heard*>(data);
    h->messages.push_back(message);
    if (message == BFFM_INITIALIZED && !h->select_at_start.empty())
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE,
                     reinterpret_cast<LPARAM>(h->select_at_start.c_str()));
    if (message == BFFM_SELCHANGED) {
        wchar_t path[MAX_PATH];
        SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lparam), path);
        h->selections.push_back(path);
    }
    if (message == BFFM_VALIDATEFAILEDW) {
        h->failed_text = reinterpret_cast<LPCWSTR>(lparam);
        return h->keep_open_on_failed_validation-- > 0 ? 1 : 0;
    }
    return 0;
}

std::wstring path_of(PIDLIST_ABSOLUTE list) {
    wchar_t path[MAX_PATH] = L"unchanged";
    const BOOL found = SHGetPathFromIDListW(list, path);
    ILFree(list);
    return found ? std::wstring(path) : L"<none>";
}

class FolderBrowser : public user_test::UserTest {
protected:
    FolderBrowser() {
        CoInitialize(nullptr);
        std::filesystem::create_directories(folder_native);
        std::ofstream(root_.path() + "/data/a.txt") << "x";
    }
    ~FolderBrowser() override { CoUninitialize(); }

    // Browses from "Computer", as the sync page does.
    PIDLIST_ABSOLUTE browse(heard* h = nullptr, UINT flags = BIF_NEWDIALOGSTYLE) {
        PIDLIST_ABSOLUTE computer = nullptr;
        EXPECT_EQ(SHGetFolderLocation(nullptr, CSIDL_DRIVES, nullptr, 0, &computer), S_OK);
        info.pidlRoot = computer;
        info.lpszTitle = L"Select a folder";
        info.ulFlags = flags;
        info.pszDisplayName = display_name;
        if (h) {
            info.lpfn = listen;
            info.lParam = reinterpret_cast<LPARAM>(h);
        }
        PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
        ILFree(computer);
        return chosen;
    }

    const std::string folder_native = root_.path() + "/data/Sync me";
    const std::wstring folder = wide(folder_native);
    const std::wstring chosen_folder = shell_form(folder);
    BROWSEINFOW info{};
    wchar_t display_name[MAX_PATH] = L"";
};

TEST_F(FolderBrowser, AScriptTypesAFolderAndChoosesIt) {
    heard h;
    win_test::scoped_dialog_responder script([&](HWND browser) {
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(browser, IDOK)));  // nothing selected yet
        type_folder(browser, folder);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(browser, IDOK)));
        SendMessageW(GetDlgItem(browser, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(path_of(browse(&h)), chosen_folder);
    EXPECT_STREQ(display_name, L"Sync me");
    ASSERT_FALSE(h.messages.empty());
    EXPECT_EQ(h.messages.front(), static_cast<UINT>(BFFM_INITIALIZED));
    EXPECT_EQ(h.selections, std::vector<std::wstring>{chosen_folder});
    const win_test::dialog_record record = win_test::dialogs().back();
    EXPECT_EQ(record.caption, "Browse For Folder");
    EXPECT_EQ(record.result, IDOK);
    EXPECT_EQ(record.answered_by, "script");
}

TEST_F(FolderBrowser, CancelFilesOrMissingFoldersChooseNothing) {
    {
        win_test::scoped_dialog_responder script([&](HWND browser) {
            type_folder(browser, folder);
            SendMessageW(GetDlgItem(browser, IDCANCEL), BM_CLICK, 0, 0);
        });
        EXPECT_EQ(browse(), nullptr);
    }
    for (const std::wstring& text :
         {wide(root_.path() + "/data/a.txt"), wide(root_.path() + "/data/missing"),
          std::wstring(L"data"), folder + L"/../Sync me"}) {
        win_test::scoped_dialog_responder script([&](HWND browser) {
            type_folder(browser, text);
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(browser, IDOK)));
        });
        // Left open with OK disabled: the dialog ends as cancelled.
        EXPECT_EQ(browse(), nullptr) << win_detail::to_utf8(text);
    }
    // Nobody at all: "Computer" is no folder to choose.
    EXPECT_EQ(browse(), nullptr);
    EXPECT_EQ(win_test::dialogs().back().result, IDCANCEL);
}

TEST_F(FolderBrowser, ANetworkShareCanBeChosenAsOnWindows) {
    win_test::scoped_dialog_responder script([&](HWND browser) {
        type_folder(browser, L"//server/share/sub/");
        SendMessageW(GetDlgItem(browser, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(path_of(browse()), L"\\\\server\\share\\sub");
}

TEST_F(FolderBrowser, APersonTypesThePathOnTheTerminal) {
    // [1] the folder box, [2] OK, [3] Cancel.
    dialog_test::typed_input person("1\n" + folder_native + "\n2\n");
    testing::internal::CaptureStderr();
    PIDLIST_ABSOLUTE chosen = browse();
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(path_of(chosen), chosen_folder);
    EXPECT_NE(shown.find("Select a folder"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Folder"), std::string::npos) << shown;
    EXPECT_EQ(win_test::dialogs().back().answered_by, "terminal");
}

TEST_F(FolderBrowser, TheCallbackSelectsAtTheStartAndValidatesTypedText) {
    heard h;
    h.select_at_start = folder;
    // Nobody answers: OK is the default and the callback's folder is chosen.
    EXPECT_EQ(path_of(browse(&h)), chosen_folder);
    EXPECT_EQ(h.selections, std::vector<std::wstring>{chosen_folder});

    heard v;
    v.keep_open_on_failed_validation = 1;
    int presses = 0;
    win_test::scoped_dialog_responder script([&](HWND browser) {
        type_folder(browser, L"nowhere");
        // The callback enables OK; each press asks it again.
        SendMessageW(browser, BFFM_ENABLEOK, 0, TRUE);
        SendMessageW(GetDlgItem(browser, IDOK), BM_CLICK, 0, 0);
        ++presses;
        EXPECT_TRUE(IsWindow(browser));
        SendMessageW(GetDlgItem(browser, IDOK), BM_CLICK, 0, 0);
        ++presses;
    });
    EXPECT_EQ(browse(&v, BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_VALIDATE), nullptr);
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(v.failed_text, L"nowhere");
}

TEST_F(FolderBrowser, ALocalRootKeepsTheChoiceInsideIt) {
    PIDLIST_ABSOLUTE root = nullptr;
    ASSERT_EQ(SHGetFolderLocation(nullptr, CSIDL_PERSONAL, nullptr, 0, &root), S_OK);
    const std::wstring documents = shell_form(wide(win_machine::documents_dir()));
    std::filesystem::create_directories(win_machine::documents_dir() + "/inner");
    info.pidlRoot = root;
    for (const std::wstring& text : {folder, std::wstring(L"//server/share")}) {
        win_test::scoped_dialog_responder script([&](HWND browser) { type_folder(browser, text); });
        EXPECT_EQ(SHBrowseForFolderW(&info), nullptr);
    }
    {
        win_test::scoped_dialog_responder script(
            [&](HWND browser) { type_folder(browser, documents + L"/inner"); });
        EXPECT_EQ(path_of(SHBrowseForFolderW(&info)), documents + L"\\inner");
    }
    // Opened on the root, which is selected.
    EXPECT_EQ(path_of(SHBrowseForFolderW(&info)), documents);
    ILFree(root);
}

TEST_F(FolderBrowser, TheNewStyleNeedsCOMOnTheThread) {
    PIDLIST_ABSOLUTE chosen = reinterpret_cast<PIDLIST_ABSOLUTE>(1);
    std::thread([&] {
        BROWSEINFOW bare{};
        bare.ulFlags = BIF_NEWDIALOGSTYLE;
        chosen = SHBrowseForFolderW(&bare);
    }).join();
    EXPECT_EQ(chosen, nullptr);
    EXPECT_TRUE(win_test::dialogs().empty());
    EXPECT_EQ(SHBrowseForFolderW(nullptr), nullptr);
}

TEST_F(FolderBrowser, SpecialFoldersHaveListsAndPaths) {
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_PERSONAL, FALSE));
    EXPECT_EQ(std::wstring(path), wide(win_machine::documents_dir()));
    EXPECT_EQ(win_machine::documents_dir().rfind(root_.path(), 0), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(win_machine::documents_dir()));

    PIDLIST_ABSOLUTE list = nullptr;
    ASSERT_EQ(SHGetFolderLocation(nullptr, CSIDL_PERSONAL, nullptr, 0, &list), S_OK);
    EXPECT_EQ(path_of(list), shell_form(path));
    ASSERT_EQ(SHGetFolderLocation(nullptr, CSIDL_DRIVES, nullptr, 0, &list), S_OK);
    EXPECT_EQ(path_of(list), L"<none>");
    ASSERT_EQ(SHGetFolderLocation(nullptr, CSIDL_DESKTOP, nullptr, 0, &list), S_OK);
    EXPECT_TRUE(ILIsEmpty(list));
    EXPECT_EQ(path_of(list), L"<none>");
    EXPECT_EQ(SHGetFolderLocation(nullptr, CSIDL_APPDATA, nullptr, 0, &list), E_INVALIDARG);
    EXPECT_EQ(list, nullptr);
    EXPECT_FALSE(SHGetPathFromIDListW(nullptr, path));
    EXPECT_EQ(path[0], L'\0');
}

TEST_F(FolderBrowser, NetworkPathsAreUNCNamesOrNetworkMounts) {
    EXPECT_TRUE(PathIsNetworkPathW(L"\\\\server\\share"));
    EXPECT_TRUE(PathIsNetworkPathW(L"//server/share/a"));
    EXPECT_FALSE(PathIsNetworkPathW(folder.c_str()));
    EXPECT_FALSE(PathIsNetworkPathW((folder + L"/not/yet/made").c_str()));
    EXPECT_FALSE(PathIsNetworkPathW(L"relative\\name"));
    EXPECT_FALSE(PathIsNetworkPathW(nullptr));
}

}  // namespace
