// The general page of the property sheet of remote items: what the service
// knows of the selection (name, type, location, size, date, link, access,
// description and, for files, the download price), with the name, access,
// description and price editable. Values that need the service or a walk
// of the folders are loaded on worker threads, so the page shows at once
// and fills in; the workers set the controls' texts from their own threads
// (the page's thread serves those calls while it pumps).
//
// CPropertiesFileGeneralDlg serves a selection of files only,
// CPropertiesFolderGeneralDlg any selection that holds a folder. The sheet
// makes the page with the selection, creates it as a modeless child of its
// tab control (Create), fills it once (Fill) and applies it on OK and Apply
// (Apply). Destroying the page's window stops the workers and waits for
// them.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/edit_currency.h"
#include "ui/properties_general_resources.h"
#include "ui/sheet_selection.h"
#include "ui/url_static.h"
#include "win/atl_dialog.h"

class CPropertiesItemGeneralDlg : public CDialogImplRoot {
public:
    // Access values of the radio buttons; differing values select none.
    static constexpr int access_differs = -1;

    CPropertiesItemGeneralDlg(const sheet_selection& selection, UINT dialog_id);
    // Closes the page (below).
    ~CPropertiesItemGeneralDlg() override;

    // The page as a modeless child of the sheet's tab control; null on
    // failure or when the page already has its window.
    HWND Create(HWND tab_control);

    // Shows what can be had at once and starts the workers for the rest.
    // E_FAIL when there is no folder, no selection or no window; a field
    // that cannot be loaded is left empty or hidden (with its error box),
    // which does not fail the page.
    virtual HRESULT Fill() = 0;
    // Writes the user's changes to the service; E_FAIL when a step failed
    // (that step's change stays pending for the next Apply).
    virtual HRESULT Apply() = 0;

    // Whether any worker started by the page has not ended yet.
    bool WorkersRunning() const;

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;

protected:
    // Destroys the window when it is still there and waits for the
    // workers. The concrete pages call it first thing in their destructors,
    // so that no worker reaches their members while they go.
    void Close();

    // One selected item: its record, and its remote item found by the id
    // in its record (throws when the folder no longer has it).
    const PIDLDATA& Record(UINT index) const;
    vfs::item_ptr LookupItem(UINT index) const;
    UINT ItemCount() const { return items_.GetSize(); }
    bool Mixed() const { return folder_count_ > 0 && file_count_ > 0; }

    // The loaders the pages share.
    void LoadName();
    void LoadType();
    void LoadLocation();
    void StartSizeWorker();
    // The single item's link into 366; false for several items or when
    // the lookup failed (its box shown).
    bool LoadLink();
    // The date row with the record's date, or hidden.
    void ShowDate(bool shown, double date);
    void ShowLink(bool shown);
    // false when the selection mixes folders and files (nothing started).
    bool StartAccessWorker();
    bool StartDescriptionWorker();

    // What the size walk found so far; the folder page also shows the
    // counts.
    virtual void ShowContents(int folders, int files) {
        (void)folders;
        (void)files;
    }
    void ShowSize(std::uint64_t size);
    void ShowAccess(int access);
    // A text the page sets itself, which is no edit of the user's.
    void SetText(int id, const std::wstring& text);

    void ShowControl(int id, bool shown);
    // Moves the controls up by a number of pixels.
    void MoveUp(const std::vector<HWND>& controls, int pixels);
    std::vector<HWND> Controls(std::initializer_list<int> ids) const;
    bool HasFocus(int id) const;

    // Runs on a new worker thread of the page, which destruction waits for.
    void StartWorker(std::function<void()> work);
    // From a worker: runs the action on the page's thread and waits for
    // it; false when the page is going or gone.
    bool RunOnPage(const std::function<void()>& action);
    // An error box owned by the page: the caption's string, the failure
    // being handled as its text. Call inside a catch block.
    void ShowFailure(UINT caption_id);

    // The sheet's Apply, enabled unless the page is filling.
    void EnableApply();
    // The sheet's Apply, disabled once nothing is left to apply.
    void DisableApply();

    // The steps of Apply the pages share; each shows its own error box.
    bool ApplyName();
    bool ApplyAccess();
    bool ApplyDescription();
    // Runs a step when its change is pending; a step that succeeds is no
    // longer pending, one that fails sets failed.
    static void RunStep(bool& changed, const std::function<bool()>& step, bool& failed);
    // Name, access and description in that order; true when one failed.
    bool ApplySharedSteps();
    // The result of Apply; the sheet's Apply goes off once nothing failed.
    HRESULT Applied(bool failed);
    // The access and description loaders, or their controls hidden when
    // they are not offered or cannot start.
    void StartAccessAndDescription(bool offered);
    // The value of the checked access button; private when none is.
    int CheckedAccess() const;

    // The notifications of the name, access and description controls.
    bool HandleSharedCommand(int id, int code);
    // The page's own controls' notifications; true when handled.
    virtual bool OnCommand(int id, int code) = 0;

    vfs::directory_ptr folder_directory_;
    CItemIdList folder_ids_;
    CPidlArray items_;
    // The items' service ids, read by the workers (the records' names
    // change when the page renames).
    std::vector<std::wstring> ids_;
    int folder_count_ = 0;
    int file_count_ = 0;
    HBRUSH theme_brush_ = nullptr;
    HICON large_icon_ = nullptr;
    HICON small_icon_ = nullptr;
    HWND sheet_ = nullptr;
    UINT dialog_id_ = 0;
    // The page's window for the workers, kept when the object lets go of
    // its handle.
    HWND page_window_ = nullptr;

    // Changes the user made that Apply has still to write.
    bool name_changed_ = false;
    bool access_changed_ = false;
    bool description_changed_ = false;

    bool filling_ = false;
    // Set while the page sets a control's text itself.
    bool showing_ = false;
    // Set when the page goes away: the workers stop at their next check.
    std::atomic<bool> stop_{false};
    // Set by the user's edits: a loader still running leaves the field as
    // the user made it.
    std::atomic<bool> description_touched_{false};
    std::atomic<bool> access_touched_{false};

private:
    void on_init_dialog();
    LRESULT on_control_color(HDC dc, HWND control);
    void stop_workers();

    struct worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<worker> workers_;
};

class CPropertiesFileGeneralDlg : public CPropertiesItemGeneralDlg {
public:
    enum { IDD = IDD_PROPERTIES_FILE_GENERAL };

    explicit CPropertiesFileGeneralDlg(const sheet_selection& selection);
    ~CPropertiesFileGeneralDlg() override { Close(); }

    HRESULT Fill() override;
    HRESULT Apply() override;

    // The address of the service's page for selling files.
    static std::wstring SellFilesAddress();

private:
    bool OnCommand(int id, int code) override;
    void SetUpPrice();
    void StartPriceWorker();
    void ShowPrice(double price, bool differs);

    bool ApplyPrice();

    std::atomic<bool> price_touched_{false};
    bool price_changed_ = false;
    CUrlStatic link_;
    CEditCurrency price_edit_;
};

class CPropertiesFolderGeneralDlg : public CPropertiesItemGeneralDlg {
public:
    enum { IDD = IDD_PROPERTIES_FOLDER_GENERAL };

    explicit CPropertiesFolderGeneralDlg(const sheet_selection& selection);
    ~CPropertiesFolderGeneralDlg() override { Close(); }

    HRESULT Fill() override;
    HRESULT Apply() override;

private:
    bool OnCommand(int id, int code) override;
    void ShowContents(int folders, int files) override;
    // Editable unless a selected folder is a fixed folder (the root, the
    // trash and the like).
    bool Editable();

    bool editable_ = true;
};
