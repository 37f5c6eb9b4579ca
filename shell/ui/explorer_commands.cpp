#include "ui/explorer_commands.h"

#include <cstring>

#include "folder/folder_object/shell_folder_impl.h"
#include "folder/item_ids/pidl_data.h"
#include "folder/module/com_guard.h"
#include "folder/module/local_folders.h"
#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "ui/local_context_menu.h"
#include "ui/local_sync_page.h"
#include "ui/property_sheet.h"
#include "ui/sync_manager_dlg.h"
#include "vfs/directory.h"
#include "win/library.h"
#include "win/user_input.h"
#include "win/user_window.h"

namespace {

using win_com::held;

// The most data objects of play-all gather ids for.
constexpr UINT play_all_limit = 255;

HRESULT copy_text(const std::wstring& text, LPWSTR* copy) {
    if (!copy) return E_POINTER;
    *copy = nullptr;
    return SHStrDupW(text.c_str(), copy);
}

// The extension's own file followed by ",-0": the icon of its commands.
std::wstring own_icon() {
    wchar_t path[4 * MAX_PATH];
    const DWORD length = GetModuleFileNameW(win_module::this_module(), path, 4 * MAX_PATH);
    if (length == 0 || length >= 4 * MAX_PATH) return std::wstring();
    return std::wstring(path, length) + L",-0";
}

// The remote folder a folder object shows, through the folder's own
// interface of the type library; null when it shows none.
vfs::directory_ptr directory_of(IUnknown* folder) {
    if (!folder) return nullptr;
    held<IShellFolderImpl> own;
    if (FAILED(folder->QueryInterface(utils::iid_shell_folder_impl, own.out())) || !own.p)
        return nullptr;
    VARIANT value;
    VariantInit(&value);
    if (FAILED(own.p->GetObject(&value)) || value.vt != VT_BYREF || !value.byref) return nullptr;
    return boost::dynamic_pointer_cast<vfs::directory>(*static_cast<vfs::item_ptr*>(value.byref));
}

// The selection's data object as the extension's own; null (and E_FAIL)
// when the items do not bind to one.
HRESULT own_data_of(IShellItemArray* items, held<IDataObject>& data, CDataObjectImpl** own) {
    *own = nullptr;
    if (!items ||
        FAILED(items->BindToHandler(nullptr, BHID_DataObject, IID_IDataObject, data.out())) ||
        !data.p)
        return E_FAIL;
    *own = own_data_object(data.p);
    return *own ? S_OK : E_FAIL;
}

DWORD count_of(IShellItemArray* items) {
    DWORD count = 0;
    if (!items || FAILED(items->GetCount(&count))) return 0;
    return count;
}

// Opens the selection with the program of the key (null: the shell's
// choice), or lets the user choose one.
HRESULT open_selection(IShellItemArray* items, HKEY program, bool choose) {
    held<IDataObject> data;
    CDataObjectImpl* own = nullptr;
    if (FAILED(own_data_of(items, data, &own))) return E_FAIL;
    return own->start_open_files(GetDesktopWindow(), program, choose);
}

template <typename Command>
HRESULT make_command(CComObject<Command>** made) {
    *made = nullptr;
    const HRESULT result = CComObject<Command>::CreateInstance(made);
    if (FAILED(result)) return result;
    (*made)->AddRef();
    return S_OK;
}

// Adds the command to the enumerator and lets the caller's reference go.
template <typename Command>
HRESULT add_command(CEnumExplorerCommandImpl& list, CComObject<Command>* command) {
    const HRESULT result = list.Add(command);
    command->Release();
    return result;
}

HRESULT new_enumerator(CComObject<CEnumExplorerCommandImpl>** made) {
    return make_command(made);
}

// Hands out the enumerator's interface and lets the maker's reference go.
HRESULT hand_out(CComObject<CEnumExplorerCommandImpl>* list, REFIID iid, void** object) {
    const HRESULT result = list->QueryInterface(iid, object);
    list->Release();
    return result;
}

}  // namespace

// ---- The enumerator -----------------------------------------------------------------

CEnumExplorerCommandImpl::~CEnumExplorerCommandImpl() {
    for (IExplorerCommand* command : m_commands) command->Release();
}

HRESULT CEnumExplorerCommandImpl::Add(IExplorerCommand* command) {
    if (!command) return E_FAIL;
    try {
        m_commands.push_back(command);
    } catch (...) {
        return E_FAIL;
    }
    command->AddRef();
    return S_OK;
}

HRESULT CEnumExplorerCommandImpl::Next(ULONG count, IExplorerCommand** commands, ULONG* fetched) {
    if (!commands) return E_INVALIDARG;
    if (!fetched && count != 1) return E_POINTER;
    ULONG copied = 0;
    while (copied < count && m_position < m_commands.size()) {
        IExplorerCommand* command = m_commands[m_position++];
        command->AddRef();
        commands[copied++] = command;
    }
    if (fetched) *fetched = copied;
    return copied == count ? S_OK : S_FALSE;
}

HRESULT CEnumExplorerCommandImpl::Skip(ULONG) {
    return E_NOTIMPL;
}

HRESULT CEnumExplorerCommandImpl::Reset() {
    m_position = 0;
    return S_OK;
}

HRESULT CEnumExplorerCommandImpl::Clone(IEnumExplorerCommand** copy) {
    if (copy) *copy = nullptr;
    return E_NOTIMPL;
}

// ---- The common command ---------------------------------------------------------------

CExplorerCommandImpl::~CExplorerCommandImpl() {
    if (m_folder) m_folder->Release();
}

void CExplorerCommandImpl::Init(const GUID& name, const std::wstring& title,
                                const std::wstring& tip, const std::wstring& icon) {
    m_name = name;
    m_title = title;
    m_tip = tip;
    m_icon = icon;
}

void CExplorerCommandImpl::SetFolder(IShellFolder* folder) {
    if (folder) folder->AddRef();
    if (m_folder) m_folder->Release();
    m_folder = folder;
}

HRESULT CExplorerCommandImpl::GetTitle(IShellItemArray*, LPWSTR* title) {
    return copy_text(m_title, title);
}

HRESULT CExplorerCommandImpl::GetIcon(IShellItemArray*, LPWSTR* icon) {
    if (!icon) return E_POINTER;
    *icon = nullptr;
    return m_icon.empty() ? E_FAIL : copy_text(m_icon, icon);
}

HRESULT CExplorerCommandImpl::GetToolTip(IShellItemArray*, LPWSTR* tip) {
    return copy_text(m_tip, tip);
}

HRESULT CExplorerCommandImpl::GetCanonicalName(GUID* name) {
    if (!name) return E_POINTER;
    *name = m_name;
    return S_OK;
}

HRESULT CExplorerCommandImpl::GetState(IShellItemArray*, BOOL, EXPCMDSTATE* state) {
    if (!state) return E_POINTER;
    *state = ECS_ENABLED;
    return S_OK;
}

HRESULT CExplorerCommandImpl::Invoke(IShellItemArray*, IBindCtx*) {
    return S_OK;
}

HRESULT CExplorerCommandImpl::GetFlags(EXPCMDFLAGS* flags) {
    if (!flags) return E_POINTER;
    *flags = ECF_DEFAULT;
    return S_OK;
}

HRESULT CExplorerCommandImpl::EnumSubCommands(IEnumExplorerCommand** commands) {
    if (commands) *commands = nullptr;
    return E_NOTIMPL;
}

// ---- Share ------------------------------------------------------------------------------

HRESULT CExplorerCommandShare::GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) {
    if (!state) return E_POINTER;
    *state = ECS_HIDDEN;
    if (count_of(items) != 1) return S_OK;
    held<IShellItem> item;
    if (FAILED(items->GetItemAt(0, &item.p)) || !item.p) return S_OK;
    SFGAOF attributes = 0;
    if (FAILED(item.p->GetAttributes(SFGAO_FOLDER, &attributes)) || !(attributes & SFGAO_FOLDER))
        return S_OK;
    PIDLIST_ABSOLUTE list = nullptr;
    if (FAILED(shell_utils::SHGetIDListFromObject(item.p, &list)) || !list) return E_FAIL;
    // Only a record of this folder's own form can tell an ordinary folder.
    LPCITEMIDLIST last = ILFindLastID(list);
    if (last && last->mkid.cb == pidl_data_size) {
        PIDLDATA data;
        std::memcpy(&data, last, sizeof data);
        if (data.is_plain_directory) *state = ECS_ENABLED;
    }
    ILFree(list);
    return S_OK;
}

HRESULT CExplorerCommandShare::Invoke(IShellItemArray* items, IBindCtx* context) {
    if (count_of(items) != 1) return S_OK;
    held<IDataObject> data;
    CDataObjectImpl* own = nullptr;
    if (FAILED(own_data_of(items, data, &own))) return E_FAIL;
    held<IShellItem> item;
    held<IShellFolder> folder;
    if (FAILED(items->GetItemAt(0, &item.p)) || !item.p ||
        FAILED(item.p->BindToHandler(context, BHID_SFObject, IID_IShellFolder, folder.out())) ||
        !folder.p)
        return E_FAIL;
    ShowItemProperties(folder.p, own, start_sharing);
    return S_OK;
}

// ---- Sync files and Backup PC -------------------------------------------------------------

namespace {

// Both show while nothing is selected, and never for a selection of any
// size.
HRESULT state_without_selection(IShellItemArray* items, EXPCMDSTATE* state) {
    if (!state) return E_POINTER;
    *state = count_of(items) == 0 ? ECS_ENABLED : ECS_HIDDEN;
    return S_OK;
}

}  // namespace

HRESULT CExplorerCommandSyncFiles::GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) {
    return state_without_selection(items, state);
}

HRESULT CExplorerCommandSyncFiles::Invoke(IShellItemArray*, IBindCtx*) {
    return shell_com::guarded([&]() -> HRESULT {
        CDialogSyncManager dialog;
        dialog.DoModal(GetActiveWindow());
        return S_OK;
    });
}

HRESULT CExplorerCommandBackupPC::GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) {
    return state_without_selection(items, state);
}

namespace {

// A data object for one local folder, made as the file manager makes it:
// its parent parsed from the desktop, the folder parsed in its parent.
HRESULT local_folder_data_object(const std::wstring& path, IDataObject** data) {
    *data = nullptr;
    const size_t last = path.find_last_of(L"\\/");
    if (last == std::wstring::npos || last + 1 == path.size()) return E_FAIL;
    std::wstring parent_path = path.substr(0, last == 0 ? 1 : last);
    std::wstring name = path.substr(last + 1);
    IShellFolder* desktop = nullptr;
    HRESULT result = SHGetDesktopFolder(&desktop);
    if (FAILED(result)) return result;
    PIDLIST_RELATIVE parent_list = nullptr;
    result = desktop->ParseDisplayName(nullptr, nullptr, parent_path.data(), nullptr, &parent_list,
                                       nullptr);
    IShellFolder* parent = nullptr;
    if (SUCCEEDED(result))
        result = desktop->BindToObject(parent_list, nullptr, IID_IShellFolder,
                                       reinterpret_cast<void**>(&parent));
    desktop->Release();
    ILFree(parent_list);
    if (FAILED(result)) return result;
    PIDLIST_RELATIVE child = nullptr;
    result = parent->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &child, nullptr);
    if (SUCCEEDED(result)) {
        PCUITEMID_CHILD children[] = {reinterpret_cast<PCUITEMID_CHILD>(child)};
        result = parent->GetUIObjectOf(nullptr, 1, children, IID_IDataObject, nullptr,
                                       reinterpret_cast<void**>(data));
    }
    ILFree(child);
    parent->Release();
    return result;
}

}  // namespace

// The sheet of the user's profile folder at the local sync page, with
// Backup chosen.
HRESULT CExplorerCommandBackupPC::Invoke(IShellItemArray*, IBindCtx*) {
    return shell_com::guarded([&]() -> HRESULT {
        wchar_t profile[MAX_PATH] = {};
        if (!SHGetSpecialFolderPathW(nullptr, profile, CSIDL_PROFILE, FALSE)) return E_FAIL;
        IDataObject* data = nullptr;
        HRESULT result = local_folder_data_object(profile, &data);
        if (FAILED(result)) return E_FAIL;
        result = OpenLocalSyncSheet(data, sync_page_mode_backup);
        data->Release();
        return SUCCEEDED(result) ? S_OK : result;
    });
}

// ---- Play all -----------------------------------------------------------------------------

HRESULT CExplorerCommandPlayAll::GetState(IShellItemArray*, BOOL, EXPCMDSTATE* state) {
    if (!state) return E_POINTER;
    *state = ECS_HIDDEN;
    return shell_com::guarded([&]() -> HRESULT {
        const vfs::directory_ptr folder = directory_of(m_folder);
        if (folder && (folder->get_folder_type() & (m_music ? 2 : 8))) *state = ECS_ENABLED;
        return S_OK;
    });
}

HRESULT CExplorerCommandPlayAll::Invoke(IShellItemArray*, IBindCtx*) {
    if (!m_folder) return E_FAIL;
    return shell_com::guarded([&]() -> HRESULT {
        std::vector<LPITEMIDLIST> ids;
        struct freed {
            std::vector<LPITEMIDLIST>& ids;
            ~freed() {
                for (LPITEMIDLIST id : ids) CoTaskMemFree(id);
            }
        } freeing{ids};
        held<IEnumIDList> files;
        if (m_folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, &files.p) == S_OK && files.p) {
            files.p->Reset();
            LPITEMIDLIST id = nullptr;
            while (ids.size() < play_all_limit && files.p->Next(1, &id, nullptr) == S_OK && id)
                ids.push_back(id);
        }
        if (ids.empty()) return S_OK;
        held<IDataObject> data;
        std::vector<PCUITEMID_CHILD> children(ids.begin(), ids.end());
        if (FAILED(m_folder->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()),
                                           children.data(), IID_IDataObject, nullptr,
                                           data.out())) ||
            !data.p)
            return E_FAIL;
        CDataObjectImpl* own = own_data_object(data.p);
        if (!own) return E_FAIL;
        if (m_music)
            own->collect_music_files(nullptr);
        else
            own->collect_video_files(nullptr);
        return S_OK;
    });
}

// ---- Open and its drop-down ---------------------------------------------------------------

void CExplorerCommandOpenWith::SetProgram(std::shared_ptr<const COpenWithList> list,
                                          const COpenWithProgram* program) {
    m_list = std::move(list);
    m_program = program;
}

HRESULT CExplorerCommandOpenWith::Invoke(IShellItemArray* items, IBindCtx*) {
    return open_selection(items, m_program ? m_program->GetClassKey() : nullptr, !m_program);
}

HRESULT CExplorerCommandSeparator::GetTitle(IShellItemArray*, LPWSTR* title) {
    if (title) *title = nullptr;
    return E_NOTIMPL;
}

HRESULT CExplorerCommandSeparator::GetIcon(IShellItemArray*, LPWSTR* icon) {
    if (icon) *icon = nullptr;
    return E_NOTIMPL;
}

HRESULT CExplorerCommandSeparator::GetToolTip(IShellItemArray*, LPWSTR* tip) {
    if (tip) *tip = nullptr;
    return E_NOTIMPL;
}

HRESULT CExplorerCommandSeparator::GetCanonicalName(GUID* name) {
    if (!name) return E_POINTER;
    *name = m_name;
    return S_OK;
}

HRESULT CExplorerCommandSeparator::GetState(IShellItemArray*, BOOL, EXPCMDSTATE* state) {
    if (!state) return E_POINTER;
    *state = ECS_ENABLED;
    return S_OK;
}

HRESULT CExplorerCommandSeparator::Invoke(IShellItemArray*, IBindCtx*) {
    return E_NOTIMPL;
}

HRESULT CExplorerCommandSeparator::GetFlags(EXPCMDFLAGS* flags) {
    if (!flags) return E_POINTER;
    *flags = ECF_ISSEPARATOR;
    return S_OK;
}

HRESULT CExplorerCommandSeparator::EnumSubCommands(IEnumExplorerCommand** commands) {
    if (commands) *commands = nullptr;
    return E_NOTIMPL;
}

const COpenWithProgram* CExplorerCommandOpen::Prepare(IShellItemArray* items) {
    if (!m_selection.PrepareOpenWithList(items)) return nullptr;
    return m_selection.GetList().GetCurrent();
}

HRESULT CExplorerCommandOpen::GetTitle(IShellItemArray* items, LPWSTR* title) {
    if (!title) return E_POINTER;
    *title = nullptr;
    const COpenWithProgram* program = Prepare(items);
    return program ? copy_text(program->GetVerbText(), title) : E_FAIL;
}

HRESULT CExplorerCommandOpen::GetIcon(IShellItemArray* items, LPWSTR* icon) {
    if (!icon) return E_POINTER;
    *icon = nullptr;
    const COpenWithProgram* program = Prepare(items);
    return program ? copy_text(program->GetIcon(), icon) : E_FAIL;
}

HRESULT CExplorerCommandOpen::GetToolTip(IShellItemArray* items, LPWSTR* tip) {
    return GetTitle(items, tip);
}

HRESULT CExplorerCommandOpen::GetCanonicalName(GUID* name) {
    if (!name) return E_POINTER;
    *name = command_open;
    return S_OK;
}

HRESULT CExplorerCommandOpen::GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) {
    if (!state) return E_POINTER;
    *state = Prepare(items) ? ECS_ENABLED : ECS_HIDDEN;
    return S_OK;
}

HRESULT CExplorerCommandOpen::Invoke(IShellItemArray* items, IBindCtx*) {
    if (!m_selection.PrepareOpenWithList(items)) return E_FAIL;
    const COpenWithProgram* program = m_selection.GetList().GetCurrent();
    return open_selection(items, program ? program->GetClassKey() : nullptr, false);
}

HRESULT CExplorerCommandOpen::GetFlags(EXPCMDFLAGS* flags) {
    if (!flags) return E_POINTER;
    *flags = ECF_HASSUBCOMMANDS | ECF_HASSPLITBUTTON;
    return S_OK;
}

HRESULT CExplorerCommandOpen::EnumSubCommands(IEnumExplorerCommand** commands) {
    if (!commands) return E_POINTER;
    *commands = nullptr;
    if (m_selection.GetCount() != 1) return E_NOTIMPL;
    return shell_com::guarded([&]() -> HRESULT {
        CComObject<CEnumExplorerCommandImpl>* list = nullptr;
        HRESULT result = new_enumerator(&list);
        if (FAILED(result)) return result;
        const std::shared_ptr<const COpenWithList> programs = m_selection.ShareList();
        // Each entry's identity is Open's with its first field raised by
        // the entry's position.
        GUID name = command_open;
        for (const auto& program : programs->GetPrograms()) {
            ++name.Data1;
            CComObject<CExplorerCommandOpenWith>* entry = nullptr;
            if (FAILED(result = make_command(&entry))) break;
            entry->Init(name, program->GetFriendlyName(), program->GetFriendlyName(),
                        program->GetIcon());
            entry->SetProgram(programs, program.get());
            if (FAILED(result = add_command(*list, entry))) break;
        }
        CComObject<CExplorerCommandSeparator>* separator = nullptr;
        if (SUCCEEDED(result) && SUCCEEDED(result = make_command(&separator))) {
            separator->m_name = name;
            ++separator->m_name.Data1;
            result = add_command(*list, separator);
        }
        CComObject<CExplorerCommandOpenWith>* choose = nullptr;
        if (SUCCEEDED(result) && SUCCEEDED(result = make_command(&choose))) {
            GUID last = name;
            last.Data1 += 2;
            choose->Init(last, L"Choose Default Program...", L"Choose Default Program...", L"");
            result = add_command(*list, choose);
        }
        if (FAILED(result)) {
            list->Release();
            return result;
        }
        return hand_out(list, IID_IEnumExplorerCommand, reinterpret_cast<void**>(commands));
    });
}

// ---- The provider -------------------------------------------------------------------------

CExplorerCommandProviderImpl::~CExplorerCommandProviderImpl() {
    if (m_folder) m_folder->Release();
}

HRESULT CExplorerCommandProviderImpl::SetFolder(IShellFolder* folder) {
    if (folder) folder->AddRef();
    if (m_folder) m_folder->Release();
    m_folder = folder;
    return S_OK;
}

HRESULT CExplorerCommandProviderImpl::GetCommands(IUnknown*, REFIID iid, void** commands) {
    if (!commands) return E_POINTER;
    *commands = nullptr;
    return shell_com::guarded([&]() -> HRESULT {
        const vfs::directory_ptr directory = directory_of(m_folder);
        if (!directory) return E_FAIL;
        if (iid != IID_IEnumExplorerCommand) return E_NOINTERFACE;
        const int type = directory->get_folder_type();
        const bool root = type == 1;
        const bool home = root || directory->is_home_folder();

        CComObject<CEnumExplorerCommandImpl>* list = nullptr;
        HRESULT result = new_enumerator(&list);
        if (FAILED(result)) return result;
        const auto failed = [&](HRESULT code) {
            list->Release();
            return code;
        };
        CComObject<CExplorerCommandOpen>* open = nullptr;
        if (FAILED(result = make_command(&open)) || FAILED(result = add_command(*list, open)))
            return failed(result);

        CComObject<CExplorerCommandShare>* share = nullptr;
        if (FAILED(result = make_command(&share))) return failed(result);
        share->Init(command_share, L"Share",
                    L"Share the selected files and folders with other peoples in the Calvimora",
                    L"shell32.dll,-267");
        if (FAILED(result = add_command(*list, share))) return failed(result);

        if (root) {
            CComObject<CExplorerCommandSyncFiles>* sync = nullptr;
            if (FAILED(result = make_command(&sync))) return failed(result);
            sync->Init(command_sync_files, L"Sync files", L"Manage the Permanently Syncing Files",
                       own_icon());
            if (FAILED(result = add_command(*list, sync))) return failed(result);
        }
        if (home) {
            CComObject<CExplorerCommandBackupPC>* backup = nullptr;
            if (FAILED(result = make_command(&backup))) return failed(result);
            backup->Init(command_backup_pc, L"Backup PC", L"Backup your documents to Calvimora",
                         own_icon());
            if (FAILED(result = add_command(*list, backup))) return failed(result);
        }
        CComObject<CExplorerCommandMusicPlayAll>* music = nullptr;
        if (FAILED(result = make_command(&music))) return failed(result);
        music->Init(command_play_music, L"Play All Music", L"Play all music files in this folder",
                    L"Shell32.dll,-246");
        music->SetFolder(m_folder);
        if (FAILED(result = add_command(*list, music))) return failed(result);

        CComObject<CExplorerCommandVideoPlayAll>* video = nullptr;
        if (FAILED(result = make_command(&video))) return failed(result);
        video->Init(command_play_video, L"Play All Video", L"Play all video files in this folder",
                    L"Shell32.dll,-246");
        video->SetFolder(m_folder);
        if (FAILED(result = add_command(*list, video))) return failed(result);

        return hand_out(list, iid, commands);
    });
}

HRESULT CExplorerCommandProviderImpl::GetCommand(REFGUID, REFIID, void** command) {
    if (command) *command = nullptr;
    return E_NOTIMPL;
}

HRESULT create_explorer_command_provider(IShellFolder* folder, REFIID iid, void** object) {
    CComObject<CExplorerCommandProviderImpl>* provider = nullptr;
    const HRESULT made = CComObject<CExplorerCommandProviderImpl>::CreateInstance(&provider);
    if (FAILED(made)) return made;
    provider->AddRef();
    provider->SetFolder(folder);
    const HRESULT result = provider->QueryInterface(iid, object);
    provider->Release();
    return result;
}
