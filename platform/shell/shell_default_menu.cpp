// The shell's default menu for a folder's items, driving the folder's
// callback as the shell does.
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "com/counted_object.h"
#include "win/shell_dragdrop.h"
#include "win/shell_menu.h"

namespace {

// The shell's own commands, in menu order; an empty verb is a separator.
struct own_command {
    const char* verb;
    const wchar_t* text;
};
constexpr own_command own_commands[] = {
    {"", L""},
    {"cut", L"Cut"},
    {"copy", L"Copy"},
    {"", L""},
    {"delete", L"Delete"},
    {"", L""},
    {"properties", L"Properties"},
};
constexpr UINT own_count = sizeof own_commands / sizeof own_commands[0];

class default_folder_menu final
    : public win_platform::counted_object<IContextMenu, IID_IContextMenu> {
public:
    default_folder_menu(PCIDLIST_ABSOLUTE folder_list, HWND owner, UINT count,
                        PCUITEMID_CHILD_ARRAY items, IShellFolder* folder, LPFNDFMCALLBACK callback)
        : folder_list_(ILClone(folder_list)), owner_(owner), folder_(folder), callback_(callback) {
        folder_->AddRef();
        for (UINT i = 0; i < count && items; ++i) items_.push_back(ILClone(items[i]));
    }

    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last,
                                               UINT flags) override {
        if (!data_) {
            std::vector<PCUITEMID_CHILD> items(items_.begin(), items_.end());
            folder_->GetUIObjectOf(owner_, static_cast<UINT>(items.size()), items.data(),
                                   IID_IDataObject, nullptr, reinterpret_cast<void**>(&data_));
        }
        QCMINFO merge{menu, index, first, last, nullptr};
        if (callback_) {
            const HRESULT merged = callback_(folder_, owner_, data_, DFM_MERGECONTEXTMENU, flags,
                                             reinterpret_cast<LPARAM>(&merge));
            if (FAILED(merged)) return merged;
        }
        first_ = first;
        callback_end_ = merge.idCmdFirst;
        UINT next = merge.idCmdFirst;
        own_first_ = 0;
        if (!(flags & CMF_DEFAULTONLY) && next + own_count - 1 <= last) {
            own_first_ = next;
            for (UINT i = 0; i < own_count; ++i) {
                const own_command& command = own_commands[i];
                MENUITEMINFOW item{};
                item.cbSize = sizeof item;
                if (!*command.verb) {
                    item.fMask = MIIM_FTYPE;
                    item.fType = MFT_SEPARATOR;
                } else {
                    item.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
                    item.wID = next + i;
                    item.dwTypeData = const_cast<LPWSTR>(command.text);
                }
                if (!InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &item))
                    return E_FAIL;
            }
            next += own_count;
        }
        return MAKE_HRESULT(0, 0, next - first);
    }

    HRESULT STDMETHODCALLTYPE InvokeCommand(LPCMINVOKECOMMANDINFO info) override {
        if (!info) return E_INVALIDARG;
        if (!IS_INTRESOURCE(info->lpVerb)) return invoke_verb(info->lpVerb, info->hwnd);
        const UINT id = first_ + static_cast<UINT>(reinterpret_cast<ULONG_PTR>(info->lpVerb));
        if (id < callback_end_) {
            if (!callback_) return E_INVALIDARG;
            const HRESULT result =
                callback_(folder_, info->hwnd, data_, DFM_INVOKECOMMAND, id - first_, 0);
            return result == S_FALSE ? S_OK : result;
        }
        if (own_first_ && id >= own_first_ && id < own_first_ + own_count)
            return invoke_verb(own_commands[id - own_first_].verb, info->hwnd);
        return E_INVALIDARG;
    }

    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) override {
        return E_NOTIMPL;
    }

private:
    ~default_folder_menu() {
        if (data_) data_->Release();
        folder_->Release();
        ILFree(folder_list_);
        for (LPITEMIDLIST item : items_) ILFree(item);
    }

    HRESULT invoke_verb(const std::string& verb, HWND owner) {
        if (verb == "delete" || verb == "properties") {
            if (!callback_) return S_OK;
            const WPARAM command = verb == "delete" ? DFM_CMD_DELETE : DFM_CMD_PROPERTIES;
            const HRESULT result = callback_(folder_, owner, data_, DFM_INVOKECOMMAND, command, 0);
            return result == S_FALSE ? S_OK : result;
        }
        if (verb == "cut" || verb == "copy") return put_on_clipboard(verb == "cut");
        return E_INVALIDARG;
    }

    HRESULT put_on_clipboard(bool cut) {
        if (!data_) return E_FAIL;
        HGLOBAL block = GlobalAlloc(GHND, sizeof(DWORD));
        if (!block) return E_OUTOFMEMORY;
        const DWORD effect = cut ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
        std::memcpy(GlobalLock(block), &effect, sizeof effect);
        GlobalUnlock(block);
        FORMATETC format{
            static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT)), nullptr,
            DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium{};
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = block;
        const HRESULT result = data_->SetData(&format, &medium, TRUE);
        if (FAILED(result)) {
            GlobalFree(block);
            return result;
        }
        return OleSetClipboard(data_);
    }

    LPITEMIDLIST folder_list_;
    HWND owner_;
    IShellFolder* folder_;
    LPFNDFMCALLBACK callback_;
    std::vector<LPITEMIDLIST> items_;
    IDataObject* data_ = nullptr;
    UINT first_ = 0;
    UINT callback_end_ = 0;
    UINT own_first_ = 0;
};

}  // namespace

HRESULT CDefFolderMenu_Create2(PCIDLIST_ABSOLUTE folder_list, HWND owner, UINT count,
                               PCUITEMID_CHILD_ARRAY items, IShellFolder* folder,
                               LPFNDFMCALLBACK callback, UINT, const HKEY*, IContextMenu** menu) {
    if (!menu) return E_INVALIDARG;
    *menu = nullptr;
    if (!folder) return E_INVALIDARG;
    *menu = new default_folder_menu(folder_list, owner, count, items, folder, callback);
    return S_OK;
}
