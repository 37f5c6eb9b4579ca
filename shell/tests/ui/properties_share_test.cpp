// The sharing page against the stand-in service: sharing by name and by
// e-mail address, the invitation of an unknown address, changing a user's
// mode, removing a user, the list's links and cursor, and the rows' records.
// The page runs as a child of a window standing in for the sheet.
#include "ui/properties_share.h"

#include <gtest/gtest.h>

#include <boost/property_tree/ptree.hpp>
#include <map>

#include "folder/item_ids/pidl_data.h"
#include "service_fixture.h"
#include "stand_in_sheet.h"
#include "vfs/calvimora_client.h"
#include "win/machine.h"
#include "win/test_journal.h"
#include "win/win_test.h"
#include "window_pixels.h"

namespace {

using calvimora::testing::json_object;
using calvimora::testing::request_fault;

constexpr int hand_cursor = 32649;   // IDC_HAND
constexpr int arrow_cursor = 32512;  // IDC_ARROW

const wchar_t* const invitation_text =
    L"User \u2019carol@example.com\u2019 is not registered with Calvimora yet. We already sent "
    L"email to this email address with link to create Calvimora account and have access to "
    L"selected folder.";

class SharingPage : public ::testing::Test {
protected:
    SharingPage() {
        service_.export_url();
        alice_ = service_.add_user("alice", "secret", "alice@example.com");
        bob_ = service_.add_user("bob", "hunter2", "bob@example.com");
        folder_ = service_.add_folder(alice_, "0", "Holiday");
        session_ = vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-1");
        win_test::clear_message_boxes();
    }

    ~SharingPage() override { page_.reset(); }

    // The page of the folder "Holiday", filled, in the stand-in sheet.
    HRESULT open_page() {
        sheet_selection selection;
        selection.folder_directory = session_->get_root_directory();
        const vfs::item_ptr folder = selection.folder_directory->get_item(L"Holiday", true);
        selection.items.Add(CItemIdList(make_pidl_data(folder)).CreatePidl());
        selection.folder_count = 1;
        selection.sheet = parent_;
        page_ = std::make_unique<CPropertiesFileShareDlg>(selection);
        if (!page_->Create(parent_)) return E_UNEXPECTED;
        page_->ShowWindow(SW_SHOW);
        const HRESULT filled = page_->Fill();
        win_test::pump();
        return filled;
    }

    HWND item(int id) const { return win_test::control(*page_, id); }
    bool shown(int id) const { return win_test::visible(item(id)); }
    std::wstring text(int id) const { return win_test::text(item(id)); }

    void share_with(const std::wstring& name) {
        SetWindowTextW(item(IDC_SHARE_USER), name.c_str());
        win_test::press(*page_, IDC_SHARE_BUTTON);
        win_test::pump();
    }

    // The users of the folder on the service: name by share mode.
    std::map<std::string, int> shares_on_service() {
        std::map<std::string, int> users;
        const auto state = service_.control("state");
        std::map<std::string, std::string> names;
        for (const auto& [key, user] : state.get_child("users"))
            names[user.get<std::string>("id")] = user.get<std::string>("name");
        for (const auto& [key, share] : state.get_child("shares"))
            if (share.get<std::string>("folder_id") == folder_)
                users[names[share.get<std::string>("user_id")]] = share.get<int>("mode");
        return users;
    }

    std::vector<std::string> sent_invitations() {
        std::vector<std::string> to;
        const auto state = service_.control("state");
        for (const auto& [key, email] : state.get_child("emails"))
            to.push_back(email.get<std::string>("to"));
        return to;
    }

    int requests_of(const std::string& action) {
        int count = 0;
        for (const auto& request : service_.requests()) count += request.action == action;
        return count;
    }

    std::vector<std::wstring> listed_users() {
        std::vector<std::wstring> names;
        CShareUserList& list = page_->UserList();
        for (int row = 0; row < list.GetUserCount(); ++row)
            names.push_back(list.GetUser(row)->name);
        return names;
    }

    // A screen point in the middle of a rectangle of the list's client area.
    POINT on_list(const RECT& rect) {
        POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        ClientToScreen(page_->UserList(), &point);
        return point;
    }

    std::string add_fixed_share(const std::string& user_id) {
        return service_
            .control("add_share", json_object()
                                      .set("owner_id", alice_)
                                      .set("dir_id", folder_)
                                      .set("user_id", user_id)
                                      .set("mode", 0)
                                      .set("fixed", true))
            .get<std::string>("share_id");
    }

    win_machine::scoped_root root_;
    calvimora::testing::service service_;
    std::string alice_, bob_, folder_;
    boost::shared_ptr<vfs_calvimora::client> session_;
    shell_testing::stand_in_sheet parent_;
    std::unique_ptr<CPropertiesFileShareDlg> page_;
};

TEST_F(SharingPage, FillsInAddingModeWithTheFolderAndItsUsers) {
    service_.add_share(alice_, folder_, bob_, 1);
    ASSERT_EQ(open_page(), S_OK);
    EXPECT_EQ(text(IDC_SHARE_FOLDER_NAME), L"Holiday");
    EXPECT_EQ(text(IDC_SHARE_PROMPT), L"Add new user for this folder");
    EXPECT_EQ(listed_users(), std::vector<std::wstring>{L"bob"});
    EXPECT_EQ(page_->UserList().GetUser(0)->share_mode, 1);
    for (int id : {IDC_SHARE_USER, IDC_SHARE_BUTTON, IDC_SHARE_HINT}) EXPECT_TRUE(shown(id)) << id;
    for (int id : {IDC_SHARE_EDITED_USER, IDC_SHARE_MESSAGE, IDC_SHARE_ADVANCED,
                   IDC_SHARE_MODE_VIEW, IDC_SHARE_MODE_FULL, IDC_SHARE_SAVE})
        EXPECT_FALSE(shown(id)) << id;
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(SharingPage, AKnownUserIsSharedListedAndEditedThenChangedToFull) {
    ASSERT_EQ(open_page(), S_OK);
    EXPECT_EQ(text(IDC_SHARE_STATE), L"Not Shared");
    share_with(L"  bob ");
    EXPECT_EQ(shares_on_service(), (std::map<std::string, int>{{"bob", 0}}));
    EXPECT_EQ(listed_users(), std::vector<std::wstring>{L"bob"});
    EXPECT_EQ(text(IDC_SHARE_STATE), L"Shared") << "the page shows what it saved";
    // Editing the new user: the name instead of the edit, View checked.
    EXPECT_TRUE(shown(IDC_SHARE_EDITED_USER));
    EXPECT_EQ(text(IDC_SHARE_EDITED_USER), L"bob");
    EXPECT_EQ(text(IDC_SHARE_PROMPT), L"Share this folder with:");
    EXPECT_FALSE(shown(IDC_SHARE_USER));
    EXPECT_FALSE(shown(IDC_SHARE_BUTTON));
    EXPECT_TRUE(shown(IDC_SHARE_SAVE));
    EXPECT_TRUE(win_test::checked(item(IDC_SHARE_MODE_VIEW)));
    EXPECT_FALSE(win_test::checked(item(IDC_SHARE_MODE_FULL)));

    CheckDlgButton(*page_, IDC_SHARE_MODE_VIEW, BST_UNCHECKED);
    CheckDlgButton(*page_, IDC_SHARE_MODE_FULL, BST_CHECKED);
    win_test::press(*page_, IDC_SHARE_SAVE);
    win_test::pump();
    EXPECT_EQ(shares_on_service(), (std::map<std::string, int>{{"bob", 1}}));
    EXPECT_EQ(page_->UserList().GetUser(0)->share_mode, 1);
    EXPECT_EQ(text(IDC_SHARE_STATE), L"Shared");
    EXPECT_TRUE(shown(IDC_SHARE_USER));
    EXPECT_FALSE(shown(IDC_SHARE_SAVE));
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(SharingPage, AKnownAddressSharesWithItsUser) {
    ASSERT_EQ(open_page(), S_OK);
    share_with(L"BOB@example.com");
    EXPECT_EQ(shares_on_service(), (std::map<std::string, int>{{"bob", 0}}));
    EXPECT_TRUE(sent_invitations().empty());
}

TEST_F(SharingPage, AnUnknownNameIsToldAndNothingIsSent) {
    ASSERT_EQ(open_page(), S_OK);
    service_.requests(true);
    share_with(L"nobody");
    EXPECT_EQ(text(IDC_SHARE_MESSAGE), L"User 'nobody' doesn't exist");
    EXPECT_TRUE(shown(IDC_SHARE_MESSAGE));
    EXPECT_FALSE(shown(IDC_SHARE_SAVE));
    EXPECT_EQ(requests_of("share_folder"), 0);
    EXPECT_EQ(requests_of("cm_email.php"), 0);
    EXPECT_TRUE(shares_on_service().empty());
    EXPECT_TRUE(sent_invitations().empty());
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(SharingPage, AnUnknownAddressIsInvitedAndThenTold) {
    ASSERT_EQ(open_page(), S_OK);
    share_with(L"carol@example.com");
    EXPECT_EQ(sent_invitations(), std::vector<std::string>{"carol@example.com"});
    EXPECT_EQ(text(IDC_SHARE_MESSAGE), invitation_text);
    EXPECT_TRUE(shown(IDC_SHARE_MESSAGE));
    EXPECT_TRUE(shares_on_service().empty());
}

TEST_F(SharingPage, AFailedInvitationShowsTheFailureNotTheInvitationText) {
    ASSERT_EQ(open_page(), S_OK);
    request_fault refused;
    refused.target = "cm_email.php";
    refused.kind = "error";
    refused.error_description = "The mail server is down";
    service_.arm(refused);
    share_with(L"carol@example.com");
    EXPECT_TRUE(sent_invitations().empty());
    EXPECT_NE(text(IDC_SHARE_MESSAGE), invitation_text);
    EXPECT_FALSE(shown(IDC_SHARE_MESSAGE));
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error sharing");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(SharingPage, RemoveAsksFirstAndNoKeepsTheUser) {
    service_.add_share(alice_, folder_, bob_, 0);
    ASSERT_EQ(open_page(), S_OK);
    int answer = IDNO;
    win_test::scoped_message_box_responder responder(
        [&](const std::wstring&, const std::wstring&, UINT) { return answer; });
    SendMessageW(*page_, CShareUserList::remove_user_message, 0, 0);
    EXPECT_EQ(shares_on_service(), (std::map<std::string, int>{{"bob", 0}}));
    EXPECT_EQ(listed_users(), std::vector<std::wstring>{L"bob"});
    auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Are you sure you want to remove user?");
    EXPECT_EQ(boxes[0].caption, "");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO));

    EXPECT_EQ(text(IDC_SHARE_STATE), L"Shared");
    answer = IDYES;
    SendMessageW(*page_, CShareUserList::remove_user_message, 0, 0);
    EXPECT_TRUE(shares_on_service().empty());
    EXPECT_TRUE(listed_users().empty());
    EXPECT_EQ(text(IDC_SHARE_STATE), L"Not Shared") << "its last user is gone";
    EXPECT_EQ(win_test::message_boxes().size(), 2u);
}

TEST_F(SharingPage, TheChangeLinkEditsThatUsersMode) {
    service_.add_share(alice_, folder_, bob_, 1);
    ASSERT_EQ(open_page(), S_OK);
    SendMessageW(*page_, CShareUserList::edit_user_message, 0, 0);
    EXPECT_EQ(text(IDC_SHARE_EDITED_USER), L"bob");
    EXPECT_FALSE(win_test::checked(item(IDC_SHARE_MODE_VIEW)));
    EXPECT_TRUE(win_test::checked(item(IDC_SHARE_MODE_FULL)));
    // A row that is not there changes nothing.
    SendMessageW(*page_, CShareUserList::edit_user_message, 0, 7);
    SendMessageW(*page_, CShareUserList::remove_user_message, 0, 7);
    EXPECT_TRUE(win_test::message_boxes().empty());
    EXPECT_EQ(text(IDC_SHARE_EDITED_USER), L"bob");
}

// Pixels of one colour inside a rectangle of a painted client area.
int count_in(const std::vector<uint32_t>& pixels, int width, const RECT& area, uint32_t color) {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += pixels[static_cast<size_t>(y) * width + x] == color;
    return count;
}

TEST_F(SharingPage, LinksAndTheHandOnlyOnRowsTheOwnerMayChange) {
    service_.add_share(alice_, folder_, bob_, 1);
    add_fixed_share(service_.add_user("carol", "x"));
    ASSERT_EQ(open_page(), S_OK);
    CShareUserList& list = page_->UserList();
    ASSERT_EQ(listed_users(), (std::vector<std::wstring>{L"bob", L"carol"}));
    EXPECT_EQ(list.GetUser(0)->flags, 1);
    EXPECT_EQ(list.GetUser(1)->flags, 0);
    RECT change{}, remove{};
    EXPECT_FALSE(list.GetLinkRects(1, change, remove));
    ASSERT_TRUE(list.GetLinkRects(0, change, remove));
    EXPECT_LE(change.right, remove.left);

    // The same place one row down: carol's row, which has no links.
    RECT first{}, second{};
    ListView_GetItemRect(list, 0, &first, LVIR_BOUNDS);
    ListView_GetItemRect(list, 1, &second, LVIR_BOUNDS);
    RECT below = remove;
    OffsetRect(&below, 0, second.top - first.top);

    win_test::move_mouse(on_list(change));
    win_test::pump();
    EXPECT_EQ(win_test::current_cursor_id(), hand_cursor);
    win_test::move_mouse(on_list(below));
    win_test::pump();
    EXPECT_EQ(win_test::current_cursor_id(), arrow_cursor);
    win_test::move_mouse(on_list(remove));
    win_test::pump();
    EXPECT_EQ(win_test::current_cursor_id(), hand_cursor);
    RECT name_cell = first;
    name_cell.right = name_cell.left + 40;
    win_test::move_mouse(on_list(name_cell));
    win_test::pump();
    EXPECT_EQ(win_test::current_cursor_id(), arrow_cursor);

    // Drawn: the links in their colour on bob's row only, the check mark
    // under bob's mode (Full) and under carol's (View).
    const std::vector<uint32_t> pixels = shell_testing::paint_client(list);
    const int width = win_test::client_rect(list).right;
    const uint32_t link = shell_testing::opaque(CShareUserList::link_color);
    EXPECT_GT(count_in(pixels, width, change, link), 0);
    EXPECT_GT(count_in(pixels, width, remove, link), 0);
    EXPECT_EQ(count_in(pixels, width, below, link), 0);
    const HWND header = ListView_GetHeader(list);
    RECT view{}, full{};
    Header_GetItemRect(header, 1, &view);
    Header_GetItemRect(header, 2, &full);
    const auto in_row = [](RECT column, const RECT& row) {
        column.top = row.top;
        column.bottom = row.bottom;
        return column;
    };
    const uint32_t black = shell_testing::opaque(RGB(0, 0, 0));
    EXPECT_EQ(count_in(pixels, width, in_row(view, first), black), 0);
    EXPECT_GT(count_in(pixels, width, in_row(full, first), black), 0);
    EXPECT_GT(count_in(pixels, width, in_row(view, second), black), 0);
    EXPECT_EQ(count_in(pixels, width, in_row(full, second), black), 0);
}

TEST_F(SharingPage, ClickingTheLinksEditsOrRemovesThatUser) {
    service_.add_share(alice_, folder_, bob_, 1);
    ASSERT_EQ(open_page(), S_OK);
    RECT change{}, remove{};
    ASSERT_TRUE(page_->UserList().GetLinkRects(0, change, remove));

    win_test::click(on_list(change));
    win_test::pump();
    EXPECT_TRUE(shown(IDC_SHARE_EDITED_USER));
    EXPECT_EQ(text(IDC_SHARE_EDITED_USER), L"bob");
    EXPECT_TRUE(win_test::checked(item(IDC_SHARE_MODE_FULL)));

    win_test::scoped_message_box_responder no(
        [](const std::wstring&, const std::wstring&, UINT) { return IDNO; });
    // Apart from the first click, so that the two make no double click.
    POINT point = on_list(remove);
    point.x += 1;
    win_test::click(point);
    win_test::pump();
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(shares_on_service(), (std::map<std::string, int>{{"bob", 1}}));
}

TEST_F(SharingPage, AFailedLoadIsReportedAndKeepsTheRows) {
    service_.add_share(alice_, folder_, bob_, 0);
    ASSERT_EQ(open_page(), S_OK);
    request_fault broken;
    broken.target = "list_share_whith_users";
    broken.kind = "error";
    service_.arm(broken);
    EXPECT_EQ(page_->Fill(), E_FAIL);
    EXPECT_EQ(listed_users(), std::vector<std::wstring>{L"bob"});
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error loading users");
}

TEST_F(SharingPage, SavingWithNeitherModeCheckedLeavesTheModeAlone) {
    service_.add_share(alice_, folder_, bob_, 1);
    ASSERT_EQ(open_page(), S_OK);
    SendMessageW(*page_, CShareUserList::edit_user_message, 0, 0);
    CheckDlgButton(*page_, IDC_SHARE_MODE_FULL, BST_UNCHECKED);
    service_.requests(true);
    win_test::press(*page_, IDC_SHARE_SAVE);
    win_test::pump();
    EXPECT_EQ(requests_of("change_folder_share_mode"), 0);
    EXPECT_EQ(shares_on_service(), (std::map<std::string, int>{{"bob", 1}}));
    EXPECT_TRUE(shown(IDC_SHARE_USER));  // back to adding
}

TEST_F(SharingPage, TheSheetsButtonsAndBackground) {
    ASSERT_EQ(open_page(), S_OK);
    // The sheet's Apply, left on by a change on another page; this page
    // turns it off.
    HWND apply = parent_.apply_button();
    EnableWindow(apply, TRUE);
    sheet_selection selection;
    selection.folder_directory = session_->get_root_directory();
    selection.items.Add(
        CItemIdList(make_pidl_data(selection.folder_directory->get_item(L"Holiday", true)))
            .CreatePidl());
    selection.sheet = parent_;
    selection.theme_brush = CreateSolidBrush(RGB(200, 220, 240));
    CPropertiesFileShareDlg page(selection);
    ASSERT_NE(page.Create(parent_), nullptr);
    EXPECT_EQ(page.Fill(), S_OK);
    EXPECT_EQ(SendMessageW(page, WM_CTLCOLORSTATIC, 0,
                           reinterpret_cast<LPARAM>(win_test::control(page, IDC_SHARE_STATE))),
              reinterpret_cast<LRESULT>(selection.theme_brush));

    EXPECT_TRUE(win_test::enabled(apply));
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(sheet_apply_button_id, BN_CLICKED), 0);
    EXPECT_FALSE(win_test::enabled(apply));
    EXPECT_TRUE(IsWindow(page));
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindow(page));
    DeleteObject(selection.theme_brush);
}

// The list has no header of its own: the statics above it name its
// columns. Each title is drawn whole, inside the list's width, centred over
// its own column, and no title's static reaches into the next one.
TEST_F(SharingPage, TheColumnTitlesStandOverTheirColumnsWithoutOverlapping) {
    ASSERT_EQ(open_page(), S_OK);
    const HWND list = item(IDC_SHARE_USER_LIST);
    const RECT list_place = win_test::window_rect(list);
    const HWND header = ListView_GetHeader(list);
    ASSERT_NE(header, nullptr);
    const int titles[] = {IDC_SHARE_COLUMN_USERS, IDC_SHARE_COLUMN_VIEW, IDC_SHARE_COLUMN_FULL,
                          IDC_SHARE_COLUMN_LINKS};
    LONG previous_right = list_place.left;
    for (int column = 0; column < 4; ++column) {
        const HWND title = item(titles[column]);
        const std::wstring words = win_test::text(title);
        const RECT place = win_test::window_rect(title);
        const HDC dc = GetDC(title);
        const HGDIOBJ old_font =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(title, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, words.c_str(), static_cast<int>(words.size()), &size);
        SelectObject(dc, old_font);
        ReleaseDC(title, dc);
        const bool to_the_right = (GetWindowLongW(title, GWL_STYLE) & SS_TYPEMASK) == SS_RIGHT;
        const LONG left = to_the_right ? place.right - size.cx : place.left;
        RECT cells{};
        ASSERT_TRUE(Header_GetItemRect(header, column, &cells));
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&cells), 2);
        const std::string what(words.begin(), words.end());
        EXPECT_LE(size.cx, place.right - place.left) << what << " is cut";
        EXPECT_GE(place.left, previous_right) << what << " overlaps the title before it";
        EXPECT_GE(left, list_place.left) << what;
        EXPECT_LE(left + size.cx, list_place.right) << what << " runs past the list";
        const LONG middle = left + size.cx / 2;
        EXPECT_TRUE(middle >= cells.left && middle < cells.right)
            << what << " stands over another column";
        previous_right = place.right;
    }
}

TEST_F(SharingPage, FillWithoutAFolderFails) {
    sheet_selection empty;
    CPropertiesFileShareDlg page(empty);
    EXPECT_EQ(page.Fill(), E_FAIL);
}

// Every row owns a copy of its user, freed when the row goes: reloading,
// removing and destroying the page with rows free each record once (a
// double free aborts; the sanitizer build also sees a leak).
TEST_F(SharingPage, RowRecordsAreFreedOnceWhenTheirRowsGo) {
    service_.add_share(alice_, folder_, bob_, 0);
    add_fixed_share(service_.add_user("carol", "x"));
    ASSERT_EQ(open_page(), S_OK);
    EXPECT_EQ(page_->Fill(), S_OK);
    EXPECT_EQ(page_->Fill(), S_OK);
    EXPECT_EQ(listed_users().size(), 2u);
    page_.reset();  // the window goes with the object
}

}  // namespace
