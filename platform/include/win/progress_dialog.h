// The shell's progress dialog: a window that shows a title, three lines,
// a bar and the time left, and a Cancel button the user may press. Created
// with CoCreateInstance(CLSID_ProgressDialog); the class is built into the
// platform, no registration needed.
//
// Headless here: the dialog's window exists while the dialog runs (owned
// by the given window, disabled for a modal dialog) so that boxes can be
// owned by it; everything set is journalled for tests, and a test scripts
// when HasUserCancelled answers TRUE.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "win/com.h"
#include "win/user_types.h"

// {F8383852-FCD3-11D1-A6B9-006097DF5BD4}
inline constexpr CLSID CLSID_ProgressDialog{
    0xF8383852, 0xFCD3, 0x11D1, {0xA6, 0xB9, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};
// {EBBC7C04-315E-11D2-B62F-006097DF5BD4}
inline constexpr IID IID_IProgressDialog{
    0xEBBC7C04, 0x315E, 0x11D2, {0xB6, 0x2F, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};

#define PROGDLG_NORMAL 0x00000000u
#define PROGDLG_MODAL 0x00000001u
#define PROGDLG_AUTOTIME 0x00000002u
#define PROGDLG_NOTIME 0x00000004u
#define PROGDLG_NOMINIMIZE 0x00000008u
#define PROGDLG_NOPROGRESSBAR 0x00000010u
#define PDTIMER_RESET 0x00000001u
#define PDTIMER_PAUSE 0x00000002u
#define PDTIMER_RESUME 0x00000003u

struct IProgressDialog : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE StartProgressDialog(HWND parent, IUnknown* enable_modeless,
                                                          DWORD flags, LPCVOID reserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE StopProgressDialog() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTitle(LPCWSTR title) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAnimation(HINSTANCE instance, UINT animation_id) = 0;
    virtual BOOL STDMETHODCALLTYPE HasUserCancelled() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProgress(DWORD completed, DWORD total) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProgress64(ULONGLONG completed, ULONGLONG total) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetLine(DWORD line, LPCWSTR text, BOOL compact_path,
                                              LPCVOID reserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCancelMsg(LPCWSTR message, LPCVOID reserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE Timer(DWORD action, LPCVOID reserved) = 0;
};
WIN_COM_INTERFACE_TRAITS(IProgressDialog, IUnknown, IID_IProgressDialog);

namespace win_com {

// The platform's own classes (the progress dialog, the drag images'
// helper): S_OK with the object,
// or REGDB_E_CLASSNOTREG when the class is not one of them.
HRESULT create_system_object(REFCLSID clsid, REFIID iid, void** object);

}  // namespace win_com

namespace win_test {

// What one progress dialog was shown, as the test reads it afterwards.
struct progress_record {
    HWND owner = nullptr;
    DWORD flags = 0;
    bool started = false;
    bool stopped = false;
    std::wstring title;
    std::wstring lines[3];
    std::vector<std::wstring> line1_history;  // every text of line 1, in order
    ULONGLONG completed = 0;
    ULONGLONG total = 0;
    int timer_resets = 0;
    int cancel_checks = 0;
};

// Every progress dialog the process made under the current machine root
// since the last clear, oldest first (a test in a root of its own sees only
// its own); the clear is of the current root's.
std::vector<progress_record> progress_dialogs();
void clear_progress_dialogs();

// Decides each HasUserCancelled answer from the dialog's state so far (a
// test cancels "in the middle of a file" this way); empty: never cancelled.
using progress_cancel_script = std::function<bool(const progress_record&)>;
void set_progress_cancel_script(progress_cancel_script script);

}  // namespace win_test
