// SHFileOperationW's FO_DELETE: the confirmation and error boxes unless
// the flags leave them out, each item to the trash or deleted for good, and
// the journal of the calls.
#include "win/shell_file_operation.h"

#include <string>
#include <vector>

#include "kernel/journal.h"
#include "kernel/wide_text.h"
#include "shell/shell_trash.h"
#include "win/file.h"
#include "win/user.h"

namespace {

const char* const operations_journal = "shell-file-operations";

std::vector<std::wstring> items_of(LPCWSTR list) {
    std::vector<std::wstring> items;
    if (!list) return items;
    for (LPCWSTR at = list; *at; at += items.back().size() + 1) items.emplace_back(at);
    return items;
}

std::wstring leaf_name(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/", path.find_last_not_of(L"\\/"));
    const std::wstring leaf = separator == std::wstring::npos ? path : path.substr(separator + 1);
    return leaf.substr(0, leaf.find_last_not_of(L"\\/") + 1);
}

bool is_full_path(const std::string& native) {
    return !native.empty() && native.front() == '/';
}

// Asks as the shell does before it deletes; true for Yes.
bool confirmed(const SHFILEOPSTRUCTW& operation, const std::vector<std::wstring>& items) {
    const bool to_trash = (operation.fFlags & FOF_ALLOWUNDO) != 0;
    std::wstring text;
    std::wstring caption;
    if (items.size() == 1) {
        const DWORD attributes = GetFileAttributesW(items[0].c_str());
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const std::wstring what = folder ? L"this folder" : L"this file";
        caption = folder ? L"Delete Folder" : L"Delete File";
        text = to_trash ? L"Are you sure you want to move " + what + L" to the trash?"
                        : L"Are you sure you want to permanently delete " + what + L"?";
        text += L"\r\n\r\n" + leaf_name(items[0]);
    } else {
        const std::wstring what = L"these " + std::to_wstring(items.size()) + L" items";
        caption = L"Delete Multiple Items";
        text = to_trash ? L"Are you sure you want to move " + what + L" to the trash?"
                        : L"Are you sure you want to permanently delete " + what + L"?";
    }
    return MessageBoxW(operation.hwnd, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONWARNING) ==
           IDYES;
}

std::wstring reason_of(int result) {
    switch (result) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return L"The item could not be found.";
        case DE_ROOTDIR:
            return L"The root of a drive cannot be deleted.";
        case DE_DESTSUBTREE:
            return L"The item holds the trash.";
        case ERROR_DISK_FULL:
            return L"There is not enough space on the disk.";
        default:
            return L"Access is denied.";
    }
}

void show_failure(const SHFILEOPSTRUCTW& operation, const std::wstring& item, int result) {
    const std::wstring text = L"Cannot delete " + leaf_name(item) + L": " + reason_of(result);
    MessageBoxW(operation.hwnd, text.c_str(), L"Error Deleting File or Folder",
                MB_OK | MB_ICONERROR);
}

int delete_items(SHFILEOPSTRUCTW& operation, const std::vector<std::wstring>& items) {
    if (items.empty()) return DE_INVALIDFILES;
    if ((operation.fFlags & FOF_NOCONFIRMATION) == 0 && !confirmed(operation, items)) {
        operation.fAnyOperationsAborted = TRUE;
        return DE_OPCANCELLED;
    }
    for (const std::wstring& item : items) {
        const std::string native = win_file::native_path(item);
        // As on Windows, only a full path can be found again in the trash:
        // any other goes for good.
        const int result = (operation.fFlags & FOF_ALLOWUNDO) != 0 && is_full_path(native)
                               ? win_shell::move_to_trash(native)
                               : win_shell::delete_for_good(native);
        if (result == 0) continue;
        if ((operation.fFlags & FOF_NOERRORUI) == 0) show_failure(operation, item, result);
        operation.fAnyOperationsAborted = TRUE;
        return result;
    }
    return 0;
}

int perform(SHFILEOPSTRUCTW& operation, const std::vector<std::wstring>& items) {
    switch (operation.wFunc) {
        case FO_DELETE:
            return delete_items(operation, items);
        case FO_MOVE:
        case FO_COPY:
        case FO_RENAME:
            return ERROR_CALL_NOT_IMPLEMENTED;
        default:
            return ERROR_INVALID_PARAMETER;
    }
}

}  // namespace

int SHFileOperationW(LPSHFILEOPSTRUCTW operation) {
    if (!operation) return ERROR_INVALID_PARAMETER;
    operation->fAnyOperationsAborted = FALSE;
    operation->hNameMappings = nullptr;
    const std::vector<std::wstring> items = items_of(operation->pFrom);
    const int result = perform(*operation, items);
    std::vector<std::string> fields{win_detail::hex_field(operation->wFunc),
                                    win_detail::hex_field(operation->fFlags),
                                    win_detail::hex_field(static_cast<uint32_t>(result)),
                                    operation->fAnyOperationsAborted ? "1" : "0"};
    for (const std::wstring& item : items) fields.push_back(win_detail::to_utf8(item));
    win_detail::append_journal_record(win_detail::journal_file(operations_journal), fields);
    return result;
}

namespace win_test {

std::vector<file_operation> file_operations() {
    std::vector<file_operation> out;
    for (const auto& record :
         win_detail::read_journal_records(win_detail::journal_file(operations_journal))) {
        if (record.size() < 4) continue;
        const auto function = win_detail::parse_hex_field(record[0]);
        const auto flags = win_detail::parse_hex_field(record[1]);
        const auto result = win_detail::parse_hex_field(record[2]);
        if (!function || !flags || !result) continue;
        out.push_back({*function, *flags,
                       std::vector<std::string>(record.begin() + 4, record.end()),
                       static_cast<int>(*result), record[3] == "1"});
    }
    return out;
}

void clear_file_operations() {
    win_detail::clear_journal(win_detail::journal_file(operations_journal));
}

}  // namespace win_test
