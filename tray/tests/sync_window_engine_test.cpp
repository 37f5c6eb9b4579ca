// The sync window as the engine's user interface: every answer of the
// question box, asked on a thread of its own as the scan asks it; the
// error, message and result boxes; and the notice of a changed task list.
#include <atomic>
#include <chrono>
#include <thread>

#include "sync_test_support.h"
#include "ui/resource_ids.h"

namespace sync_test {
namespace {

using EngineInterface = SyncWindowTest;

// Asks as the scan thread does, and waits for the answer.
int ask_from_a_thread(CCMSyncWindow& window, const syncer::binding& owner, bool offer_dont_ask,
                      bool offer_apply_to_all) {
    int code = 0;
    std::thread scan([&] {
        code = window.ask_question(1, owner, L"/Documents", L"C:\\Users\\Ann\\Documents",
                                   L"report.docx", offer_dont_ask, offer_apply_to_all);
    });
    scan.join();
    return code;
}

TEST_F(EngineInterface, EveryAnswerOfTheQuestionBoxHasItsCode) {
    struct answer {
        std::vector<int> clicks;  // the last one closes the box
        int code;
    };
    const answer answers[] = {
        {{IDOK}, 7},
        {{IDC_YESNO_DONT_ASK, IDOK}, 8},
        {{IDC_YESNO_APPLY_TO_ALL, IDOK}, 9},
        {{IDCANCEL}, 3},
        {{IDC_YESNO_DONT_ASK, IDCANCEL}, 4},
        {{IDC_YESNO_APPLY_TO_ALL, IDCANCEL}, 5},
        // Apply to all does not outlast "don't ask again": 10 and 6 never come.
        {{IDC_YESNO_APPLY_TO_ALL, IDC_YESNO_DONT_ASK, IDOK}, 8},
        {{IDC_YESNO_APPLY_TO_ALL, IDC_YESNO_DONT_ASK, IDCANCEL}, 4},
    };
    const std::vector<int>* clicks = nullptr;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        for (int id : *clicks) win_test::press(dialog, id);
    });
    for (const answer& a : answers) {
        clicks = &a.clicks;
        EXPECT_EQ(ask_from_a_thread(window, pair, true, true), a.code) << a.code;
    }
}

TEST_F(EngineInterface, ABoxNotOfferedCountsAsNotTickedWhoeverTicksIt) {
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        CheckDlgButton(dialog, IDC_YESNO_DONT_ASK, BST_CHECKED);
        CheckDlgButton(dialog, IDC_YESNO_APPLY_TO_ALL, BST_CHECKED);
        win_test::press(dialog, IDOK);
    });
    EXPECT_EQ(ask_from_a_thread(window, pair, false, false), 7);
    EXPECT_EQ(ask_from_a_thread(window, pair, true, false), 8);
    EXPECT_EQ(ask_from_a_thread(window, pair, false, true), 9);
}

// The box belongs to the asking thread and to no window: the sync window,
// on the main thread, stays as it was.
TEST_F(EngineInterface, TheQuestionShowsItsTextOnTheAskingThreadWithoutAnOwner) {
    const DWORD main_thread = GetCurrentThreadId();
    std::wstring caption, text;
    bool own_thread = false, unowned = false, window_enabled = false;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        caption = win_test::text(dialog);
        text = win_test::text(win_test::control(dialog, IDC_YESNO_MESSAGE));
        own_thread = GetCurrentThreadId() != main_thread &&
                     GetWindowThreadProcessId(dialog, nullptr) == GetCurrentThreadId();
        unowned = GetWindow(dialog, GW_OWNER) == nullptr;
        window_enabled = IsWindowEnabled(window) != FALSE;
        win_test::press(dialog, IDOK);
    });
    EXPECT_EQ(ask_from_a_thread(window, pair, true, true), 7);
    EXPECT_EQ(caption, L"Calvimora synchronizer");
    EXPECT_EQ(text,
              L"File 'report.docx' exists on local drive, but not on 'Calvimora'.\r\n\r\nLocal "
              L"path: C:\\Users\\Ann\\Documents\r\nRemote path: /Documents\r\n\r\nWould you like "
              L"to upload it?");
    EXPECT_TRUE(own_thread);
    EXPECT_TRUE(unowned);
    EXPECT_TRUE(window_enabled);
}

// A question about a long name in a deep folder keeps every line: the
// name and the path are cut in their middle instead, as far as the box
// needs, and the text then fits the box as the box lays it out.
TEST_F(EngineInterface, ALongNameAndPathAreCutSoThatEveryLineOfTheQuestionStays) {
    std::wstring name = L"Minutes of the annual meeting ";
    for (int i = 1; name.size() < 246; ++i) name += L"part" + std::to_wstring(i) + L"-";
    name += L"end.txt";
    std::wstring local = L"/home/ann";
    for (int i = 1; local.size() < 200; ++i) local += L"/folder" + std::to_wstring(i);
    std::wstring shown;
    RECT place{}, laid_out{};
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        const HWND message = win_test::control(dialog, IDC_YESNO_MESSAGE);
        shown = win_test::text(message);
        GetClientRect(message, &place);
        laid_out = place;
        const HDC dc = GetDC(message);
        const HGDIOBJ old_font =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(message, WM_GETFONT, 0, 0)));
        DrawTextW(dc, shown.c_str(), -1, &laid_out, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        SelectObject(dc, old_font);
        ReleaseDC(message, dc);
        win_test::press(dialog, IDOK);
    });
    int code = 0;
    std::thread scan(
        [&] { code = window.ask_question(1, pair, L"/Documents", local, name, true, true); });
    scan.join();
    EXPECT_EQ(code, 7);
    const std::string readable(shown.begin(), shown.end());
    EXPECT_EQ(shown.rfind(L"File 'Minutes of the annual", 0), 0u) << readable;
    EXPECT_NE(shown.find(L"..."), std::wstring::npos) << readable;
    EXPECT_NE(shown.find(L"-end.txt' exists on local drive, but not on 'Calvimora'.\r\n\r\n"
                         L"Local path: /home/ann/"),
              std::wstring::npos)
        << readable;
    const std::wstring last_lines =
        L"\r\nRemote path: /Documents\r\n\r\nWould you like to upload it?";
    ASSERT_GE(shown.size(), last_lines.size());
    EXPECT_EQ(shown.substr(shown.size() - last_lines.size()), last_lines) << readable;
    EXPECT_LT(shown.size(), name.size() + local.size()) << readable;
    EXPECT_LE(laid_out.bottom, place.bottom) << "lines fall below the box: " << readable;
}

// Ending syncing never waits for a person: an open question is answered No
// (whatever is ticked), and one asked meanwhile is not shown at all.
TEST_F(EngineInterface, EndingSyncingClosesAnOpenQuestionAsNo) {
    start();
    std::atomic<bool> up{false};
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        win_test::press(dialog, IDC_YESNO_DONT_ASK);
        up = true;
        win_test::pump_until([&] { return !win_test::visible(dialog); }, std::chrono::seconds(30));
    });
    int code = 0;
    std::thread scan([&] {
        code =
            window.ask_question(5, pair, L"/Documents", L"C:\\Documents", L"gone.txt", true, false);
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!up && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(up);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_TRUE(window.StopSyncing());
    scan.join();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(10));
    EXPECT_EQ(code, 3);

    // Once ended, the next question is asked as usual.
    win_test::set_dialog_responder([](HWND dialog) { win_test::press(dialog, IDOK); });
    EXPECT_EQ(ask_from_a_thread(window, pair, true, true), 7);
}

TEST_F(EngineInterface, ErrorsOfferRetryWhenTheyCan) {
    int answer = IDRETRY;
    bool window_enabled = false;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring&, const std::wstring&, UINT) {
            window_enabled = IsWindowEnabled(window) != FALSE;
            return answer;
        });
    int result = -1;
    std::thread engine([&] {
        result = window.report_error(24, L"(cut off)", pair, L"Docs", L"C:\\Docs", L"a.txt", true);
    });
    engine.join();
    EXPECT_EQ(result, 1);
    // Off the window's thread the box has no owner, as the question has none.
    EXPECT_TRUE(window_enabled);
    answer = IDCANCEL;
    EXPECT_EQ(window.report_error(24, L"", pair, L"Docs", L"C:\\Docs", L"a.txt", true), 0);
    EXPECT_EQ(window.report_error(24, L"", pair, L"Docs", L"C:\\Docs", L"a.txt", false), 0);

    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Reading remote file 'Docs/a.txt' failed. (cut off)");
    EXPECT_EQ(boxes[0].caption, "Calvimora synchronizer");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONERROR | MB_RETRYCANCEL));
    EXPECT_EQ(boxes[2].type, static_cast<UINT>(MB_ICONERROR | MB_OK));
}

TEST_F(EngineInterface, MessagesAndResultsAreToldAndAcknowledged) {
    bool window_disabled = false;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring&, const std::wstring&, UINT) {
            window_disabled = IsWindowEnabled(window) == FALSE;
            return IDOK;
        });
    // The manager's constructor tells it on the window's own thread: the
    // box is the window's.
    EXPECT_EQ(window.show_message(6), 7);
    EXPECT_TRUE(window_disabled);
    EXPECT_EQ(window.show_message(2), 7);
    for (int kind = 0; kind <= 6; ++kind)
        EXPECT_EQ(window.show_result(kind, pair, L"Docs", L"C:\\Docs", L"a.txt"), 7);

    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 9u);
    EXPECT_EQ(boxes[0].text, "Calvimora sync database has been successfully restored.");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(boxes[1].text, "Unknown message");
    EXPECT_EQ(boxes[2].text, "File 'Docs/a.txt' uploaded successfully.");
    EXPECT_EQ(boxes[4].text, "File 'Docs/a.txt' upload canceled.");
    EXPECT_EQ(boxes[7].text, "File 'Docs/a.txt' download canceled.");
    EXPECT_EQ(boxes[8].text, "");
}

TEST_F(EngineInterface, AChangedTaskListIsOnlyPostedToTheWindowsThread) {
    scripted_engine& e = start({task_in(pair, L"a", syncer::task::state_running)});
    std::thread runner([&] { window.tasks_changed(); });
    runner.join();
    EXPECT_EQ(e.get_tasks_calls, 0);
    win_test::pump();
    EXPECT_EQ(e.get_tasks_calls, 1);
    EXPECT_EQ(window.GetTaskList().RowCount(), 1);
}

}  // namespace
}  // namespace sync_test
