#include "host_local_items.h"

#include <cstdio>
#include <memory>
#include <sstream>

#include "kernel/wide_text.h"
#include "win/com.h"
#include "win/commctrl.h"
#include "win/registry.h"
#include "win/shell.h"
#include "win/shell_menu.h"
#include "win/user.h"

namespace shell_host {
namespace {

constexpr wchar_t all_objects_key[] = L"AllFilesystemObjects";
constexpr wchar_t menu_handlers_key[] = L"AllFilesystemObjects\\ShellEx\\ContextMenuHandlers";

bool is_separator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// A path's folder and last name, trailing separators ignored.
std::pair<std::wstring, std::wstring> split(std::wstring path) {
    while (path.size() > 1 && is_separator(path.back())) path.pop_back();
    const size_t last = path.find_last_of(L"\\/");
    if (last == std::wstring::npos) return {L"", path};
    return {last == 0 ? path.substr(0, 1) : path.substr(0, last), path.substr(last + 1)};
}

struct release_all {
    void operator()(IUnknown* object) const {
        if (object) object->Release();
    }
};
template <class T>
using held = std::unique_ptr<T, release_all>;

// The handlers registered for every file-system object, each initialised
// with the selection, with their menu entries merged into one menu.
class local_menu {
public:
    HRESULT build(const std::vector<std::wstring>& paths) {
        menu_ = CreatePopupMenu();
        IDataObject* data = nullptr;
        HRESULT result = local_items_data_object(paths, &data);
        if (FAILED(result)) return result;
        data_.reset(data);
        HKEY handlers = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, menu_handlers_key, 0, KEY_READ, &handlers) !=
            ERROR_SUCCESS)
            return S_OK;
        UINT next_id = 1;
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumKeyExW(handlers, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            add_handler(handlers, name, next_id);
        }
        RegCloseKey(handlers);
        return S_OK;
    }
    ~local_menu() {
        if (menu_) DestroyMenu(menu_);
    }

    std::vector<menu_item> items() const { return read_menu(menu_); }

    HRESULT invoke(const std::wstring& text) {
        for (const menu_item& item : items()) {
            if (item.separator || item.text != text) continue;
            const UINT id = item.offset + 1;
            for (const handler& h : handlers_) {
                if (id < h.first || id >= h.first + h.count) continue;
                CMINVOKECOMMANDINFO info{};
                info.cbSize = sizeof info;
                info.lpVerb = MAKEINTRESOURCEA(id - h.first);
                info.nShow = SW_SHOWNORMAL;
                return h.menu->InvokeCommand(&info);
            }
        }
        return E_INVALIDARG;
    }

private:
    struct handler {
        held<IContextMenu> menu;
        UINT first = 0;
        UINT count = 0;
    };

    // The key's default value names the handler's class.
    void add_handler(HKEY handlers, const wchar_t* name, UINT& next_id) {
        HKEY entry = nullptr;
        if (RegOpenKeyExW(handlers, name, 0, KEY_READ, &entry) != ERROR_SUCCESS) return;
        wchar_t text[64] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        const LONG read = RegQueryValueExW(entry, nullptr, nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(entry);
        if (read != ERROR_SUCCESS) return;
        CLSID clsid{};
        if (FAILED(CLSIDFromString(text, &clsid))) return;
        IContextMenu* menu = nullptr;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                                    reinterpret_cast<void**>(&menu))))
            return;
        held<IContextMenu> kept(menu);
        IShellExtInit* init = nullptr;
        if (FAILED(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init))))
            return;
        HKEY key = nullptr;
        RegOpenKeyW(HKEY_CLASSES_ROOT, all_objects_key, &key);
        const HRESULT initialised = init->Initialize(nullptr, data_.get(), key);
        init->Release();
        if (key) RegCloseKey(key);
        if (FAILED(initialised)) return;
        const HRESULT queried = menu->QueryContextMenu(
            menu_, static_cast<UINT>(GetMenuItemCount(menu_)), next_id, 0x7FFF, CMF_NORMAL);
        if (FAILED(queried)) return;
        const UINT used = static_cast<UINT>(queried) & 0xFFFFu;
        handlers_.push_back({std::move(kept), next_id, used});
        next_id += used;
    }

    HMENU menu_ = nullptr;
    held<IDataObject> data_;
    std::vector<handler> handlers_;
};

}  // namespace

namespace {

std::vector<std::wstring> paths_of(const std::string& list) {
    std::vector<std::wstring> paths;
    std::istringstream words(list);
    std::string path;
    while (std::getline(words, path, ','))
        if (!path.empty()) paths.push_back(win_detail::from_utf8(path));
    return paths;
}

std::string failed(const char* what, HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
    return std::string(what) + " failed (" + code + ")\n";
}

}  // namespace

std::string local_items_command(const std::string& words) {
    const std::string usage =
        "usage: local menu|props PATH[,PATH..] | local do PATH[,PATH..] TEXT\n";
    std::istringstream in(words);
    std::string action, rest;
    in >> action;
    std::getline(in >> std::ws, rest);
    if (rest.empty()) return usage;
    if (action == "menu") {
        std::vector<menu_item> items;
        const HRESULT result = local_item_menu(paths_of(rest), items);
        if (FAILED(result)) return failed("menu", result);
        std::string text;
        for (const menu_item& item : items)
            text += item.separator ? std::string("  ----\n")
                                   : "  " + win_detail::to_utf8(item.text) +
                                         (item.picture ? " (with picture)" : "") + "\n";
        return text.empty() ? "no entries\n" : text;
    }
    if (action == "do") {
        const size_t space = rest.find(' ');
        if (space == std::string::npos) return usage;
        const std::string command = rest.substr(space + 1);
        const HRESULT result =
            invoke_local_command(paths_of(rest.substr(0, space)), win_detail::from_utf8(command));
        if (result == E_INVALIDARG) return "no entry \"" + command + "\"; local menu lists them\n";
        return FAILED(result) ? failed(command.c_str(), result) : "done\n";
    }
    if (action == "props") {
        const HRESULT result = open_local_properties(paths_of(rest));
        return FAILED(result) ? failed("properties", result) : "done\n";
    }
    return usage;
}

HRESULT local_items_data_object(const std::vector<std::wstring>& paths, IDataObject** data) {
    if (!data) return E_POINTER;
    *data = nullptr;
    if (paths.empty()) return E_INVALIDARG;
    const std::wstring folder = split(paths.front()).first;
    if (folder.empty()) return E_INVALIDARG;
    PIDLIST_ABSOLUTE folder_list = nullptr;
    HRESULT result = SHParseDisplayName(folder.c_str(), nullptr, &folder_list, 0, nullptr);
    if (FAILED(result)) return result;
    IShellFolder* desktop = nullptr;
    IShellFolder* parent = nullptr;
    result = SHGetDesktopFolder(&desktop);
    if (SUCCEEDED(result)) {
        result = desktop->BindToObject(folder_list, nullptr, IID_IShellFolder,
                                       reinterpret_cast<void**>(&parent));
        desktop->Release();
    }
    ILFree(folder_list);
    if (FAILED(result)) return result;
    std::vector<PITEMID_CHILD> children;
    for (const std::wstring& path : paths) {
        const auto [own_folder, name] = split(path);
        if (own_folder != folder) {
            result = E_INVALIDARG;
            break;
        }
        std::wstring parsed = name;
        PIDLIST_RELATIVE child = nullptr;
        result =
            parent->ParseDisplayName(nullptr, nullptr, parsed.data(), nullptr, &child, nullptr);
        if (FAILED(result)) break;
        children.push_back(child);
    }
    if (SUCCEEDED(result))
        result = parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(),
                                       IID_IDataObject, nullptr, reinterpret_cast<void**>(data));
    for (PITEMID_CHILD child : children) ILFree(child);
    parent->Release();
    return result;
}

HRESULT local_item_menu(const std::vector<std::wstring>& paths, std::vector<menu_item>& items) {
    items.clear();
    local_menu menu;
    const HRESULT result = menu.build(paths);
    if (FAILED(result)) return result;
    items = menu.items();
    return S_OK;
}

HRESULT invoke_local_command(const std::vector<std::wstring>& paths, const std::wstring& text) {
    local_menu menu;
    const HRESULT result = menu.build(paths);
    if (FAILED(result)) return result;
    return menu.invoke(text);
}

HRESULT open_local_properties(const std::vector<std::wstring>& paths) {
    IDataObject* data = nullptr;
    const HRESULT result = local_items_data_object(paths, &data);
    if (FAILED(result)) return result;
    HKEY key = nullptr;
    RegOpenKeyW(HKEY_CLASSES_ROOT, all_objects_key, &key);
    const BOOL shown =
        SHOpenPropSheetW(nullptr, &key, key ? 1 : 0, nullptr, data, nullptr, nullptr);
    if (key) RegCloseKey(key);
    data->Release();
    return shown ? S_OK : E_FAIL;
}

}  // namespace shell_host
