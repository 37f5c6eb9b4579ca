#include "ui/properties_share.h"

#include <boost/algorithm/string/trim.hpp>
#include <boost/pointer_cast.hpp>
#include <stdexcept>

#include "folder/item_ids/pidl_data.h"
#include "folder/module/failure_text.h"
#include "folder/module/site_message_box.h"
#include "ui/reflected_messages.h"
#include "win/commctrl.h"
#include "win/gdi.h"
#include "win/user.h"

using shell_utils::LoadShellString;
using sharewith_item = vfs::directory::sharewith_item;

namespace {

// The columns in their order: title, width in pixels.
struct column_layout {
    CShareUserList::column_id id;
    const wchar_t* title;
    int width;
};
constexpr column_layout user_columns[] = {
    {CShareUserList::column_user, L"Users of this folder", 165},
    {CShareUserList::column_view, L"View", 33},
    {CShareUserList::column_full, L"Full", 55},
    {CShareUserList::column_links, L"Change/Remove", 70},
};

// A cell's contents sit this many pixels inside its column.
constexpr int cell_inset = 4;

constexpr wchar_t change_link[] = L"CH";
constexpr wchar_t link_separator[] = L" / ";
constexpr wchar_t remove_link[] = L"REM";
constexpr wchar_t check_mark[] = L"\u2713";

// A cell's text, for whoever reads the list instead of looking at it (the
// terminal, a screen reader): the check mark under the user's mode, the
// links of a user the owner may change. The rows are drawn from their
// records, not from these texts.
std::wstring cell_text(const sharewith_item& user, CShareUserList::column_id column) {
    switch (column) {
        case CShareUserList::column_user:
            return user.name;
        case CShareUserList::column_view:
            return user.share_mode == 0 ? check_mark : L"";
        case CShareUserList::column_full:
            return user.share_mode == 1 ? check_mark : L"";
        case CShareUserList::column_links:
            return user.flags & CShareUserList::flag_changeable
                       ? std::wstring(change_link) + link_separator + remove_link
                       : L"";
    }
    return L"";
}

SIZE text_size(HDC dc, const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

// Where the two links and the separator between them lie in a cell, as
// they are drawn: one after the other from the cell's left edge, centred
// vertically. The DC has the links' font selected.
struct link_places {
    RECT change;
    RECT separator;
    RECT remove;
};

link_places place_links(HDC dc, const RECT& cell) {
    link_places places{};
    RECT* parts[] = {&places.change, &places.separator, &places.remove};
    const wchar_t* texts[] = {change_link, link_separator, remove_link};
    int x = cell.left;
    for (int i = 0; i < 3; ++i) {
        const SIZE size = text_size(dc, texts[i]);
        const int top = cell.top + (cell.bottom - cell.top - size.cy) / 2;
        *parts[i] = RECT{x, top, x + size.cx, top + size.cy};
        x += size.cx;
    }
    return places;
}

std::wstring dialog_text(HWND dialog, int id) {
    return CWindow(GetDlgItem(dialog, id)).GetWindowText();
}

void show_control(HWND dialog, int id, bool show) {
    ::ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}

}  // namespace

// ---------------------------------------------------------------- the list

CShareUserList::~CShareUserList() {
    if (link_font_) DeleteObject(link_font_);
}

void CShareUserList::InsertColumns() {
    columns_.clear();
    for (const column_layout& column : user_columns) {
        LVCOLUMNW record{};
        record.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        record.pszText = const_cast<LPWSTR>(column.title);
        record.cx = column.width;
        record.iSubItem = static_cast<int>(columns_.size());
        if (ListView_InsertColumn(m_hWnd, static_cast<int>(columns_.size()), &record) < 0) break;
        columns_.push_back(column.id);
    }
    ListView_SetExtendedListViewStyle(m_hWnd, LVS_EX_FULLROWSELECT);
}

int CShareUserList::AddUser(const sharewith_item& user) {
    auto* record = new sharewith_item(user);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(m_hWnd);
    item.pszText = const_cast<LPWSTR>(record->name.c_str());
    item.lParam = reinterpret_cast<LPARAM>(record);
    const int row = ListView_InsertItem(m_hWnd, &item);
    // A row that was not made sends no LVN_DELETEITEM.
    if (row < 0) {
        delete record;
        return row;
    }
    for (size_t column = 0; column < columns_.size(); ++column)
        ListView_SetItemText(m_hWnd, row, static_cast<int>(column),
                             cell_text(*record, columns_[column]).c_str());
    return row;
}

const sharewith_item* CShareUserList::GetUser(int row) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (row < 0 || !ListView_GetItem(m_hWnd, &item)) return nullptr;
    return reinterpret_cast<const sharewith_item*>(item.lParam);
}

int CShareUserList::GetUserCount() const {
    return ListView_GetItemCount(m_hWnd);
}

void CShareUserList::DeleteAllUsers() {
    ListView_DeleteAllItems(m_hWnd);
}

bool CShareUserList::cell_rect(int row, column_id column, RECT& cell) {
    const HWND header = ListView_GetHeader(m_hWnd);
    RECT bounds{};
    if (!header || !ListView_GetItemRect(m_hWnd, row, &bounds, LVIR_BOUNDS)) return false;
    for (size_t i = 0; i < columns_.size(); ++i) {
        RECT item{};
        if (columns_[i] != column || !Header_GetItemRect(header, static_cast<int>(i), &item))
            continue;
        cell = RECT{item.left + cell_inset, bounds.top, item.right - cell_inset, bounds.bottom};
        return true;
    }
    return false;
}

HFONT CShareUserList::link_font() {
    if (link_font_) return link_font_;
    LOGFONTW font{};
    HGDIOBJ list_font = reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT));
    if (!list_font) list_font = GetStockObject(DEFAULT_GUI_FONT);
    if (!GetObjectW(list_font, sizeof(font), &font)) return nullptr;
    font.lfUnderline = TRUE;
    link_font_ = CreateFontIndirectW(&font);
    return link_font_;
}

bool CShareUserList::GetLinkRects(int row, RECT& change, RECT& remove) {
    const sharewith_item* user = GetUser(row);
    RECT cell{};
    if (!user || !(user->flags & flag_changeable) || !cell_rect(row, column_links, cell))
        return false;
    const HDC dc = GetDC(m_hWnd);
    if (!dc) return false;
    const HGDIOBJ old_font = SelectObject(dc, link_font());
    const link_places places = place_links(dc, cell);
    SelectObject(dc, old_font);
    ReleaseDC(m_hWnd, dc);
    change = places.change;
    remove = places.remove;
    return true;
}

void CShareUserList::draw_check(HDC dc, const RECT& cell, bool transparent) {
    const int width = GetSystemMetrics(SM_CXMENUCHECK);
    const int height = GetSystemMetrics(SM_CYMENUCHECK);
    RECT mark;
    mark.left = cell.left + (cell.right - cell.left - width) / 2;
    mark.top = cell.top + (cell.bottom - cell.top - height) / 2;
    mark.right = mark.left + width;
    mark.bottom = mark.top + height;
    DrawFrameControl(dc, &mark, DFC_MENU, DFCS_MENUCHECK | (transparent ? DFCS_TRANSPARENT : 0));
}

void CShareUserList::draw_links(HDC dc, const RECT& cell, bool selected) {
    const HGDIOBJ old_font = SelectObject(dc, link_font());
    // On the highlight the links take the highlight's text colour: dark
    // blue on blue could hardly be read.
    const COLORREF old_color =
        SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : link_color);
    const int old_mode = SetBkMode(dc, TRANSPARENT);
    const link_places places = place_links(dc, cell);
    const std::pair<const wchar_t*, RECT> parts[] = {
        {change_link, places.change},
        {link_separator, places.separator},
        {remove_link, places.remove},
    };
    for (auto [text, place] : parts) {
        place.top = cell.top;
        place.bottom = cell.bottom;
        DrawTextW(dc, text, -1, &place, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SetBkMode(dc, old_mode);
    SetTextColor(dc, old_color);
    SelectObject(dc, old_font);
}

void CShareUserList::draw_row(const DRAWITEMSTRUCT& item) {
    const sharewith_item* user = GetUser(static_cast<int>(item.itemID));
    if (!user) return;
    const HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const COLORREF background = selected ? GetSysColor(COLOR_HIGHLIGHT) : GetBkColor(dc);
    const HBRUSH fill = CreateSolidBrush(background);
    FillRect(dc, &item.rcItem, fill);
    DeleteObject(fill);
    const COLORREF old_color =
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const int old_mode = SetBkMode(dc, TRANSPARENT);

    const HWND header = ListView_GetHeader(m_hWnd);
    for (size_t i = 0; header && i < columns_.size(); ++i) {
        RECT column{};
        if (!Header_GetItemRect(header, static_cast<int>(i), &column)) continue;
        RECT cell{column.left + cell_inset, item.rcItem.top, column.right - cell_inset,
                  item.rcItem.bottom};
        switch (columns_[i]) {
            case column_user:
                DrawTextW(dc, user->name.c_str(), -1, &cell,
                          DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
                break;
            case column_view:
                if (user->share_mode == 0) draw_check(dc, cell, false);
                break;
            case column_full:
                if (user->share_mode == 1) draw_check(dc, cell, true);
                break;
            case column_links:
                if (user->flags & flag_changeable) draw_links(dc, cell, selected);
                break;
        }
    }
    SetBkMode(dc, old_mode);
    SetTextColor(dc, old_color);
}

void CShareUserList::clicked(const NMITEMACTIVATE& click) {
    RECT change{}, remove{};
    if (click.iItem < 0 || !GetLinkRects(click.iItem, change, remove)) return;
    const HWND parent = GetParent();
    if (PtInRect(&change, click.ptAction))
        ::SendMessageW(parent, edit_user_message, 0, click.iItem);
    else if (PtInRect(&remove, click.ptAction))
        ::SendMessageW(parent, remove_user_message, 0, click.iItem);
}

bool CShareUserList::over_link(POINT client) {
    LVHITTESTINFO hit{};
    hit.pt = client;
    const int row = ListView_SubItemHitTest(m_hWnd, &hit);
    RECT change{}, remove{};
    if (row < 0 || !GetLinkRects(row, change, remove)) return false;
    return PtInRect(&change, client) || PtInRect(&remove, client);
}

BOOL CShareUserList::ProcessWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam,
                                          LRESULT& result, DWORD) {
    switch (message) {
        case reflected_message_base + WM_DRAWITEM:
            draw_row(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
            result = TRUE;
            return TRUE;
        case reflected_message_base + WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            result = 0;
            switch (header->code) {
                case LVN_DELETEITEM:
                    delete reinterpret_cast<sharewith_item*>(
                        reinterpret_cast<const NMLISTVIEW*>(lparam)->lParam);
                    return TRUE;
                case LVN_DELETEALLITEMS:
                    // FALSE: an LVN_DELETEITEM for every row, which frees its record.
                    return TRUE;
                case NM_CLICK:
                    clicked(*reinterpret_cast<const NMITEMACTIVATE*>(lparam));
                    return TRUE;
                default:
                    return FALSE;
            }
        }
        case WM_NCHITTEST: {
            result = DefWindowProc(message, wparam, lparam);
            if (result == HTCLIENT) {
                POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
                ScreenToClient(m_hWnd, &point);
                over_link_ = over_link(point);
            }
            return TRUE;
        }
        case WM_SETCURSOR: {
            const UINT hit = LOWORD(lparam);
            const UINT mouse = HIWORD(lparam);
            const bool pointer_message = mouse == WM_MOUSEMOVE || mouse == WM_LBUTTONDOWN ||
                                         mouse == WM_LBUTTONUP || mouse == WM_LBUTTONDBLCLK;
            if (hit != HTCLIENT || !pointer_message || !over_link_) return FALSE;
            if (!hand_) hand_ = LoadCursorW(nullptr, IDC_HAND);
            SetCursor(hand_);
            result = TRUE;
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void CShareUserList::OnFinalMessage(HWND) {
    over_link_ = false;
}

// ---------------------------------------------------------------- the page

CPropertiesFileShareDlg::CPropertiesFileShareDlg(const sheet_selection& selection)
    : m_folderDirectory(selection.folder_directory),
      m_folderIds(selection.folder_ids),
      m_themeBrush(selection.theme_brush),
      m_largeIcon(selection.large_icon),
      m_smallIcon(selection.small_icon),
      m_sheet(selection.sheet) {
    register_share_resources();
    std::vector<LPCITEMIDLIST> items;
    for (UINT i = 0; i < selection.items.GetSize(); ++i) items.push_back(selection.items[i]);
    m_items.Assign(items.data(), static_cast<UINT>(items.size()));
}

CPropertiesFileShareDlg::~CPropertiesFileShareDlg() {
    // The list's rows are freed while the window goes, through the list's
    // object: destroy it while that object is still there.
    if (IsWindow()) DestroyWindow();
    if (m_userFont) DeleteObject(m_userFont);
    if (m_messageFont) DeleteObject(m_messageFont);
}

BOOL CPropertiesFileShareDlg::ProcessWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam,
                                                   LRESULT& result, DWORD) {
    result = 0;
    switch (message) {
        case WM_INITDIALOG:
            on_init_dialog();
            result = TRUE;
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORDLG:
            if (!m_themeBrush) return FALSE;
            result =
                on_ctl_color(reinterpret_cast<HDC>(wparam),
                             message == WM_CTLCOLORDLG ? m_hWnd : reinterpret_cast<HWND>(lparam));
            return TRUE;
        case CShareUserList::edit_user_message:
            on_edit_user(static_cast<int>(lparam));
            return TRUE;
        case CShareUserList::remove_user_message:
            on_remove_user(static_cast<int>(lparam));
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wparam) == BN_CLICKED) {
                switch (LOWORD(wparam)) {
                    case IDC_SHARE_BUTTON:
                        on_share();
                        return TRUE;
                    case IDC_SHARE_SAVE:
                        on_save_changes();
                        return TRUE;
                    case IDOK:
                    case sheet_apply_button_id:
                        // Nothing waits for the sheet's Apply on this page.
                        if (!m_busy && m_sheet)
                            EnableWindow(::GetDlgItem(m_sheet, sheet_apply_button_id), FALSE);
                        if (LOWORD(wparam) == IDOK) DestroyWindow();
                        return TRUE;
                    case IDCANCEL:
                        DestroyWindow();
                        return TRUE;
                    default:
                        break;
                }
            }
            return reflect_notification(m_hWnd, message, wparam, lparam, result);
        default:
            return reflect_notification(m_hWnd, message, wparam, lparam, result);
    }
}

void CPropertiesFileShareDlg::make_bold(int id, HFONT& font) {
    const HWND control = GetDlgItem(id);
    HGDIOBJ current = reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0));
    if (!current) current = GetStockObject(DEFAULT_GUI_FONT);
    LOGFONTW record{};
    if (!GetObjectW(current, sizeof(record), &record)) return;
    record.lfWeight = FW_BOLD;
    font = CreateFontIndirectW(&record);
    if (font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void CPropertiesFileShareDlg::on_init_dialog() {
    m_list.SubclassWindow(GetDlgItem(IDC_SHARE_USER_LIST));
    m_list.InsertColumns();
    make_bold(IDC_SHARE_EDITED_USER, m_userFont);
    make_bold(IDC_SHARE_MESSAGE, m_messageFont);
    adding_mode();
    if (m_smallIcon) SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
    if (m_largeIcon)
        ::SendMessageW(GetDlgItem(IDC_SHARE_ICON), STM_SETICON,
                       reinterpret_cast<WPARAM>(m_largeIcon), 0);
}

LRESULT CPropertiesFileShareDlg::on_ctl_color(HDC dc, HWND control) {
    // The brush paints the tab's background: line it up with the tab.
    RECT place{};
    ::GetWindowRect(control, &place);
    POINT origin{place.left, place.top};
    ::ScreenToClient(GetParent(), &origin);
    SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(m_themeBrush);
}

HRESULT CPropertiesFileShareDlg::Fill() {
    if (!m_folderDirectory || m_items.GetSize() == 0) return E_FAIL;
    m_busy = true;
    HRESULT hr = S_OK;
    try {
        const PIDLDATA item = CItemIdList(m_items[0], false).GetLastItem();
        SetDlgItemTextW(m_hWnd, IDC_SHARE_FOLDER_NAME, pidl_name(item).c_str());
        SetDlgItemTextW(
            m_hWnd, IDC_SHARE_STATE,
            LoadShellString(item.is_shared ? IDS_SHARE_SHARED : IDS_SHARE_NOT_SHARED).c_str());
    } catch (...) {
        hr = E_FAIL;
    }
    if (SUCCEEDED(hr)) {
        try {
            const vfs::directory_ptr folder = selected_folder();
            if (!folder) throw std::runtime_error("The item is not a folder");
            load_users(folder);
        } catch (...) {
            error_box(IDS_SHARE_ERROR_LOADING);
            hr = E_FAIL;
        }
    }
    show_control(m_hWnd, IDC_SHARE_MESSAGE, false);
    show_editing_controls(false);
    m_busy = false;
    return hr;
}

vfs::directory_ptr CPropertiesFileShareDlg::selected_folder() {
    const PIDLDATA item = CItemIdList(m_items[0], false).GetLastItem();
    return boost::dynamic_pointer_cast<vfs::directory>(
        m_folderDirectory->get_item_by_id(pidl_id(item), false));
}

void CPropertiesFileShareDlg::load_users(const vfs::directory_ptr& folder) {
    // Asked first, so that a failed listing leaves the rows as they were.
    const vfs::directory::sharewith_list users = folder->get_sharewith_items();
    m_list.DeleteAllUsers();
    for (const vfs::directory::sharewith_item_ptr& user : users) {
        if (user) m_list.AddUser(*user);
    }
}

// After a change, whether the folder is shared is what the service now
// lists: shared while it has users. (The item id's flag, which the page
// starts with, was read before the change.)
void CPropertiesFileShareDlg::show_shared_state() {
    const UINT state = m_list.GetUserCount() > 0 ? IDS_SHARE_SHARED : IDS_SHARE_NOT_SHARED;
    SetDlgItemTextW(m_hWnd, IDC_SHARE_STATE, LoadShellString(state).c_str());
}

void CPropertiesFileShareDlg::on_share() {
    const std::wstring name = boost::algorithm::trim_copy(dialog_text(m_hWnd, IDC_SHARE_USER));
    try {
        const vfs::directory_ptr folder = selected_folder();
        if (!folder) return;
        bool is_email = false;
        const int user_id = folder->can_share_with(name, is_email);
        if (user_id) {
            folder->sharing(user_id);
            load_users(folder);
            show_shared_state();
            const vfs::directory::sharewith_item_ptr user =
                folder->find_sharewith_item_by_userid(user_id);
            edit_user(*user);
            return;
        }
        // Tell of the invitation only once it has gone out.
        if (is_email && !folder->email_for_sharing(name))
            throw std::runtime_error("The invitation was not sent");
        show_message(shell_utils::FormatWithArguments(
            LoadShellString(is_email ? IDS_SHARE_INVITATION_SENT : IDS_SHARE_NO_SUCH_USER),
            {name}));
    } catch (...) {
        error_box(IDS_SHARE_ERROR_SHARING);
    }
}

void CPropertiesFileShareDlg::edit_user(const sharewith_item& user) {
    CheckDlgButton(m_hWnd, IDC_SHARE_MODE_VIEW, user.share_mode == 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hWnd, IDC_SHARE_MODE_FULL, user.share_mode == 1 ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(m_hWnd, IDC_SHARE_EDITED_USER, user.name.c_str());
    m_editedShareId = user.id;
    editing_mode();
    show_editing_controls(true);
}

void CPropertiesFileShareDlg::on_edit_user(int row) {
    try {
        const sharewith_item* user = m_list.GetUser(row);
        if (!user) return;
        edit_user(sharewith_item(*user));
    } catch (...) {
        error_box(IDS_SHARE_ERROR_CHANGING);
    }
}

void CPropertiesFileShareDlg::on_save_changes() {
    if (!m_editedShareId) return;
    try {
        const vfs::directory_ptr folder = selected_folder();
        if (!folder) return;
        const vfs::directory::sharewith_item_ptr user =
            folder->find_sharewith_item_by_id(m_editedShareId);
        // With neither mode checked (a mode this page does not know) the
        // user's mode stays as it is.
        int mode = -1;
        if (IsDlgButtonChecked(m_hWnd, IDC_SHARE_MODE_VIEW) == BST_CHECKED)
            mode = 0;
        else if (IsDlgButtonChecked(m_hWnd, IDC_SHARE_MODE_FULL) == BST_CHECKED)
            mode = 1;
        if (mode >= 0) folder->set_share_mode(user->id, mode);
        load_users(folder);
        show_shared_state();
        m_editedShareId = 0;
        adding_mode();
        show_editing_controls(false);
    } catch (...) {
        error_box(IDS_SHARE_ERROR_CHANGING);
    }
}

void CPropertiesFileShareDlg::on_remove_user(int row) {
    const sharewith_item* user = m_list.GetUser(row);
    if (!user) return;
    // The box pumps messages, which may reload the list: keep what is
    // needed of the row before asking.
    const int share_id = user->id;
    if (MessageBoxW(m_hWnd, LoadShellString(IDS_SHARE_CONFIRM_REMOVE).c_str(), L"", MB_YESNO) !=
        IDYES)
        return;
    try {
        const vfs::directory_ptr folder = selected_folder();
        if (!folder) return;
        folder->delete_sharing_with_user(share_id);
        load_users(folder);
        show_shared_state();
        m_editedShareId = 0;
        adding_mode();
        show_editing_controls(false);
    } catch (...) {
        error_box(IDS_SHARE_ERROR_REMOVING);
    }
}

void CPropertiesFileShareDlg::adding_mode() {
    show_control(m_hWnd, IDC_SHARE_BUTTON, true);
    show_control(m_hWnd, IDC_SHARE_USER, true);
    show_control(m_hWnd, IDC_SHARE_HINT, true);
    show_control(m_hWnd, IDC_SHARE_EDITED_USER, false);
    SetDlgItemTextW(m_hWnd, IDC_SHARE_PROMPT, LoadShellString(IDS_SHARE_ADD_USER).c_str());
}

void CPropertiesFileShareDlg::editing_mode() {
    show_control(m_hWnd, IDC_SHARE_BUTTON, false);
    show_control(m_hWnd, IDC_SHARE_USER, false);
    show_control(m_hWnd, IDC_SHARE_HINT, false);
    show_control(m_hWnd, IDC_SHARE_EDITED_USER, true);
    SetDlgItemTextW(m_hWnd, IDC_SHARE_PROMPT, LoadShellString(IDS_SHARE_WITH).c_str());
}

void CPropertiesFileShareDlg::show_editing_controls(bool show) {
    for (int id : {IDC_SHARE_ADVANCED, IDC_SHARE_PERMISSIONS, IDC_SHARE_MODE_VIEW,
                   IDC_SHARE_MODE_FULL, IDC_SHARE_SAVE})
        show_control(m_hWnd, id, show);
    if (show) show_control(m_hWnd, IDC_SHARE_MESSAGE, false);
}

void CPropertiesFileShareDlg::show_message(const std::wstring& text) {
    SetDlgItemTextW(m_hWnd, IDC_SHARE_MESSAGE, text.c_str());
    show_control(m_hWnd, IDC_SHARE_MESSAGE, true);
    for (int id : {IDC_SHARE_ADVANCED, IDC_SHARE_PERMISSIONS, IDC_SHARE_MODE_VIEW,
                   IDC_SHARE_MODE_FULL, IDC_SHARE_SAVE})
        show_control(m_hWnd, id, false);
}

void CPropertiesFileShareDlg::error_box(UINT caption_id) {
    const failure_text failure = current_failure();
    shell_utils::MessageBoxCaptionId(m_hWnd, nullptr, caption_id, failure.text.c_str(),
                                     MB_ICONERROR);
}
