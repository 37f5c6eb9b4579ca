// The drive's sheet against the stand-in service: what its page shows for
// an account with a capacity and for an unlimited one, and how a cancelled
// login or a failing request closes the sheet.
#include "ui/properties_drive.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "folder/module/display_format.h"
#include "folder_fakes.h"
#include "service_fixture.h"
#include "ui/properties_drive_resources.h"
#include "ui/window_pixels.h"
#include "vfs/calvimora_client.h"
#include "win/commctrl.h"
#include "win/machine.h"
#include "win/test_journal.h"
#include "win/win_test.h"

namespace {

using calvimora::testing::json_object;
using calvimora::testing::request_fault;

class DrivePage : public ::testing::Test {
protected:
    DrivePage() {
        service_.export_url();
        replace_folder_session(&session_);
        win_test::clear_message_boxes();
    }
    ~DrivePage() override { replace_folder_session(nullptr); }

    // A user with that capacity and level, logged in as the session.
    void log_in(std::int64_t capacity, std::int64_t used) {
        const std::string id = service_
                                   .control("add_user", json_object()
                                                            .set("name", "alice")
                                                            .set("password", "secret")
                                                            .set("level", "Premium")
                                                            .set("capacity", capacity))
                                   .get<std::string>("user_id");
        if (used > 0) service_.add_generated_file(id, "0", "photos.zip", used);
        const vfs::client_ptr client = vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-1");
        session_.client = [client] { return client; };
    }

    // The page's texts by control id, read once it has filled in.
    struct shown {
        std::map<int, std::wstring> texts;
        int chart = -1;
        std::wstring caption;
        std::vector<uint32_t> icon_area;  // control 401's pixels
    };
    INT_PTR open(shown* seen) {
        CPropertiesDriveDlg* handler = nullptr;
        win_test::scoped_dialog_responder look([&](HWND sheet) {
            if (seen) {
                HWND page = PropSheet_GetCurrentPageHwnd(sheet);
                for (int id = IDC_DRIVE_PRODUCT; id <= static_cast<int>(IDC_DRIVE_CAPACITY); ++id)
                    seen->texts[id] = win_test::text(GetDlgItem(page, id));
                seen->chart = handler->ChartValue();
                seen->caption = win_test::text(sheet);
                seen->icon_area = shell_testing::paint_client(GetDlgItem(page, IDC_DRIVE_ICON));
            }
            win_test::press(sheet, IDCANCEL);
        });
        return ShowDriveSheet(nullptr, [&](CPropertiesDriveDlg& made) { handler = &made; });
    }

    win_machine::scoped_root root_;
    calvimora::testing::service service_;
    shell_testing::scripted_session session_;
};

TEST_F(DrivePage, ShowsTheAccountAndItsSpaceFromTheService) {
    log_in(1000000, 300000);
    shown seen;
    EXPECT_EQ(open(&seen), 0);
    using shell_utils::FormatSize;
    EXPECT_EQ(seen.caption, L"Calvimora Properties");
    EXPECT_EQ(seen.texts[IDC_DRIVE_PRODUCT], L"Calvimora");
    EXPECT_EQ(seen.texts[IDC_DRIVE_USER_NAME], L"alice");
    EXPECT_EQ(seen.texts[IDC_DRIVE_LEVEL], L"Premium");
    EXPECT_EQ(seen.texts[IDC_DRIVE_USED_BYTES], FormatSize(300000, 0, 0, false));
    EXPECT_EQ(seen.texts[IDC_DRIVE_USED], FormatSize(300000, 0, 4, true));
    EXPECT_EQ(seen.texts[IDC_DRIVE_FREE_BYTES], FormatSize(700000, 0, 0, false));
    EXPECT_EQ(seen.texts[IDC_DRIVE_FREE], FormatSize(700000, 0, 4, true));
    EXPECT_EQ(seen.texts[IDC_DRIVE_CAPACITY_BYTES], FormatSize(1000000, 0, 0, false));
    EXPECT_EQ(seen.texts[IDC_DRIVE_CAPACITY], FormatSize(1000000, 0, 4, true));
    EXPECT_EQ(seen.chart, 300);
    EXPECT_EQ(session_.dialogs, 0);
    // The program's icon is drawn: its blue cloud over the page's grey.
    const auto blue = std::count_if(seen.icon_area.begin(), seen.icon_area.end(), [](uint32_t p) {
        return int(p & 0xFF) > int((p >> 16) & 0xFF) + 60;
    });
    EXPECT_GT(blue, 50) << "of " << seen.icon_area.size() << " pixels";
}

TEST_F(DrivePage, AnUnlimitedAccountShowsNoFreeSpaceAndAnEmptyChart) {
    log_in(0, 5000);
    shown seen;
    open(&seen);
    EXPECT_EQ(seen.texts[IDC_DRIVE_USED_BYTES], shell_utils::FormatSize(5000, 0, 0, false));
    EXPECT_EQ(seen.texts[IDC_DRIVE_FREE_BYTES], L"Unlimited");
    EXPECT_EQ(seen.texts[IDC_DRIVE_FREE], L"");
    EXPECT_EQ(seen.texts[IDC_DRIVE_CAPACITY_BYTES], L"Unlimited");
    EXPECT_EQ(seen.texts[IDC_DRIVE_CAPACITY], L"");
    EXPECT_EQ(seen.chart, 0);
}

TEST_F(DrivePage, AFullAccountShowsAFullChart) {
    log_in(400000, 400000);
    shown seen;
    open(&seen);
    EXPECT_EQ(seen.chart, 1000);
    EXPECT_EQ(seen.texts[IDC_DRIVE_FREE_BYTES], shell_utils::FormatSize(0, 0, 0, false));
}

TEST_F(DrivePage, ACancelledLoginClosesTheSheet) {
    log_in(1000000, 0);
    session_.logged_in = [] { return false; };
    session_.dialog = [](HWND) { return false; };
    bool looked = false;
    win_test::scoped_dialog_responder look([&](HWND sheet) {
        looked = true;
        win_test::press(sheet, IDCANCEL);
    });
    EXPECT_EQ(ShowDriveSheet(nullptr), 0);
    EXPECT_EQ(session_.dialogs, 1);
    EXPECT_FALSE(looked) << "the sheet waited for an answer";
    EXPECT_TRUE(win_test::message_boxes().empty());

    // Logged in through the dialog, the page fills in.
    session_.dialog = [](HWND) { return true; };
    shown seen;
    open(&seen);
    EXPECT_EQ(session_.dialogs, 2);
    EXPECT_EQ(seen.texts[IDC_DRIVE_USER_NAME], L"alice");
}

// The page is made from the record's full form, so its callback adds the
// handler's reference at once and the page's release takes it back, shown
// or not.
TEST_F(DrivePage, ThePageHoldsItsHandlerFromItsMakingUntilItIsDestroyed) {
    CComObject<CPropertiesDriveDlg>* handler = nullptr;
    ASSERT_EQ(CComObject<CPropertiesDriveDlg>::CreateInstance(&handler), S_OK);
    handler->AddRef();
    const auto references = [handler] {
        handler->AddRef();
        return handler->Release();
    };
    HPROPSHEETPAGE page = nullptr;
    const auto keep = [](HPROPSHEETPAGE made, LPARAM into) -> BOOL {
        *reinterpret_cast<HPROPSHEETPAGE*>(into) = made;
        return TRUE;
    };
    EXPECT_EQ(handler->AddPages(keep, reinterpret_cast<LPARAM>(&page)), 1);
    EXPECT_EQ(references(), 2u);
    EXPECT_TRUE(DestroyPropertySheetPage(page));
    EXPECT_EQ(references(), 1u);
    handler->Release();
}

TEST_F(DrivePage, AFailingRequestIsReportedAndClosesTheSheet) {
    log_in(1000000, 0);
    request_fault fault;
    fault.target = "get_storage_info";
    fault.kind = "error";
    fault.error_name = "Refused";
    fault.error_description = "Refused by the test";
    service_.arm(fault);
    bool looked = false;
    win_test::scoped_dialog_responder look([&](HWND sheet) {
        looked = true;
        win_test::press(sheet, IDCANCEL);
    });
    EXPECT_EQ(ShowDriveSheet(nullptr), 0);
    EXPECT_FALSE(looked);
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    EXPECT_FALSE(boxes[0].text.empty());
}

}  // namespace
