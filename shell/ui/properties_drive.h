// The property-sheet handler of the namespace drive: the page "General"
// with the account's user name and level, its used and free space and
// capacity, the capacity chart, and a button to the sync manager. The page
// shows at once and fills itself afterwards, logging the user in first
// when nobody is; a login that is cancelled or a failing request closes
// the whole sheet. The page holds a reference on the handler while it
// exists.
#pragma once

#include <functional>
#include <memory>

#include "ui/pie_chart.h"
#include "utils/class_ids.h"
#include "utils/named_mutex.h"
#include "vfs/client.h"
#include "vfs/user_info.h"
#include "win/atl_base.h"
#include "win/shell_propsheet.h"

// A small square of one colour, keying a share of the chart.
class CColorKey : public CWindowImpl<CColorKey> {
public:
    explicit CColorKey(COLORREF color) : color_(color) {}
    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;

private:
    COLORREF color_;
};

class CPropertiesDriveDlg
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CPropertiesDriveDlg, &utils::clsid_properties_drive_dlg>,
      public IShellExtInit,
      public IShellPropSheetExt {
public:
    using com_map = win_atl::com_map<IShellExtInit, IShellPropSheetExt>;

    // The message the page posts itself to fill in once it is shown.
    static constexpr UINT fill_message = WM_USER + 1;

    static HRESULT UpdateRegistry(BOOL do_register);
    HRESULT FinalConstruct();
    void FinalRelease();

    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data,
                                         HKEY key) override;
    // 1 when the sheet took the page; E_OUTOFMEMORY without a page, E_FAIL
    // when the sheet refused it.
    HRESULT STDMETHODCALLTYPE AddPages(LPFNADDPROPSHEETPAGE add, LPARAM parameter) override;
    HRESULT STDMETHODCALLTYPE ReplacePage(EXPPS page, LPFNADDPROPSHEETPAGE replace,
                                          LPARAM parameter) override;

    // The chart's value after the page filled in, for tests.
    int ChartValue() const { return chart_.GetValue(); }

private:
    static UINT CALLBACK PageCallback(HWND window, UINT message, PROPSHEETPAGEW* page);
    static INT_PTR CALLBACK DialogProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
    BOOL ProcessMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
    void OnInitDialog();
    void OnFillPage();
    // Logs in when nobody is, then reads the user and the storage; E_FAIL
    // (after an error box for a failed request) otherwise.
    HRESULT EnsureLoggedIn();
    void ShowSize(int bytes_id, int scaled_id, std::int64_t size);

    HWND page_ = nullptr;
    wchar_t title_[80] = {};
    bool added_ = false;
    vfs::user_info user_;
    vfs::storage_info storage_;
    CPieChart chart_;
    CColorKey used_key_{RGB(0, 0, 255)};
    CColorKey free_key_{RGB(255, 0, 255)};
    std::unique_ptr<utils::named_mutex> login_mutex_;
    HICON icons_[3] = {};  // the sheet's small and big icon, the page's
};

// The drive's sheet as the shell shows it when nothing else adds pages: a
// new handler's pages in a modal sheet on the calling thread (made, when
// given, sees the handler first). What PropertySheetW returns; -1 when the
// handler cannot be made.
INT_PTR ShowDriveSheet(HWND owner, const std::function<void(CPropertiesDriveDlg&)>& made = nullptr);
