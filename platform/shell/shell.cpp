// Special folders and the shell-notification journal.
#include "win/shell.h"

#include <cstring>
#include <string>

#include "kernel/journal.h"
#include "kernel/wide_text.h"
#include "shell_journals.h"
#include "win/machine.h"

namespace {

// Item-id lists longer than this are recorded cut short.
constexpr size_t max_recorded_id_list = 64 * 1024;

std::string id_list_text(const BYTE* list) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    size_t offset = 0;
    for (;;) {
        WORD size = 0;
        std::memcpy(&size, list + offset, sizeof size);
        if (size == 0 || offset + size > max_recorded_id_list) break;
        for (size_t i = 0; i < size; ++i) {
            out += digits[list[offset + i] >> 4];
            out += digits[list[offset + i] & 0xF];
        }
        offset += size;
    }
    return out;
}

// The journal field of one item: "-" when absent, else "+" and its text.
std::string item_field(UINT flags, LPCVOID item) {
    if (!item) return "-";
    switch (flags & SHCNF_TYPE) {
        case SHCNF_PATHW:
        case SHCNF_PRINTERW:
            return "+" + win_detail::to_utf8(static_cast<LPCWSTR>(item));
        case SHCNF_PATHA:
        case SHCNF_PRINTERA:
            return "+" + std::string(static_cast<LPCSTR>(item));
        case SHCNF_DWORD:
            return "+" + std::to_string(static_cast<DWORD>(reinterpret_cast<uintptr_t>(item)));
        case SHCNF_IDLIST:
            return "+" + id_list_text(static_cast<const BYTE*>(item));
        default:
            return "+";
    }
}

}  // namespace

HRESULT SHGetFolderPathW(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
    if (!path) return E_INVALIDARG;
    path[0] = L'\0';
    std::string native;
    switch (folder & ~CSIDL_FLAG_MASK) {
        case CSIDL_LOCAL_APPDATA:
            native = win_machine::app_data_dir();
            break;
        case CSIDL_PERSONAL:
            native = win_machine::documents_dir();
            break;
        case CSIDL_PROFILE:
            native = win_machine::profile_dir();
            break;
        default:
            return E_INVALIDARG;
    }
    const std::wstring wide = win_detail::from_utf8(native);
    if (wide.size() >= MAX_PATH) return E_FAIL;
    std::memcpy(path, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    return S_OK;
}

void SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2) {
    win_detail::append_journal_record(
        win_detail::journal_file(win_shell::notifications_journal),
        {win_detail::hex_field(static_cast<uint32_t>(event)), win_detail::hex_field(flags),
         item_field(flags, item1), item_field(flags, item2)});
}
