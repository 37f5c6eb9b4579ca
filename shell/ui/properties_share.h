// The sharing page of the property sheet of remote items: the users one
// ordinary own folder is shared with, sharing it with another user by
// name or e-mail address (inviting an address the service does not know),
// changing a user's mode between View and Full, and removing a user. Every
// action goes to the service at once; the sheet's OK and Apply do not
// involve this page.
#pragma once

#include <string>
#include <vector>

#include "ui/properties_share_resources.h"
#include "ui/sheet_selection.h"
#include "vfs/directory.h"
#include "win/atl_dialog.h"
#include "win/atl_window.h"
#include "win/commctrl.h"

// The page's list of users, a subclassed list view that draws its rows:
// the user's name, a check mark under the user's mode, and the links "CH"
// and "REM" on the rows the user may change. A click on a link sends the
// page edit_user_message or remove_user_message with the row in lParam.
// Each row's parameter is its own copy of the user's record, freed when
// the row is deleted (and only then).
class CShareUserList : public CWindowImpl<CShareUserList> {
public:
    // The columns, identified by these bits.
    enum column_id { column_user = 1, column_view = 2, column_full = 4, column_links = 8 };

    static constexpr UINT edit_user_message = WM_USER + 0x100;
    static constexpr UINT remove_user_message = WM_USER + 0x101;
    // The bit of a user's flags that lets the owner change or remove them.
    static constexpr int flag_changeable = 1;

    static constexpr COLORREF link_color = RGB(0, 0, 192);

    CShareUserList() = default;
    ~CShareUserList() override;

    void InsertColumns();
    // A new last row for the user; -1 when the list refuses it.
    int AddUser(const vfs::directory::sharewith_item& user);
    // The row's record, null outside the rows.
    const vfs::directory::sharewith_item* GetUser(int row) const;
    int GetUserCount() const;
    void DeleteAllUsers();

    // The places of a row's two links in the list's client area; false for
    // a row without them.
    bool GetLinkRects(int row, RECT& change, RECT& remove);

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;
    void OnFinalMessage(HWND) override;

private:
    void draw_row(const DRAWITEMSTRUCT& item);
    void draw_check(HDC dc, const RECT& cell, bool transparent);
    void draw_links(HDC dc, const RECT& cell, bool selected);
    void clicked(const NMITEMACTIVATE& click);
    bool over_link(POINT client);
    bool cell_rect(int row, column_id column, RECT& cell);
    HFONT link_font();

    std::vector<column_id> columns_;  // by header item
    HFONT link_font_ = nullptr;
    HCURSOR hand_ = nullptr;
    bool over_link_ = false;
};

class CPropertiesFileShareDlg : public CAxDialogImpl<CPropertiesFileShareDlg> {
public:
    enum { IDD = IDD_PROPERTIES_SHARE };

    explicit CPropertiesFileShareDlg(const sheet_selection& selection);
    ~CPropertiesFileShareDlg() override;

    // Shows the folder and lists its users; E_FAIL without a folder or an
    // item, or when the users cannot be loaded.
    HRESULT Fill();

    CShareUserList& UserList() { return m_list; }

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;

private:
    void on_init_dialog();
    LRESULT on_ctl_color(HDC dc, HWND control);
    void on_share();
    void on_save_changes();
    void on_edit_user(int row);
    void on_remove_user(int row);

    // The selected folder, looked up in the folder directory; null when
    // it is not a directory. Throws what the lookup throws.
    vfs::directory_ptr selected_folder();
    // Throws what the service throws; the list is then empty.
    void load_users(const vfs::directory_ptr& folder);
    void show_shared_state();
    void edit_user(const vfs::directory::sharewith_item& user);
    void adding_mode();
    void editing_mode();
    void show_editing_controls(bool show);
    void show_message(const std::wstring& text);
    void error_box(UINT caption_id);
    void make_bold(int id, HFONT& font);

    vfs::directory_ptr m_folderDirectory;
    CItemIdList m_folderIds;
    CPidlArray m_items;
    HBRUSH m_themeBrush;
    HICON m_largeIcon;
    HICON m_smallIcon;
    HWND m_sheet;

    CShareUserList m_list;
    HFONT m_userFont = nullptr;     // 467
    HFONT m_messageFont = nullptr;  // 457
    int m_editedShareId = 0;        // 0 while no user is edited
    bool m_busy = false;
};
