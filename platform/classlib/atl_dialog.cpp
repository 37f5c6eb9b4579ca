// Dialog objects of the class library: the objects of dialogs, found by
// handle, and the dialog procedure that hands messages to them.
#include "win/atl_dialog.h"

#include <map>
#include <mutex>

namespace {

struct dialog_objects {
    std::mutex lock;
    std::map<HWND, CDialogImplRoot*> by_window;
};

dialog_objects& objects() {
    static auto* o = new dialog_objects;  // used until the process ends
    return *o;
}

// The object whose dialog the calling thread is creating: it takes the
// dialog at its first message. A dialog created inside another's messages
// (a child dialog made in WM_INITDIALOG) finds its own object here, since
// the outer one was bound before.
thread_local CDialogImplRoot* creating = nullptr;

class creating_scope {
public:
    explicit creating_scope(CDialogImplRoot* object) : previous_(creating) { creating = object; }
    ~creating_scope() { creating = previous_; }
    creating_scope(const creating_scope&) = delete;
    creating_scope& operator=(const creating_scope&) = delete;

private:
    CDialogImplRoot* previous_;
};

CDialogImplRoot* bound_object(HWND dialog) {
    dialog_objects& o = objects();
    std::lock_guard<std::mutex> guard(o.lock);
    const auto found = o.by_window.find(dialog);
    if (found != o.by_window.end()) return found->second;
    if (!creating) return nullptr;
    CDialogImplRoot* object = creating;
    creating = nullptr;
    o.by_window.emplace(dialog, object);
    return object;
}

// Messages whose answer the dialog procedure returns itself instead of
// through DWLP_MSGRESULT.
bool answers_directly(UINT message) {
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
           message == WM_INITDIALOG;
}

}  // namespace

CDialogImplRoot::~CDialogImplRoot() {
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    if (m_hWnd) let_go();
}

void CDialogImplRoot::let_go() {
    dialog_objects& o = objects();
    std::lock_guard<std::mutex> guard(o.lock);
    o.by_window.erase(m_hWnd);
    m_hWnd = nullptr;
}

INT_PTR CDialogImplRoot::do_modal(HINSTANCE module, WORD id, HWND parent, LPARAM parameter) {
    if (m_hWnd) return -1;
    parameter_ = parameter;
    creating_scope scope(this);
    return DialogBoxParamW(module, MAKEINTRESOURCEW(id), parent, &dialog_procedure, parameter);
}

HWND CDialogImplRoot::do_create(HINSTANCE module, WORD id, HWND parent, LPARAM parameter) {
    if (m_hWnd) return nullptr;
    parameter_ = parameter;
    creating_scope scope(this);
    return CreateDialogParamW(module, MAKEINTRESOURCEW(id), parent, &dialog_procedure, parameter);
}

INT_PTR CALLBACK CDialogImplRoot::dialog_procedure(HWND dialog, UINT message, WPARAM wparam,
                                                   LPARAM lparam) {
    CDialogImplRoot* object = bound_object(dialog);
    return object ? object->dispatch(dialog, message, wparam, lparam) : FALSE;
}

INT_PTR CDialogImplRoot::dispatch(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!m_hWnd) m_hWnd = dialog;
    if (message == WM_INITDIALOG) lparam = parameter_;
    LRESULT result = 0;
    const BOOL handled = ProcessWindowMessage(dialog, message, wparam, lparam, result);
    if (message == WM_NCDESTROY) {
        let_go();
        OnFinalMessage(dialog);
        return handled;
    }
    if (!handled) return FALSE;
    if (answers_directly(message)) return static_cast<INT_PTR>(result);
    if (::IsWindow(dialog)) SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}
