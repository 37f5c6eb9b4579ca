#include <dlfcn.h>

#include <fstream>
#include <string>
#include <vector>

#include "com_test_support.h"
#include "win/commctrl.h"
#include "win/file.h"
#include "win/shell.h"
#include "win/user.h"
#include "win/win_test.h"

namespace {

const std::wstring alpha_text = L"{6C2B8E41-7A3D-4E59-8B16-2F4D9C0A7E51}";
const std::wstring beta_text = L"{6C2B8E42-7A3D-4E59-8B16-2F4D9C0A7E51}";

class ShellPropertySheets : public com_test::ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        com_test::register_server(alpha_text, TEST_SHEET_HANDLER);
        com_test::register_server(beta_text, TEST_SHEET_HANDLER);
        // Alpha under the first key by its class id; Beta under the second
        // by a name whose value is its class id; Alpha again, to be shown
        // once.
        com_test::set_string(HKEY_CLASSES_ROOT,
                             L"First.Type\\shellex\\PropertySheetHandlers\\" + alpha_text, nullptr,
                             L"");
        com_test::set_string(HKEY_CLASSES_ROOT,
                             L"Second.Type\\ShellEx\\PropertySheetHandlers\\Beta_Sheet", nullptr,
                             beta_text);
        com_test::set_string(HKEY_CLASSES_ROOT,
                             L"Second.Type\\ShellEx\\PropertySheetHandlers\\Alpha_Again", nullptr,
                             alpha_text);
        com_test::set_string(HKEY_CLASSES_ROOT,
                             L"Second.Type\\ShellEx\\PropertySheetHandlers\\Broken", nullptr,
                             L"not a class id");
        ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"First.Type", 0, KEY_READ, &keys[0]),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Second.Type", 0, KEY_READ, &keys[1]),
                  ERROR_SUCCESS);
        folder = com_test::system_form(root.path() + "/local");
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        std::ofstream(win_file::native_path(folder + L"\\report.txt")) << "x";
    }
    void TearDown() override {
        for (HKEY key : keys)
            if (key) RegCloseKey(key);
        ComTest::TearDown();
    }

    // A data object of the local file, as a folder gives it.
    IDataObject* data_of_file() {
        PIDLIST_ABSOLUTE list = nullptr;
        EXPECT_EQ(SHParseDisplayName(folder.c_str(), nullptr, &list, 0, nullptr), S_OK);
        IShellFolder* desktop = nullptr;
        EXPECT_EQ(SHGetDesktopFolder(&desktop), S_OK);
        IShellFolder* local = nullptr;
        EXPECT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder,
                                        reinterpret_cast<void**>(&local)),
                  S_OK);
        desktop->Release();
        CoTaskMemFree(list);
        PIDLIST_RELATIVE child = nullptr;
        std::wstring name = L"report.txt";
        EXPECT_EQ(local->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &child, nullptr),
                  S_OK);
        IDataObject* data = nullptr;
        PCUITEMID_CHILD children[] = {child};
        EXPECT_EQ(local->GetUIObjectOf(nullptr, 1, children, IID_IDataObject, nullptr,
                                       reinterpret_cast<void**>(&data)),
                  S_OK);
        CoTaskMemFree(child);
        local->Release();
        return data;
    }

    // What the handlers saw, read while their module is loaded.
    std::vector<std::string> events() {
        void* module = dlopen(TEST_SHEET_HANDLER, RTLD_NOW | RTLD_NOLOAD);
        if (!module) return {"(not loaded)"};
        using reader = std::vector<std::string>* (*)();
        auto read = reinterpret_cast<reader>(dlsym(module, "sheet_handler_events"));
        std::vector<std::string> seen = read ? *read() : std::vector<std::string>{};
        dlclose(module);
        return seen;
    }

    HKEY keys[2] = {nullptr, nullptr};
    std::wstring folder;
};

std::wstring tab_texts(HWND sheet) {
    HWND tabs = PropSheet_GetTabControl(sheet);
    std::wstring texts;
    for (int i = 0; i < TabCtrl_GetItemCount(tabs); ++i) {
        wchar_t text[32] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 32;
        TabCtrl_GetItem(tabs, i, &item);
        texts += std::wstring(text) + (i == TabCtrl_GetCurSel(tabs) ? L"*;" : L";");
    }
    return texts;
}

TEST_F(ShellPropertySheets, TheHandlersOfEveryKeyAddTheirPagesOnceAndLiveAsLongAsThem) {
    IDataObject* data = data_of_file();
    ASSERT_NE(data, nullptr);
    std::wstring caption, tabs;
    win_test::scoped_dialog_responder script([&](HWND sheet) {
        caption = win_test::text(sheet);
        tabs = tab_texts(sheet);
        win_test::press(sheet, IDOK);
    });
    // An unregistered default class is passed over, as Explorer's own
    // sheets are not here.
    const CLSID missing{0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_TRUE(SHOpenPropSheetW(nullptr, keys, 2, &missing, data, nullptr, L"Beta"));
    data->Release();
    EXPECT_EQ(caption, L"report.txt Properties");
    EXPECT_EQ(tabs, L"Alpha;Beta*;");
    // Only the shown page was made; both applied on OK; each handler
    // outlived its page.
    EXPECT_EQ(events(), (std::vector<std::string>{
                            "Alpha:initialize report.txt with key",
                            "Beta:initialize report.txt with key",
                            "Beta:create",
                            "Beta:init",
                            "Beta:apply",
                            "Alpha:page released",
                            "Beta:page released",
                            "Alpha:gone",
                            "Beta:gone",
                        }));
}

TEST_F(ShellPropertySheets, NoPageMeansNoSheet) {
    bool asked = false;
    win_test::scoped_dialog_responder script([&](HWND) { asked = true; });
    HKEY none[] = {HKEY_CLASSES_ROOT};
    EXPECT_FALSE(SHOpenPropSheetW(L"Nothing", none, 1, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(SHOpenPropSheetW(L"Nothing", nullptr, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(asked);
}

}  // namespace
