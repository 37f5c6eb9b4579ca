#include "folder/module/local_folders.h"

#include "utils/class_ids.h"
#include "win/file.h"
#include "win/library.h"
#include "win/shell.h"

namespace shell_utils {

namespace {

std::wstring class_text(REFCLSID clsid, const wchar_t* failure) {
    wchar_t text[40];
    if (StringFromGUID2(clsid, text, 40) == 0) throw std::wstring(failure);
    return text;
}

}  // namespace

std::wstring GetLocalAppDataFolder() {
    wchar_t special[MAX_PATH];
    if (!SHGetSpecialFolderPathW(nullptr, special, CSIDL_LOCAL_APPDATA, TRUE)) return {};
    const std::wstring folder = std::wstring(special) + L"\\Calvimora";
    if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
    // An existing folder is fine; a file of that name is no folder.
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    const bool is_folder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    return is_folder ? folder : std::wstring();
}

namespace {

// Below the extension's folder; empty without it, so that no caller ever
// works in a folder at the top of the drive instead.
std::wstring below_app_data(const wchar_t* name) {
    const std::wstring base = GetLocalAppDataFolder();
    return base.empty() ? base : base + L"\\" + name;
}

}  // namespace

std::wstring GetIntermediateFilesFolder() {
    return below_app_data(L"Intermediate files");
}

std::wstring GetFilterTempFolder() {
    return below_app_data(L"Filter temp");
}

std::wstring GetExplorerParsingPath(const std::wstring& sub_path) {
    return L"::" + class_text(CLSID_MyComputer, L"Error taking path to 'My Computer'") + L"\\::" +
           class_text(utils::clsid_calvimora_folder, L"Error taking path to 'Calvimora'") +
           sub_path;
}

HRESULT SHGetIDListFromObject(IUnknown* object, PIDLIST_ABSOLUTE* list) {
    using function = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, PIDLIST_ABSOLUTE*);
    HMODULE shell = LoadLibraryW(L"Shell32.dll");
    if (!shell) return E_FAIL;
    const auto exported = reinterpret_cast<function>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHGetIDListFromObject")));
    const HRESULT result = exported ? exported(object, list) : E_FAIL;
    FreeLibrary(shell);
    return result;
}

}  // namespace shell_utils
