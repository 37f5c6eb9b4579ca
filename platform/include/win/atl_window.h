// Thin stand-ins of the window classes of the shell extension's class
// library: CWindow, a handle with the calls made on it, and CWindowImpl, a
// window object whose messages reach ProcessWindowMessage, either for a
// window it creates with its own class or for an existing window it
// subclasses. Messages it leaves (FALSE) go to DefWindowProc: the previous
// procedure of a subclassed window, DefWindowProcW for its own. After
// WM_NCDESTROY the object is let go and OnFinalMessage runs.
#pragma once

#include <string>

#include "win/process.h"
#include "win/user.h"

class CWindow {
public:
    CWindow(HWND window = nullptr) : m_hWnd(window) {}
    operator HWND() const { return m_hWnd; }

    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    BOOL GetClientRect(LPRECT rect) const { return ::GetClientRect(m_hWnd, rect); }
    BOOL GetWindowRect(LPRECT rect) const { return ::GetWindowRect(m_hWnd, rect); }
    LRESULT SendMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const {
        return ::SendMessageW(m_hWnd, message, wparam, lparam);
    }
    BOOL SetWindowText(LPCWSTR text) { return ::SetWindowTextW(m_hWnd, text); }
    std::wstring GetWindowText() const;
    BOOL Invalidate(BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }

    HWND m_hWnd;
};

class CWindowImplRoot : public CWindow {
public:
    CWindowImplRoot() = default;
    // A window still attached is let go; it keeps working with its former
    // procedure (or, for a window of the object's own class, the default).
    virtual ~CWindowImplRoot();
    CWindowImplRoot(const CWindowImplRoot&) = delete;
    CWindowImplRoot& operator=(const CWindowImplRoot&) = delete;

    // TRUE when the message was handled, with its result.
    virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                      LRESULT& result, DWORD map_id = 0) = 0;
    virtual void OnFinalMessage(HWND) {}

    // FALSE when the window is not there or already has an object.
    BOOL SubclassWindow(HWND window);
    HWND UnsubclassWindow();

    LRESULT DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam);
    // The message being handled, to DefWindowProc.
    LRESULT DefWindowProc();

protected:
    HWND create(HINSTANCE module, LPCWSTR class_name, HWND parent, const RECT& rect,
                LPCWSTR window_name, DWORD style, DWORD ex_style, UINT id, LPVOID parameter);

private:
    static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam);
    LRESULT dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void let_go();

    WNDPROC super_procedure_ = nullptr;  // a subclassed window's previous procedure
    MSG current_{};
};

// T may declare its class name (static LPCWSTR GetWndClassName()); without
// one the class is named after the object type's address.
template <typename T>
class CWindowImpl : public CWindowImplRoot {
public:
    static LPCWSTR GetWndClassName() { return nullptr; }

    // A new window of T's class (registered in the calling module at first
    // use, with the arrow cursor and the window colour); null on failure.
    HWND Create(HWND parent, const RECT& rect, LPCWSTR window_name = nullptr, DWORD style = 0,
                DWORD ex_style = 0, UINT id = 0, LPVOID parameter = nullptr) {
        static const std::wstring class_name = [] {
            LPCWSTR declared = T::GetWndClassName();
            if (declared) return std::wstring(declared);
            return L"ATL:" + std::to_wstring(reinterpret_cast<uintptr_t>(&class_name));
        }();
        return create(win_module::this_module(), class_name.c_str(), parent, rect, window_name,
                      style, ex_style, id, parameter);
    }
};
