#include "ui/properties_general.h"

#include <boost/algorithm/string/replace.hpp>
#include <boost/pointer_cast.hpp>
#include <chrono>
#include <stdexcept>

#include "folder/item_ids/utf16_text.h"
#include "folder/module/display_format.h"
#include "folder/module/failure_text.h"
#include "folder/module/site_message_box.h"
#include "vfs/file.h"
#include "vfs/service_address.h"
#include "win/shell.h"

namespace {

// A worker's request to run something on the page's thread (lparam: the
// function), so that what it shows meets the user's edits in one order.
constexpr UINT run_on_page_message = WM_APP + 0x121;

// "%d" placeholders filled in order.
std::wstring fill_numbers(std::wstring format, std::initializer_list<long long> numbers) {
    for (const long long number : numbers) {
        const size_t at = format.find(L"%d");
        if (at == std::wstring::npos) break;
        format.replace(at, 2, std::to_wstring(number));
    }
    return format;
}

std::wstring counts_text(UINT format_id, long long folders, long long files) {
    return fill_numbers(shell_utils::LoadShellString(format_id), {folders, files});
}

std::wstring control_text(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));
    return text;
}

}  // namespace

// The page ---------------------------------------------------------------

CPropertiesItemGeneralDlg::CPropertiesItemGeneralDlg(const sheet_selection& selection,
                                                     UINT dialog_id)
    : folder_directory_(selection.folder_directory),
      folder_ids_(selection.folder_ids),
      folder_count_(selection.folder_count),
      file_count_(selection.file_count),
      theme_brush_(selection.theme_brush),
      large_icon_(selection.large_icon),
      small_icon_(selection.small_icon),
      sheet_(selection.sheet),
      dialog_id_(dialog_id) {
    register_properties_general_resources();
    std::vector<LPCITEMIDLIST> lists;
    for (UINT i = 0; i < selection.items.GetSize(); ++i) lists.push_back(selection.items[i]);
    items_.Assign(lists.data(), static_cast<UINT>(lists.size()));
    for (UINT i = 0; i < items_.GetSize(); ++i) ids_.push_back(pidl_id(Record(i)));
}

CPropertiesItemGeneralDlg::~CPropertiesItemGeneralDlg() {
    Close();
}

void CPropertiesItemGeneralDlg::Close() {
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    // Without a window nothing is served any more: a worker's call to the
    // page fails at once, so the workers end by themselves.
    stop_ = true;
    for (worker& w : workers_)
        if (w.thread.joinable()) w.thread.join();
}

HWND CPropertiesItemGeneralDlg::Create(HWND tab_control) {
    return do_create(win_module::this_module(), static_cast<WORD>(dialog_id_), tab_control, 0);
}

bool CPropertiesItemGeneralDlg::WorkersRunning() const {
    for (const worker& w : workers_)
        if (!*w.done) return true;
    return false;
}

const PIDLDATA& CPropertiesItemGeneralDlg::Record(UINT index) const {
    return *reinterpret_cast<const PIDLDATA*>(ILFindLastID(items_[index]));
}

vfs::item_ptr CPropertiesItemGeneralDlg::LookupItem(UINT index) const {
    vfs::item_ptr found = folder_directory_->get_item_by_id(ids_.at(index), false);
    if (!found) throw std::runtime_error("The item is no longer in its folder.");
    return found;
}

void CPropertiesItemGeneralDlg::ShowFailure(UINT caption_id) {
    const failure_text failure = current_failure();
    shell_utils::MessageBoxCaptionId(page_window_, nullptr, caption_id, failure.text.c_str(),
                                     MB_ICONERROR);
}

void CPropertiesItemGeneralDlg::StartWorker(std::function<void()> work) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    worker w;
    w.done = done;
    w.thread = std::thread([work = std::move(work), done] {
        work();
        *done = true;
    });
    workers_.push_back(std::move(w));
}

bool CPropertiesItemGeneralDlg::RunOnPage(const std::function<void()>& action) {
    if (stop_) return false;
    return SendMessageW(page_window_, run_on_page_message, 0, reinterpret_cast<LPARAM>(&action)) !=
           0;
}

void CPropertiesItemGeneralDlg::SetText(int id, const std::wstring& text) {
    showing_ = true;
    SetDlgItemTextW(m_hWnd, id, text.c_str());
    showing_ = false;
}

void CPropertiesItemGeneralDlg::ShowControl(int id, bool shown) {
    if (HWND control = GetDlgItem(id)) ::ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
}

std::vector<HWND> CPropertiesItemGeneralDlg::Controls(std::initializer_list<int> ids) const {
    std::vector<HWND> found;
    for (const int id : ids)
        if (HWND control = GetDlgItem(id)) found.push_back(control);
    return found;
}

void CPropertiesItemGeneralDlg::MoveUp(const std::vector<HWND>& controls, int pixels) {
    for (HWND control : controls) {
        RECT rect{};
        ::GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        ::SetWindowPos(control, nullptr, rect.left, rect.top - pixels, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CPropertiesItemGeneralDlg::EnableApply() {
    if (!filling_) enable_sheet_apply(sheet_);
}

void CPropertiesItemGeneralDlg::DisableApply() {
    if (sheet_) EnableWindow(::GetDlgItem(sheet_, sheet_apply_button_id), FALSE);
}

// Name, type and location -------------------------------------------------

void CPropertiesItemGeneralDlg::LoadName() {
    HWND name = GetDlgItem(IDC_GENERAL_NAME);
    if (ItemCount() == 1) {
        SetText(IDC_GENERAL_NAME, pidl_name(Record(0)));
        return;
    }
    SetText(IDC_GENERAL_NAME, counts_text(IDS_FOLDERS_FILES, folder_count_, file_count_));
    // Several items cannot be renamed: the name shows as plain text.
    ::SendMessageW(name, EM_SETREADONLY, TRUE, 0);
    SetWindowLongW(name, GWL_STYLE,
                   GetWindowLongW(name, GWL_STYLE) & ~static_cast<LONG>(WS_BORDER | WS_TABSTOP));
    SetWindowLongW(name, GWL_EXSTYLE,
                   GetWindowLongW(name, GWL_EXSTYLE) & ~static_cast<LONG>(WS_EX_CLIENTEDGE));
    ::SetWindowPos(name, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void CPropertiesItemGeneralDlg::LoadType() {
    if (ItemCount() == 1) {
        SetText(IDC_GENERAL_TYPE, pidl_type_name(Record(0)));
        return;
    }
    const std::wstring first = pidl_type_name(Record(0));
    for (UINT i = 1; i < ItemCount(); ++i) {
        if (pidl_type_name(Record(i)) != first) {
            SetText(IDC_GENERAL_TYPE, shell_utils::LoadShellString(IDS_MULTIPLE_TYPES));
            return;
        }
    }
    SetText(IDC_GENERAL_TYPE, shell_utils::FormatWithArguments(
                                  shell_utils::LoadShellString(IDS_ALL_OF_TYPE), {first}));
}

void CPropertiesItemGeneralDlg::LoadLocation() {
    std::wstring location = shell_utils::LoadShellString(IDS_PRODUCT_NAME) + L"\\";
    if (Record(0).date_deleted != -1) {
        // An item of the trash: where it was before it was deleted.
        std::wstring path;
        try {
            path = LookupItem(0)->get_path();
        } catch (...) {
            ShowFailure(IDS_ERROR_LOADING_LINK);
            return;
        }
        const size_t last = path.rfind(L'/');
        path = last == std::wstring::npos ? std::wstring() : path.substr(0, last);
        boost::replace_all(path, L"/", L"\\");
        while (!path.empty() && path.front() == L'\\') path.erase(0, 1);
        location += path;
    } else {
        location += folder_ids_.GetPath();
    }
    SetText(IDC_GENERAL_LOCATION, location);
}

// Size ----------------------------------------------------------------------

void CPropertiesItemGeneralDlg::ShowSize(std::uint64_t size) {
    SetText(IDC_GENERAL_SIZE, shell_utils::FormatSize(size, 0, 4, false) + L" (" +
                                  shell_utils::FormatSize(size, 0, 0, true) + L")");
}

namespace {

struct size_walk {
    std::uint64_t total = 0;
    long long folders = 0;
    long long files = 0;
};

}  // namespace

void CPropertiesItemGeneralDlg::StartSizeWorker() {
    std::uint64_t known = 0;
    for (UINT i = 0; i < ItemCount(); ++i)
        if (Record(i).type == vfs::item_type_file && Record(i).size > 0)
            known += static_cast<std::uint64_t>(Record(i).size);
    std::vector<UINT> folders;
    for (UINT i = 0; i < ItemCount(); ++i)
        if (Record(i).type == vfs::item_type_directory) folders.push_back(i);

    StartWorker([this, known, folders] {
        auto show = [this](const size_walk& walk) {
            RunOnPage([this, walk] {
                ShowSize(walk.total);
                ShowContents(static_cast<int>(walk.folders), static_cast<int>(walk.files));
            });
        };
        size_walk walk;
        show(walk);
        walk.total = known;
        show(walk);
        try {
            std::function<void(const vfs::directory_ptr&)> visit =
                [&](const vfs::directory_ptr& directory) {
                    std::vector<vfs::directory_ptr> below;
                    for (const vfs::item_ptr& child : directory->list_items()) {
                        if (auto file = boost::dynamic_pointer_cast<vfs::file>(child)) {
                            const std::int64_t size = file->get_size();
                            if (size > 0) walk.total += static_cast<std::uint64_t>(size);
                            ++walk.files;
                        } else {
                            ++walk.folders;
                            if (auto sub = boost::dynamic_pointer_cast<vfs::directory>(child))
                                below.push_back(sub);
                        }
                    }
                    show(walk);
                    for (const vfs::directory_ptr& sub : below) {
                        if (stop_) return;
                        visit(sub);
                        if (stop_) return;
                    }
                };
            for (const UINT index : folders) {
                if (stop_) return;
                auto directory = boost::dynamic_pointer_cast<vfs::directory>(LookupItem(index));
                if (directory) visit(directory);
            }
        } catch (...) {
            if (!stop_) ShowFailure(IDS_ERROR_CALCULATING_SIZE);
        }
    });
}

// Date and link --------------------------------------------------------------

bool CPropertiesItemGeneralDlg::LoadLink() {
    if (ItemCount() != 1) return false;
    try {
        SetText(IDC_GENERAL_LINK, LookupItem(0)->get_link());
        return true;
    } catch (...) {
        ShowFailure(IDS_ERROR_LOADING_LINK);
        return false;
    }
}

void CPropertiesItemGeneralDlg::ShowDate(bool shown, double date) {
    ShowControl(IDC_GENERAL_DATE_LABEL, shown);
    ShowControl(IDC_GENERAL_DATE, shown);
    if (!shown) return;
    SetText(IDC_GENERAL_DATE, date == -1 ? shell_utils::LoadShellString(IDS_UNKNOWN_DATE)
                                         : shell_utils::FormatUtcDateAsLocal(date));
}

void CPropertiesItemGeneralDlg::ShowLink(bool shown) {
    ShowControl(IDC_GENERAL_LINK_LABEL, shown);
    ShowControl(IDC_GENERAL_LINK, shown);
}

// Access and description -------------------------------------------------------

void CPropertiesItemGeneralDlg::ShowAccess(int access) {
    CheckDlgButton(m_hWnd, IDC_GENERAL_PUBLIC, access == vfs::access_public);
    CheckDlgButton(m_hWnd, IDC_GENERAL_HIDDEN, access == vfs::access_hidden);
    CheckDlgButton(m_hWnd, IDC_GENERAL_PRIVATE, access == vfs::access_private);
}

int CPropertiesItemGeneralDlg::CheckedAccess() const {
    if (IsDlgButtonChecked(m_hWnd, IDC_GENERAL_PUBLIC)) return vfs::access_public;
    if (IsDlgButtonChecked(m_hWnd, IDC_GENERAL_HIDDEN)) return vfs::access_hidden;
    return vfs::access_private;
}

bool CPropertiesItemGeneralDlg::StartAccessWorker() {
    if (Mixed()) return false;
    access_touched_ = false;
    StartWorker([this] {
        try {
            int access = access_differs;
            for (UINT i = 0; i < ItemCount(); ++i) {
                if (stop_ || access_touched_) return;
                const int value = LookupItem(i)->get_access();
                if (i == 0) {
                    access = value;
                } else if (value != access) {
                    access = access_differs;
                    break;
                }
            }
            // The flag is read again on the page's thread, where the
            // user's clicks are handled, so a click never loses to this.
            RunOnPage([this, access] {
                if (!access_touched_) ShowAccess(access);
            });
        } catch (...) {
            if (!stop_) ShowFailure(IDS_ERROR_LOADING_PERMISSIONS);
        }
    });
    return true;
}

bool CPropertiesItemGeneralDlg::StartDescriptionWorker() {
    if (Mixed()) return false;
    description_touched_ = false;
    StartWorker([this] {
        try {
            std::wstring description;
            for (UINT i = 0; i < ItemCount(); ++i) {
                if (stop_ || description_touched_) return;
                const std::wstring value = LookupItem(i)->get_description();
                if (i == 0)
                    description = value;
                else if (value != description)
                    return;
            }
            RunOnPage([this, description] {
                if (!description_touched_) SetText(IDC_GENERAL_DESCRIPTION, description);
            });
        } catch (...) {
            if (!stop_) ShowFailure(IDS_ERROR_LOADING_DESCRIPTION);
        }
    });
    return true;
}

// Applying --------------------------------------------------------------------

bool CPropertiesItemGeneralDlg::ApplyName() {
    if (ItemCount() != 1) return true;
    const std::wstring new_name = control_text(m_hWnd, IDC_GENERAL_NAME);
    PIDLDATA* record = reinterpret_cast<PIDLDATA*>(ILFindLastID(items_[0]));
    const std::wstring old_name = pidl_name(*record);
    if (new_name == old_name) return true;
    try {
        folder_directory_->rename_item(old_name, new_name);
    } catch (...) {
        ShowFailure(IDS_ERROR_LOADING_DESCRIPTION);
        return false;
    }
    const CItemIdList before = folder_ids_ + CItemIdList(*record);
    shell_text::write_field(record->name, std::size(record->name), new_name);
    const CItemIdList after = folder_ids_ + CItemIdList(*record);
    LPITEMIDLIST one = before.CreatePidl();
    LPITEMIDLIST two = after.CreatePidl();
    const LONG event =
        record->type == vfs::item_type_directory ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM;
    if (one && two) SHChangeNotify(event, SHCNF_IDLIST | SHCNF_FLUSH, one, two);
    CoTaskMemFree(one);
    CoTaskMemFree(two);
    return true;
}

bool CPropertiesItemGeneralDlg::ApplyAccess() {
    const int access = CheckedAccess();
    try {
        for (UINT i = 0; i < ItemCount(); ++i) LookupItem(i)->set_access(access);
        return true;
    } catch (...) {
        ShowFailure(IDS_ERROR_LOADING_PERMISSIONS);
        return false;
    }
}

bool CPropertiesItemGeneralDlg::ApplyDescription() {
    const std::wstring description = control_text(m_hWnd, IDC_GENERAL_DESCRIPTION);
    try {
        for (UINT i = 0; i < ItemCount(); ++i) LookupItem(i)->set_description(description);
        return true;
    } catch (...) {
        ShowFailure(IDS_ERROR_LOADING_DESCRIPTION);
        return false;
    }
}

// Messages ----------------------------------------------------------------------

void CPropertiesItemGeneralDlg::on_init_dialog() {
    page_window_ = m_hWnd;
    if (small_icon_)
        ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));
    if (large_icon_)
        ::SendMessageW(GetDlgItem(IDC_GENERAL_ICON), STM_SETICON,
                       reinterpret_cast<WPARAM>(large_icon_), 0);
}

LRESULT CPropertiesItemGeneralDlg::on_control_color(HDC dc, HWND control) {
    // The page sits on the tab control's themed background: the brush is
    // aligned to the tab control, so every control shows its part of it.
    RECT rect{};
    ::GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&rect), 2);
    SetBrushOrgEx(dc, -rect.left, -rect.top, nullptr);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(theme_brush_);
}

void CPropertiesItemGeneralDlg::stop_workers() {
    stop_ = true;
    // The workers show what they found through this thread, so it serves
    // them while it waits; a quit met meanwhile is put back for the loop
    // that ends with it.
    bool quit = false;
    WPARAM quit_code = 0;
    for (;;) {
        if (!WorkersRunning()) break;
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                quit_code = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    for (worker& w : workers_)
        if (w.thread.joinable()) w.thread.join();
    if (quit) PostQuitMessage(static_cast<int>(quit_code));
}

BOOL CPropertiesItemGeneralDlg::ProcessWindowMessage(HWND, UINT message, WPARAM wparam,
                                                     LPARAM lparam, LRESULT& result, DWORD) {
    switch (message) {
        case WM_INITDIALOG:
            on_init_dialog();
            result = TRUE;
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORDLG:
            if (!theme_brush_) return FALSE;
            result = on_control_color(
                reinterpret_cast<HDC>(wparam),
                reinterpret_cast<HWND>(lparam) ? reinterpret_cast<HWND>(lparam) : m_hWnd);
            return TRUE;
        case run_on_page_message:
            (*reinterpret_cast<const std::function<void()>*>(lparam))();
            result = 1;
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wparam);
            const int code = HIWORD(wparam);
            if (id == IDOK) {
                if (SUCCEEDED(Apply())) DestroyWindow();
            } else if (id == IDCANCEL) {
                DestroyWindow();
            } else if (id == sheet_apply_button_id) {
                Apply();
            } else if (!OnCommand(id, code)) {
                return FALSE;
            }
            result = 0;
            return TRUE;
        }
        case WM_DESTROY:
            stop_workers();
            return FALSE;
        default:
            return FALSE;
    }
}

bool CPropertiesItemGeneralDlg::HasFocus(int id) const {
    return ::GetFocus() == GetDlgItem(id);
}

bool CPropertiesItemGeneralDlg::ApplySharedSteps() {
    // Each step that succeeds is done with; one that fails stays pending,
    // so the next Apply does only what is left.
    bool failed = false;
    RunStep(
        name_changed_, [this] { return ApplyName(); }, failed);
    RunStep(
        access_changed_, [this] { return ApplyAccess(); }, failed);
    RunStep(
        description_changed_, [this] { return ApplyDescription(); }, failed);
    return failed;
}

HRESULT CPropertiesItemGeneralDlg::Applied(bool failed) {
    if (failed) return E_FAIL;
    DisableApply();
    return S_OK;
}

void CPropertiesItemGeneralDlg::StartAccessAndDescription(bool offered) {
    if (!offered || !StartAccessWorker())
        for (const int id : {IDC_GENERAL_ACCESS_LABEL, IDC_GENERAL_PUBLIC, IDC_GENERAL_HIDDEN,
                             IDC_GENERAL_PRIVATE})
            ShowControl(id, false);
    if (!offered || !StartDescriptionWorker()) {
        ShowControl(IDC_GENERAL_DESCRIPTION_LABEL, false);
        ShowControl(IDC_GENERAL_DESCRIPTION, false);
    }
}

void CPropertiesItemGeneralDlg::RunStep(bool& changed, const std::function<bool()>& step,
                                        bool& failed) {
    if (!changed) return;
    if (step())
        changed = false;
    else
        failed = true;
}

bool CPropertiesItemGeneralDlg::HandleSharedCommand(int id, int code) {
    switch (id) {
        case IDC_GENERAL_NAME:
            if (code == EN_CHANGE && !showing_ && HasFocus(id)) {
                name_changed_ = true;
                EnableApply();
            }
            return true;
        case IDC_GENERAL_DESCRIPTION:
            if (code == EN_CHANGE && !showing_ && HasFocus(id)) {
                description_changed_ = true;
                description_touched_ = true;
                EnableApply();
            }
            return true;
        case IDC_GENERAL_PUBLIC:
        case IDC_GENERAL_HIDDEN:
        case IDC_GENERAL_PRIVATE:
            // Every button the user clicks is the user's choice: a loader
            // still running leaves it alone.
            if (code == BN_CLICKED) {
                CheckRadioButton(m_hWnd, IDC_GENERAL_PUBLIC, IDC_GENERAL_PRIVATE, id);
                access_changed_ = true;
                access_touched_ = true;
                EnableApply();
            }
            return true;
        default:
            return false;
    }
}

// The file page ------------------------------------------------------------------

CPropertiesFileGeneralDlg::CPropertiesFileGeneralDlg(const sheet_selection& selection)
    : CPropertiesItemGeneralDlg(selection, IDD) {}

std::wstring CPropertiesFileGeneralDlg::SellFilesAddress() {
    return text_from_utf8(vfs_calvimora::service_base_address()) + L"/sellfiles";
}

HRESULT CPropertiesFileGeneralDlg::Fill() {
    if (!folder_directory_ || ItemCount() == 0 || !m_hWnd) return E_FAIL;
    filling_ = true;
    LoadName();
    LoadType();
    LoadLocation();
    StartSizeWorker();
    const bool one_file = ItemCount() == 1 && file_count_ == 1;
    ShowControl(IDC_GENERAL_LINE_SIZE, one_file);
    ShowControl(IDC_GENERAL_LINE_LINK, !Mixed());
    const bool link = LoadLink();
    ShowDate(link, Record(0).date_modified);
    ShowLink(link);
    StartAccessAndDescription(true);
    ShowControl(IDC_GENERAL_LINE_ACCESS, !Mixed());
    SetUpPrice();
    if (ItemCount() > 1) {
        std::vector<HWND> lower = Controls(
            {IDC_GENERAL_LINE_LINK, IDC_GENERAL_ACCESS_LABEL, IDC_GENERAL_PUBLIC,
             IDC_GENERAL_HIDDEN, IDC_GENERAL_PRIVATE, IDC_GENERAL_LINE_ACCESS,
             IDC_GENERAL_PRICE_LABEL, IDC_GENERAL_FREE, IDC_GENERAL_PRICED, IDC_GENERAL_PRICE,
             IDC_GENERAL_PRICE_NOTE, IDC_GENERAL_DESCRIPTION_LABEL, IDC_GENERAL_DESCRIPTION});
        if (link_.m_hWnd) lower.push_back(link_.m_hWnd);
        MoveUp(lower, 50);
    }
    filling_ = false;
    return S_OK;
}

void CPropertiesFileGeneralDlg::SetUpPrice() {
    price_edit_.SubclassWindow(GetDlgItem(IDC_GENERAL_PRICE));
    if (Mixed()) {
        for (const int id : {IDC_GENERAL_PRICE_LABEL, IDC_GENERAL_FREE, IDC_GENERAL_PRICED,
                             IDC_GENERAL_PRICE, IDC_GENERAL_PRICE_NOTE})
            ShowControl(id, false);
        return;
    }
    ::EnableWindow(GetDlgItem(IDC_GENERAL_PRICE), FALSE);
    const RECT rect{220, 345, 370, 361};
    link_.Create(m_hWnd, rect, WS_CHILD | WS_VISIBLE | SS_NOTIFY);
    link_.SetColor(GetSysColor(COLOR_HOTLIGHT));
    link_.SetText(SellFilesAddress(), CUrlStatic::link_address);
    price_touched_ = false;
    StartPriceWorker();
}

void CPropertiesFileGeneralDlg::StartPriceWorker() {
    StartWorker([this] {
        try {
            double price = 0;
            bool differs = false;
            for (UINT i = 0; i < ItemCount(); ++i) {
                if (stop_ || price_touched_) return;
                auto file = boost::dynamic_pointer_cast<vfs::file>(LookupItem(i));
                if (!file) return;
                const double value = file->get_price();
                if (i == 0)
                    price = value;
                else if (value != price)
                    differs = true;
                if (differs) break;
            }
            RunOnPage([this, price, differs] {
                if (!price_touched_) ShowPrice(price, differs);
            });
        } catch (...) {
            if (!stop_) ShowFailure(IDS_ERROR_LOADING_PRICE);
        }
    });
}

void CPropertiesFileGeneralDlg::ShowPrice(double price, bool differs) {
    if (differs) return;
    CheckRadioButton(m_hWnd, IDC_GENERAL_FREE, IDC_GENERAL_PRICED,
                     price != 0 ? IDC_GENERAL_PRICED : IDC_GENERAL_FREE);
    ::EnableWindow(GetDlgItem(IDC_GENERAL_PRICE), price != 0);
    showing_ = true;
    price_edit_.SetAmount(price);
    showing_ = false;
}

bool CPropertiesFileGeneralDlg::OnCommand(int id, int code) {
    switch (id) {
        case IDC_GENERAL_FREE:
        case IDC_GENERAL_PRICED:
            if (code == BN_CLICKED) {
                CheckRadioButton(m_hWnd, IDC_GENERAL_FREE, IDC_GENERAL_PRICED, id);
                price_changed_ = true;
                price_touched_ = true;
                ::EnableWindow(GetDlgItem(IDC_GENERAL_PRICE), id == IDC_GENERAL_PRICED);
                EnableApply();
            }
            return true;
        case IDC_GENERAL_PRICE:
            if (code == EN_CHANGE && !showing_ && HasFocus(id)) {
                price_changed_ = true;
                price_touched_ = true;
                EnableApply();
            }
            return true;
        default:
            return HandleSharedCommand(id, code);
    }
}

bool CPropertiesFileGeneralDlg::ApplyPrice() {
    try {
        double price = 0;
        if (IsDlgButtonChecked(m_hWnd, IDC_GENERAL_PRICED)) {
            const std::optional<double> amount = price_edit_.GetAmount();
            if (!amount) throw std::invalid_argument("The price is not an amount of money.");
            price = *amount;
        }
        for (UINT i = 0; i < ItemCount(); ++i) {
            auto file = boost::dynamic_pointer_cast<vfs::file>(LookupItem(i));
            if (!file) return false;
            file->set_price(price);
        }
        return true;
    } catch (...) {
        ShowFailure(IDS_ERROR_LOADING_PRICE);
        return false;
    }
}

HRESULT CPropertiesFileGeneralDlg::Apply() {
    bool failed = ApplySharedSteps();
    RunStep(
        price_changed_, [this] { return ApplyPrice(); }, failed);
    return Applied(failed);
}

// The folder page ----------------------------------------------------------------

CPropertiesFolderGeneralDlg::CPropertiesFolderGeneralDlg(const sheet_selection& selection)
    : CPropertiesItemGeneralDlg(selection, IDD) {}

bool CPropertiesFolderGeneralDlg::Editable() {
    for (UINT i = 0; i < ItemCount(); ++i)
        if (Record(i).type == vfs::item_type_directory && Record(i).is_fixed_folder) return false;
    return true;
}

HRESULT CPropertiesFolderGeneralDlg::Fill() {
    if (!folder_directory_ || ItemCount() == 0 || !m_hWnd) return E_FAIL;
    filling_ = true;
    editable_ = Editable();
    LoadName();
    LoadType();
    LoadLocation();
    StartSizeWorker();
    const bool lines = editable_ && !Mixed();
    ShowControl(IDC_GENERAL_LINE_SIZE, lines);
    ShowControl(IDC_GENERAL_LINE_LINK, lines);
    const bool link = editable_ && LoadLink();
    ShowDate(link, Record(0).date_created);
    ShowLink(link);
    // The contents row counts what one folder holds; for several items the
    // counts go into the name.
    ShowControl(IDC_GENERAL_CONTENTS_LABEL, ItemCount() < 2);
    ShowControl(IDC_GENERAL_CONTENTS, ItemCount() < 2);
    StartAccessAndDescription(editable_);
    ShowControl(IDC_GENERAL_LINE_ACCESS, editable_ && folder_count_ <= 1 && !Mixed());
    if (folder_count_ > 1)
        MoveUp(Controls({IDC_GENERAL_LINE_LINK, IDC_GENERAL_ACCESS_LABEL, IDC_GENERAL_PUBLIC,
                         IDC_GENERAL_HIDDEN, IDC_GENERAL_PRIVATE, IDC_GENERAL_LINE_SIZE,
                         IDC_GENERAL_DESCRIPTION_LABEL, IDC_GENERAL_DESCRIPTION}),
               65);
    filling_ = false;
    return S_OK;
}

HRESULT CPropertiesFolderGeneralDlg::Apply() {
    return Applied(ApplySharedSteps());
}

bool CPropertiesFolderGeneralDlg::OnCommand(int id, int code) {
    return HandleSharedCommand(id, code);
}

void CPropertiesFolderGeneralDlg::ShowContents(int folders, int files) {
    SetText(IDC_GENERAL_CONTENTS, counts_text(IDS_CONTENTS_FOLDERS_FILES, folders, files));
    if (ItemCount() >= 2)
        SetText(IDC_GENERAL_NAME,
                counts_text(IDS_FOLDERS_FILES, folder_count_ + folders, file_count_ + files));
}
