// The shell's default folder view and its callback. Explorer shows a
// namespace folder in a view that it makes from the folder
// (SHCreateShellFolderView) and that asks the folder's callback
// (IShellFolderViewCB) what it should watch and show.
//
// There is no window here: the view stand-in drives the callback as the
// real view does when it starts (SFVM_GETNOTIFY, then SFVM_GETZONE),
// enumerates the folder whenever it fills or refreshes its window, and
// records, per view, everything it was asked and what it saw
// (win_test::folder_views).
#pragma once

#include <string>
#include <vector>

#include "win/ole.h"
#include "win/rect.h"
#include "win/shell_folder.h"

// {000214E3-0000-0000-C000-000000000046}
inline constexpr IID IID_IShellView{0x000214E3, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {2047E320-F2A9-11CE-AE65-08002B2E1262}
inline constexpr IID IID_IShellFolderViewCB{
    0x2047E320, 0xF2A9, 0x11CE, {0xAE, 0x65, 0x08, 0x00, 0x2B, 0x2E, 0x12, 0x62}};

// Messages of the view to its callback.
#define SFVM_GETBUTTONINFO 5
#define SFVM_GETBUTTONS 6
#define SFVM_GETNOTIFY 49
#define SFVM_GETZONE 58

struct IShellBrowser;

typedef struct {
    UINT ViewMode;
    UINT fFlags;
} FOLDERSETTINGS, *LPFOLDERSETTINGS;
typedef const FOLDERSETTINGS* LPCFOLDERSETTINGS;

#define SVUIA_DEACTIVATE 0
#define SVUIA_ACTIVATE_NOFOCUS 1
#define SVUIA_ACTIVATE_FOCUS 2

typedef BOOL(CALLBACK* LPFNSVADDPROPSHEETPAGE)(void* page, LPARAM parameter);

struct IShellView : IOleWindow {
    virtual HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) = 0;
    virtual HRESULT STDMETHODCALLTYPE UIActivate(UINT state) = 0;
    virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateViewWindow(IShellView* previous,
                                                       LPCFOLDERSETTINGS settings,
                                                       IShellBrowser* browser, RECT* area,
                                                       HWND* window) = 0;
    virtual HRESULT STDMETHODCALLTYPE DestroyViewWindow() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentInfo(LPFOLDERSETTINGS settings) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddPropertySheetPages(DWORD reserved,
                                                            LPFNSVADDPROPSHEETPAGE add,
                                                            LPARAM parameter) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveViewState() = 0;
    virtual HRESULT STDMETHODCALLTYPE SelectItem(PCUITEMID_CHILD item, UINT flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemObject(UINT item, REFIID iid, void** object) = 0;
};
WIN_COM_INTERFACE_TRAITS(IShellView, IOleWindow, IID_IShellView);

struct IShellFolderViewCB : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE MessageSFVCB(UINT message, WPARAM wparam, LPARAM lparam) = 0;
};
WIN_COM_INTERFACE_TRAITS(IShellFolderViewCB, IUnknown, IID_IShellFolderViewCB);

typedef struct _SFV_CREATE {
    UINT cbSize;  // sizeof(SFV_CREATE)
    IShellFolder* pshf;
    IShellView* psvOuter;
    IShellFolderViewCB* psfvcb;
} SFV_CREATE;

// A new view of the folder (which it holds, with the callback, until its
// last Release). E_INVALIDARG for a null record or view, a cbSize other
// than sizeof(SFV_CREATE) or no folder. The view asks the callback at once
// for SFVM_GETNOTIFY (wparam points to an item-id list the callback keeps,
// lparam to the events) and SFVM_GETZONE. CreateViewWindow and Refresh
// enumerate the folder (folders and other items) and read each item's
// in-folder name; a failure of the enumeration is the method's result
// (S_FALSE from EnumObjects is an empty folder). The view has no window
// here: GetWindow and CreateViewWindow answer null. The other methods are
// recorded and answer S_OK (TranslateAccelerator S_FALSE), E_NOTIMPL for
// GetItemObject and AddPropertySheetPages.
HRESULT SHCreateShellFolderView(const SFV_CREATE* create, IShellView** view);

namespace win_test {

// What one view of this process was asked and saw, in the order of creation.
struct folder_view_record {
    bool has_callback = false;
    HRESULT notify_result = E_NOTIMPL;       // the callback's answer to SFVM_GETNOTIFY
    std::vector<unsigned char> notify_list;  // the list it answered, with its terminator
    LONG notify_events = 0;
    HRESULT zone_result = E_NOTIMPL;
    DWORD zone = 0;
    std::vector<std::string> calls;   // "CreateViewWindow", "Refresh" ...
    std::vector<std::wstring> items;  // names seen by the last enumeration
    bool released = false;            // its last reference went
};

std::vector<folder_view_record> folder_views();
void forget_folder_views();

}  // namespace win_test
