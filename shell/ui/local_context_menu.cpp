#include "ui/local_context_menu.h"

#include "folder/module/site_message_box.h"
#include "ui/bitmap_color.h"
#include "ui/local_items_resources.h"
#include "ui/local_sync_page.h"
#include "ui/properties_sync_resources.h"
#include "win/clipboard.h"
#include "win/shell_assoc.h"
#include "win/shell_dragdrop.h"
#include "win/user.h"

namespace {

constexpr UINT synchronize_offset = 0;
constexpr UINT backup_offset = 1;

// The shell's own property-sheet class of files, which the sheet asks for
// its pages first.
// {21B22460-3AEA-1069-A2DC-08002B30309D}
constexpr CLSID file_sheet_class{
    0x21B22460, 0x3AEA, 0x1069, {0xA2, 0xDC, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D}};

// Sets the page mode for the sheet a command opens, and back to none
// however the opening ends.
class scoped_page_mode {
public:
    explicit scoped_page_mode(int mode) { SetSyncPageMode(mode); }
    ~scoped_page_mode() { SetSyncPageMode(sync_page_mode_none); }
    scoped_page_mode(const scoped_page_mode&) = delete;
    scoped_page_mode& operator=(const scoped_page_mode&) = delete;
};

// The class keys of the first selected item's type, as its folder names
// them; none when the folder has no association object for it.
std::vector<HKEY> type_keys(IDataObject* data) {
    FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_SHELLIDLIST)), nullptr,
                     DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return {};
    const auto lists =
        win_shell::read_id_array(GlobalLock(medium.hGlobal), GlobalSize(medium.hGlobal));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    if (!lists || lists->items.empty()) return {};
    std::vector<HKEY> keys;
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop))) return {};
    IShellFolder* parent = nullptr;
    const auto* folder = reinterpret_cast<PCIDLIST_ABSOLUTE>(lists->folder.data());
    // The desktop itself is the parent of items whose folder list is empty.
    if (ILIsEmpty(folder)) {
        parent = desktop;
        parent->AddRef();
    } else if (FAILED(desktop->BindToObject(folder, nullptr, IID_IShellFolder,
                                            reinterpret_cast<void**>(&parent)))) {
        parent = nullptr;
    }
    desktop->Release();
    if (!parent) return {};
    PCUITEMID_CHILD item = reinterpret_cast<PCUITEMID_CHILD>(lists->items.front().data());
    IQueryAssociations* associations = nullptr;
    if (SUCCEEDED(parent->GetUIObjectOf(nullptr, 1, &item, IID_IQueryAssociations, nullptr,
                                        reinterpret_cast<void**>(&associations)))) {
        HKEY key = nullptr;
        if (SUCCEEDED(associations->GetKey(0x200, ASSOCKEY_CLASS, nullptr, &key)) && key)
            keys.push_back(key);
        key = nullptr;
        if (SUCCEEDED(associations->GetKey(0, ASSOCKEY_BASECLASS, nullptr, &key)) && key)
            keys.push_back(key);
        associations->Release();
    }
    parent->Release();
    return keys;
}

}  // namespace

HRESULT OpenLocalSyncSheet(IDataObject* data, int mode) {
    if (!data) return E_INVALIDARG;
    const std::wstring start_page = shell_utils::LoadShellString(IDS_SYNC_PRODUCT_NAME);
    std::vector<HKEY> keys = type_keys(data);
    HKEY all_objects = nullptr;
    if (RegOpenKeyW(HKEY_CLASSES_ROOT, L"AllFilesystemObjects", &all_objects) == ERROR_SUCCESS)
        keys.push_back(all_objects);
    BOOL shown = FALSE;
    {
        scoped_page_mode chosen(mode);
        shown = SHOpenPropSheetW(nullptr, keys.data(), static_cast<UINT>(keys.size()),
                                 &file_sheet_class, data, nullptr, start_page.c_str());
    }
    for (HKEY key : keys) RegCloseKey(key);
    return shown ? S_OK : E_FAIL;
}

HRESULT CShellContextMenu::FinalConstruct() {
    register_local_items_resources();
    m_bitmap = static_cast<HBITMAP>(LoadImageW(win_module::this_module(),
                                               MAKEINTRESOURCEW(IDB_LOCAL_MENU), IMAGE_BITMAP, 0, 0,
                                               LR_CREATEDIBSECTION | LR_LOADTRANSPARENT));
    if (m_bitmap) ReplaceBitmapColor(m_bitmap, RGB(255, 0, 255), GetSysColor(COLOR_3DFACE));
    return S_OK;
}

void CShellContextMenu::FinalRelease() {
    if (m_data) m_data->Release();
    m_data = nullptr;
    if (m_bitmap) DeleteObject(m_bitmap);
    m_bitmap = nullptr;
}

HRESULT CShellContextMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
    // Held until the menu is gone: the command runs long after this call,
    // when the caller may have let go of its own reference.
    if (data) data->AddRef();
    if (m_data) m_data->Release();
    m_data = data;
    return S_OK;
}

HRESULT CShellContextMenu::QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last,
                                            UINT flags) {
    if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(0, 0, 0);
    // An id beyond the caller's last, like a refused insertion, is a
    // failure: the entry is not made, and those made before it stay.
    const auto insert = [&](UINT text_id, UINT offset) {
        if (last < first || offset > last - first) return false;
        std::wstring text = shell_utils::LoadShellString(text_id);
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_STRING | MIIM_ID;
        item.wID = first + offset;
        item.dwTypeData = text.data();
        if (!InsertMenuItemW(menu, index, TRUE, &item)) return false;
        SetMenuItemBitmaps(menu, index, MF_BYPOSITION, m_bitmap, nullptr);
        return true;
    };
    // Each goes in at the same place, so "Backup" stands above.
    if (!insert(IDS_LOCAL_SYNCHRONIZE, synchronize_offset) ||
        !insert(IDS_LOCAL_BACKUP, backup_offset))
        return E_FAIL;
    return MAKE_HRESULT(0, 0, 2);
}

HRESULT CShellContextMenu::InvokeCommand(LPCMINVOKECOMMANDINFO info) {
    if (!info || !IS_INTRESOURCE(info->lpVerb)) return E_INVALIDARG;
    const auto offset = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(info->lpVerb));
    if (offset > backup_offset) return E_INVALIDARG;
    if (!m_data) return E_FAIL;
    OpenLocalSyncSheet(
        m_data, offset == synchronize_offset ? sync_page_mode_synchronize : sync_page_mode_backup);
    return S_OK;
}

HRESULT CShellContextMenu::GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) {
    return E_INVALIDARG;
}
