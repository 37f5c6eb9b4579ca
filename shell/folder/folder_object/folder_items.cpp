// The folder's items as Explorer sees each of them: their order, their
// attributes, their names and renaming in place.
#include <boost/filesystem/operations.hpp>
#include <iterator>
#include <optional>

#include "folder/folder_object/item_rules.h"
#include "folder/folder_object/shell_folder_impl.h"
#include "folder/item_ids/utf16_text.h"
#include "folder/module/com_guard.h"
#include "folder/module/folder_session.h"
#include "folder/module/local_names.h"
#include "syncer/manager/manager.h"
#include "vfs/directory.h"
#include "vfs/exceptions.h"
#include "win/kernel.h"
#include "win/shell.h"
#include "win/user.h"

namespace {

HRESULT hand_out(const std::wstring& text, STRRET* name) {
    name->uType = STRRET_WSTR;
    return SHStrDupW(text.c_str(), &name->pOleStr);
}

// The records of a list the shell passes in; an empty or null list has none.
std::vector<PIDLDATA> records_of(LPCITEMIDLIST list) {
    if (ILIsEmpty(list)) return {};
    return CItemIdList(list, false).GetItems();
}

// The text after the last "\", or all of it.
std::wstring last_part(const std::wstring& path) {
    const size_t separator = path.rfind(L'\\');
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

}  // namespace

HRESULT CShellFolderImpl::CompareIDs(LPARAM column, PCUIDLIST_RELATIVE first,
                                     PCUIDLIST_RELATIVE second) {
    return shell_com::guarded([&] {
        return folder_rules::compare_result(
            folder_rules::compare(column, records_of(first), records_of(second)));
    });
}

HRESULT CShellFolderImpl::GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY lists,
                                          SFGAOF* attributes) {
    if (!attributes || (count && !lists)) return E_INVALIDARG;
    return shell_com::guarded([&]() -> HRESULT {
        const bool other = folder_rules::in_other_host();
        SFGAOF word = *attributes;
        for (UINT i = 0; i < count; ++i) {
            const std::vector<PIDLDATA> records = records_of(lists[i]);
            if (records.empty()) return E_INVALIDARG;
            word &= folder_rules::attributes_of(records.back(), other);
        }
        *attributes = word;
        return S_OK;
    });
}

HRESULT CShellFolderImpl::ExplorerParsingPrefix(SHGDNF flags, std::wstring* prefix) const {
    prefix->clear();
    if (!m_pidlRoot.HasBase()) return S_OK;
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop))) return S_OK;
    STRRET name{};
    const HRESULT result = desktop->GetDisplayNameOf(
        m_pidlRoot.GetBase(), SHGDN_FORPARSING | (flags & SHGDN_FORADDRESSBAR), &name);
    desktop->Release();
    if (FAILED(result)) return S_OK;
    LPWSTR text = nullptr;
    if (FAILED(StrRetToStrW(&name, m_pidlRoot.GetBase(), &text))) return E_OUTOFMEMORY;
    *prefix = text;
    CoTaskMemFree(text);
    return S_OK;
}

HRESULT CShellFolderImpl::LocalParsingPrefix(std::wstring* prefix) const {
    vfs::user_info user;
    try {
        user = current_folder_session().get_user_info();
    } catch (...) {
        return E_FAIL;
    }
    *prefix = local_names::native_form(
        syncer::manager::get_files_saved_directory(user.user_name).wstring());
    return S_OK;
}

HRESULT CShellFolderImpl::GetDisplayNameOf(PCUITEMID_CHILD list, SHGDNF flags, STRRET* name) {
    if (!name) return E_INVALIDARG;
    return shell_com::guarded([&]() -> HRESULT {
        const CItemIdList relative = ILIsEmpty(list) ? CItemIdList() : CItemIdList(list, false);
        const std::wstring path = relative.GetPath();
        if ((flags & SHGDN_INFOLDER) || !(flags & SHGDN_FORPARSING)) return hand_out(path, name);

        std::wstring text;
        const bool explorer_form = (flags & SHGDN_FORADDRESSBAR) || !folder_rules::in_other_host();
        HRESULT result =
            explorer_form ? ExplorerParsingPrefix(flags, &text) : LocalParsingPrefix(&text);
        if (FAILED(result)) return result;
        const std::wstring location = m_location.GetPath();
        if (explorer_form) {
            if (!text.empty()) text += L"\\";
            if (!location.empty()) text += location + L"\\";
            return hand_out(text + path, name);
        }
        // Another program gets a local path, in the native form: the
        // folder's copy in the saved-files folder, made when missing. The
        // remote names become local ones only when each can be one and the
        // path stays inside.
        std::vector<std::wstring> names;
        for (const PIDLDATA& level : m_location.GetItems()) names.push_back(pidl_name(level));
        for (const PIDLDATA& level : relative.GetItems()) names.push_back(pidl_name(level));
        const std::optional<std::wstring> local = local_names::join_inside(text, names);
        if (!local) return E_FAIL;
        const bool none = relative.GetItems().empty();
        const bool file = !none && relative.GetLastItem().type != 1;
        boost::filesystem::path made(*local);
        if (file) made = made.parent_path();
        boost::system::error_code ignored;
        boost::filesystem::create_directories(made, ignored);
        return hand_out(none ? *local + L"/" : *local, name);
    });
}

HRESULT CShellFolderImpl::SetNameOf(HWND owner, PCUITEMID_CHILD list, LPCWSTR new_name,
                                    SHGDNF flags, PITEMID_CHILD* new_list) {
    if (new_list) *new_list = nullptr;
    if (!new_name || ILIsEmpty(list)) return E_INVALIDARG;
    return shell_com::guarded([&]() -> HRESULT {
        const HRESULT connected = EnsureConnected(owner, true);
        if (FAILED(connected)) return connected;
        const CItemIdList old_relative(list, false);
        const std::wstring old_name = pidl_name(old_relative.GetLastItem());
        std::wstring name = new_name;
        if ((flags & SHGDN_FORPARSING) && !(flags & SHGDN_INFOLDER)) name = last_part(name);
        auto folder = boost::dynamic_pointer_cast<vfs::directory>(m_directory);
        if (!folder) return E_FAIL;
        try {
            folder->rename_item(old_name, name);
        } catch (const vfs::exception& failure) {
            MessageBoxW(owner, failure.get_text().c_str(), failure.get_title().c_str(),
                        MB_ICONERROR);
            return E_FAIL;
        }
        std::vector<PIDLDATA> records = old_relative.GetItems();
        shell_text::write_field(records.back().name, std::size(records.back().name), name);
        CItemIdList renamed;
        for (const PIDLDATA& record : records) renamed += CItemIdList(record);
        if (new_list) *new_list = renamed.CreatePidl();
        const LONG event = records.back().type == 1 ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM;
        NotifyShellChange2(event, old_relative, renamed);
        return S_OK;
    });
}

void CShellFolderImpl::NotifyShellChange2(LONG event, const CItemIdList& first,
                                          const CItemIdList& second) {
    const CItemIdList folder = AbsoluteList();
    LPITEMIDLIST one = (folder + first).CreatePidl();
    LPITEMIDLIST two = (folder + second).CreatePidl();
    if (one && two) SHChangeNotify(event, SHCNF_IDLIST | SHCNF_FLUSH, one, two);
    CoTaskMemFree(one);
    CoTaskMemFree(two);
}
