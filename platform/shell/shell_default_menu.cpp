// The shell's default menu for a folder's items, driving the folder's
// callback as the shell does.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "com/counted_object.h"
#include "win/shell_dragdrop.h"
#include "win/shell_menu.h"

namespace {

// The shell's own commands, in menu order; an empty verb is a separator.
// A command is offered only when every selected item has the attribute it
// needs (none for a separator and Properties).
struct own_command {
    const char* verb;
    const wchar_t* text;
    SFGAOF needs;
};
constexpr own_command own_commands[] = {
    {"", L"", 0},
    {"cut", L"Cut", SFGAO_CANMOVE},
    {"copy", L"Copy", SFGAO_CANCOPY},
    {"", L"", 0},
    {"delete", L"Delete", SFGAO_CANDELETE},
    {"", L"", 0},
    {"properties", L"Properties", 0},
};
constexpr SFGAOF asked_attributes = SFGAO_CANMOVE | SFGAO_CANCOPY | SFGAO_CANDELETE;

bool is_separator(HMENU menu, UINT position) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    return GetMenuItemInfoW(menu, position, TRUE, &item) && (item.fType & MFT_SEPARATOR);
}

// No separator first, last or next to another, however the folder's items
// and the shell's own fell together.
void tidy_separators(HMENU menu) {
    UINT position = 0;
    bool after_command = false;
    while (position < static_cast<UINT>(std::max(GetMenuItemCount(menu), 0))) {
        const bool separator = is_separator(menu, position);
        if (separator && !after_command) {
            DeleteMenu(menu, position, MF_BYPOSITION);
            continue;
        }
        after_command = !separator;
        ++position;
    }
    const int count = GetMenuItemCount(menu);
    if (count > 0 && is_separator(menu, static_cast<UINT>(count - 1)))
        DeleteMenu(menu, static_cast<UINT>(count - 1), MF_BYPOSITION);
}
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
            const SFGAOF allowed = allowed_attributes();
            for (UINT i = 0; i < own_count; ++i) {
                const own_command& command = own_commands[i];
                if ((command.needs & allowed) != command.needs) continue;
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
        tidy_separators(menu);
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

    // The capabilities that every selected item has, asked once.
    SFGAOF allowed_attributes() {
        if (!allowed_) {
            SFGAOF attributes = asked_attributes;
            std::vector<PCUITEMID_CHILD> items(items_.begin(), items_.end());
            if (items.empty() || FAILED(folder_->GetAttributesOf(static_cast<UINT>(items.size()),
                                                                 items.data(), &attributes)))
                attributes = 0;
            allowed_ = attributes & asked_attributes;
        }
        return *allowed_;
    }

    HRESULT invoke_verb(const std::string& verb, HWND owner) {
        for (const own_command& command : own_commands)
            if (verb == command.verb && (command.needs & allowed_attributes()) != command.needs)
                return E_INVALIDARG;  // not offered for these items
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
    std::optional<SFGAOF> allowed_;
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
