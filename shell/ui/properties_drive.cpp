#include "ui/properties_drive.h"

#include <algorithm>
#include <vector>

#include "folder/module/display_format.h"
#include "folder/module/folder_session.h"
#include "ui/properties_drive_resources.h"
#include "ui/sync_manager_dlg.h"
#include "vfs/exceptions.h"
#include "win/process.h"
#include "win/user.h"

namespace {

const wchar_t* const login_mutex_name = L"Local\\CMV_LOGIN_MUTEX";
const wchar_t* const product_name = L"Calvimora";

// Messages whose answer a dialog procedure returns itself.
bool answers_directly(UINT message) {
    return message == WM_INITDIALOG ||
           (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
}

// Used space in thousandths of the capacity, 0 for an unlimited one; sizes
// a service should never send (negative, or so large that the product
// would overflow) still give a number in range.
int used_thousandths(std::int64_t used, std::int64_t capacity) {
    if (capacity <= 0 || used <= 0) return 0;
    const auto wide =
        static_cast<unsigned __int128>(used) * 1000 / static_cast<std::uint64_t>(capacity);
    return static_cast<int>(std::min<unsigned __int128>(wide, 1000));
}

}  // namespace

BOOL CColorKey::ProcessWindowMessage(HWND window, UINT message, WPARAM, LPARAM, LRESULT& result,
                                     DWORD) {
    if (message != WM_PAINT) return FALSE;
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    RECT client{};
    ::GetClientRect(window, &client);
    HBRUSH brush = CreateSolidBrush(color_);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    EndPaint(window, &paint);
    result = 0;
    return TRUE;
}

HRESULT CPropertiesDriveDlg::FinalConstruct() {
    try {
        login_mutex_ = std::make_unique<utils::named_mutex>(login_mutex_name);
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

void CPropertiesDriveDlg::FinalRelease() {
    // The sheet that showed them is gone before its last page lets go.
    for (HICON icon : icons_)
        if (icon) DestroyIcon(icon);
}

HRESULT CPropertiesDriveDlg::Initialize(PCIDLIST_ABSOLUTE, IDataObject*, HKEY) {
    return S_OK;
}

HRESULT CPropertiesDriveDlg::AddPages(LPFNADDPROPSHEETPAGE add, LPARAM parameter) {
    if (!add) return E_INVALIDARG;
    register_properties_drive_resources();
    const HMODULE module = win_module::this_module();
    LoadStringW(module, IDS_DRIVE_PAGE_TITLE, title_, static_cast<int>(std::size(title_)));
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_USETITLE | PSP_USECALLBACK;
    page.hInstance = module;
    page.pszTemplate = MAKEINTRESOURCEW(IDD_PROPERTIES_DRIVE);
    page.pszTitle = title_;
    page.pfnDlgProc = DialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    page.pfnCallback = PageCallback;
    HPROPSHEETPAGE made = CreatePropertySheetPageW(&page);
    if (!made) return E_OUTOFMEMORY;
    if (add(made, parameter)) return 1;
    DestroyPropertySheetPage(made);
    return E_FAIL;
}

HRESULT CPropertiesDriveDlg::ReplacePage(EXPPS, LPFNADDPROPSHEETPAGE, LPARAM) {
    return E_NOTIMPL;
}

UINT CALLBACK CPropertiesDriveDlg::PageCallback(HWND, UINT message, PROPSHEETPAGEW* page) {
    auto* self = reinterpret_cast<CPropertiesDriveDlg*>(page->lParam);
    IUnknown* unknown = static_cast<IShellPropSheetExt*>(self);
    switch (message) {
        case PSPCB_ADDREF:
            unknown->AddRef();
            self->added_ = true;
            break;
        case PSPCB_RELEASE:
            unknown->Release();
            break;
        case PSPCB_CREATE:
            if (!self->added_) {
                unknown->AddRef();
                self->added_ = true;
            }
            break;
        default:
            break;
    }
    return 1;
}

INT_PTR CALLBACK CPropertiesDriveDlg::DialogProc(HWND page, UINT message, WPARAM wparam,
                                                 LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CPropertiesDriveDlg*>(
            reinterpret_cast<const PROPSHEETPAGEW*>(lparam)->lParam);
        SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->page_ = page;
    }
    auto* self = reinterpret_cast<CPropertiesDriveDlg*>(GetWindowLongPtrW(page, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(page, DWLP_USER, 0);
        self->page_ = nullptr;
        return FALSE;
    }
    LRESULT result = 0;
    if (!self->ProcessMessage(message, wparam, lparam, result)) return FALSE;
    if (answers_directly(message)) return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
    return TRUE;
}

BOOL CPropertiesDriveDlg::ProcessMessage(UINT message, WPARAM wparam, LPARAM, LRESULT& result) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            result = TRUE;
            return TRUE;
        case fill_message:
            OnFillPage();
            result = 0;
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == IDC_DRIVE_SYNC_MANAGER) {
                CDialogSyncManager manager;
                manager.DoModal(GetActiveWindow());
                result = 0;
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void CPropertiesDriveDlg::OnInitDialog() {
    SetDlgItemTextW(page_, IDC_DRIVE_PRODUCT, product_name);
    const HMODULE module = win_module::this_module();
    for (HICON& icon : icons_)
        if (!icon) icon = LoadIconW(module, MAKEINTRESOURCEW(IDI_PROGRAM));
    HWND sheet = GetParent(page_);
    SendMessageW(sheet, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons_[0]));
    SendMessageW(sheet, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons_[1]));
    SendDlgItemMessageW(page_, IDC_DRIVE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icons_[2]), 0);
    chart_.SubclassWindow(GetDlgItem(page_, IDC_DRIVE_CHART));
    used_key_.SubclassWindow(GetDlgItem(page_, IDC_DRIVE_USED_KEY));
    free_key_.SubclassWindow(GetDlgItem(page_, IDC_DRIVE_FREE_KEY));
    // The page shows before anything is asked of the service.
    PostMessageW(page_, fill_message, 0, 0);
}

HRESULT CPropertiesDriveDlg::EnsureLoggedIn() {
    folder_session& session = current_folder_session();
    try {
        {
            utils::named_mutex_lock hold(*login_mutex_);
            bool logged_in = false;
            try {
                logged_in = session.is_logged_in();
            } catch (...) {
                logged_in = false;
            }
            if (!logged_in && !session.log_in_with_dialog(GetActiveWindow())) return E_FAIL;
        }
        const vfs::client_ptr client = session.get_client();
        if (!client) return E_FAIL;
        user_ = client->get_user_info();
        storage_ = client->get_storage_info();
        return S_OK;
    } catch (const vfs::exception& e) {
        MessageBoxW(page_, e.get_text().c_str(), e.get_title().c_str(), MB_ICONERROR);
        return E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}

void CPropertiesDriveDlg::ShowSize(int bytes_id, int scaled_id, std::int64_t size) {
    const auto shown = static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0));
    SetDlgItemTextW(page_, bytes_id, shell_utils::FormatSize(shown, 0, 0, false).c_str());
    SetDlgItemTextW(page_, scaled_id, shell_utils::FormatSize(shown, 0, 4, true).c_str());
}

void CPropertiesDriveDlg::OnFillPage() {
    if (FAILED(EnsureLoggedIn())) {
        if (page_) PostMessageW(GetParent(page_), WM_CLOSE, 0, 0);
        return;
    }
    if (!page_) return;
    SetDlgItemTextW(page_, IDC_DRIVE_USER_NAME, user_.user_name.c_str());
    SetDlgItemTextW(page_, IDC_DRIVE_LEVEL, user_.level.c_str());
    ShowSize(IDC_DRIVE_USED_BYTES, IDC_DRIVE_USED, storage_.space_used);
    if (storage_.capacity == 0) {
        wchar_t unlimited[64] = {};
        LoadStringW(win_module::this_module(), IDS_DRIVE_UNLIMITED, unlimited,
                    static_cast<int>(std::size(unlimited)));
        SetDlgItemTextW(page_, IDC_DRIVE_FREE_BYTES, unlimited);
        SetDlgItemTextW(page_, IDC_DRIVE_FREE, L"");
        SetDlgItemTextW(page_, IDC_DRIVE_CAPACITY_BYTES, unlimited);
        SetDlgItemTextW(page_, IDC_DRIVE_CAPACITY, L"");
    } else {
        ShowSize(IDC_DRIVE_FREE_BYTES, IDC_DRIVE_FREE, storage_.space_free);
        ShowSize(IDC_DRIVE_CAPACITY_BYTES, IDC_DRIVE_CAPACITY, storage_.capacity);
    }
    chart_.SetValue(used_thousandths(storage_.space_used, storage_.capacity));
}

INT_PTR ShowDriveSheet(HWND owner, const std::function<void(CPropertiesDriveDlg&)>& made) {
    CComObject<CPropertiesDriveDlg>* handler = nullptr;
    if (FAILED(CComObject<CPropertiesDriveDlg>::CreateInstance(&handler))) return -1;
    handler->AddRef();
    if (made) made(*handler);
    std::vector<HPROPSHEETPAGE> pages;
    const auto take = [](HPROPSHEETPAGE page, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(list)->push_back(page);
        return TRUE;
    };
    handler->AddPages(take, reinterpret_cast<LPARAM>(&pages));
    INT_PTR result = -1;
    if (!pages.empty()) {
        PROPSHEETHEADERW header{};
        header.dwSize = sizeof header;
        header.dwFlags = PSH_PROPTITLE;
        header.hwndParent = owner;
        header.pszCaption = product_name;
        header.nPages = static_cast<UINT>(pages.size());
        header.phpage = pages.data();
        result = PropertySheetW(&header);
    }
    handler->Release();
    return result;
}
