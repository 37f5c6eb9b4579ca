#include "tray_context.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <mutex>

#include "auto_login.h"
#include "session_facade.h"
#include "sync_window.h"
#include "tray_error.h"
#include "tray_resource_ids.h"
#include "tray_settings.h"
#include "utils/time_scale.h"
#include "win/afx.h"
#include "win/shell_execute.h"
#include "win/shell_notify_icon.h"
#include "win/user_icon.h"
#include "win/user_menu.h"

namespace {

const wchar_t* const window_name = L"Calvimora tray menu";
constexpr UINT_PTR tick_timer = 1;
constexpr UINT tick_ms = 1000;
constexpr int sync_window_width = 400;
constexpr int sync_window_height = 220;
constexpr size_t longest_balloon_title = 60;
constexpr size_t longest_balloon_text = 255;
constexpr UINT balloon_timeout_ms = 30000;

// Which context a hidden window belongs to.
struct context_map {
    std::mutex lock;
    std::map<HWND, CTrayContext*> contexts;
};

context_map& contexts() {
    static auto* map = new context_map;  // used until the process ends
    return *map;
}

void enter_context(HWND window, CTrayContext* context) {
    std::lock_guard<std::mutex> guard(contexts().lock);
    contexts().contexts[window] = context;
}

void erase_context(HWND window) {
    std::lock_guard<std::mutex> guard(contexts().lock);
    contexts().contexts.erase(window);
}

NOTIFYICONDATAW icon_data(HWND window, HICON icon) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 0;
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    data.uCallbackMessage = CTrayContext::tray_message;
    data.hIcon = icon;
    return data;
}

// At most longest characters of the text, up to its first zero, and a zero.
template <size_t N>
void copy_text(WCHAR (&field)[N], const std::wstring& text, size_t longest) {
    static_assert(N > 0);
    const size_t length = std::min({text.size(), longest, N - 1});
    std::copy_n(text.begin(), length, field);
    field[length] = L'\0';
}

bool starts_with_no_case(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](wchar_t a, wchar_t b) {
        return std::towlower(static_cast<wint_t>(a)) == std::towlower(static_cast<wint_t>(b));
    });
}

// An address on the web: an http or https scheme followed by something,
// and nothing that no address holds (blanks, control characters).
bool is_web_address(const std::wstring& url) {
    const bool web = starts_with_no_case(url, L"http://") || starts_with_no_case(url, L"https://");
    if (!web || url.size() == url.find(L"//") + 2) return false;
    return std::none_of(url.begin(), url.end(), [](wchar_t c) {
        return c <= L' ' || c == 0x7F || (c >= 0x80 && c < 0xA0);
    });
}

// Clears a flag when the scope ends, whichever way it ends.
class flag_for_scope {
public:
    explicit flag_for_scope(bool& flag) : flag_(flag) { flag_ = true; }
    ~flag_for_scope() { flag_ = false; }
    flag_for_scope(const flag_for_scope&) = delete;
    flag_for_scope& operator=(const flag_for_scope&) = delete;

private:
    bool& flag_;
};

}  // namespace

RECT GetMonitorWorkArea(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

CTrayContext::CTrayContext(HINSTANCE instance, CSessionFacade& session, SyncEngineFactory engines,
                           SteadyClock now)
    : session_(session),
      instance_(instance),
      engines_(std::move(engines)),
      now_(now ? std::move(now) : [] { return std::chrono::steady_clock::now(); }) {
    icon_logged_in_ = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TRAY_LOGGED_IN));
    icon_logged_out_ = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TRAY_LOGGED_OUT));
    menu_ = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_TRAY_MENU));
    if (!icon_logged_in_ || !icon_logged_out_ || !menu_) {
        if (icon_logged_in_) DestroyIcon(icon_logged_in_);
        if (icon_logged_out_) DestroyIcon(icon_logged_out_);
        if (menu_) DestroyMenu(menu_);
        throw CTrayError(L"Error loading icons");
    }
    try {
        sync_window_ = std::make_unique<CCMSyncWindow>();
        if (engines_) sync_window_->SetEngineFactory(engines_);
        auto_login_ = std::make_unique<CAutoLogin>(session_);
    } catch (...) {
        DestroyIcon(icon_logged_in_);
        DestroyIcon(icon_logged_out_);
        DestroyMenu(menu_);
        throw;
    }
}

CTrayContext::~CTrayContext() {
    if (icon_shown_) RemoveTrayIcon();
    CloseWindow();
    DestroyIcon(icon_logged_in_);
    DestroyIcon(icon_logged_out_);
    DestroyMenu(menu_);
    auto_login_.reset();
    sync_window_.reset();
}

int CTrayContext::Run() {
    Open();
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The toolkit's tooltips see the mouse through pre-translation.
        if (CWnd::WalkPreTranslateTree(nullptr, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void CTrayContext::Open() {
    try {
        WNDCLASSW window_class{};
        window_class.style = CS_HREDRAW | CS_VREDRAW;
        window_class.lpfnWndProc = TrayWndProc;
        window_class.hInstance = instance_;
        window_class.lpszClassName = window_name;
        if (!RegisterClassW(&window_class)) throw CTrayError(L"Error registering window class");
        window_ = CreateWindowW(window_name, window_name, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, nullptr);
        if (!window_) {
            UnregisterClassW(window_name, instance_);
            throw CTrayError(L"Error creating fake window");
        }
        enter_context(window_, this);

        const RECT work = GetMonitorWorkArea(window_);
        const RECT corner{work.right - sync_window_width, work.bottom - sync_window_height,
                          work.right, work.bottom};
        if (!sync_window_->Create(corner)) throw CTrayError(L"Error creating sync window");
        sync_window_->SetAutoShow(IsAutoShowEnabled());
        AddTrayIcon(icon_logged_out_);
        if (!SetTimer(window_, tick_timer, tick_ms, nullptr))
            throw CTrayError(L"Error running tray menu - can't create timer");
        if (auto_login_) auto_login_->PostTickOnLogin(window_);
    } catch (...) {
        if (icon_shown_) RemoveTrayIcon();
        CloseWindow();
        throw;
    }
}

void CTrayContext::CloseWindow() {
    if (!window_) return;
    if (auto_login_) auto_login_->PostTickOnLogin(nullptr);
    if (IsWindow(window_)) DestroyWindow(window_);
    erase_context(window_);
    UnregisterClassW(window_name, instance_);
    window_ = nullptr;
}

void CTrayContext::AddTrayIcon(HICON icon) {
    NOTIFYICONDATAW data = icon_data(window_, icon);
    if (!Shell_NotifyIconW(NIM_ADD, &data)) return;
    icon_shown_ = true;
    current_icon_ = icon;
}

void CTrayContext::SetTrayIcon(HICON icon) {
    NOTIFYICONDATAW data = icon_data(window_, icon);
    if (!Shell_NotifyIconW(NIM_MODIFY, &data) && !Shell_NotifyIconW(NIM_ADD, &data)) return;
    icon_shown_ = true;
    current_icon_ = icon;
}

void CTrayContext::RemoveTrayIcon() {
    NOTIFYICONDATAW data = icon_data(window_, current_icon_);
    if (!Shell_NotifyIconW(NIM_DELETE, &data)) return;
    icon_shown_ = false;
    current_icon_ = nullptr;
}

void CTrayContext::ShowBalloon(std::size_t position) {
    if (position >= notifications_.size()) return;
    const vfs::notification& shown = notifications_[position];
    NOTIFYICONDATAW data = icon_data(window_, current_icon_);
    data.uFlags |= NIF_INFO;
    copy_text(data.szInfo, shown.text, longest_balloon_text);
    copy_text(data.szInfoTitle, shown.title, longest_balloon_title);
    data.uTimeout = balloon_timeout_ms;
    data.dwInfoFlags = NIIF_INFO;
    Shell_NotifyIconW(NIM_MODIFY, &data);
    current_notification_ = position;
}

void CTrayContext::ShowNextBalloon() {
    if (!current_notification_) return;
    const std::size_t next = *current_notification_ + 1;
    if (next < notifications_.size()) {
        ShowBalloon(next);
    } else {
        current_notification_.reset();
    }
}

void CTrayContext::OpenNotificationUrl(const std::wstring& url) {
    if (!is_web_address(url)) return;
    ShellExecuteW(window_, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CTrayContext::TickUnlessInTick() {
    if (in_tick_) return;
    const flag_for_scope in_tick(in_tick_);
    OnTrayTick();
}

void CTrayContext::OnTrayTick() {
    const bool logged_in = session_.IsLoggedIn();
    const bool logging_in = auto_login_ && auto_login_->IsRunning();
    SetTrayIcon(logged_in || logging_in ? icon_logged_in_ : icon_logged_out_);
    if (logged_in && !was_logged_in_) {
        was_logged_in_ = StartSession();
    } else if (logged_in) {
        RetryStartSyncing();
    } else if (was_logged_in_) {
        was_logged_in_ = false;
        EndSession();
    }
}

bool CTrayContext::StartSession() {
    const std::wstring user_name = session_.GetUserInfo();
    // Without a name there is nobody to sync for; the next tick asks again.
    if (user_name.empty()) return false;
    if (synced_user_ != user_name) sync_window_->EndSyncing();
    synced_user_ = user_name;
    StartSyncing(true);
    notifications_ = session_.GetNotifications();
    current_notification_.reset();
    if (!notifications_.empty()) ShowBalloon(0);
    return true;
}

void CTrayContext::EndSession() {
    sync_window_->EndSyncing();
    synced_user_.clear();
    start_failed_at_.reset();
}

void CTrayContext::StartSyncing(bool tell_failure) {
    std::wstring failure;
    if (sync_window_->StartSyncing(synced_user_, &failure) || sync_window_->HasManager()) {
        start_failed_at_.reset();
        return;
    }
    start_failed_at_ = now_();
    if (!tell_failure) return;
    // Told as the window tells the manager's other failures.
    std::wstring text = L"Error starting syncing";
    if (!failure.empty()) text += L"\r\n" + failure;
    AfxMessageBox(text.c_str(), MB_ICONERROR);
}

void CTrayContext::RetryStartSyncing() {
    if (!start_failed_at_ || now_() - *start_failed_at_ < utils::scaled(start_retry_interval))
        return;
    StartSyncing(false);
}

void CTrayContext::ShowTrayMenu() {
    POINT cursor{};
    GetCursorPos(&cursor);
    HMENU popup = GetSubMenu(menu_, 0);
    if (!popup) throw CTrayError(L"Error extracting submenu");
    const bool logged_in = session_.IsLoggedIn();
    const bool logging_in = auto_login_ && auto_login_->IsRunning();
    const UINT grayed = MF_BYCOMMAND | MF_GRAYED | MF_DISABLED;
    const UINT enabled = MF_BYCOMMAND | MF_ENABLED;
    EnableMenuItem(popup, ID_TRAY_LOG_IN, logged_in || logging_in ? grayed : enabled);
    EnableMenuItem(popup, ID_TRAY_LOG_OUT, logged_in || logging_in ? enabled : grayed);
    CheckMenuItem(popup, ID_TRAY_SHOW_TASK_MANAGER,
                  MF_BYCOMMAND | (IsAutoShowEnabled() ? MF_CHECKED : MF_UNCHECKED));

    SetForegroundWindow(window_);
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RETURNCMD, cursor.x, cursor.y, 0, window_, nullptr));
    PostMessageW(window_, WM_NULL, 0, 0);

    switch (command) {
        case ID_TRAY_LOG_IN:
            session_.OpenCalvimoraFolder(L"");
            TickUnlessInTick();
            break;
        case ID_TRAY_LOG_OUT:
            LogOut();
            break;
        case ID_TRAY_SHOW_TASK_MANAGER: {
            const bool show = !IsAutoShowEnabled();
            sync_window_->SetAutoShow(show);
            WriteAutoShowMgr(show ? 1 : 0);
            break;
        }
        default:
            break;
    }
}

void CTrayContext::LogOut() {
    // After "Log Out" only the login dialog logs in again in this run.
    auto_login_.reset();
    if (sync_window_->StopSyncing() && session_.IsLoggedIn()) session_.LogOff();
    TickUnlessInTick();
}

LRESULT CTrayContext::OnTrayNotification(LPARAM event) {
    switch (static_cast<UINT>(event)) {
        case WM_LBUTTONDOWN:
            if (sync_window_->HasManager()) sync_window_->BringToFront();
            break;
        case WM_LBUTTONDBLCLK:
            session_.OpenCalvimoraFolder(L"");
            break;
        case WM_RBUTTONUP:
            ShowTrayMenu();
            break;
        case NIN_BALLOONTIMEOUT:
            ShowNextBalloon();
            break;
        case NIN_BALLOONUSERCLICK:
            if (current_notification_) {
                OpenNotificationUrl(notifications_[*current_notification_].link);
                ShowNextBalloon();
            }
            break;
        default:
            break;
    }
    return 0;
}

CTrayContext& CTrayContext::FromWindow(HWND window) {
    std::lock_guard<std::mutex> guard(contexts().lock);
    const auto found = contexts().contexts.find(window);
    if (found == contexts().contexts.end()) throw CTrayError(L"Error: pThis == NULL");
    return *found->second;
}

LRESULT CALLBACK CTrayContext::TrayWndProc(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
    try {
        switch (message) {
            case WM_DESTROY:
                PostQuitMessage(0);
                return 0;
            case WM_PAINT: {
                PAINTSTRUCT paint;
                BeginPaint(window, &paint);
                EndPaint(window, &paint);
                return 0;
            }
            case WM_QUERYENDSESSION:
                return FromWindow(window).sync_window_->StopSyncing() ? TRUE : FALSE;
            case WM_TIMER:
                FromWindow(window).TickUnlessInTick();
                return 0;
            case tray_message:
                return FromWindow(window).OnTrayNotification(lparam);
            default:
                return DefWindowProcW(window, message, wparam, lparam);
        }
    } catch (const CTrayError& failure) {
        ShowTrayErrorBox(failure.Text());
    } catch (const std::exception& failure) {
        ShowTrayErrorBox(ErrorTextOf(failure));
    }
    return 0;
}
