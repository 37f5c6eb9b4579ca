#include "ui/property_sheet.h"

#include <algorithm>
#include <list>
#include <mutex>
#include <string>

#include "folder/item_ids/utf16_text.h"
#include "folder/module/site_message_box.h"
#include "folder/transfer/data_object_impl.h"
#include "ui/property_sheet_resources.h"
#include "ui/reflected_messages.h"
#include "vfs/exceptions.h"
#include "win/com.h"
#include "win/commctrl.h"
#include "win/shell_extract.h"
#include "win/shell_thread.h"
#include "win/user.h"

namespace {

std::wstring item_name(LPCITEMIDLIST list) {
    const PIDLDATA item = CItemIdList(list, false).GetLastItem();
    return shell_text::from_utf16(item.name, std::size(item.name));
}

std::wstring item_id(LPCITEMIDLIST list) {
    const PIDLDATA item = CItemIdList(list, false).GetLastItem();
    return shell_text::from_utf16(item.id, std::size(item.id));
}

// One open sheet. The node is reaped only after its thread has ended: the
// sheet's window may not exist yet while the thread is starting.
struct sheet_node {
    std::unique_ptr<CPropertiesFileDlg> sheet;
    std::atomic<bool> ended{false};
};

// The open sheets of the process. Explorer's window threads open sheets
// concurrently, so the list is guarded; nodes never move (their sheet
// threads hold them).
class open_sheets {
public:
    static open_sheets& instance() {
        static open_sheets sheets;
        return sheets;
    }

    std::mutex lock;
    std::list<sheet_node> nodes;

    void reap_locked() {
        nodes.remove_if([](const sheet_node& node) { return node.ended.load(); });
    }

    ~open_sheets() {
        // A sheet whose thread still runs is left alone: its thread owns
        // the object until it ends, and the process reference it holds
        // keeps the module loaded until then.
        std::lock_guard<std::mutex> guard(lock);
        reap_locked();
        for (sheet_node& node : nodes) static_cast<void>(node.sheet.release());
    }

private:
    open_sheets() = default;
};

DWORD WINAPI sheet_thread(void* data) {
    auto* node = static_cast<sheet_node*>(data);
    // The pages' pickers (the sync page's folder browser) need an apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    node->sheet->DoModal(GetDesktopWindow());
    if (SUCCEEDED(com)) CoUninitialize();
    node->ended = true;
    return 0;
}

}  // namespace

sheet_page_makers& property_page_makers() {
    static sheet_page_makers makers = extension_page_makers();
    return makers;
}

CPropertiesFileDlg::CPropertiesFileDlg(IShellFolder* folder, const CDataObjectImpl& data,
                                       int start_page)
    : CPropertiesFileDlg(data.GetFolder(), data.GetFolderList(), data.GetItems(), start_page) {
    if (selection_.items.GetSize() != 1 || !folder) return;
    // One item shows the icons of its own type.
    LPCITEMIDLIST item = selection_.items[0];
    IExtractIconW* extractor = nullptr;
    if (FAILED(folder->GetUIObjectOf(nullptr, 1, &item, IID_IExtractIconW, nullptr,
                                     reinterpret_cast<void**>(&extractor))))
        return;
    HICON large = nullptr;
    HICON small = nullptr;
    if (extractor->Extract(nullptr, 0, &large, &small, 0) == S_OK) {
        selection_.large_icon = large;
        selection_.small_icon = small;
    }
    extractor->Release();
}

CPropertiesFileDlg::CPropertiesFileDlg(const vfs::directory_ptr& folder,
                                       const CItemIdList& folder_ids, const CPidlArray& items,
                                       int start_page)
    : makers_(property_page_makers()), start_page_(start_page) {
    register_property_sheet_resources();
    selection_.folder_directory = folder;
    selection_.folder_ids = folder_ids;
    std::vector<LPCITEMIDLIST> lists;
    for (UINT i = 0; i < items.GetSize(); ++i) lists.push_back(items[i]);
    if (!lists.empty() &&
        FAILED(selection_.items.Assign(lists.data(), static_cast<UINT>(lists.size()))))
        throw std::bad_alloc();
    for (LPCITEMIDLIST list : lists) {
        const uint8_t kind = CItemIdList(list, false).GetLastItem().type;
        if (kind == vfs::item_type_directory) ++selection_.folder_count;
        if (kind == vfs::item_type_file) ++selection_.file_count;
    }
    // Several items share the module's icon; one item gets its own from the
    // folder's icon extractor.
    if (lists.size() != 1) {
        const HMODULE module = win_module::this_module();
        selection_.large_icon = LoadIconW(module, MAKEINTRESOURCEW(IDI_SEVERAL_ITEMS));
        selection_.small_icon = LoadIconW(module, MAKEINTRESOURCEW(IDI_SEVERAL_ITEMS));
    }
}

CPropertiesFileDlg::~CPropertiesFileDlg() {
    if (selection_.large_icon) DestroyIcon(selection_.large_icon);
    if (selection_.small_icon) DestroyIcon(selection_.small_icon);
    if (selection_.theme_brush) DeleteObject(selection_.theme_brush);
}

bool CPropertiesFileDlg::PagesLoading() const {
    for (const sheet_page* page : {general_.get(), sharing_.get(), sync_.get()})
        if (page && page->loading()) return true;
    return false;
}

bool CPropertiesFileDlg::Shows(const CItemIdList& folder_ids, const CPidlArray& items) const {
    if (items.GetSize() != selection_.items.GetSize() || !(folder_ids == selection_.folder_ids))
        return false;
    for (UINT i = 0; i < items.GetSize(); ++i) {
        const CItemIdList wanted(items[i], false);
        bool found = false;
        for (UINT j = 0; j < selection_.items.GetSize() && !found; ++j)
            found = CItemIdList(selection_.items[j], false) == wanted;
        if (!found) return false;
    }
    return true;
}

HRESULT CPropertiesFileDlg::Fill() {
    if (!selection_.folder_directory || selection_.items.GetSize() == 0) return E_FAIL;
    filling_ = true;
    const std::wstring format = shell_utils::LoadShellString(
        selection_.items.GetSize() == 1 ? IDS_SHEET_CAPTION_ONE : IDS_SHEET_CAPTION_SEVERAL);
    std::wstring caption = format;
    const size_t at = caption.find(L"%s");
    if (at != std::wstring::npos) caption.replace(at, 2, item_name(selection_.items[0]));
    SetWindowTextW(m_hWnd, caption.c_str());
    bool failed = false;
    for (sheet_page* page : {general_.get(), sharing_.get(), sync_.get()})
        if (page && FAILED(page->fill(start_page_))) failed = true;
    filling_ = false;
    return failed ? E_FAIL : S_OK;
}

HRESULT CPropertiesFileDlg::Apply() {
    bool failed = false;
    if (general_ && FAILED(general_->apply())) failed = true;
    if (sync_ && FAILED(sync_->apply())) failed = true;
    if (!filling_) ::EnableWindow(GetDlgItem(IDC_SHEET_APPLY), FALSE);
    return failed ? E_FAIL : S_OK;
}

// The sharing page is for one own plain folder outside the trash.
bool CPropertiesFileDlg::QualifiesForSharing() {
    if (selection_.folder_count != 1 || selection_.file_count != 0 ||
        selection_.items.GetSize() != 1)
        return false;
    try {
        const vfs::item_ptr item =
            selection_.folder_directory->get_item_by_id(item_id(selection_.items[0]), false);
        const auto folder = boost::dynamic_pointer_cast<vfs::directory>(item);
        return folder && folder->get_delete_date() == -1 && folder->is_plain_directory() &&
               !folder->is_fixed_folder();
    } catch (const vfs::exception& e) {
        ::MessageBoxW(m_hWnd, e.get_text().c_str(),
                      shell_utils::LoadShellString(IDS_ERROR_LOADING_DESCRIPTION).c_str(),
                      MB_ICONERROR);
        return false;
    }
}

// The sync page is for selections with nothing in the trash and no fixed
// folder.
bool CPropertiesFileDlg::QualifiesForSync() {
    try {
        for (UINT i = 0; i < selection_.items.GetSize(); ++i) {
            const vfs::item_ptr item =
                selection_.folder_directory->get_item_by_id(item_id(selection_.items[i]), false);
            if (!item || item->get_delete_date() != -1) return false;
            const auto folder = boost::dynamic_pointer_cast<vfs::directory>(item);
            if (folder && folder->is_fixed_folder()) return false;
        }
        return true;
    } catch (const vfs::exception& e) {
        ::MessageBoxW(m_hWnd, e.get_text().c_str(),
                      shell_utils::LoadShellString(IDS_ERROR_LOADING_DESCRIPTION).c_str(),
                      MB_ICONERROR);
        return false;
    }
}

bool CPropertiesFileDlg::AddPage(const sheet_page_makers::maker& make,
                                 std::unique_ptr<sheet_page>& page, int position, UINT title_id) {
    if (!make) return false;
    page = make(selection_);
    HWND tabs = GetDlgItem(IDC_SHEET_TABS);
    HWND window = page ? page->create(tabs) : nullptr;
    if (!window) {
        page.reset();
        return false;
    }
    std::wstring title = shell_utils::LoadShellString(title_id);
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = title.data();
    item.lParam = reinterpret_cast<LPARAM>(window);
    TabCtrl_InsertItem(tabs, position, &item);
    PlacePage(tabs, window);
    return true;
}

// A page stands ten pixels below the rows of tabs, inside the display area:
// it never covers the tab frame, and it is cut to the area's size, since
// what lies beyond it cannot be seen.
void CPropertiesFileDlg::PlacePage(HWND tabs, HWND page) {
    RECT area{};
    ::GetClientRect(tabs, &area);
    TabCtrl_AdjustRect(tabs, FALSE, &area);
    RECT first{};
    TabCtrl_GetItemRect(tabs, 0, &first);
    const LONG top =
        std::max<LONG>(area.top, (first.bottom - first.top) * TabCtrl_GetRowCount(tabs) + 10);
    RECT own{};
    ::GetWindowRect(page, &own);
    const LONG width = std::min(own.right - own.left, area.right - area.left);
    const LONG height = std::max<LONG>(0, std::min(own.bottom - own.top, area.bottom - top));
    ::SetWindowPos(page, nullptr, area.left, top, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

void CPropertiesFileDlg::OnInitDialog() {
    window_ = m_hWnd;
    selection_.sheet = m_hWnd;
    HWND tabs = GetDlgItem(IDC_SHEET_TABS);
    const LONG ex_style = GetWindowLongW(tabs, GWL_EXSTYLE);
    if (!(ex_style & WS_EX_CONTROLPARENT))
        SetWindowLongW(tabs, GWL_EXSTYLE, ex_style | static_cast<LONG>(WS_EX_CONTROLPARENT));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(selection_.small_icon));
    // This system has no visual themes, so the pages keep their own
    // background and the theme brush stays null.

    const bool files_only = selection_.folder_count == 0 && selection_.file_count != 0;
    if (AddPage(files_only ? makers_.file_general : makers_.folder_general, general_, 0,
                IDS_TAB_GENERAL))
        ::ShowWindow(general_->window(), SW_SHOW);
    int next = 1;
    if (selection_.folder_directory && QualifiesForSharing() &&
        AddPage(makers_.sharing, sharing_, 1, IDS_TAB_SHARING))
        next = 2;
    if (selection_.folder_directory && QualifiesForSync())
        AddPage(makers_.sync, sync_, 2, IDS_TAB_SYNC);

    int chosen = 0;
    if (start_page_ >= start_sync && start_page_ <= 4 && sync_)
        chosen = next;
    else if (start_page_ == start_sharing && sharing_)
        chosen = 1;
    if (chosen != 0) {
        TabCtrl_SetCurFocus(tabs, chosen);
        TabCtrl_SetCurSel(tabs, chosen);
    }
    if (FAILED(Fill())) PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    Centre();
}

void CPropertiesFileDlg::ShowSelectedPage() {
    HWND tabs = GetDlgItem(IDC_SHEET_TABS);
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    HWND shown = nullptr;
    if (TabCtrl_GetItem(tabs, TabCtrl_GetCurSel(tabs), &item))
        shown = reinterpret_cast<HWND>(item.lParam);
    for (HWND child = GetWindow(tabs, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (child != shown) ::ShowWindow(child, SW_HIDE);
    if (shown) ::ShowWindow(shown, SW_SHOW);
}

void CPropertiesFileDlg::Centre() {
    RECT screen{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    RECT own{};
    ::GetWindowRect(m_hWnd, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    ::SetWindowPos(m_hWnd, nullptr, screen.left + (screen.right - screen.left - width) / 2,
                   screen.top + (screen.bottom - screen.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CPropertiesFileDlg::ProcessWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam,
                                              LRESULT& result, DWORD) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            result = TRUE;
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header && header->idFrom == IDC_SHEET_TABS && header->code == TCN_SELCHANGE) {
                ShowSelectedPage();
                result = 0;
                return TRUE;
            }
            break;
        }
        case WM_COMMAND:
            if (lparam == 0 || HIWORD(wparam) != BN_CLICKED) break;
            switch (LOWORD(wparam)) {
                case IDOK:
                    if (SUCCEEDED(Apply())) EndDialog(IDOK);
                    result = 0;
                    return TRUE;
                case IDCANCEL:
                    EndDialog(IDCANCEL);
                    result = 0;
                    return TRUE;
                case IDC_SHEET_APPLY:
                    Apply();
                    result = 0;
                    return TRUE;
                default:
                    break;
            }
            break;
        case WM_DESTROY:
            for (sheet_page* page : {general_.get(), sharing_.get(), sync_.get()})
                if (page && ::IsWindow(page->window())) ::DestroyWindow(page->window());
            window_ = nullptr;
            return FALSE;
        default:
            break;
    }
    return reflect_notification(m_hWnd, message, wparam, lparam, result) ? TRUE : FALSE;
}

void ShowItemProperties(IShellFolder* folder, CDataObjectImpl* data, int start_page) {
    if (!folder || !data) return;
    folder->AddRef();
    static_cast<IDataObject*>(data)->AddRef();
    try {
        open_sheets& sheets = open_sheets::instance();
        std::lock_guard<std::mutex> guard(sheets.lock);
        sheets.reap_locked();
        const CItemIdList folder_ids = data->GetFolderList();
        bool open = false;
        for (sheet_node& node : sheets.nodes) {
            if (node.ended || !node.sheet->Shows(folder_ids, data->GetItems())) continue;
            // A sheet whose window is still being made comes up by itself.
            if (HWND window = node.sheet->Window()) {
                SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
                SetForegroundWindow(window);
            }
            open = true;
            break;
        }
        if (!open) {
            auto sheet = std::make_unique<CPropertiesFileDlg>(folder, *data, start_page);
            sheet_node& node = sheets.nodes.emplace_back();
            node.sheet = std::move(sheet);
            if (!SHCreateThread(sheet_thread, &node, CTF_PROCESS_REF, nullptr)) node.ended = true;
        }
    } catch (...) {
        // Nothing is reported: the caller's command has no sheet to show.
    }
    static_cast<IDataObject*>(data)->Release();
    folder->Release();
}

size_t OpenItemPropertySheets() {
    open_sheets& sheets = open_sheets::instance();
    std::lock_guard<std::mutex> guard(sheets.lock);
    size_t count = 0;
    for (const sheet_node& node : sheets.nodes)
        if (!node.ended) ++count;
    return count;
}
