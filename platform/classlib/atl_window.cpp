// Window objects of the class library: the objects of windows, found by
// handle, and the procedure that hands messages to them.
#include "win/atl_window.h"

#include <map>
#include <mutex>

namespace {

struct window_objects {
    std::mutex lock;
    std::map<HWND, CWindowImplRoot*> by_window;
};

window_objects& objects() {
    static auto* o = new window_objects;  // used until the process ends
    return *o;
}

// The object whose window the calling thread is creating: it receives the
// window's first messages, before CreateWindowExW returns the handle.
thread_local CWindowImplRoot* creating = nullptr;

CWindowImplRoot* object_of(HWND window) {
    window_objects& o = objects();
    std::lock_guard<std::mutex> guard(o.lock);
    const auto found = o.by_window.find(window);
    return found == o.by_window.end() ? nullptr : found->second;
}

}  // namespace

std::wstring CWindow::GetWindowText() const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(m_hWnd, text.data(), length + 1)));
    return text;
}

CWindowImplRoot::~CWindowImplRoot() {
    if (!m_hWnd) return;
    if (super_procedure_)
        UnsubclassWindow();
    else
        let_go();
}

void CWindowImplRoot::let_go() {
    window_objects& o = objects();
    std::lock_guard<std::mutex> guard(o.lock);
    o.by_window.erase(m_hWnd);
    m_hWnd = nullptr;
}

BOOL CWindowImplRoot::SubclassWindow(HWND window) {
    if (m_hWnd || !::IsWindow(window)) return FALSE;
    {
        window_objects& o = objects();
        std::lock_guard<std::mutex> guard(o.lock);
        if (!o.by_window.emplace(window, this).second) return FALSE;
    }
    m_hWnd = window;
    super_procedure_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindowImplRoot::window_procedure)));
    return TRUE;
}

HWND CWindowImplRoot::UnsubclassWindow() {
    HWND window = m_hWnd;
    if (!window || !super_procedure_) return nullptr;
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(super_procedure_));
    super_procedure_ = nullptr;
    let_go();
    return window;
}

HWND CWindowImplRoot::create(HINSTANCE module, LPCWSTR class_name, HWND parent, const RECT& rect,
                             LPCWSTR window_name, DWORD style, DWORD ex_style, UINT id,
                             LPVOID parameter) {
    if (m_hWnd) return nullptr;
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    if (!GetClassInfoExW(module, class_name, &window_class)) {
        window_class.cbSize = sizeof window_class;
        window_class.style = CS_DBLCLKS;
        window_class.lpfnWndProc = &CWindowImplRoot::window_procedure;
        window_class.hInstance = module;
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground =
            reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
        window_class.lpszClassName = class_name;
        if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return nullptr;
    }
    creating = this;
    const HWND window =
        CreateWindowExW(ex_style, class_name, window_name, style, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, parent,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), module, parameter);
    creating = nullptr;
    return window;
}

LRESULT CWindowImplRoot::DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (super_procedure_) return CallWindowProcW(super_procedure_, m_hWnd, message, wparam, lparam);
    return DefWindowProcW(m_hWnd, message, wparam, lparam);
}

LRESULT CWindowImplRoot::DefWindowProc() {
    return DefWindowProc(current_.message, current_.wParam, current_.lParam);
}

LRESULT CALLBACK CWindowImplRoot::window_procedure(HWND window, UINT message, WPARAM wparam,
                                                   LPARAM lparam) {
    CWindowImplRoot* object = object_of(window);
    if (!object && creating) {
        object = creating;
        creating = nullptr;
        object->m_hWnd = window;
        window_objects& o = objects();
        std::lock_guard<std::mutex> guard(o.lock);
        o.by_window.emplace(window, object);
    }
    if (!object) return DefWindowProcW(window, message, wparam, lparam);
    return object->dispatch(window, message, wparam, lparam);
}

LRESULT CWindowImplRoot::dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const MSG outer = current_;
    current_ = MSG{window, message, wparam, lparam, 0, {}};
    LRESULT result = 0;
    if (!ProcessWindowMessage(window, message, wparam, lparam, result)) result = DefWindowProc();
    current_ = outer;
    if (message == WM_NCDESTROY) {
        super_procedure_ = nullptr;
        let_go();
        OnFinalMessage(window);
    }
    return result;
}
