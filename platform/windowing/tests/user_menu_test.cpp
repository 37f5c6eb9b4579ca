#include <thread>

#include "user_test_support.h"

namespace {

using user_test::test_window;
using Menus = user_test::UserTest;

constexpr WORD tray_menu = 131;
constexpr UINT log_in = 32771, log_out = 32772, task_manager = 32774;

void register_tray_menu() {
    using namespace win_menus;
    register_menu(nullptr, tray_menu,
                  {popup(L"Tray", {item(log_in, L"Log In"), item(log_out, L"Log Out"), separator(),
                                   item(task_manager, L"Show Task Manager", MF_CHECKED)})});
}

// The tray menu's pop-up, loaded; the bar goes with the fixture.
class TrayMenu : public Menus {
protected:
    void SetUp() override {
        register_tray_menu();
        bar = LoadMenuW(nullptr, MAKEINTRESOURCEW(tray_menu));
        ASSERT_NE(bar, nullptr);
        menu = GetSubMenu(bar, 0);
        ASSERT_NE(menu, nullptr);
    }
    void TearDown() override { DestroyMenu(bar); }

    UINT track(HWND owner, UINT flags = TPM_RETURNCMD) {
        return static_cast<UINT>(TrackPopupMenu(menu, flags, 10, 10, 0, owner, nullptr));
    }

    HMENU bar = nullptr;
    HMENU menu = nullptr;
};

TEST_F(TrayMenu, ATemplateLoadsAsABarWithItsPopup) {
    EXPECT_EQ(GetMenuItemCount(bar), 1);
    EXPECT_EQ(GetMenuItemID(bar, 0), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuState(bar, 0, MF_BYPOSITION), MF_POPUP | (4u << 8));
    EXPECT_EQ(GetMenuItemCount(menu), 4);
    EXPECT_EQ(GetMenuItemID(menu, 1), log_out);
    EXPECT_EQ(GetMenuItemID(menu, 9), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuState(menu, 2, MF_BYPOSITION), MF_SEPARATOR);
    // By command the bar finds items of its pop-up.
    EXPECT_EQ(GetMenuState(bar, task_manager, MF_BYCOMMAND), MF_CHECKED);
    EXPECT_EQ(GetMenuState(bar, 4711, MF_BYCOMMAND), static_cast<UINT>(-1));

    const auto items = win_test::menu_items(menu);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].text, L"Log In");
    EXPECT_EQ(items[2].type, MFT_SEPARATOR);

    EXPECT_EQ(LoadMenuW(nullptr, MAKEINTRESOURCEW(999)), nullptr);
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_FALSE(IsMenu(menu));  // destroyed with its bar
    EXPECT_FALSE(DestroyMenu(bar));
    bar = LoadMenuW(nullptr, MAKEINTRESOURCEW(tray_menu));  // for TearDown
}

TEST_F(TrayMenu, DeletingAnItemTakesItsSubMenuAlongAndByCommandReachesIntoPopups) {
    EXPECT_TRUE(DeleteMenu(bar, log_out, MF_BYCOMMAND));  // found in the pop-up
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_EQ(GetMenuItemID(menu, 1), 0u);  // the separator moved up
    EXPECT_TRUE(DeleteMenu(menu, 1, MF_BYPOSITION));
    EXPECT_EQ(GetMenuItemID(menu, 1), task_manager);
    EXPECT_FALSE(DeleteMenu(menu, 5, MF_BYPOSITION));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MENU_ITEM_NOT_FOUND));
    EXPECT_FALSE(DeleteMenu(menu, 4711, MF_BYCOMMAND));
    EXPECT_TRUE(DeleteMenu(bar, 0, MF_BYPOSITION));
    EXPECT_FALSE(IsMenu(menu));
    EXPECT_EQ(GetMenuItemCount(bar), 0);
}

TEST_F(TrayMenu, DamagedTemplatesAreRefused) {
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(tray_menu), RT_MENU);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    const DWORD size = SizeofResource(nullptr, found);
    std::vector<win_menus::item_template> items;
    ASSERT_TRUE(win_menus::parse_menu(bytes, size, &items));
    for (DWORD cut = 0; cut < size; ++cut)
        EXPECT_FALSE(win_menus::parse_menu(bytes, cut, &items)) << cut;
    std::vector<BYTE> longer(bytes, bytes + size);
    longer.push_back(0);
    EXPECT_FALSE(win_menus::parse_menu(longer.data(), longer.size(), &items));

    // A pop-up inside a pop-up, seventeen deep.
    win_menus::item_template deep = win_menus::item(1, L"leaf");
    for (int i = 0; i < 17; ++i) deep = win_menus::popup(L"level", {deep});
    win_menus::register_menu(nullptr, 132, {deep});
    EXPECT_EQ(LoadMenuW(nullptr, MAKEINTRESOURCEW(132)), nullptr);
}

TEST_F(TrayMenu, ItemsAreGrayedAndCheckedByCommandOrPosition) {
    EXPECT_EQ(EnableMenuItem(menu, log_in, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED),
              static_cast<BOOL>(MF_ENABLED));
    EXPECT_EQ(EnableMenuItem(menu, log_in, MF_BYCOMMAND | MF_ENABLED),
              static_cast<BOOL>(MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(EnableMenuItem(bar, log_out, MF_BYCOMMAND | MF_GRAYED), 0);
    EXPECT_EQ(GetMenuState(menu, 1, MF_BYPOSITION), MF_GRAYED);
    EXPECT_EQ(EnableMenuItem(menu, 4711, MF_BYCOMMAND | MF_GRAYED), -1);
    EXPECT_EQ(EnableMenuItem(menu, 7, MF_BYPOSITION | MF_GRAYED), -1);

    EXPECT_EQ(CheckMenuItem(menu, task_manager, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
    EXPECT_EQ(CheckMenuItem(menu, 3, MF_BYPOSITION | MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(CheckMenuItem(menu, 4711, MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_EQ(GetMenuState(menu, task_manager, MF_BYCOMMAND), MF_CHECKED);

    wchar_t text[5];
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = 5;
    ASSERT_TRUE(GetMenuItemInfoW(menu, task_manager, FALSE, &info));
    EXPECT_EQ(std::wstring(text), L"Show");
    EXPECT_EQ(info.cch, 17u);
    EXPECT_EQ(info.wID, task_manager);
    EXPECT_EQ(info.fState, MFS_CHECKED);
    info.cbSize = 8;
    EXPECT_FALSE(GetMenuItemInfoW(menu, 0, TRUE, &info));
}

TEST_F(Menus, MenusBuiltAtRunTimeKeepTheirItemsInOrder) {
    HMENU menu = CreatePopupMenu();
    HMENU sub = CreatePopupMenu();
    HBITMAP picture = CreateCompatibleBitmap(nullptr, 16, 16);
    ASSERT_TRUE(AppendMenuW(menu, MF_STRING, 10, L"Open"));
    ASSERT_TRUE(AppendMenuW(menu, MF_SEPARATOR, 0, nullptr));
    ASSERT_TRUE(AppendMenuW(menu, MF_BITMAP, 11, reinterpret_cast<LPCWSTR>(picture)));
    ASSERT_TRUE(AppendMenuW(sub, MF_STRING | MF_GRAYED, 20, L"Inner"));
    ASSERT_TRUE(AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"More"));
    EXPECT_FALSE(AppendMenuW(menu, MF_POPUP, 0x1234, L"No such menu"));

    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID | MIIM_BITMAP | MIIM_FTYPE;
    info.fType = MFT_STRING;
    info.wID = 9;
    info.dwTypeData = const_cast<LPWSTR>(L"Sync");
    info.hbmpItem = picture;
    ASSERT_TRUE(InsertMenuItemW(menu, 0, TRUE, &info));  // first
    info.wID = 12;
    info.dwTypeData = const_cast<LPWSTR>(L"Before Open");
    ASSERT_TRUE(InsertMenuItemW(menu, 10, FALSE, &info));  // before the item with id 10
    EXPECT_FALSE(InsertMenuItemW(menu, 4711, FALSE, &info));
    info.wID = 13;
    ASSERT_TRUE(InsertMenuItemW(menu, 99, TRUE, &info));  // past the end: last

    std::vector<UINT> ids;
    for (const auto& item : win_test::menu_items(menu)) ids.push_back(item.id);
    EXPECT_EQ(ids, (std::vector<UINT>{9, 12, 10, 0, 11, 0, 13}));
    const auto items = win_test::menu_items(menu);
    EXPECT_EQ(items[0].bitmap, picture);
    EXPECT_EQ(items[4].type, MFT_BITMAP);
    EXPECT_EQ(items[5].submenu, sub);
    EXPECT_EQ(GetMenuState(menu, 20, MF_BYCOMMAND), MF_GRAYED);

    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(IsMenu(sub));
    DeleteObject(picture);
}

TEST_F(TrayMenu, TheMenusLoopDeliversWhatWaitsThenTheScriptChooses) {
    test_window owner;
    PostMessageW(owner.hwnd(), WM_USER + 7, 0, 0);
    std::vector<UINT> seen_by_script;
    win_test::scoped_menu_responder script([&](HMENU shown, HWND at) {
        EXPECT_EQ(shown, menu);
        EXPECT_EQ(at, owner.hwnd());
        seen_by_script = owner.messages({WM_ENTERMENULOOP, WM_INITMENUPOPUP, WM_USER + 7});
        return log_out;
    });
    EXPECT_EQ(track(owner.hwnd()), log_out);
    EXPECT_EQ(seen_by_script, (std::vector<UINT>{WM_ENTERMENULOOP, WM_INITMENUPOPUP, WM_USER + 7}));
    EXPECT_EQ(owner.messages({WM_INITMENUPOPUP, WM_UNINITMENUPOPUP, WM_EXITMENULOOP}),
              (std::vector<UINT>{WM_INITMENUPOPUP, WM_UNINITMENUPOPUP, WM_EXITMENULOOP}));
    ASSERT_TRUE(win_test::pump());
    EXPECT_EQ(owner.count(WM_COMMAND), 0u);  // returned, not posted

    const auto journal = win_test::menus();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].chosen, log_out);
    EXPECT_EQ(journal[0].answered_by, "script");
    ASSERT_EQ(journal[0].items.size(), 4u);
    EXPECT_EQ(journal[0].items[3].text, "Show Task Manager");
    EXPECT_EQ(journal[0].items[3].state, MF_CHECKED);
}

TEST_F(TrayMenu, WithoutReturningTheChoiceComesAsACommand) {
    test_window owner;
    win_test::scoped_menu_responder script([](HMENU, HWND) { return task_manager; });
    EXPECT_EQ(track(owner.hwnd(), TPM_RIGHTBUTTON | TPM_NONOTIFY), static_cast<UINT>(TRUE));
    EXPECT_EQ(owner.count(WM_INITMENUPOPUP), 0u);
    ASSERT_TRUE(win_test::pump());
    const auto log = owner.log();
    ASSERT_EQ(owner.count(WM_COMMAND), 1u);
    const auto command =
        std::find_if(log.begin(), log.end(), [](const auto& r) { return r.message == WM_COMMAND; });
    EXPECT_EQ(command->wparam, MAKEWPARAM(task_manager, 0));
}

TEST_F(TrayMenu, WhatCannotBeChosenIsNoChoice) {
    test_window owner;
    EnableMenuItem(menu, log_in, MF_BYCOMMAND | MF_GRAYED);
    UINT answer = log_in;
    win_test::scoped_menu_responder script([&](HMENU, HWND) { return answer; });
    EXPECT_EQ(track(owner.hwnd()), 0u);
    answer = 4711;
    EXPECT_EQ(track(owner.hwnd()), 0u);
    answer = 0;  // the separator's id
    EXPECT_EQ(track(owner.hwnd(), 0), static_cast<UINT>(TRUE));
    ASSERT_TRUE(win_test::pump());
    EXPECT_EQ(owner.count(WM_COMMAND), 0u);
    EXPECT_EQ(win_test::menus().back().chosen, 0u);
}

TEST_F(TrayMenu, NobodyThereMeansNoChoiceAtOnce) {
    test_window owner;
    EXPECT_EQ(track(owner.hwnd()), 0u);
    EXPECT_EQ(win_test::menus().back().answered_by, "nobody");
}

TEST_F(TrayMenu, TheMenuEndsWhenItsOwnerGoesOrTheProgramEndsIt) {
    bool script_asked = false;
    win_test::scoped_menu_responder script([&](HMENU, HWND) {
        script_asked = true;
        return log_in;
    });
    test_window ending(test_window::with().reacting([](HWND, UINT m, WPARAM, LPARAM) {
        if (m == WM_USER + 1) EndMenu();
        return std::optional<LRESULT>{};
    }));
    PostMessageW(ending.hwnd(), WM_USER + 1, 0, 0);
    EXPECT_EQ(track(ending.hwnd()), 0u);
    EXPECT_EQ(win_test::menus().back().answered_by, "program");

    test_window going(test_window::with().reacting([](HWND h, UINT m, WPARAM, LPARAM) {
        if (m == WM_USER + 1) DestroyWindow(h);
        return std::optional<LRESULT>{};
    }));
    PostMessageW(going.hwnd(), WM_USER + 1, 0, 0);
    EXPECT_EQ(track(going.hwnd()), 0u);
    EXPECT_FALSE(script_asked);
    EXPECT_FALSE(EndMenu());  // nothing tracked now
}

TEST_F(TrayMenu, OnlyAMenuAndAWindowOfTheCallersThreadCanBeTracked) {
    test_window owner;
    EXPECT_FALSE(TrackPopupMenu(reinterpret_cast<HMENU>(0x77), TPM_RETURNCMD, 0, 0, 0, owner.hwnd(),
                                nullptr));
    EXPECT_EQ(track(nullptr), 0u);
    std::thread([&] { EXPECT_EQ(track(owner.hwnd()), 0u); }).join();
    EXPECT_TRUE(win_test::menus().empty());
}

TEST_F(TrayMenu, ItemBitmapsAreSetByPositionOrCommandAndReadBack) {
    const HBITMAP picture = CreateCompatibleBitmap(nullptr, 4, 4);
    EXPECT_TRUE(SetMenuItemBitmaps(menu, 1, MF_BYPOSITION, picture, nullptr));
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_CHECKMARKS | MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfoW(menu, log_out, FALSE, &info));
    EXPECT_EQ(info.hbmpUnchecked, picture);
    EXPECT_EQ(info.hbmpChecked, nullptr);
    EXPECT_TRUE(SetMenuItemBitmaps(menu, log_out, MF_BYCOMMAND, nullptr, picture));
    ASSERT_TRUE(GetMenuItemInfoW(menu, 1, TRUE, &info));
    EXPECT_EQ(info.hbmpUnchecked, nullptr);
    EXPECT_EQ(info.hbmpChecked, picture);
    SetLastError(0);
    EXPECT_FALSE(SetMenuItemBitmaps(menu, 9, MF_BYPOSITION, picture, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MENU_ITEM_NOT_FOUND));
    EXPECT_FALSE(SetMenuItemBitmaps(nullptr, 0, MF_BYPOSITION, picture, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
    DeleteObject(picture);
}

}  // namespace
