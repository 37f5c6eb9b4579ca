#include "folder/module/host_process.h"

#include <cwctype>

#include "win/handle.h"
#include "win/psapi.h"

namespace shell_utils {

namespace {

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

}  // namespace

std::wstring GetProcessImagePath(DWORD process_id) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id);
    if (!process) return {};
    std::wstring path;
    HMODULE first = nullptr;
    DWORD needed = 0;
    if (EnumProcessModules(process, &first, sizeof first, &needed)) {
        wchar_t name[MAX_PATH] = {};
        if (GetModuleFileNameExW(process, first, name, MAX_PATH)) path = name;
    }
    CloseHandle(process);
    return path;
}

std::wstring GetFileNamePart(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(separator + 1);
}

host_process_kind ClassifyProcess(DWORD process_id) {
    const std::wstring name = lower(GetFileNamePart(GetProcessImagePath(process_id)));
    if (name == L"explorer.exe") return host_explorer;
    if (name == L"winword.exe") return host_word_processor;
    if (name == L"calvimora_session.exe" || name == L"calvimora_session64.exe")
        return host_session_handler;
    return host_other;
}

}  // namespace shell_utils
