// The dialog classes of the shell extension's class library: an object
// whose dialog comes from the template T::IDD of the module the object's
// code lives in, run modally (DoModal) or created modeless, for instance
// as a child dialog inside another (Create). Every message of the dialog
// reaches ProcessWindowMessage, from the dialog's first message on; a
// message it handles (TRUE) has its result returned, the rest get the
// dialog class's default handling. WM_INITDIALOG carries the caller's
// initialisation parameter. After WM_NCDESTROY the object is let go and
// OnFinalMessage runs.
//
//   class CAskDlg : public CAxDialogImpl<CAskDlg> {
//   public:
//       enum { IDD = 120 };
//       BOOL ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&, DWORD) override;
//   };
#pragma once

#include "win/atl_window.h"
#include "win/user_dialog.h"

class CDialogImplRoot : public CWindow {
public:
    CDialogImplRoot() = default;
    // A dialog still open is destroyed.
    virtual ~CDialogImplRoot();
    CDialogImplRoot(const CDialogImplRoot&) = delete;
    CDialogImplRoot& operator=(const CDialogImplRoot&) = delete;

    virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                      LRESULT& result, DWORD map_id = 0) = 0;
    virtual void OnFinalMessage(HWND) {}

    // Ends a modal dialog with the result; FALSE without one.
    BOOL EndDialog(int result) { return ::EndDialog(m_hWnd, result); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL SetWindowPos(HWND insert_after, int x, int y, int width, int height, UINT flags) {
        return ::SetWindowPos(m_hWnd, insert_after, x, y, width, height, flags);
    }

protected:
    INT_PTR do_modal(HINSTANCE module, WORD id, HWND parent, LPARAM parameter);
    HWND do_create(HINSTANCE module, WORD id, HWND parent, LPARAM parameter);

private:
    static INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM wparam,
                                             LPARAM lparam);
    INT_PTR dispatch(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
    void let_go();

    LPARAM parameter_ = 0;
};

template <typename T>
class CAxDialogImpl : public CDialogImplRoot {
public:
    // -1 when the template is missing or the dialog cannot be made.
    INT_PTR DoModal(HWND parent = ::GetActiveWindow(), LPARAM parameter = 0) {
        return do_modal(win_module::this_module(), static_cast<WORD>(T::IDD), parent, parameter);
    }
    // A modeless dialog; null on failure or when the object has one.
    HWND Create(HWND parent, LPARAM parameter = 0) {
        return do_create(win_module::this_module(), static_cast<WORD>(T::IDD), parent, parameter);
    }
};
