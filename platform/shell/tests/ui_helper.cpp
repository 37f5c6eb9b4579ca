// A second process for the tests of windows across processes and of the
// answers file. It inherits the test's machine root through the
// environment.
//
//   ui_helper window CLASS CAPTION LOG  a top-level window; every message
//        from WM_USER on, and WM_CLOSE, is appended to LOG as "message
//        wparam lparam"; WM_USER+2 renames it "Renamed"; exits 3 when the
//        window is destroyed
//   ui_helper post CLASS CAPTION MESSAGE WPARAM LPARAM  posts to the window
//        found; exit 0, 1 when none is found, 2 when the post fails, 4 when
//        a send to it does not answer 0
//   ui_helper show-all   a box, a menu, a dialog, a tray balloon and an
//        execution, each answered as the answers file says
//   ui_helper balloon    a balloon; exit 0 when it times out by itself
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <string>

#include <utf8.h>

#include "win/kernel.h"
#include "win/process.h"
#include "win/shell.h"
#include "win/user.h"

namespace {

std::wstring wide(const char* text) {
    const std::string narrow(text);
    std::wstring out;
    utf8::utf8to32(narrow.begin(), narrow.end(), std::back_inserter(out));
    return out;
}

std::string log_path;
constexpr UINT tray_message = WM_USER + 1;
bool balloon_timed_out = false;

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message >= WM_USER || message == WM_CLOSE) {
        if (!log_path.empty())
            std::ofstream(log_path, std::ios::app)
                << message << ' ' << wparam << ' ' << lparam << std::endl;
        if (message == tray_message && lparam == static_cast<LPARAM>(NIN_BALLOONTIMEOUT))
            balloon_timed_out = true;
        if (message == WM_USER + 2) SetWindowTextW(window, L"Renamed");
    }
    if (message == WM_DESTROY) PostQuitMessage(3);
    return DefWindowProcW(window, message, wparam, lparam);
}

HWND make_window(const std::wstring& class_name, const std::wstring& caption) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = class_name.c_str();
    RegisterClassExW(&wc);
    return CreateWindowExW(0, class_name.c_str(), caption.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100,
                           100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

int run_window(const char* class_name, const char* caption, const char* log) {
    log_path = log;
    if (!make_window(wide(class_name), wide(caption))) return 1;
    std::ofstream(log_path, std::ios::app) << "ready" << std::endl;
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    return static_cast<int>(m.wParam);
}

int post(const char* class_name, const char* caption, const char* message, const char* wparam,
         const char* lparam) {
    HWND window = FindWindowW(wide(class_name).c_str(), wide(caption).c_str());
    if (!window) return 1;
    if (!PostMessageW(window, static_cast<UINT>(std::stoul(message)),
                      static_cast<WPARAM>(std::stoull(wparam)),
                      static_cast<LPARAM>(std::stoll(lparam))))
        return 2;
    return SendMessageW(window, WM_USER + 9, 0, 0) == 0 ? 0 : 4;
}

INT_PTR CALLBACK question_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        const INT_PTR remembered = IsDlgButtonChecked(dialog, 1052) == BST_CHECKED ? 100 : 0;
        EndDialog(dialog, LOWORD(wparam) + remembered);
        return TRUE;
    }
    return FALSE;
}

NOTIFYICONDATAW tray_record(HWND window, const wchar_t* text) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uFlags = NIF_MESSAGE | NIF_INFO;
    data.uCallbackMessage = tray_message;
    std::wcsncpy(data.szInfo, text, 255);
    std::wcsncpy(data.szInfoTitle, L"Calvimora", 63);
    data.uTimeout = 10000;
    data.dwInfoFlags = NIIF_INFO;
    return data;
}

int show_all() {
    MessageBoxW(nullptr, L"Calvimora still has synchronization tasks queued. Logoff anyway?",
                L"Calvimora", MB_YESNO | MB_ICONEXCLAMATION);

    HWND window = make_window(L"Calvimora tray menu", L"Calvimora tray menu");
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 32771, L"Log In");
    AppendMenuW(menu, MF_STRING, 32772, L"Log Out");
    AppendMenuW(menu, MF_STRING | MF_CHECKED, 32774, L"Show Task Manager");
    TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, window, nullptr);
    DestroyMenu(menu);

    using namespace win_dialogs;
    dialog_template question;
    question.caption = L"Calvimora synchronizer";
    question.cx = 200;
    question.cy = 80;
    question.controls = {left_text(1050, L"Upload the file?", 10, 10, 180, 20),
                         auto_check_box(1052, L"Don't ask again", 10, 35, 100, 10),
                         default_push_button(IDOK, L"Yes", 80, 60, 50, 14),
                         push_button(IDCANCEL, L"No", 140, 60, 50, 14)};
    register_dialog(GetModuleHandleW(nullptr), 110, question);
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(110), window, question_procedure,
                    0);

    NOTIFYICONDATAW data = tray_record(window, L"Your storage is almost full");
    Shell_NotifyIconW(NIM_ADD, &data);
    ShellExecuteW(window, L"open", L"https://example.org/notice", nullptr, nullptr, SW_SHOWNORMAL);
    Shell_NotifyIconW(NIM_DELETE, &data);
    DestroyWindow(window);
    return 0;
}

int balloon() {
    HWND window = make_window(L"Balloon test", L"Balloon test");
    NOTIFYICONDATAW data = tray_record(window, L"Soon gone");
    if (!Shell_NotifyIconW(NIM_ADD, &data)) return 1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    MSG m;
    while (!balloon_timed_out && std::chrono::steady_clock::now() < deadline) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        Sleep(5);
    }
    return balloon_timed_out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "window" && argc == 5) return run_window(argv[2], argv[3], argv[4]);
    if (command == "post" && argc == 7) return post(argv[2], argv[3], argv[4], argv[5], argv[6]);
    if (command == "show-all") return show_all();
    if (command == "balloon") return balloon();
    return 2;
}
