// What the shell's view offers the objects it hosts: the newer view
// interface that selects an item and places it at a point, the folder-view
// interface, and the service provider through which a hosted object (a
// folder's background menu, for one) finds the view from its site.
//
// The view stand-in (SHCreateShellFolderView) answers IShellView2 and
// IFolderView besides IShellView. It records every SelectItem and
// SelectAndPositionItem with the item's in-folder name, its flags and the
// point (win_test::folder_view_selections).
#pragma once

#include <string>
#include <vector>

#include "win/rect.h"
#include "win/shell_view.h"

// {6D5140C1-7436-11CE-8034-00AA006009FA}
inline constexpr IID IID_IServiceProvider{
    0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};
// {88E39E80-3578-11CF-AE69-08002B2E1262}
inline constexpr IID IID_IShellView2{
    0x88E39E80, 0x3578, 0x11CF, {0xAE, 0x69, 0x08, 0x00, 0x2B, 0x2E, 0x12, 0x62}};
// {CDE725B0-CCC9-4519-917E-325D72FAB4CE}
inline constexpr IID IID_IFolderView{
    0xCDE725B0, 0xCCC9, 0x4519, {0x91, 0x7E, 0x32, 0x5D, 0x72, 0xFA, 0xB4, 0xCE}};
// The view's service of its folder view has the interface's own id.
inline constexpr GUID SID_SFolderView = IID_IFolderView;

struct IServiceProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) = 0;
};
WIN_COM_INTERFACE_TRAITS(IServiceProvider, IUnknown, IID_IServiceProvider);

// How SelectItem and SelectAndPositionItem treat the item.
#define SVSI_DESELECT 0x00000000u
#define SVSI_SELECT 0x00000001u
#define SVSI_EDIT 0x00000003u  // select and start renaming
#define SVSI_DESELECTOTHERS 0x00000004u
#define SVSI_ENSUREVISIBLE 0x00000008u
#define SVSI_FOCUSED 0x00000010u
#define SVSI_TRANSLATEPT 0x00000020u  // the point is in screen coordinates
#define SVSI_POSITIONITEM 0x00000080u

typedef GUID SHELLVIEWID;
struct SV2CVW2_PARAMS;
typedef SV2CVW2_PARAMS* LPSV2CVW2_PARAMS;

struct IShellView2 : IShellView {
    virtual HRESULT STDMETHODCALLTYPE GetView(SHELLVIEWID* view, ULONG which) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateViewWindow2(LPSV2CVW2_PARAMS parameters) = 0;
    virtual HRESULT STDMETHODCALLTYPE HandleRename(PCUITEMID_CHILD item) = 0;
    virtual HRESULT STDMETHODCALLTYPE SelectAndPositionItem(PCUITEMID_CHILD item, UINT flags,
                                                            POINT* point) = 0;
};
WIN_COM_INTERFACE_TRAITS(IShellView2, IShellView, IID_IShellView2);

struct IFolderView : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCurrentViewMode(UINT* mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCurrentViewMode(UINT mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFolder(REFIID iid, void** folder) = 0;
    virtual HRESULT STDMETHODCALLTYPE Item(int index, PITEMID_CHILD* item) = 0;
    virtual HRESULT STDMETHODCALLTYPE ItemCount(UINT flags, int* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Items(UINT flags, REFIID iid, void** items) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSelectionMarkedItem(int* index) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFocusedItem(int* index) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemPosition(PCUITEMID_CHILD item, POINT* point) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSpacing(POINT* point) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDefaultSpacing(POINT* point) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAutoArrange() = 0;
    virtual HRESULT STDMETHODCALLTYPE SelectItem(int index, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SelectAndPositionItems(UINT count,
                                                             PCUITEMID_CHILD_ARRAY items,
                                                             POINT* points, DWORD flags) = 0;
};
WIN_COM_INTERFACE_TRAITS(IFolderView, IUnknown, IID_IFolderView);

namespace win_test {

// One item a view was asked to select: "SelectItem" or
// "SelectAndPositionItem", the item's in-folder name as the view's folder
// gives it, the flags and, for the second, the point.
struct view_selection {
    std::string call;
    std::wstring name;
    UINT flags = 0;
    POINT point{};
};

// The selections asked of a view made by SHCreateShellFolderView, in order;
// empty for any other view.
std::vector<view_selection> folder_view_selections(IShellView* view);

}  // namespace win_test
