// Pictures of the toolkit's windows for people to look at: a layered window
// with its buttons in each state, a scrolled list with groups, a window
// resized past its smallest size, and the question box with and without
// its check boxes.
//
//   tray_ui_snapshots <folder>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/demo_controls.h"
#include "ui/resource_ids.h"
#include "ui/yes_no_message_box.h"
#include "win/machine.h"
#include "win/win_test.h"

using namespace demo;

namespace {

std::string folder;
int failures = 0;

void picture(HWND window, const char* name) {
    const std::string path = folder + "/" + name;
    if (win_test::save_png(window, path)) {
        std::printf("%s\n", path.c_str());
    } else {
        std::fprintf(stderr, "tray_ui_snapshots: cannot write %s\n", path.c_str());
        ++failures;
    }
}

POINT screen_point(CAlphaWindow& window, const CAlphaControl* control) {
    const CRect place = window.GetControlRect(control);
    POINT p{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
    window.ClientToScreen(&p);
    return p;
}

// Close buttons side by side: normal, hovered, pressed, disabled; and the
// three text buttons of the rows.
void buttons() {
    CDemoWindow window;
    window.Create(CRect(1400, 700, 1800, 920), TRUE);
    CDemoButton close;
    close.Create(&window, nullptr, 1001, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVERED, IDB_CLOSE_PRESSED,
                 IDB_CLOSE_DISABLED, L"Close", 400 - 24, 4);
    CDemoButton states[4];
    for (int i = 0; i < 4; ++i)
        states[i].Create(&window, nullptr, 2001 + i, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVERED,
                         IDB_CLOSE_PRESSED, IDB_CLOSE_DISABLED, L"", 40 + 40 * i, 50);
    states[3].Enable(FALSE);
    const int images[3] = {IDB_BUTTON_STOP, IDB_BUTTON_RESUME, IDB_BUTTON_CANCEL};
    const wchar_t* captions[3] = {L"Stop", L"Resume", L"Cancel"};
    CDemoButton text[3];
    for (int i = 0; i < 3; ++i) {
        text[i].m_caption = captions[i];
        text[i].Create(&window, nullptr, 3001 + i, images[i], images[i], images[i], images[i], L"",
                       40 + 90 * i, 100);
    }
    CDemoButton stop_all;
    stop_all.m_caption = L"Stop all";
    stop_all.Create(&window, nullptr, 1002, IDB_BUTTON_STOP, IDB_BUTTON_STOP, IDB_BUTTON_STOP,
                    IDB_BUTTON_STOP, L"", 400 - 93, 220 - 23);
    window.Redraw();
    win_test::pump();
    picture(window, "buttons_normal.png");
    win_test::move_mouse(screen_point(window, &states[1]));
    win_test::pump();
    picture(window, "buttons_second_hovered.png");
    win_test::move_mouse(screen_point(window, &states[2]));
    win_test::press_mouse(screen_point(window, &states[2]));
    win_test::pump();
    picture(window, "buttons_third_pressed.png");
    win_test::release_mouse(screen_point(window, &states[2]));
    win_test::move_mouse({100, 100});
    win_test::pump();
}

// A list of plain rows and groups, scrolled a little.
void list() {
    CDemoWindow window;
    window.Create(CRect(1400, 640, 1800, 940), TRUE);
    CDemoList rows;
    rows.Create(&window, nullptr, window.Inside().left, window.Inside().top, window.Inside().right,
                window.Inside().bottom, 1004, L"", 0);
    CDemoButton stop_all;
    stop_all.m_caption = L"Stop all";
    stop_all.Create(&window, nullptr, 1002, IDB_BUTTON_STOP, IDB_BUTTON_STOP, IDB_BUTTON_STOP,
                    IDB_BUTTON_STOP, L"", 400 - 93, 300 - 23);
    CDemoButton close;
    close.Create(&window, nullptr, 1001, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVERED, IDB_CLOSE_PRESSED,
                 IDB_CLOSE_DISABLED, L"Close", 400 - 24, 4);
    std::vector<CAlphaRowKey> keys, groups;
    auto add = [&](std::wstring name, int progress, bool upload, std::wstring group,
                   bool failed = false) {
        keys.push_back(demo_row{std::move(name), progress, upload, failed});
        groups.push_back(group.empty() ? CAlphaRowKey() : CAlphaRowKey(std::move(group)));
    };
    add(L"Quarterly report 2024.docx (1 MB)", 100, true, L"C:\\Users\\Ann\\Documents");
    add(L"holiday-plan.xlsx (48 KB)", 64, true, L"C:\\Users\\Ann\\Documents");
    add(L"notes.txt (2 KB)", 20, false, L"C:\\Users\\Ann\\Documents");
    add(L"A file with a name far too long to fit into the row.pdf (3 MB)", 35, false, L"");
    add(L"IMG_0412.jpg (4 MB)", 80, true, L"C:\\Users\\Ann\\Pictures\\Summer");
    add(L"broken-upload.bin (12 MB)", 10, true, L"C:\\Users\\Ann\\Pictures\\Summer", true);
    add(L"Track 01.mp3 (7 MB)", 50, false, L"C:\\Users\\Ann\\Music");
    add(L"Track 02.mp3 (6 MB)", 5, false, L"C:\\Users\\Ann\\Music");
    add(L"setup.exe (22 MB)", 90, false, L"");
    rows.SetRows(keys, groups, FALSE);
    window.Redraw();
    win_test::pump();
    picture(window, "list_top.png");
    win_test::wheel(screen_point(window, &rows), -120);
    win_test::pump();
    picture(window, "list_scrolled.png");
}

// Dragging the bottom-right corner far inwards stops at 400 by 220.
void resized() {
    CDemoWindow window;
    window.Create(CRect(1300, 600, 1800, 900), TRUE);
    CDemoButton close;
    close.Create(&window, nullptr, 1001, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVERED, IDB_CLOSE_PRESSED,
                 IDB_CLOSE_DISABLED, L"Close", 500 - 24, 4);
    window.on_size = [&](int width, int) {
        window.SetRect(&close, CRect(width - 24, 4, width - 4, 24), TRUE);
    };
    window.Redraw();
    win_test::pump();
    picture(window, "frame_500x300.png");
    win_test::move_mouse({1797, 897});
    win_test::press_mouse({1797, 897});
    win_test::move_mouse({1500, 700});
    win_test::release_mouse({1500, 700});
    win_test::pump();
    picture(window, "frame_resized_to_minimum.png");
}

void questions() {
    CYesNoMessageBox box;
    const char* name = nullptr;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        picture(dialog, name);
        win_test::press(dialog, IDOK);
    });
    name = "question_with_check_boxes.png";
    box.Ask(L"Calvimora synchronizer",
            L"File 'report.docx' exists on local drive, but not on 'Calvimora'.\r\n\r\n"
            L"Local path: C:\\Users\\Ann\\Documents\r\nRemote path: /Documents\r\n\r\n"
            L"Would you like to upload it?",
            true, true);
    name = "question_without_check_boxes.png";
    box.Ask(L"Calvimora synchronizer",
            L"Should Calvimora synchronize all subfolders of folders 'C:\\Users\\Ann\\Documents' "
            L"and '/Documents'?",
            false, false);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tray_ui_snapshots <folder>\n");
        return 2;
    }
    folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    // The dialogs' journal goes to a machine of its own, not the user's.
    win_machine::scoped_root machine;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    buttons();
    list();
    resized();
    questions();
    Gdiplus::GdiplusShutdown(token);
    return failures == 0 ? 0 : 1;
}
