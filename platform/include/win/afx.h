// Thin window classes of the programs' class library, over the windowing
// calls: CWnd (a window object that its window's messages reach through
// virtual handlers), CDialog (modal dialogs from templates with data
// exchange), CStatic, CButton and CToolTipCtrl, and the message box and
// instance helpers. Only what the programs use.
//
// A CWnd made by CreateEx, Attach or SubclassWindow is the window's object:
// its WindowProc sees every message; OnWndMsg hands the common ones to the
// On* handlers, whose defaults do the default handling (Default()), and
// everything unhandled goes to DefWindowProc (the window's previous
// procedure). WM_NCDESTROY detaches the object and calls PostNcDestroy.
#pragma once

#include "win/commctrl.h"
#include "win/process.h"
#include "win/user.h"

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int x_, int y_) : POINT{x_, y_} {}
    CPoint(POINT p) : POINT(p) {}
    // From a mouse message's lParam.
    explicit CPoint(LPARAM packed) : POINT{GET_X_LPARAM(packed), GET_Y_LPARAM(packed)} {}
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
};

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(int cx_, int cy_) : SIZE{cx_, cy_} {}
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}
    CRect(POINT top_left, SIZE size)
        : RECT{top_left.x, top_left.y, top_left.x + size.cx, top_left.y + size.cy} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CPoint TopLeft() const { return {left, top}; }
    CPoint BottomRight() const { return {right, bottom}; }
    CSize Size() const { return {Width(), Height()}; }
    BOOL IsRectEmpty() const { return ::IsRectEmpty(this); }
    BOOL PtInRect(POINT p) const { return ::PtInRect(this, p); }
    void OffsetRect(int dx, int dy) { ::OffsetRect(this, dx, dy); }
    void DeflateRect(int dx, int dy) { ::InflateRect(this, -dx, -dy); }
    BOOL IntersectRect(const RECT* a, const RECT* b) { return ::IntersectRect(this, a, b); }
    BOOL UnionRect(const RECT* a, const RECT* b) { return ::UnionRect(this, a, b); }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    bool operator==(const RECT& o) const { return ::EqualRect(this, &o) != FALSE; }
};

class CWnd {
public:
    CWnd() = default;
    // A window still attached is destroyed (when its thread is the caller's)
    // and in any case let go: no message reaches the object after this.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The stacking places for SetWindowPos.
    static const CWnd wndTop, wndBottom, wndTopMost, wndNoTopMost;

    // Classes are looked up for the module that calls.
    BOOL CreateEx(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x,
                  int y, int width, int height, HWND parent, HMENU menu_or_id,
                  LPVOID parameter = nullptr) {
        return create(win_module::this_module(), ex_style, class_name, window_name, style, x, y,
                      width, height, parent, menu_or_id, parameter);
    }
    BOOL CreateEx(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style,
                  const RECT& rect, CWnd* parent, UINT id, LPVOID parameter = nullptr) {
        return create(win_module::this_module(), ex_style, class_name, window_name, style,
                      rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                      parent ? parent->m_hWnd : nullptr,
                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), parameter);
    }
    virtual BOOL DestroyWindow();

    // Attach makes this the window's object without changing its procedure
    // (messages reach it only through SubclassWindow or CreateEx).
    BOOL Attach(HWND window);
    HWND Detach();
    BOOL SubclassWindow(HWND window);
    HWND UnsubclassWindow();
    // The window's object, or a temporary one for a window without.
    static CWnd* FromHandle(HWND window);
    static CWnd* FromHandlePermanent(HWND window);

    // Offers the message to PreTranslateMessage of each object from the
    // message's window up to stop; TRUE when one took it.
    static BOOL WalkPreTranslateTree(HWND stop, MSG* message);

    UINT_PTR SetTimer(UINT_PTR id, UINT elapse_ms, TIMERPROC callback = nullptr);
    BOOL KillTimer(UINT_PTR id);
    void Invalidate(BOOL erase = TRUE);
    void InvalidateRect(LPCRECT rect, BOOL erase = TRUE);
    void UpdateWindow();
    void GetClientRect(LPRECT rect) const;
    void GetWindowRect(LPRECT rect) const;
    void ClientToScreen(LPPOINT point) const;
    void ScreenToClient(LPPOINT point) const;
    BOOL ShowWindow(int command);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL SetWindowPos(const CWnd* insert_after, int x, int y, int width, int height, UINT flags);
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
    int SetWindowRgn(HRGN region, BOOL redraw);
    BOOL SetForegroundWindow();
    CWnd* SetFocus();
    CWnd* SetCapture();
    LRESULT SendMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
    BOOL PostMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
    void SetWindowText(LPCWSTR text);
    int GetWindowText(LPWSTR text, int max_count) const;
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;
    void SetDlgItemText(int id, LPCWSTR text);
    void CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    // Changes the style bits; with flags, also SetWindowPos(flags) without
    // moving, sizing or stacking, so the frame follows.
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);

    // The message being handled now, to the default handling.
    LRESULT Default();

    virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam);
    virtual BOOL PreTranslateMessage(MSG* message);
    virtual void PostNcDestroy() {}
    // WM_COMMAND: TRUE when handled.
    virtual BOOL OnCommand(WPARAM wparam, LPARAM lparam);

    virtual int OnCreate(LPCREATESTRUCTW create);
    virtual void OnDestroy();
    virtual void OnNcDestroy();
    virtual void OnClose();
    virtual void OnPaint();
    virtual void OnTimer(UINT_PTR id);
    virtual void OnSize(UINT kind, int width, int height);
    virtual void OnMove(int x, int y);
    virtual void OnShowWindow(BOOL show, UINT status);
    virtual LRESULT OnNcHitTest(CPoint screen);
    virtual BOOL OnSetCursor(CWnd* window, UINT hit, UINT message);
    virtual void OnMouseMove(UINT flags, CPoint point);
    virtual void OnLButtonDown(UINT flags, CPoint point);
    virtual void OnLButtonUp(UINT flags, CPoint point);
    virtual void OnLButtonDblClk(UINT flags, CPoint point);
    virtual void OnMouseLeave();
    virtual BOOL OnMouseWheel(UINT flags, short delta, CPoint screen);
    virtual void OnCaptureChanged(CWnd* window);

protected:
    WNDPROC m_pfnSuper = nullptr;  // the procedure a subclassed window had

    BOOL create(HINSTANCE module, DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name,
                DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu_or_id,
                LPVOID parameter);

private:
    explicit CWnd(HWND special) : m_hWnd(special) {}
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    struct current_message {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
    };
    current_message current_{};
};

// Routes a window's messages to its object.
LRESULT CALLBACK AfxWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

class CStatic : public CWnd {};

class CButton : public CWnd {
public:
    int GetCheck() const;
    void SetCheck(int check);
};

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL save) : m_pDlgWnd(dialog), m_bSaveAndValidate(save) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;  // TRUE: controls to members
};

// The control of that id becomes the object's window (subclassed) the first
// time; a missing control leaves the object as it is.
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);
// A check box's state to and from an int (BST_*).
void DDX_Check(CDataExchange* exchange, int id, int& value);

class CDialog : public CWnd {
public:
    // The template comes from the module that makes the object.
    explicit CDialog(UINT template_id, CWnd* parent = nullptr)
        : m_lpszTemplateName(MAKEINTRESOURCEW(template_id)),
          m_nIDHelp(template_id),
          m_pParentWnd(parent),
          m_hInstance(win_module::this_module()) {}

    // Runs the dialog modally on the calling thread; -1 when it cannot be
    // made.
    virtual INT_PTR DoModal();
    void EndDialog(int result);
    // Data exchange: TRUE moves the controls' values into the members.
    BOOL UpdateData(BOOL save = TRUE);

    // UpdateData(FALSE); TRUE lets the system set the focus.
    virtual BOOL OnInitDialog();
    // UpdateData(TRUE), then EndDialog(IDOK).
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange*) {}
    // IDOK and IDCANCEL to OnOK and OnCancel.
    BOOL OnCommand(WPARAM wparam, LPARAM lparam) override;

    LPCWSTR m_lpszTemplateName;
    UINT m_nIDHelp;
    CWnd* m_pParentWnd;
    HINSTANCE m_hInstance;
};

class CToolTipCtrl : public CWnd {
public:
    BOOL Create(CWnd* parent, DWORD style = 0);
    // Without a rectangle the tool is the whole window.
    BOOL AddTool(CWnd* window, LPCWSTR text = LPSTR_TEXTCALLBACKW, LPCRECT rect = nullptr,
                 UINT_PTR id = 0);
    // The text from the string table of the module that calls.
    BOOL AddTool(CWnd* window, UINT text_id, LPCRECT rect = nullptr, UINT_PTR id = 0) {
        return add_tool(window, win_module::this_module(), MAKEINTRESOURCEW(text_id), rect, id);
    }
    void DelTool(CWnd* window, UINT_PTR id = 0);
    void SetToolRect(CWnd* window, UINT_PTR id, LPCRECT rect);
    void UpdateTipText(LPCWSTR text, CWnd* window, UINT_PTR id = 0);
    int SetMaxTipWidth(int width);
    void Activate(BOOL activate);
    void RelayEvent(LPMSG message);
    int GetToolCount() const;

private:
    BOOL add_tool(CWnd* window, HINSTANCE module, LPCWSTR text, LPCRECT rect, UINT_PTR id);
};

// The module of the code that calls.
inline HINSTANCE AfxGetInstanceHandle() {
    return win_module::this_module();
}
inline HINSTANCE AfxGetResourceHandle() {
    return win_module::this_module();
}

namespace win_afx {
int message_box(HINSTANCE module, LPCWSTR text, UINT type);
int message_box(HINSTANCE module, UINT text_id, UINT type);
}  // namespace win_afx

// A message box owned by the thread's active window, captioned with the
// program's title (string 0xE000 of the calling module, else the executable's
// name without its suffix).
inline int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT = 0) {
    return win_afx::message_box(win_module::this_module(), text, type);
}
inline int AfxMessageBox(UINT text_id, UINT type = MB_OK, UINT = static_cast<UINT>(-1)) {
    return win_afx::message_box(win_module::this_module(), text_id, type);
}

#define AFX_IDS_APP_TITLE 0xE000
