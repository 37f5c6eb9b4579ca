// The property sheet of remote items: a dialog with a tab control holding
// up to three pages (general, sharing, sync) and OK, Cancel and Apply.
// ShowItemProperties opens one for a selection on a thread of its own, so
// the caller's thread never waits for it; asking again for a selection
// whose sheet is open brings that sheet to the front instead.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "folder/module/ui_makers.h"
#include "ui/sheet_selection.h"
#include "win/atl_dialog.h"
#include "win/shell_folder.h"

class CDataObjectImpl;

// One page as the sheet drives it: made as a child of the tab control,
// filled once the sheet exists, applied on OK and Apply.
class sheet_page {
public:
    virtual ~sheet_page() = default;
    // The page's window, made hidden or shown as its template says; null
    // on failure.
    virtual HWND create(HWND tab_control) = 0;
    virtual HWND window() const = 0;
    virtual HRESULT fill(int start_page) = 0;
    // Pages that save through their own buttons answer S_OK.
    virtual HRESULT apply() = 0;
    // Whether the page still loads what it shows.
    virtual bool loading() const = 0;
};

// How each kind of page is made for a selection. The extension's own pages
// by default; each maker may be empty (that page is never added).
struct sheet_page_makers {
    using maker = std::function<std::unique_ptr<sheet_page>(const sheet_selection&)>;
    maker file_general;    // a selection of files only
    maker folder_general;  // any other selection
    maker sharing;
    maker sync;
};
// The extension's general, sharing and sync pages.
sheet_page_makers extension_page_makers();
// The makers every new sheet uses (the extension's pages unless a test put
// its own in place).
sheet_page_makers& property_page_makers();

class CPropertiesFileDlg : public CAxDialogImpl<CPropertiesFileDlg> {
public:
    enum { IDD = 350 };

    // Copies the folder and the selection from the data object; a
    // selection of several items shows the module's icon of several items.
    // Throws std::bad_alloc when the item ids cannot be copied.
    CPropertiesFileDlg(IShellFolder* folder, const CDataObjectImpl& data, int start_page);
    // The same from the folder's directory and id list and the items' ids.
    CPropertiesFileDlg(const vfs::directory_ptr& folder, const CItemIdList& folder_ids,
                       const CPidlArray& items, int start_page);
    ~CPropertiesFileDlg() override;

    // Whether the sheet shows this selection of that folder, in any order.
    bool Shows(const CItemIdList& folder_ids, const CPidlArray& items) const;
    // The sheet's window; null before it exists and after it is gone. Any
    // thread may ask.
    HWND Window() const { return window_.load(); }
    const sheet_selection& Selection() const { return selection_; }
    // Whether a page still loads what it shows (on the sheet's thread).
    bool PagesLoading() const;

    // Fills every page; E_FAIL when the sheet has nothing to show or a page
    // failed.
    HRESULT Fill();
    // Applies the general and sync pages; E_FAIL when either failed. The
    // Apply button is disabled afterwards unless the pages are filling.
    HRESULT Apply();

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;

private:
    void OnInitDialog();
    bool QualifiesForSharing();
    bool QualifiesForSync();
    bool AddPage(const sheet_page_makers::maker& make, std::unique_ptr<sheet_page>& page,
                 int position, UINT title_id);
    static void PlacePage(HWND tabs, HWND page);
    void ShowSelectedPage();
    void Centre();

    sheet_selection selection_;
    sheet_page_makers makers_;
    int start_page_;
    bool filling_ = false;
    std::unique_ptr<sheet_page> general_;
    std::unique_ptr<sheet_page> sharing_;
    std::unique_ptr<sheet_page> sync_;
    std::atomic<HWND> window_{nullptr};
};

// Opens the sheet of the data object's selection at the start page, or
// brings the open sheet of that selection to the front. Returns at once;
// failures are not reported.
void ShowItemProperties(IShellFolder* folder, CDataObjectImpl* data, int start_page);

// The sheets whose threads still run, for hosts and tests that wait for
// them to close.
size_t OpenItemPropertySheets();
