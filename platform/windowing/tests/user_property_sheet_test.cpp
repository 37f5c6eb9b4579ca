#include <string>
#include <vector>

#include "user_test_support.h"
#include "win/commctrl.h"

namespace {

using PropertySheets = user_test::UserTest;

constexpr WORD small_page = 130;
constexpr WORD large_page = 131;
constexpr int page_edit = 1300;

void register_pages() {
    static const bool done = [] {
        using namespace win_dialogs;
        dialog_template small;
        small.style = WS_CHILD | WS_CAPTION | DS_SETFONT;
        small.cx = 150;
        small.cy = 80;
        small.caption = L"Small";
        small.controls = {edit_text(page_edit, 10, 10, 100, 12)};
        register_dialog(GetModuleHandleW(nullptr), small_page, small);
        dialog_template large = small;
        large.cx = 220;
        large.cy = 160;
        large.caption = L"Large";
        register_dialog(GetModuleHandleW(nullptr), large_page, large);
        return true;
    }();
    (void)done;
}

// What every page of a test saw, in order, and how its pages answer.
struct journal {
    std::vector<std::string> events;
    HWND sheet_seen = nullptr;
};

struct page_probe {
    std::string name;
    journal* log = nullptr;
    LRESULT kill_answer = FALSE;
    LRESULT apply_answer = PSNRET_NOERROR;
    LRESULT query_cancel_answer = FALSE;
    UINT create_answer = 1;
};

std::string code_name(UINT code) {
    switch (code) {
        case PSN_SETACTIVE:
            return "setactive";
        case PSN_KILLACTIVE:
            return "killactive";
        case PSN_APPLY:
            return "apply";
        case PSN_RESET:
            return "reset";
        case PSN_QUERYCANCEL:
            return "querycancel";
        default:
            return "other";
    }
}

INT_PTR CALLBACK page_procedure(HWND page, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        const auto* record = reinterpret_cast<const PROPSHEETPAGEW*>(lparam);
        SetWindowLongPtrW(page, DWLP_USER, record->lParam);
        auto* probe = reinterpret_cast<page_probe*>(record->lParam);
        probe->log->events.push_back(probe->name + ":init");
        probe->log->sheet_seen = GetParent(page);
        return TRUE;
    }
    auto* probe = reinterpret_cast<page_probe*>(GetWindowLongPtrW(page, DWLP_USER));
    if (!probe || message != WM_NOTIFY) return FALSE;
    const auto* note = reinterpret_cast<const PSHNOTIFY*>(lparam);
    std::string event = probe->name + ":" + code_name(note->hdr.code);
    if (note->hdr.code == PSN_APPLY) event += note->lParam ? "(ok)" : "(apply)";
    probe->log->events.push_back(event);
    LRESULT result = 0;
    if (note->hdr.code == PSN_KILLACTIVE) result = probe->kill_answer;
    if (note->hdr.code == PSN_APPLY) result = probe->apply_answer;
    if (note->hdr.code == PSN_QUERYCANCEL) result = probe->query_cancel_answer;
    SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
    return TRUE;
}

UINT CALLBACK page_callback(HWND, UINT message, PROPSHEETPAGEW* record) {
    auto* probe = reinterpret_cast<page_probe*>(record->lParam);
    static const char* names[] = {"addref", "release", "create"};
    probe->log->events.push_back(probe->name + ":" + names[message]);
    return message == PSPCB_CREATE ? probe->create_answer : 1;
}

HPROPSHEETPAGE make_page(page_probe& probe, WORD id, const wchar_t* title,
                         UINT* parent_count = nullptr, DWORD size = sizeof(PROPSHEETPAGEW)) {
    register_pages();
    PROPSHEETPAGEW record{};
    record.dwSize = size;
    record.dwFlags =
        PSP_USECALLBACK | (title ? PSP_USETITLE : 0) | (parent_count ? PSP_USEREFPARENT : 0);
    record.hInstance = GetModuleHandleW(nullptr);
    record.pszTemplate = MAKEINTRESOURCEW(id);
    std::wstring own_title = title ? title : L"";
    record.pszTitle = title ? own_title.c_str() : nullptr;
    record.pfnDlgProc = page_procedure;
    record.lParam = reinterpret_cast<LPARAM>(&probe);
    record.pfnCallback = page_callback;
    record.pcRefParent = parent_count;
    HPROPSHEETPAGE page = CreatePropertySheetPageW(&record);
    // The sheet keeps its own copy of the title.
    own_title.assign(own_title.size(), L'x');
    return page;
}

INT_PTR run_sheet(std::vector<HPROPSHEETPAGE> pages, UINT start = 0,
                  const wchar_t* start_title = nullptr) {
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = start_title ? PSH_USEPSTARTPAGE : 0;
    header.pszCaption = L"Thing";
    header.dwFlags |= PSH_PROPTITLE;
    header.nPages = static_cast<UINT>(pages.size());
    if (start_title)
        header.pStartPage = start_title;
    else
        header.nStartPage = start;
    header.phpage = pages.data();
    return PropertySheetW(&header);
}

HWND tab_of(HWND sheet) {
    return PropSheet_GetTabControl(sheet);
}

TEST_F(PropertySheets, APageLivesFromItsMakingToItsDestructionWithoutADialog) {
    journal log;
    page_probe probe{"p", &log};
    UINT parents = 0;
    HPROPSHEETPAGE page = make_page(probe, small_page, L"General", &parents);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(parents, 1u);
    EXPECT_EQ(log.events, (std::vector<std::string>{"p:addref"}));
    EXPECT_TRUE(DestroyPropertySheetPage(page));
    EXPECT_EQ(parents, 0u);
    EXPECT_EQ(log.events, (std::vector<std::string>{"p:addref", "p:release"}));
    // A page destroyed is no page any more.
    EXPECT_FALSE(DestroyPropertySheetPage(page));
    EXPECT_EQ(log.events.size(), 2u);

    PROPSHEETPAGEW short_record{};
    short_record.dwSize = PROPSHEETPAGEW_V1_SIZE - 1;
    EXPECT_EQ(CreatePropertySheetPageW(&short_record), nullptr);
    EXPECT_EQ(CreatePropertySheetPageW(nullptr), nullptr);
}

// A page's callback counts references: a first-form record is given no
// PSPCB_ADDREF, so its page takes its reference on PSPCB_CREATE, and only
// if it is ever shown; every page gets its PSPCB_RELEASE.
TEST_F(PropertySheets, OnlyARecordLongerThanTheFirstFormIsAddedARefWhenItsPageIsMade) {
    journal log;
    page_probe first_form{"v1", &log};
    page_probe longer{"v2", &log};
    page_probe unshown{"hidden", &log};
    std::vector<HPROPSHEETPAGE> pages{
        make_page(first_form, small_page, L"One", nullptr, PROPSHEETPAGEW_V1_SIZE),
        make_page(longer, small_page, L"Two", nullptr, PROPSHEETPAGEW_V1_SIZE + sizeof(LPCWSTR))};
    HPROPSHEETPAGE never_shown =
        make_page(unshown, small_page, L"Three", nullptr, PROPSHEETPAGEW_V1_SIZE);
    ASSERT_NE(pages[0], nullptr);
    ASSERT_NE(never_shown, nullptr);
    EXPECT_EQ(log.events, (std::vector<std::string>{"v2:addref"}));
    EXPECT_TRUE(DestroyPropertySheetPage(never_shown));
    EXPECT_EQ(log.events.back(), "hidden:release");

    log.events.clear();
    win_test::scoped_dialog_responder script([&](HWND sheet) {
        TabCtrl_SetCurFocus(tab_of(sheet), 1);
        win_test::press(sheet, IDCANCEL);
    });
    run_sheet(pages);
    std::vector<std::string> counted;
    for (const std::string& event : log.events)
        if (event.ends_with(":addref") || event.ends_with(":create") || event.ends_with(":release"))
            counted.push_back(event);
    EXPECT_EQ(counted,
              (std::vector<std::string>{"v1:create", "v2:create", "v1:release", "v2:release"}));
}

TEST_F(PropertySheets, PagesAreMadeWhenShownAndApplyFollowsWhatTheyReport) {
    journal log;
    page_probe first{"a", &log};
    page_probe second{"b", &log};
    UINT parents = 0;
    std::vector<HPROPSHEETPAGE> pages{make_page(first, small_page, L"General", &parents),
                                      make_page(second, large_page, nullptr, &parents)};
    std::vector<std::string> after_start;
    bool apply_enabled_on_change = false, apply_disabled_on_unchange = false;
    bool apply_disabled_after_apply = false, first_hidden = false, sizes_fit = false;
    std::wstring caption, tab_texts;
    win_test::scoped_dialog_responder script([&](HWND sheet) {
        after_start = log.events;
        caption = win_test::text(sheet);
        HWND tabs = tab_of(sheet);
        for (int i = 0; i < TabCtrl_GetItemCount(tabs); ++i) {
            wchar_t text[32] = {};
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 32;
            TabCtrl_GetItem(tabs, i, &item);
            tab_texts += std::wstring(text) + L";";
        }
        HWND page_a = PropSheet_GetCurrentPageHwnd(sheet);
        HWND apply = GetDlgItem(sheet, IDC_PROPSHEET_APPLY);
        PropSheet_Changed(sheet, page_a);
        apply_enabled_on_change = win_test::enabled(apply);
        PropSheet_UnChanged(sheet, page_a);
        apply_disabled_on_unchange = !win_test::enabled(apply);
        // The person chooses the second tab: the first is asked, the second
        // made and told.
        TabCtrl_SetCurFocus(tabs, 1);
        EXPECT_TRUE(
            win_test::save_png(sheet, std::string(WINDOW_PICTURE_DIR) + "/property_sheet.png"));
        HWND page_b = PropSheet_GetCurrentPageHwnd(sheet);
        first_hidden = !win_test::visible(page_a) && win_test::visible(page_b);
        // The sheet holds the largest page.
        RECT b = win_test::client_rect(page_b);
        RECT large{0, 0, 220, 160};
        MapDialogRect(page_b, &large);
        sizes_fit = b.right >= large.right && b.bottom >= large.bottom;
        PropSheet_Changed(sheet, page_b);
        win_test::press(sheet, IDC_PROPSHEET_APPLY);
        apply_disabled_after_apply = !win_test::enabled(apply);
        win_test::press(sheet, IDOK);
    });
    EXPECT_EQ(run_sheet(pages), 1);
    EXPECT_EQ(after_start, (std::vector<std::string>{"a:addref", "b:addref", "a:create", "a:init",
                                                     "a:setactive"}));
    EXPECT_EQ(log.sheet_seen != nullptr, true);
    EXPECT_EQ(caption, L"Thing Properties");
    EXPECT_EQ(tab_texts, L"General;Large;");
    EXPECT_TRUE(apply_enabled_on_change);
    EXPECT_TRUE(apply_disabled_on_unchange);
    EXPECT_TRUE(first_hidden);
    EXPECT_TRUE(sizes_fit);
    EXPECT_TRUE(apply_disabled_after_apply);
    EXPECT_EQ(log.events, (std::vector<std::string>{
                              "a:addref", "b:addref", "a:create", "a:init", "a:setactive",
                              "a:killactive", "b:create", "b:init", "b:setactive", "b:killactive",
                              "a:apply(apply)", "b:apply(apply)", "b:killactive", "a:apply(ok)",
                              "b:apply(ok)", "a:release", "b:release"}));
    EXPECT_EQ(parents, 0u);
}

TEST_F(PropertySheets, APageThatRefusesKeepsTheSheetOpenAndCancelResetsThePages) {
    journal log;
    page_probe first{"a", &log};
    page_probe second{"b", &log};
    // The second page is the start page, found by its title.
    std::vector<HPROPSHEETPAGE> pages{make_page(first, small_page, L"One"),
                                      make_page(second, small_page, L"Two")};
    bool kept_on_kill = false, front_after_invalid = false, open_after_query = false;
    win_test::scoped_dialog_responder script([&](HWND sheet) {
        HWND tabs = tab_of(sheet);
        second.kill_answer = TRUE;
        TabCtrl_SetCurFocus(tabs, 0);
        kept_on_kill = TabCtrl_GetCurSel(tabs) == 1;
        second.kill_answer = FALSE;
        TabCtrl_SetCurFocus(tabs, 0);
        // The first page refuses to apply: it comes to the front, the sheet
        // stays.
        first.apply_answer = PSNRET_INVALID;
        TabCtrl_SetCurFocus(tabs, 1);
        win_test::press(sheet, IDOK);
        win_test::pump();
        front_after_invalid = IsWindow(sheet) && TabCtrl_GetCurSel(tabs) == 0;
        // The page in front may refuse the cancel.
        first.query_cancel_answer = TRUE;
        win_test::press(sheet, IDCANCEL);
        win_test::pump();
        first.query_cancel_answer = FALSE;
        open_after_query = IsWindow(sheet) && win_test::visible(sheet);
        PostMessageW(sheet, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(run_sheet(pages, 0, L"Two"), 0);
    EXPECT_TRUE(kept_on_kill);
    EXPECT_TRUE(front_after_invalid);
    EXPECT_TRUE(open_after_query);
    const std::vector<std::string> tail(log.events.end() - 5, log.events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"a:querycancel", "a:reset", "b:reset", "a:release",
                                              "b:release"}));
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "b:setactive"), 2);
}

TEST_F(PropertySheets, APageWhoseCallbackRefusesCreationIsSkipped) {
    journal log;
    page_probe refusing{"a", &log};
    refusing.create_answer = 0;
    page_probe willing{"b", &log};
    std::vector<HPROPSHEETPAGE> pages{make_page(refusing, small_page, L"One"),
                                      make_page(willing, small_page, L"Two")};
    win_test::scoped_dialog_responder script([&](HWND sheet) { win_test::press(sheet, IDCANCEL); });
    EXPECT_EQ(run_sheet(pages), 0);
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "a:init"), 0);
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "b:init"), 1);
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "a:release"), 1);

    // No page that can be made: no sheet.
    journal none;
    page_probe alone{"c", &none};
    alone.create_answer = 0;
    EXPECT_EQ(run_sheet({make_page(alone, small_page, L"Only")}), -1);
    EXPECT_EQ(none.events, (std::vector<std::string>{"c:addref", "c:create", "c:release"}));
    EXPECT_EQ(run_sheet({}), -1);
}

}  // namespace
