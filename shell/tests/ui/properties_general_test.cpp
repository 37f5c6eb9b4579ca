// The general pages of remote items, each a child of a plain window that
// stands in for the sheet (with its Apply button), against the stand-in
// service: what they show for one file, a folder and several items, how
// Apply writes the changes step by step, and how the workers give way to
// the user and to the page's end.
#include "ui/properties_general.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <boost/make_shared.hpp>
#include <boost/pointer_cast.hpp>
#include <chrono>
#include <thread>

#include "folder/module/display_format.h"
#include "gated_directory.h"
#include "service_fixture.h"
#include "stand_in_sheet.h"
#include "vfs/calvimora_client.h"
#include "win/machine.h"
#include "win/shell.h"
#include "win/test_journal.h"
#include "win/win_test.h"
#include "window_pixels.h"

namespace {

using calvimora::testing::request_fault;
using shell_testing::stand_in_sheet;

// The actions that change items (renames and "set_" calls), in order.
std::vector<std::string> changes(const std::vector<calvimora::testing::logged_request>& log) {
    std::vector<std::string> found;
    for (const auto& request : log)
        if (request.action.rfind("rename", 0) == 0 || request.action.rfind("set_", 0) == 0)
            found.push_back(request.action);
    return found;
}

size_t count(const std::vector<calvimora::testing::logged_request>& log,
             const std::string& action) {
    size_t found = 0;
    for (const auto& request : log) found += request.action == action;
    return found;
}

// Replaces an edit's text by typing into it with the focus on it, as a
// person would.
void type_into(HWND page, int id, const std::wstring& text) {
    HWND edit = GetDlgItem(page, id);
    ASSERT_NE(edit, nullptr);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    for (const wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
}

// An icon of its own pixels, one opaque colour, size x size.
HICON solid_icon(COLORREF color, int size) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::fill_n(static_cast<uint32_t*>(bits), size * size, shell_testing::opaque(color));
    // The colour's alpha decides what shows; the mask need only be given.
    ICONINFO parts{TRUE, 0, 0, colour, colour};
    HICON icon = CreateIconIndirect(&parts);
    DeleteObject(colour);
    return icon;
}

class PropertiesGeneralPage : public ::testing::Test {
protected:
    PropertiesGeneralPage() {
        service_.export_url();
        owner_ = service_.add_user("alice", "secret");
        docs_id_ = service_.add_folder(owner_, "0", "docs");
        session_ = vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-1");
        win_test::clear_message_boxes();
        win_test::clear_shell_notifications();
    }

    ~PropertiesGeneralPage() override { page_.reset(); }

    // A folder of the root as a fresh session sees it (nothing listed yet).
    vfs::directory_ptr docs(const vfs_calvimora::client_ptr& session) {
        return boost::dynamic_pointer_cast<vfs::directory>(
            session->get_root_directory()->get_item(L"docs", false));
    }

    // The selection of the named children of the folder, with their
    // records as the folder lists them now.
    void select(const vfs::directory_ptr& folder, std::initializer_list<std::wstring> names) {
        selection_.folder_directory = folder;
        selection_.folder_ids =
            CItemIdList(make_pidl_data(session_->get_root_directory()->get_item(L"docs", false)));
        selection_.items.RemoveAll();
        selection_.folder_count = selection_.file_count = 0;
        for (const std::wstring& name : names) {
            const vfs::item_ptr item = folder->get_item(name, true);
            const PIDLDATA record = make_pidl_data(item);
            (record.type == vfs::item_type_directory ? selection_.folder_count
                                                     : selection_.file_count)++;
            selection_.items.Add(CItemIdList(record).CreatePidl());
        }
        selection_.sheet = host_;
    }

    // The page made, created, shown and filled as the sheet does it.
    template <typename Page>
    HWND open(bool wait = true) {
        auto made = std::make_unique<Page>(selection_);
        HWND page = made->Create(host_);
        EXPECT_NE(page, nullptr);
        ShowWindow(page, SW_SHOW);
        EXPECT_EQ(made->Fill(), S_OK);
        page_ = std::move(made);
        if (wait) wait_for_workers();
        return page;
    }

    void wait_for_workers() {
        ASSERT_TRUE(win_test::pump_until([&] { return !page_->WorkersRunning(); },
                                         std::chrono::seconds(30)));
        win_test::pump();
    }

    std::wstring text(int id) { return win_test::text(GetDlgItem(*page_, id)); }
    bool checked(int id) { return IsDlgButtonChecked(*page_, id) == BST_CHECKED; }
    bool shown(int id) { return win_test::visible(GetDlgItem(*page_, id)); }
    int top(int id) {
        RECT rect = win_test::window_rect(GetDlgItem(*page_, id));
        return rect.top;
    }

    void arm(const std::string& action, const std::string& kind, double seconds = 1,
             int count = 1) {
        request_fault fault;
        fault.target = action;
        fault.kind = kind;
        fault.count = count;
        fault.seconds = seconds;
        if (kind == "error") {
            fault.error_name = "Refused";
            fault.error_description = "Refused by the test";
        }
        service_.arm(fault);
    }

    win_machine::scoped_root root_;
    calvimora::testing::service service_;
    std::string owner_;
    std::string docs_id_;
    vfs_calvimora::client_ptr session_;
    stand_in_sheet host_;
    sheet_selection selection_;
    std::unique_ptr<CPropertiesItemGeneralDlg> page_;
};

// The item's icon is drawn where the page holds it, at its own size.
TEST_F(PropertiesGeneralPage, TheIconOfTheSelectionIsDrawn) {
    service_.add_generated_file(owner_, docs_id_, "report.pdf", 10);
    select(docs(session_), {L"report.pdf"});
    const COLORREF red = RGB(200, 30, 40);
    selection_.large_icon = solid_icon(red, 16);
    ASSERT_NE(selection_.large_icon, nullptr);
    open<CPropertiesFileGeneralDlg>();
    HWND holder = GetDlgItem(*page_, IDC_GENERAL_ICON);
    const std::vector<uint32_t> pixels = shell_testing::paint_client(holder);
    const int width = win_test::client_rect(holder).right;
    ASSERT_GT(width, 16);
    auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; };
    EXPECT_EQ(at(0, 0), shell_testing::opaque(red));
    EXPECT_EQ(at(15, 15), shell_testing::opaque(red));
    EXPECT_NE(at(16, 0), shell_testing::opaque(red)) << "drawn at its own size";
    page_.reset();
    DestroyIcon(selection_.large_icon);
}

TEST_F(PropertiesGeneralPage, OneFileShowsWhatTheServiceKnowsOfIt) {
    service_.add_generated_file(owner_, docs_id_, "report.pdf", 1500);
    const vfs::directory_ptr folder = docs(session_);
    auto file = boost::dynamic_pointer_cast<vfs::file>(folder->get_item(L"report.pdf", true));
    file->set_access(vfs::access_hidden);
    file->set_description(L"Quarterly numbers");
    file->set_price(2.5);
    select(folder, {L"report.pdf"});
    const PIDLDATA record = make_pidl_data(file);

    open<CPropertiesFileGeneralDlg>();

    EXPECT_EQ(text(IDC_GENERAL_NAME), L"report.pdf");
    EXPECT_EQ(text(IDC_GENERAL_TYPE), pidl_type_name(record));
    EXPECT_EQ(text(IDC_GENERAL_LOCATION), L"Calvimora\\docs");
    EXPECT_EQ(text(IDC_GENERAL_SIZE), L"2 KB (1 500 bytes)");
    EXPECT_EQ(text(IDC_GENERAL_DATE), shell_utils::FormatUtcDateAsLocal(record.date_modified));
    EXPECT_FALSE(text(IDC_GENERAL_DATE).empty());
    EXPECT_EQ(text(IDC_GENERAL_LINK), file->get_link());
    EXPECT_TRUE(checked(IDC_GENERAL_HIDDEN));
    EXPECT_FALSE(checked(IDC_GENERAL_PUBLIC) || checked(IDC_GENERAL_PRIVATE));
    EXPECT_EQ(text(IDC_GENERAL_DESCRIPTION), L"Quarterly numbers");
    EXPECT_TRUE(checked(IDC_GENERAL_PRICED));
    EXPECT_TRUE(win_test::enabled(GetDlgItem(*page_, IDC_GENERAL_PRICE)));
    EXPECT_EQ(text(IDC_GENERAL_PRICE), L"2.50");
    EXPECT_TRUE(shown(IDC_GENERAL_LINE_SIZE));
    // Filling is no change of the user's: Apply stays off.
    EXPECT_FALSE(host_.apply_enabled());
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(PropertiesGeneralPage, AFolderIsMeasuredOnAWorkerAndSeveralItemsShowTheirCounts) {
    const std::string inner = service_.add_folder(owner_, docs_id_, "inner");
    const std::string deeper = service_.add_folder(owner_, inner, "deeper");
    service_.add_generated_file(owner_, inner, "a.bin", 1000);
    service_.add_generated_file(owner_, deeper, "b.bin", 24);
    service_.add_generated_file(owner_, docs_id_, "c.bin", 100);
    const vfs::directory_ptr folder = docs(session_);

    select(folder, {L"inner"});
    open<CPropertiesFolderGeneralDlg>();
    EXPECT_EQ(text(IDC_GENERAL_NAME), L"inner");
    EXPECT_EQ(text(IDC_GENERAL_SIZE), L"1 KB (1 024 bytes)");
    EXPECT_EQ(text(IDC_GENERAL_CONTENTS), L"1 folders, 2 files");
    EXPECT_TRUE(shown(IDC_GENERAL_CONTENTS));
    EXPECT_TRUE(shown(IDC_GENERAL_DATE));
    EXPECT_TRUE(shown(IDC_GENERAL_LINE_ACCESS));
    const int single_access_top = top(IDC_GENERAL_ACCESS_LABEL);

    // A folder and a file: the counts grow into the read-only name, and
    // neither access nor description is offered.
    select(folder, {L"inner", L"c.bin"});
    HWND page = open<CPropertiesFolderGeneralDlg>();
    EXPECT_EQ(text(IDC_GENERAL_NAME), L"2 folders, 3 files");
    EXPECT_EQ(text(IDC_GENERAL_SIZE), L"2 KB (1 124 bytes)");
    HWND name = GetDlgItem(page, IDC_GENERAL_NAME);
    EXPECT_TRUE(GetWindowLongW(name, GWL_STYLE) & ES_READONLY);
    EXPECT_FALSE(GetWindowLongW(name, GWL_STYLE) & (WS_BORDER | WS_TABSTOP));
    EXPECT_FALSE(shown(IDC_GENERAL_CONTENTS));
    EXPECT_FALSE(shown(IDC_GENERAL_DATE) || shown(IDC_GENERAL_LINK));
    EXPECT_FALSE(shown(IDC_GENERAL_PUBLIC) || shown(IDC_GENERAL_DESCRIPTION));
    for (const int line : {IDC_GENERAL_LINE_SIZE, IDC_GENERAL_LINE_LINK, IDC_GENERAL_LINE_ACCESS})
        EXPECT_FALSE(shown(line)) << line;

    // Two folders: the lower part moves up into the place of the rows
    // only one item has.
    service_.add_folder(owner_, docs_id_, "other");
    select(folder, {L"inner", L"other"});
    open<CPropertiesFolderGeneralDlg>();
    EXPECT_EQ(text(IDC_GENERAL_NAME), L"3 folders, 2 files");
    EXPECT_TRUE(shown(IDC_GENERAL_PUBLIC));
    EXPECT_EQ(top(IDC_GENERAL_ACCESS_LABEL), single_access_top - 65);
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(PropertiesGeneralPage, SeveralFilesShowTheirCountAndSharedValuesOnly) {
    service_.add_file(owner_, docs_id_, "a.txt", "aaaa");
    service_.add_file(owner_, docs_id_, "b.txt", "bbbbbb");
    const vfs::directory_ptr folder = docs(session_);
    folder->get_item(L"a.txt", true)->set_description(L"one");
    folder->get_item(L"b.txt", false)->set_description(L"two");

    select(folder, {L"a.txt"});
    open<CPropertiesFileGeneralDlg>();
    const int single_price_top = top(IDC_GENERAL_PRICE_LABEL);

    select(folder, {L"a.txt", L"b.txt"});
    open<CPropertiesFileGeneralDlg>();
    EXPECT_EQ(text(IDC_GENERAL_NAME), L"0 folders, 2 files");
    EXPECT_EQ(text(IDC_GENERAL_TYPE),
              L"All of type " + pidl_type_name(make_pidl_data(folder->get_item(L"a.txt", false))));
    EXPECT_EQ(text(IDC_GENERAL_SIZE), L"10 bytes (10 bytes)");
    EXPECT_FALSE(shown(IDC_GENERAL_DATE) || shown(IDC_GENERAL_LINK));
    EXPECT_FALSE(shown(IDC_GENERAL_LINE_SIZE));
    EXPECT_EQ(text(IDC_GENERAL_DESCRIPTION), L"");
    EXPECT_EQ(top(IDC_GENERAL_PRICE_LABEL), single_price_top - 50);

    // The differing descriptions are replaced by what the user types, on
    // both files.
    type_into(*page_, IDC_GENERAL_DESCRIPTION, L"shared");
    EXPECT_TRUE(host_.apply_enabled());
    EXPECT_EQ(page_->Apply(), S_OK);
    EXPECT_FALSE(host_.apply_enabled());
    const vfs::directory_ptr fresh =
        docs(vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-2"));
    EXPECT_EQ(fresh->get_item(L"a.txt", true)->get_description(), L"shared");
    EXPECT_EQ(fresh->get_item(L"b.txt", false)->get_description(), L"shared");
}

TEST_F(PropertiesGeneralPage, ApplyRenamesAndWritesAccessDescriptionAndPriceInThatOrder) {
    service_.add_file(owner_, docs_id_, "draft.txt", "text");
    const vfs::directory_ptr folder = docs(session_);
    select(folder, {L"draft.txt"});
    HWND page = open<CPropertiesFileGeneralDlg>();

    type_into(page, IDC_GENERAL_NAME, L"final.txt");
    win_test::press(page, IDC_GENERAL_PUBLIC);
    type_into(page, IDC_GENERAL_DESCRIPTION, L"done");
    win_test::press(page, IDC_GENERAL_PRICED);
    type_into(page, IDC_GENERAL_PRICE, L"3.5");
    EXPECT_TRUE(host_.apply_enabled());
    service_.requests(true);

    EXPECT_EQ(page_->Apply(), S_OK);
    EXPECT_EQ(changes(service_.requests()),
              (std::vector<std::string>{"rename_file", "set_file_access", "set_file_description",
                                        "set_file_price"}));
    const auto notifications = win_test::shell_notifications();
    ASSERT_EQ(notifications.size(), 1u);
    EXPECT_EQ(notifications[0].event, SHCNE_RENAMEITEM);
    EXPECT_NE(notifications[0].item1, notifications[0].item2);
    EXPECT_FALSE(host_.apply_enabled());

    const vfs::directory_ptr fresh =
        docs(vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-2"));
    auto renamed = boost::dynamic_pointer_cast<vfs::file>(fresh->get_item(L"final.txt", true));
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->get_access(), vfs::access_public);
    EXPECT_EQ(renamed->get_description(), L"done");
    EXPECT_DOUBLE_EQ(renamed->get_price(), 3.5);

    // Nothing is left: a second Apply writes nothing.
    service_.requests(true);
    EXPECT_EQ(page_->Apply(), S_OK);
    EXPECT_TRUE(changes(service_.requests()).empty());
}

TEST_F(PropertiesGeneralPage, AFailedStepKeepsTheOthersAndASecondApplyDoesOnlyWhatIsLeft) {
    service_.add_file(owner_, docs_id_, "draft.txt", "text");
    const vfs::directory_ptr folder = docs(session_);
    select(folder, {L"draft.txt"});
    HWND page = open<CPropertiesFileGeneralDlg>();

    type_into(page, IDC_GENERAL_NAME, L"final.txt");
    win_test::press(page, IDC_GENERAL_HIDDEN);
    type_into(page, IDC_GENERAL_DESCRIPTION, L"done");
    win_test::press(page, IDC_GENERAL_FREE);
    arm("set_file_access", "error");
    service_.requests(true);

    EXPECT_EQ(page_->Apply(), E_FAIL);
    EXPECT_EQ(changes(service_.requests(true)),
              (std::vector<std::string>{"rename_file", "set_file_access", "set_file_description",
                                        "set_file_price"}));
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error loading permissions");
    EXPECT_TRUE(boxes[0].type & MB_ICONERROR);
    EXPECT_TRUE(host_.apply_enabled());

    EXPECT_EQ(page_->Apply(), S_OK);
    EXPECT_EQ(changes(service_.requests()), (std::vector<std::string>{"set_file_access"}));
    EXPECT_EQ(win_test::shell_notifications().size(), 1u);
    const vfs::directory_ptr fresh =
        docs(vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-2"));
    EXPECT_EQ(fresh->get_item(L"final.txt", true)->get_access(), vfs::access_hidden);
}

TEST_F(PropertiesGeneralPage, APriceIsOnlyTheAmountTheCurrencyEditGives) {
    service_.add_file(owner_, docs_id_, "song.mp3", "la la la");
    const vfs::directory_ptr folder = docs(session_);
    select(folder, {L"song.mp3"});
    HWND page = open<CPropertiesFileGeneralDlg>();
    EXPECT_TRUE(checked(IDC_GENERAL_FREE));
    EXPECT_FALSE(win_test::enabled(GetDlgItem(page, IDC_GENERAL_PRICE)));

    // A pasted text the filter never sees.
    win_test::press(page, IDC_GENERAL_PRICED);
    HWND price = GetDlgItem(page, IDC_GENERAL_PRICE);
    SetFocus(price);
    SendMessageW(price, EM_SETSEL, 0, -1);
    SendMessageW(price, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"-5"));
    service_.requests(true);
    EXPECT_EQ(page_->Apply(), E_FAIL);
    EXPECT_TRUE(changes(service_.requests(true)).empty());
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(win_test::message_boxes()[0].caption, "Error loading price");

    // Mended, the pending price goes through.
    SendMessageW(price, EM_SETSEL, 0, -1);
    SendMessageW(price, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"1,25"));
    EXPECT_EQ(page_->Apply(), S_OK);
    EXPECT_EQ(changes(service_.requests()), (std::vector<std::string>{"set_file_price"}));
    const vfs::directory_ptr fresh =
        docs(vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-2"));
    EXPECT_DOUBLE_EQ(
        boost::dynamic_pointer_cast<vfs::file>(fresh->get_item(L"song.mp3", true))->get_price(),
        1.25);
}

TEST_F(PropertiesGeneralPage, ALoaderStillRunningNeverOverwritesTheUsersChoice) {
    service_.add_file(owner_, docs_id_, "a.txt", "a");
    const vfs::directory_ptr folder = docs(session_);
    folder->get_item(L"a.txt", true)->set_access(vfs::access_private);
    folder->get_item(L"a.txt", false)->set_description(L"theirs");
    select(folder, {L"a.txt"});
    // The loaders of access, description and price wait until the user
    // has clicked and typed.
    auto gated = boost::make_shared<shell_testing::gated_directory>(folder);
    selection_.folder_directory = gated;
    HWND page = open<CPropertiesFileGeneralDlg>(false);
    ASSERT_TRUE(win_test::pump_until([&] { return gated->waiting() == 3; }));

    win_test::press(page, IDC_GENERAL_PUBLIC);
    type_into(page, IDC_GENERAL_DESCRIPTION, L"mine");
    win_test::press(page, IDC_GENERAL_PRICED);
    gated->open_gate();
    wait_for_workers();

    EXPECT_TRUE(checked(IDC_GENERAL_PUBLIC));
    EXPECT_FALSE(checked(IDC_GENERAL_PRIVATE));
    EXPECT_EQ(text(IDC_GENERAL_DESCRIPTION), L"mine");
    EXPECT_TRUE(checked(IDC_GENERAL_PRICED));
    EXPECT_FALSE(checked(IDC_GENERAL_FREE));
    EXPECT_EQ(text(IDC_GENERAL_PRICE), L"");

    // What the user chose is what Apply writes ("$" without an amount
    // fails until the user picks "Free").
    EXPECT_EQ(page_->Apply(), E_FAIL);
    win_test::press(page, IDC_GENERAL_FREE);
    EXPECT_EQ(page_->Apply(), S_OK);
    const vfs::directory_ptr fresh =
        docs(vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-2"));
    EXPECT_EQ(fresh->get_item(L"a.txt", true)->get_access(), vfs::access_public);
    EXPECT_EQ(fresh->get_item(L"a.txt", false)->get_description(), L"mine");
}

TEST_F(PropertiesGeneralPage, ClosingThePageStopsTheSizeWalk) {
    // A tree of 1 + 3 + 9 folders, each listing slow.
    const std::string top_id = service_.add_folder(owner_, docs_id_, "tree");
    for (int i = 0; i < 3; ++i) {
        const std::string middle = service_.add_folder(owner_, top_id, "m" + std::to_string(i));
        for (int j = 0; j < 3; ++j) service_.add_folder(owner_, middle, "l" + std::to_string(j));
    }
    const vfs::directory_ptr folder = docs(session_);
    select(folder, {L"tree"});
    arm("list_dir", "delay", 0.5, 0);
    service_.requests(true);
    HWND page = open<CPropertiesFolderGeneralDlg>(false);
    ASSERT_TRUE(win_test::pump_until([&] { return count(service_.requests(), "list_dir") > 0; }));

    const auto start = std::chrono::steady_clock::now();
    DestroyWindow(page);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(page_->WorkersRunning());
    EXPECT_LT(took, std::chrono::seconds(5));
    service_.disarm();
    EXPECT_LT(count(service_.requests(), "list_dir"), 13u);
    // The object goes after its window without waiting again.
    page_.reset();
}

TEST_F(PropertiesGeneralPage, ThePageObjectGoesWhileItsLoadersAreStillAtWork) {
    service_.add_file(owner_, docs_id_, "a.txt", "a");
    const vfs::directory_ptr folder = docs(session_);
    select(folder, {L"a.txt"});
    auto gated = boost::make_shared<shell_testing::gated_directory>(folder);
    selection_.folder_directory = gated;
    HWND page = open<CPropertiesFileGeneralDlg>(false);
    ASSERT_TRUE(win_test::pump_until([&] { return gated->waiting() == 3; }));

    // The loaders go on while the object is being destroyed (window
    // first, then the members): none of them may reach what is gone.
    std::atomic<bool> closing{false};
    std::thread opener([&] {
        while (!closing) std::this_thread::yield();
        gated->open_gate();
    });
    closing = true;
    page_.reset();
    opener.join();
    EXPECT_FALSE(IsWindow(page));
    EXPECT_TRUE(win_test::message_boxes().empty());
}

}  // namespace
