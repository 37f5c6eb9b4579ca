#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "folder_fakes.h"
#include "ui/property_sheet.h"
#include "win/commctrl.h"
#include "win/shell_thread.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/user_icon.h"
#include "win/win_test.h"

namespace {

using namespace shell_testing;
using namespace std::chrono_literals;

constexpr auto patience = 20s;

// What the pages of the sheets under test were asked to do.
struct page_log {
    std::mutex lock;
    std::vector<std::string> made;  // the kinds, in the order they were made
    std::vector<int> fill_start_pages;
    std::vector<HRESULT> com_on_fill;  // CoInitializeEx's answer on the filling thread
    int applies = 0;
    HRESULT fill_result = S_OK;
    HRESULT apply_result = S_OK;

    std::vector<std::string> kinds() {
        std::lock_guard<std::mutex> guard(lock);
        return made;
    }
};

constexpr WORD fake_page_id = 9350;

class CFakePage : public CAxDialogImpl<CFakePage> {
public:
    enum { IDD = fake_page_id };
    BOOL ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result, DWORD) override {
        if (message != WM_INITDIALOG) return FALSE;
        result = TRUE;
        return TRUE;
    }
};

// A page that shows its kind and does what the log scripts.
class fake_page : public sheet_page {
public:
    fake_page(std::string kind, page_log& log) : kind_(std::move(kind)), log_(log) {
        std::lock_guard<std::mutex> guard(log_.lock);
        log_.made.push_back(kind_);
    }
    HWND create(HWND tab_control) override {
        HWND window = page_.Create(tab_control);
        SetDlgItemTextW(window, 100, std::wstring(kind_.begin(), kind_.end()).c_str());
        return window;
    }
    HWND window() const override { return page_.m_hWnd; }
    HRESULT fill(int start_page) override {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(com)) CoUninitialize();
        std::lock_guard<std::mutex> guard(log_.lock);
        log_.fill_start_pages.push_back(start_page);
        log_.com_on_fill.push_back(com);
        return kind_ == "sync" ? S_OK : log_.fill_result;
    }
    bool loading() const override { return false; }
    HRESULT apply() override {
        std::lock_guard<std::mutex> guard(log_.lock);
        ++log_.applies;
        return kind_ == "sync" ? S_OK : log_.apply_result;
    }

private:
    std::string kind_;
    page_log& log_;
    CFakePage page_;
};

// What a person sees of the sheet: its caption, tabs, the selected tab and
// which page is shown.
struct sheet_view {
    std::wstring caption;
    std::vector<std::wstring> tabs;
    int selected = -1;
    std::vector<std::wstring> shown_pages;
    bool apply_enabled = false;
};

sheet_view look_at(HWND sheet) {
    sheet_view view;
    view.caption = win_test::text(sheet);
    HWND tabs = GetDlgItem(sheet, 351);
    for (int i = 0; i < TabCtrl_GetItemCount(tabs); ++i) {
        wchar_t text[64] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        TabCtrl_GetItem(tabs, i, &item);
        view.tabs.push_back(text);
    }
    view.selected = TabCtrl_GetCurSel(tabs);
    for (HWND page = GetWindow(tabs, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT))
        if (IsWindowVisible(page))
            view.shown_pages.push_back(win_test::text(GetDlgItem(page, 100)));
    view.apply_enabled = IsWindowEnabled(GetDlgItem(sheet, 352));
    return view;
}

class PropertySheet : public FolderTest {
protected:
    PropertySheet() {
        win_dialogs::dialog_template page;
        page.style = WS_CHILD | DS_CONTROL | DS_SETFONT;
        // The size of the extension's pages: wider and taller than the
        // tab control's display area.
        page.cx = 254;
        page.cy = 252;
        page.controls = {win_dialogs::left_text(100, L"", 7, 7, 100, 8)};
        win_dialogs::register_dialog(win_module::this_module(), fake_page_id, page);
        saved_makers = property_page_makers();
        auto maker = [this](std::string kind) {
            return [this, kind](const sheet_selection&) -> std::unique_ptr<sheet_page> {
                return std::make_unique<fake_page>(kind, log);
            };
        };
        property_page_makers() = {maker("file general"), maker("folder general"), maker("sharing"),
                                  maker("sync")};
        folder = make_folder();
    }
    ~PropertySheet() override {
        EXPECT_TRUE(win_test::pump_until([] { return OpenItemPropertySheets() == 0; }, patience));
        win_test::set_dialog_responder(nullptr);
        property_page_makers() = saved_makers;
        if (folder) folder->Release();
    }

    // The data object of children of the remote root; the caller releases it.
    CDataObjectImpl* selection(const vfs::item_list& items) {
        std::vector<LPITEMIDLIST> lists;
        for (const vfs::item_ptr& item : items) lists.push_back(child_list(item));
        std::vector<PCUITEMID_CHILD> children(lists.begin(), lists.end());
        IDataObject* data = nullptr;
        EXPECT_EQ(
            folder->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(),
                                  IID_IDataObject, nullptr, reinterpret_cast<void**>(&data)),
            S_OK);
        for (LPITEMIDLIST list : lists) CoTaskMemFree(list);
        return dynamic_cast<CDataObjectImpl*>(data);
    }

    // Opens the sheet of the items at the start page; the script looks at
    // it on the sheet's thread and ends it (Cancel unless it pressed
    // something). Returns what the script saw.
    sheet_view open(const vfs::item_list& items, int start_page,
                    std::function<void(HWND)> script = {}) {
        std::promise<sheet_view> seen;
        win_test::set_dialog_responder([&](HWND sheet) {
            win_test::pump();
            seen.set_value(look_at(sheet));
            if (script) script(sheet);
            if (IsWindow(sheet)) win_test::press(sheet, IDCANCEL);
        });
        CDataObjectImpl* data = selection(items);
        ShowItemProperties(folder, data, start_page);
        static_cast<IDataObject*>(data)->Release();
        auto future = seen.get_future();
        EXPECT_TRUE(win_test::pump_until(
            [&] { return future.wait_for(0s) == std::future_status::ready; }, patience));
        EXPECT_TRUE(win_test::pump_until([] { return OpenItemPropertySheets() == 0; }, patience));
        win_test::set_dialog_responder(nullptr);
        return future.wait_for(0s) == std::future_status::ready ? future.get() : sheet_view{};
    }

    CCalvimoraModule module;
    page_log log;
    sheet_page_makers saved_makers;
    IShellFolder2* folder = nullptr;
};

TEST_F(PropertySheet, FilesOnlyGetTheFileGeneralPageAndAnyFolderTheFolderPage) {
    const sheet_view file = open({music}, start_general);
    EXPECT_EQ(file.caption, L"Alpha.mp3 Properties");
    EXPECT_EQ(file.tabs, (std::vector<std::wstring>{L"General", L"Sync && Backup"}));
    EXPECT_EQ(file.selected, 0);
    EXPECT_EQ(file.shown_pages, std::vector<std::wstring>{L"file general"});
    EXPECT_EQ(log.kinds(), (std::vector<std::string>{"file general", "sync"}));

    log.made.clear();
    const sheet_view mixed = open({docs, music}, start_general);
    EXPECT_EQ(mixed.caption, L"Docs, ... Properties");
    EXPECT_EQ(mixed.tabs, (std::vector<std::wstring>{L"General", L"Sync && Backup"}));
    EXPECT_EQ(log.kinds(), (std::vector<std::string>{"folder general", "sync"}));

    log.made.clear();
    const sheet_view one_folder = open({docs}, start_general);
    EXPECT_EQ(one_folder.tabs,
              (std::vector<std::wstring>{L"General", L"Sharing", L"Sync && Backup"}));
    EXPECT_EQ(one_folder.shown_pages, std::vector<std::wstring>{L"folder general"});
    // The pages are filled with the start page once the sheet exists, on a
    // thread that has entered COM for them.
    std::lock_guard<std::mutex> guard(log.lock);
    EXPECT_EQ(log.fill_start_pages.back(), start_general);
    for (HRESULT com : log.com_on_fill) EXPECT_EQ(com, S_FALSE);
}

TEST_F(PropertySheet, PagesLieInsideTheDisplayAreaTenPixelsBelowTheTabs) {
    RECT area{};
    LONG row = 0;
    std::vector<RECT> pages;
    open({docs}, start_general, [&](HWND sheet) {
        HWND tabs = GetDlgItem(sheet, 351);
        GetClientRect(tabs, &area);
        TabCtrl_AdjustRect(tabs, FALSE, &area);
        RECT first{};
        TabCtrl_GetItemRect(tabs, 0, &first);
        row = first.bottom - first.top;
        for (HWND page = GetWindow(tabs, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT)) {
            RECT place{};
            GetWindowRect(page, &place);
            MapWindowPoints(nullptr, tabs, reinterpret_cast<POINT*>(&place), 2);
            pages.push_back(place);
        }
    });
    ASSERT_EQ(pages.size(), 3u);
    ASSERT_GT(row, 0);
    for (const RECT& page : pages) {
        EXPECT_EQ(page.left, area.left) << "the frame's left edge stays in sight";
        EXPECT_EQ(page.top, row + 10);
        EXPECT_EQ(page.right, area.right) << "a wider page is cut at the area's edge";
        EXPECT_EQ(page.bottom, area.bottom) << "a taller page is cut at the area's foot";
    }
}

TEST_F(PropertySheet, TheStartPageChoosesTheTabThatShows) {
    const sheet_view sync_of_file = open({music}, start_sync);
    // Without a sharing page the sync tab is the second.
    EXPECT_EQ(sync_of_file.selected, 1);
    EXPECT_EQ(sync_of_file.shown_pages, std::vector<std::wstring>{L"sync"});

    const sheet_view sharing = open({docs}, start_sharing);
    EXPECT_EQ(sharing.selected, 1);
    EXPECT_EQ(sharing.shown_pages, std::vector<std::wstring>{L"sharing"});

    const sheet_view sync_of_folder = open({docs}, 3);
    EXPECT_EQ(sync_of_folder.selected, 2);
    EXPECT_EQ(sync_of_folder.shown_pages, std::vector<std::wstring>{L"sync"});

    // A start page the selection has no page for shows the general page.
    const sheet_view no_sharing = open({music}, start_sharing);
    EXPECT_EQ(no_sharing.selected, 0);

    // The user's click on a tab shows its page and hides the others.
    const sheet_view clicked = open({docs}, start_general, [](HWND sheet) {
        HWND tabs = GetDlgItem(sheet, 351);
        RECT r{};
        TabCtrl_GetItemRect(tabs, 2, &r);
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(tabs, &p);
        win_test::click(p);
        win_test::pump();
        const sheet_view after = look_at(sheet);
        EXPECT_EQ(after.selected, 2);
        EXPECT_EQ(after.shown_pages, std::vector<std::wstring>{L"sync"});
    });
    EXPECT_EQ(clicked.selected, 0);
}

TEST_F(PropertySheet, ItemsInTheTrashOrFixedFoldersGetNeitherSharingNorSyncPage) {
    auto trashed =
        boost::make_shared<steered_folder>(item_values{L"Old", L"id-Old", -1, 1700000000});
    auto fixed = make_steered(L"Shared with me");
    fixed->fixed = true;
    remote_root->children.push_back(trashed);
    remote_root->children.push_back(fixed);
    EXPECT_EQ(open({trashed}, start_sync).tabs, std::vector<std::wstring>{L"General"});
    // A fixed folder is no plain own folder either.
    EXPECT_EQ(open({fixed}, start_sync).tabs, std::vector<std::wstring>{L"General"});
}

TEST_F(PropertySheet, AFailedLookupIsShownAndItsPageLeftOut) {
    auto gone = make_steered(L"Gone");
    std::vector<std::wstring> boxes;
    win_test::scoped_message_box_responder answer(
        [&](const std::wstring& text, const std::wstring& caption, UINT type) {
            boxes.push_back(caption + L": " + text);
            EXPECT_EQ(type & MB_ICONERROR, static_cast<UINT>(MB_ICONERROR));
            return IDOK;
        });
    remote_root->children.push_back(gone);
    CDataObjectImpl* data = selection({gone});
    remote_root->children.pop_back();
    std::promise<sheet_view> seen;
    win_test::set_dialog_responder([&](HWND sheet) {
        seen.set_value(look_at(sheet));
        win_test::press(sheet, IDCANCEL);
    });
    ShowItemProperties(folder, data, start_general);
    static_cast<IDataObject*>(data)->Release();
    auto future = seen.get_future();
    ASSERT_TRUE(win_test::pump_until(
        [&] { return future.wait_for(0s) == std::future_status::ready; }, patience));
    EXPECT_EQ(future.get().tabs, std::vector<std::wstring>{L"General"});
    EXPECT_EQ(boxes, (std::vector<std::wstring>{L"Error loading description: No such item",
                                                L"Error loading description: No such item"}));
}

TEST_F(PropertySheet, OneItemShowsTheIconsOfItsType) {
    for (const vfs::item_ptr& item : vfs::item_list{docs, music}) {
        CDataObjectImpl* data = selection({item});
        {
            CPropertiesFileDlg sheet(folder, *data, start_general);
            EXPECT_NE(sheet.Selection().large_icon, nullptr);
            EXPECT_NE(sheet.Selection().small_icon, nullptr);
            EXPECT_NE(win_icons::resource_id(sheet.Selection().large_icon), 2000);
        }
        static_cast<IDataObject*>(data)->Release();
    }
}

TEST_F(PropertySheet, SeveralItemsShowTheIconOfSeveralItems) {
    CDataObjectImpl* data = selection({docs, music});
    {
        CPropertiesFileDlg sheet(folder, *data, start_general);
        EXPECT_EQ(win_icons::resource_id(sheet.Selection().large_icon), 2000);
        EXPECT_EQ(win_icons::resource_id(sheet.Selection().small_icon), 2000);
        EXPECT_EQ(win_icons::icon_size(sheet.Selection().large_icon).cx, 32) << "a picture";
        EXPECT_EQ(sheet.Selection().folder_count, 1);
        EXPECT_EQ(sheet.Selection().file_count, 1);
        EXPECT_EQ(sheet.Selection().items.GetSize(), 2u);
    }
    static_cast<IDataObject*>(data)->Release();
}

TEST_F(PropertySheet, AFailedFillClosesTheSheet) {
    log.fill_result = E_FAIL;
    std::atomic<bool> answered{false};
    win_test::set_dialog_responder([&](HWND) { answered = true; });
    CDataObjectImpl* data = selection({music});
    ShowItemProperties(folder, data, start_general);
    static_cast<IDataObject*>(data)->Release();
    ASSERT_TRUE(win_test::pump_until([] { return OpenItemPropertySheets() == 0; }, patience));
    EXPECT_FALSE(answered) << "the sheet closed before anyone was asked";
    const auto journal = win_test::dialogs();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back().result, IDCANCEL);
}

TEST_F(PropertySheet, OkKeepsTheSheetOpenWhileApplyingFailsAndApplyDisablesItself) {
    log.apply_result = E_FAIL;
    open({music}, start_general, [&](HWND sheet) {
        EnableWindow(GetDlgItem(sheet, 352), TRUE);
        win_test::press(sheet, IDOK);
        win_test::pump();
        EXPECT_TRUE(IsWindow(sheet));
        EXPECT_FALSE(look_at(sheet).apply_enabled);
        {
            std::lock_guard<std::mutex> guard(log.lock);
            log.apply_result = S_OK;
        }
        EnableWindow(GetDlgItem(sheet, 352), TRUE);
        win_test::press(sheet, 352);
        win_test::pump();
        EXPECT_TRUE(IsWindow(sheet));
        EXPECT_FALSE(look_at(sheet).apply_enabled);
        win_test::press(sheet, IDOK);
    });
    std::lock_guard<std::mutex> guard(log.lock);
    // The general and sync pages each time.
    EXPECT_EQ(log.applies, 6);
    EXPECT_EQ(win_test::dialogs().back().result, IDOK);
}

TEST_F(PropertySheet, TheSameSelectionInEitherOrderBringsTheOpenSheetToTheFront) {
    CDataObjectImpl* first = selection({docs, music});
    CDataObjectImpl* reversed = selection({music, docs});
    CDataObjectImpl* other = selection({music});
    // Another window of the host, which the sheet goes behind.
    HWND host = CreateWindowExW(0, L"Static", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                nullptr, nullptr, nullptr, nullptr);
    std::atomic<bool> asked_again{false};
    std::atomic<int> sheets_seen{0};
    win_test::set_dialog_responder([&](HWND sheet) {
        SetWindowPos(sheet, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ++sheets_seen;
        // The sheet's thread keeps serving its window while the host asks.
        win_test::pump_until([&] { return asked_again.load(); }, patience);
        // Not a click: the sheet lies below the others, whose buttons a
        // click at its Cancel's place would hit.
        SendMessageW(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(sheet, IDCANCEL)));
    });
    ShowItemProperties(folder, first, start_general);
    ASSERT_TRUE(win_test::pump_until([&] { return sheets_seen == 1; }, patience));
    ShowItemProperties(folder, reversed, start_sharing);
    ShowItemProperties(folder, first, start_general);
    EXPECT_EQ(OpenItemPropertySheets(), 1u);
    HWND sheet = win_test::find_window(L"#32770", L"Docs, ... Properties");
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(win_test::top_level_windows().front(), sheet);
    asked_again = true;
    ASSERT_TRUE(win_test::pump_until([] { return OpenItemPropertySheets() == 0; }, patience));
    EXPECT_EQ(sheets_seen, 1);
    // Once closed, the selection gets a new sheet; another selection its own.
    asked_again = true;
    ShowItemProperties(folder, other, start_general);
    ShowItemProperties(folder, first, start_general);
    ASSERT_TRUE(win_test::pump_until([] { return OpenItemPropertySheets() == 0; }, patience));
    EXPECT_EQ(sheets_seen, 3);
    static_cast<IDataObject*>(first)->Release();
    static_cast<IDataObject*>(reversed)->Release();
    static_cast<IDataObject*>(other)->Release();
    DestroyWindow(host);
}

TEST_F(PropertySheet, ASheetWhoseWindowIsNotMadeYetIsNeitherReapedNorOpenedTwice) {
    std::promise<void> go;
    std::shared_future<void> released = go.get_future().share();
    std::atomic<int> started{0};
    win_test::set_worker_start_hook([&] {
        ++started;
        released.wait();
    });
    std::atomic<int> sheets_seen{0};
    win_test::set_dialog_responder([&](HWND sheet) {
        ++sheets_seen;
        win_test::press(sheet, IDCANCEL);
    });
    // Explorer's window threads, each with its own folder object, ask at
    // once while the first sheet's thread has not made its window yet.
    std::vector<IShellFolder2*> folders;
    std::vector<CDataObjectImpl*> selections;
    for (int i = 0; i < 4; ++i) {
        folders.push_back(make_folder());
        selections.push_back(selection({docs}));
    }
    std::vector<std::thread> callers;
    for (size_t i = 0; i < folders.size(); ++i)
        callers.emplace_back(
            [&, i] { ShowItemProperties(folders[i], selections[i], start_general); });
    for (std::thread& caller : callers) caller.join();
    EXPECT_EQ(started, 1);
    EXPECT_EQ(OpenItemPropertySheets(), 1u);
    win_test::set_worker_start_hook(nullptr);
    go.set_value();
    ASSERT_TRUE(win_test::pump_until([] { return OpenItemPropertySheets() == 0; }, patience));
    EXPECT_EQ(sheets_seen, 1);
    for (size_t i = 0; i < folders.size(); ++i) {
        static_cast<IDataObject*>(selections[i])->Release();
        folders[i]->Release();
    }
}

}  // namespace
