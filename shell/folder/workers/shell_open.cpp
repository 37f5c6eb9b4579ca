#include "folder/workers/shell_open.h"

#include "folder/module/shell_registry.h"
#include "win/shell.h"
#include "win/shell_dragdrop.h"
#include "win/shell_path.h"
#include "win/user_window.h"

namespace {

// Verbs and class ids are read into buffers of 255 bytes of UTF-16 text:
// 127 characters and the NUL.
constexpr DWORD short_text_units = 128;

// Whether the files do not all have the same extension.
bool mixed_extensions(const std::vector<std::wstring>& files) {
    if (files.empty()) return false;
    const std::wstring first = PathFindExtensionW(files.front().c_str());
    for (const auto& file : files)
        if (!shell_utils::same_text(PathFindExtensionW(file.c_str()), first)) return true;
    return false;
}

// A text value of a key (NULL subkey: the key itself); empty when missing.
std::wstring read_text(HKEY key, LPCWSTR subkey, LPCWSTR name) {
    WCHAR buffer[short_text_units] = {};
    DWORD type = 0, size = sizeof buffer;
    if (!shell_utils::RegReadString(key, subkey, name, &type, buffer, &size)) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
    return buffer;
}

struct handler_choice {
    std::wstring verb;
    CLSID handler{};
    bool has_handler = false;
};

// The default verb of the program's class key and, for files of one type,
// the drop handler that verb declares.
handler_choice choose_verb(HKEY program_key, bool mixed) {
    handler_choice choice;
    std::wstring verb = read_text(program_key, L"shell", nullptr);
    if (verb.empty()) verb = L"open";
    const std::wstring verb_key_name = L"shell\\" + verb;
    HKEY verb_key = nullptr;
    if (RegOpenKeyW(program_key, verb_key_name.c_str(), &verb_key) != ERROR_SUCCESS) return choice;
    choice.verb = verb;
    if (!mixed) {
        const std::wstring text = read_text(verb_key, L"DropTarget", L"CLSID");
        if (!text.empty() && SUCCEEDED(CLSIDFromString(text.c_str(), &choice.handler)))
            choice.has_handler = true;
    }
    RegCloseKey(verb_key);
    return choice;
}

// The folder part of a local path, without its last separator.
std::wstring folder_of(const std::wstring& path) {
    const LPCWSTR name = PathFindFileNameW(path.c_str());
    size_t length = static_cast<size_t>(name - path.c_str());
    while (length > 0 && (path[length - 1] == L'\\' || path[length - 1] == L'/')) --length;
    return path.substr(0, length);
}

template <typename T>
struct com_ref {
    T* p = nullptr;
    ~com_ref() {
        if (p) p->Release();
    }
    void** out() { return reinterpret_cast<void**>(&p); }
};

struct child_lists {
    std::vector<PITEMID_CHILD> lists;
    ~child_lists() {
        for (auto* list : lists) CoTaskMemFree(list);
    }
};

}  // namespace

HRESULT shell_open_item(HWND hwnd, const std::vector<CItemIdList>& folders, bool several) {
    for (const auto& folder : folders) {
        LPITEMIDLIST copy = folder.CreatePidl();
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_IDLIST | SEE_MASK_CLASSNAME;
        info.hwnd = hwnd;
        info.lpVerb = several ? L"explore" : L"open";
        info.lpIDList = copy;
        info.lpClass = L"folder";
        info.nShow = SW_SHOWNORMAL;
        ShellExecuteExW(&info);
        CoTaskMemFree(copy);
    }
    return S_OK;
}

void open_with_drop_target(const std::vector<std::wstring>& files, HKEY program_key,
                           bool open_with_dialog) {
    const bool mixed = mixed_extensions(files);
    if (!mixed && open_with_dialog && files.size() == 1) {
        open_as_dialog(files.front());
        return;
    }
    handler_choice choice;
    if (program_key) choice = choose_verb(program_key, mixed);
    if (!mixed && choice.has_handler && files.size() > 1) {
        drop_files_on_verb_handler(files, choice.handler);
        return;
    }
    shell_execute_files(files, choice.verb, program_key);
}

void shell_execute_files(const std::vector<std::wstring>& files, const std::wstring& verb,
                         HKEY class_key) {
    for (const auto& file : files) {
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_WAITFORINPUTIDLE;
        if (class_key) info.fMask |= SEE_MASK_CLASSKEY;
        info.lpVerb = verb.empty() ? nullptr : verb.c_str();
        info.lpFile = file.c_str();
        info.nShow = SW_SHOWNORMAL;
        info.hkeyClass = class_key;
        ShellExecuteExW(&info);
    }
}

HRESULT drop_files_on_verb_handler(const std::vector<std::wstring>& files, const CLSID& handler) {
    if (files.empty() || IsEqualGUID(handler, GUID_NULL)) return E_FAIL;
    // All copies of one open job lie in one folder: the first file's. A file
    // elsewhere cannot be carried by that folder's data object and is left
    // out rather than confused with a namesake in the first folder.
    const std::wstring folder = folder_of(files.front());
    PIDLIST_ABSOLUTE folder_list = nullptr;
    if (FAILED(SHParseDisplayName(folder.c_str(), nullptr, &folder_list, 0, nullptr)))
        return E_FAIL;
    com_ref<IShellFolder> desktop, local;
    HRESULT hr = SHGetDesktopFolder(&desktop.p);
    if (SUCCEEDED(hr))
        hr = desktop.p->BindToObject(folder_list, nullptr, IID_IShellFolder, local.out());
    CoTaskMemFree(folder_list);
    if (FAILED(hr)) return E_FAIL;

    child_lists children;
    for (const auto& file : files) {
        if (folder_of(file) != folder) continue;
        std::wstring name = PathFindFileNameW(file.c_str());
        PIDLIST_RELATIVE child = nullptr;
        if (SUCCEEDED(local.p->ParseDisplayName(GetDesktopWindow(), nullptr, name.data(), nullptr,
                                                &child, nullptr)))
            children.lists.push_back(static_cast<PITEMID_CHILD>(child));
    }
    com_ref<IDataObject> data;
    if (FAILED(local.p->GetUIObjectOf(GetDesktopWindow(), static_cast<UINT>(children.lists.size()),
                                      const_cast<PCUITEMID_CHILD_ARRAY>(children.lists.data()),
                                      IID_IDataObject, nullptr, data.out())))
        return E_FAIL;
    com_ref<IDropTarget> target;
    if (FAILED(CoCreateInstance(handler, nullptr, CLSCTX_ALL, IID_IDropTarget, target.out())))
        return E_FAIL;
    DWORD effect = DROPEFFECT_NONE;
    if (FAILED(target.p->DragEnter(data.p, 0, POINTL{0, 0}, &effect))) return E_FAIL;
    if (FAILED(target.p->Drop(data.p, 0, POINTL{0, 0}, &effect))) return E_FAIL;
    return S_OK;
}

void open_as_dialog(const std::wstring& path_or_link) {
    const std::wstring parameters = L"shell32.dll,OpenAs_RunDLL " + path_or_link;
    ShellExecuteW(GetDesktopWindow(), L"open", L"RUNDLL32.EXE", parameters.c_str(), nullptr,
                  SW_SHOWNORMAL);
}
