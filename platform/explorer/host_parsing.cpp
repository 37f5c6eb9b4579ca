#include "host_parsing.h"

#include <cstring>
#include <iomanip>
#include <ostream>
#include <vector>

#include "kernel/wide_text.h"
#include "win/bind_context.h"
#include "win/kernel.h"
#include "win/shell.h"
#include "win/shell_folder2.h"

namespace shell_host {

namespace {

const wchar_t* const save_as_mapping = L"Local\\Calvimora_FileMapping_SaveAs";
constexpr SIZE_T save_as_bytes = 0x80000;

std::string utf8(const std::wstring& text) {
    return win_detail::to_utf8(text);
}

// The attribute bits a person cares about, by name.
std::string attribute_names(SFGAOF attributes) {
    const struct {
        SFGAOF bit;
        const char* name;
    } names[] = {
        {SFGAO_FOLDER, "folder"},
        {SFGAO_STREAM, "stream"},
        {SFGAO_FILESYSTEM, "file system"},
        {SFGAO_CANRENAME, "can rename"},
        {SFGAO_CANDELETE, "can delete"},
        {SFGAO_CANCOPY, "can copy"},
        {SFGAO_CANMOVE, "can move"},
        {SFGAO_DROPTARGET, "drop target"},
        {SFGAO_HASSUBFOLDER, "has subfolders"},
        {SFGAO_HASPROPSHEET, "has properties"},
    };
    std::string text;
    for (const auto& name : names)
        if (attributes & name.bit) text += (text.empty() ? "" : ", ") + std::string(name.name);
    return text.empty() ? "none" : text;
}

// A task-allocated copy of the first count elements of list.
LPITEMIDLIST first_elements(LPCITEMIDLIST list, size_t count) {
    size_t size = 0;
    LPCITEMIDLIST at = list;
    for (size_t i = 0; i < count && !ILIsEmpty(at); ++i) {
        WORD element = 0;
        std::memcpy(&element, at, sizeof element);
        size += element;
        at = reinterpret_cast<LPCITEMIDLIST>(reinterpret_cast<const BYTE*>(at) + element);
    }
    auto* copy = static_cast<BYTE*>(CoTaskMemAlloc(size + sizeof(WORD)));
    if (!copy) return nullptr;
    std::memcpy(copy, list, size);
    std::memset(copy + size, 0, sizeof(WORD));
    return reinterpret_cast<LPITEMIDLIST>(copy);
}

size_t element_count(LPCITEMIDLIST list) {
    size_t count = 0;
    for (LPCITEMIDLIST at = list; !ILIsEmpty(at); at = ILGetNext(at)) {
        ++count;
        if (!ILGetNext(at)) break;
    }
    return count;
}

// Whether the two lists start with the same element.
bool same_first_element(LPCITEMIDLIST one, LPCITEMIDLIST two) {
    if (ILIsEmpty(one) || ILIsEmpty(two)) return false;
    WORD size_one = 0, size_two = 0;
    std::memcpy(&size_one, one, sizeof size_one);
    std::memcpy(&size_two, two, sizeof size_two);
    return size_one == size_two && std::memcmp(one, two, size_one) == 0;
}

// The name of each level of an absolute list from the first one shown on,
// as the desktop names the list down to that level (the last part of it).
std::vector<std::wstring> level_names(LPCITEMIDLIST absolute, size_t from) {
    std::vector<std::wstring> names;
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop))) return names;
    const size_t count = element_count(absolute);
    for (size_t level = from + 1; level <= count; ++level) {
        LPITEMIDLIST part = first_elements(absolute, level);
        STRRET name{};
        LPWSTR text = nullptr;
        std::wstring shown = L"?";
        if (part && SUCCEEDED(desktop->GetDisplayNameOf(part, SHGDN_NORMAL, &name)) &&
            SUCCEEDED(StrRetToStrW(&name, part, &text))) {
            shown = text;
            const size_t separator = shown.rfind(L'\\');
            if (separator != std::wstring::npos) shown.erase(0, separator + 1);
            CoTaskMemFree(text);
        }
        ILFree(part);
        names.push_back(shown);
    }
    desktop->Release();
    return names;
}

LPITEMIDLIST current_folder_list(IShellFolder2* folder) {
    IPersistFolder2* persist = nullptr;
    if (FAILED(folder->QueryInterface(IID_IPersistFolder2, reinterpret_cast<void**>(&persist))))
        return nullptr;
    LPITEMIDLIST list = nullptr;
    if (FAILED(persist->GetCurFolder(&list))) list = nullptr;
    persist->Release();
    return list;
}

void show_parsed(IShellFolder2* folder, LPITEMIDLIST parsed, ULONG eaten, SFGAOF attributes,
                 std::ostream& out) {
    LPITEMIDLIST here = current_folder_list(folder);
    // A name that starts with the folder's parsing name comes back from
    // the namespace's top; any other is below the current folder.
    const bool absolute = same_first_element(parsed, here);
    LPITEMIDLIST whole = absolute ? ILClone(parsed) : ILCombine(here, parsed);
    const size_t shown_from = absolute ? 0 : element_count(here);
    out << "  " << (absolute ? "from the top of the namespace" : "below this folder") << ": ";
    const std::vector<std::wstring> names = level_names(whole, shown_from);
    for (size_t i = 0; i < names.size(); ++i) out << (i ? " > " : "") << utf8(names[i]);
    out << (names.empty() ? "(no level)" : "") << "\n";
    out << "  levels: " << element_count(parsed) << ", characters taken: " << eaten << "\n";
    out << "  attributes: 0x" << std::hex << std::setw(8) << std::setfill('0') << attributes
        << std::dec << std::setfill(' ') << " (" << attribute_names(attributes) << ")\n";
    ILFree(whole);
    ILFree(here);
}

}  // namespace

bool read_save_as_list(std::wstring& text) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, save_as_mapping);
    if (!mapping) return false;
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, save_as_bytes);
    if (view) {
        const auto* bytes = static_cast<const BYTE*>(view);
        size_t size = 0;
        while (size + 1 < save_as_bytes && (bytes[size] != 0 || bytes[size + 1] != 0)) size += 2;
        text = win_detail::from_utf16le(bytes, size);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return view != nullptr;
}

HRESULT parse_in_folder(shell_browser& browser, const std::wstring& path, bool save_as,
                        std::ostream& out) {
    IShellFolder2* folder = browser.folder();
    if (!folder) return E_UNEXPECTED;
    IBindCtx* context = nullptr;
    if (save_as) {
        HRESULT made = CreateBindCtx(0, &context);
        if (FAILED(made)) return made;
        BIND_OPTS options{sizeof(BIND_OPTS), 0, STGM_CREATE, 0};
        made = context->SetBindOptions(&options);
        if (FAILED(made)) {
            context->Release();
            return made;
        }
    }
    std::wstring name = path;
    bool told = true;
    ULONG eaten = 0;
    SFGAOF attributes = ~SFGAO_VALIDATE;
    PIDLIST_RELATIVE parsed = nullptr;
    const HRESULT result =
        folder->ParseDisplayName(nullptr, context, name.data(), &eaten, &parsed, &attributes);
    if (context) context->Release();
    if (SUCCEEDED(result)) {
        out << "parsed " << utf8(path) << "\n";
        show_parsed(folder, parsed, eaten, attributes, out);
        ILFree(parsed);
    } else if (result == E_FAIL) {
        out << "no such item: a name is missing, the path goes through a file, or the service "
               "could not be asked\n";
    } else if (result == E_INVALIDARG) {
        out << "not a path the folder takes: an empty name between separators, or a name no "
               "file can have\n";
    } else if (result == HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)) {
        out << "not a name the folder takes: a new name is at most 259 characters long\n";
    } else {
        told = false;
    }
    if (save_as) {
        std::wstring list;
        if (read_save_as_list(list))
            out << "Save-As list: " << utf8(list) << "\n";
        else
            out << "this session has no Save-As list\n";
    }
    return told ? S_OK : result;
}

}  // namespace shell_host
