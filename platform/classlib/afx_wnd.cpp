// CWnd: window objects, the map from windows to them, and the routing of a
// window's messages to the object's handlers.

#include <memory>
#include <mutex>
#include <unordered_map>

#include "win/afx.h"
#include "win/kernel.h"
#include "windowing/user_internal.h"

namespace {

struct object_map {
    std::mutex lock;
    std::unordered_map<HWND, CWnd*> permanent;
};

object_map& objects() {
    static auto* m = new object_map;  // used until the process ends
    return *m;
}

// Stand-ins for windows that have no object, per thread, as the class
// library hands them out; those of windows gone are dropped as new ones are
// made.
thread_local std::unordered_map<HWND, std::unique_ptr<CWnd>> temporary;

void enter(HWND window, CWnd* object) {
    std::lock_guard<std::mutex> guard(objects().lock);
    objects().permanent[window] = object;
}

void leave(HWND window, const CWnd* object) {
    std::lock_guard<std::mutex> guard(objects().lock);
    const auto found = objects().permanent.find(window);
    if (found != objects().permanent.end() && found->second == object)
        objects().permanent.erase(found);
}

}  // namespace

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

CWnd::~CWnd() {
    if (!m_hWnd || FromHandlePermanent(m_hWnd) != this) return;
    const HWND window = m_hWnd;
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) ::DestroyWindow(window);
    if (m_hWnd) {
        // Still there (another thread's window): no message may reach this
        // object any more.
        if (m_pfnSuper)
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        leave(window, this);
        m_hWnd = nullptr;
    }
}

BOOL CWnd::create(HINSTANCE module, DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name,
                  DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu_or_id,
                  LPVOID parameter) {
    win_user::set_creation_hook([this](HWND window) { SubclassWindow(window); });
    const HWND made = CreateWindowExW(ex_style, class_name, window_name, style, x, y, width, height,
                                      parent, menu_or_id, module, parameter);
    win_user::set_creation_hook(nullptr);
    return made != nullptr && m_hWnd == made;
}

BOOL CWnd::DestroyWindow() {
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

BOOL CWnd::Attach(HWND window) {
    if (!window || m_hWnd || FromHandlePermanent(window)) return FALSE;
    m_hWnd = window;
    enter(window, this);
    return TRUE;
}

HWND CWnd::Detach() {
    const HWND window = m_hWnd;
    if (window) leave(window, this);
    m_hWnd = nullptr;
    return window;
}

BOOL CWnd::SubclassWindow(HWND window) {
    if (!Attach(window)) return FALSE;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
    return TRUE;
}

HWND CWnd::UnsubclassWindow() {
    if (m_hWnd && m_pfnSuper)
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    return Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
    std::lock_guard<std::mutex> guard(objects().lock);
    const auto found = objects().permanent.find(window);
    return found == objects().permanent.end() ? nullptr : found->second;
}

CWnd* CWnd::FromHandle(HWND window) {
    if (!window) return nullptr;
    if (CWnd* object = FromHandlePermanent(window)) return object;
    for (auto it = temporary.begin(); it != temporary.end();)
        it = IsWindow(it->first) ? std::next(it) : temporary.erase(it);
    auto& slot = temporary[window];
    if (!slot) {
        slot.reset(new CWnd);
        slot->m_hWnd = window;
    }
    return slot.get();
}

BOOL CWnd::WalkPreTranslateTree(HWND stop, MSG* message) {
    for (HWND window = message ? message->hwnd : nullptr; window; window = ::GetParent(window)) {
        CWnd* object = FromHandlePermanent(window);
        if (object && object->PreTranslateMessage(message)) return TRUE;
        if (window == stop) break;
    }
    return FALSE;
}

LRESULT CALLBACK AfxWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    CWnd* object = CWnd::FromHandlePermanent(window);
    if (!object) return DefWindowProcW(window, message, wparam, lparam);
    const CWnd::current_message outer = object->current_;
    object->current_ = {message, wparam, lparam};
    const LRESULT result = object->WindowProc(message, wparam, lparam);
    object->current_ = outer;
    if (message == WM_NCDESTROY && object->m_hWnd == window) {
        object->m_pfnSuper = nullptr;
        object->Detach();
        object->PostNcDestroy();
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    LRESULT result = 0;
    if (OnWndMsg(message, wparam, lparam, &result)) return result;
    return DefWindowProc(message, wparam, lparam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (m_pfnSuper) return CallWindowProcW(m_pfnSuper, m_hWnd, message, wparam, lparam);
    return DefWindowProcW(m_hWnd, message, wparam, lparam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(current_.message, current_.wparam, current_.lparam);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM, LPARAM) {
    return FALSE;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
    *result = 0;
    switch (message) {
        case WM_CREATE:
            *result = OnCreate(reinterpret_cast<LPCREATESTRUCTW>(lparam));
            return TRUE;
        case WM_DESTROY:
            OnDestroy();
            return TRUE;
        case WM_NCDESTROY:
            OnNcDestroy();
            return TRUE;
        case WM_CLOSE:
            OnClose();
            return TRUE;
        case WM_PAINT:
            OnPaint();
            return TRUE;
        case WM_TIMER:
            OnTimer(wparam);
            return TRUE;
        case WM_SIZE:
            OnSize(static_cast<UINT>(wparam), GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
            return TRUE;
        case WM_MOVE:
            OnMove(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
            return TRUE;
        case WM_SHOWWINDOW:
            OnShowWindow(static_cast<BOOL>(wparam), static_cast<UINT>(lparam));
            return TRUE;
        case WM_NCHITTEST:
            *result = OnNcHitTest(CPoint(lparam));
            return TRUE;
        case WM_SETCURSOR:
            *result = OnSetCursor(FromHandle(reinterpret_cast<HWND>(wparam)), LOWORD(lparam),
                                  HIWORD(lparam));
            return TRUE;
        case WM_MOUSEMOVE:
            OnMouseMove(static_cast<UINT>(wparam), CPoint(lparam));
            return TRUE;
        case WM_LBUTTONDOWN:
            OnLButtonDown(static_cast<UINT>(wparam), CPoint(lparam));
            return TRUE;
        case WM_LBUTTONUP:
            OnLButtonUp(static_cast<UINT>(wparam), CPoint(lparam));
            return TRUE;
        case WM_LBUTTONDBLCLK:
            OnLButtonDblClk(static_cast<UINT>(wparam), CPoint(lparam));
            return TRUE;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            return TRUE;
        case WM_MOUSEWHEEL:
            *result = OnMouseWheel(GET_KEYSTATE_WPARAM(wparam), GET_WHEEL_DELTA_WPARAM(wparam),
                                   CPoint(lparam));
            return TRUE;
        case WM_CAPTURECHANGED:
            OnCaptureChanged(FromHandle(reinterpret_cast<HWND>(lparam)));
            return TRUE;
        case WM_COMMAND:
            if (!OnCommand(wparam, lparam)) return FALSE;
            return TRUE;
        default:
            return FALSE;
    }
}

int CWnd::OnCreate(LPCREATESTRUCTW) {
    return static_cast<int>(Default());
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnNcDestroy() {
    Default();
}
void CWnd::OnClose() {
    Default();
}
void CWnd::OnPaint() {
    Default();
}
void CWnd::OnTimer(UINT_PTR) {
    Default();
}
void CWnd::OnSize(UINT, int, int) {
    Default();
}
void CWnd::OnMove(int, int) {
    Default();
}
void CWnd::OnShowWindow(BOOL, UINT) {
    Default();
}
LRESULT CWnd::OnNcHitTest(CPoint) {
    return Default();
}
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnMouseMove(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDblClk(UINT, CPoint) {
    Default();
}
void CWnd::OnMouseLeave() {
    Default();
}
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnCaptureChanged(CWnd*) {
    Default();
}
