// The shell's execution of files: journalled, printed for a person, never
// run.
#include "win/shell_execute.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "kernel/journal.h"
#include "kernel/wide_text.h"
#include "win/shell_test.h"
#include "windowing/user_answers.h"

namespace {

const char* const execution_journal = "shell-executions";

constexpr intptr_t success = 42;

std::string id_list_hex(const void* list) {
    static const char digits[] = "0123456789abcdef";
    if (!list) return "";
    const auto* bytes = static_cast<const BYTE*>(list);
    const size_t size = ILGetSize(static_cast<LPCITEMIDLIST>(list));
    std::string out;
    for (size_t i = 0; i + 2 < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xF];
    }
    return out;
}

intptr_t execute(LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, int show,
                 const void* id_list) {
    const std::string target = win_detail::to_utf8(win_detail::wide_or_empty(file));
    const std::string list = id_list_hex(id_list);
    const intptr_t result = target.empty() && list.empty() ? SE_ERR_FNF : success;
    const std::string verb_text = win_detail::to_utf8(win_detail::wide_or_empty(verb));
    const std::string parameter_text = win_detail::to_utf8(win_detail::wide_or_empty(parameters));
    win_detail::append_journal_record(win_detail::journal_file(execution_journal),
                                      {verb_text, target, parameter_text,
                                       win_detail::to_utf8(win_detail::wide_or_empty(directory)),
                                       std::to_string(show), list, std::to_string(result)});
    if (win_user::answers_on_terminal())
        std::fprintf(stderr, "[shell] %s %s%s%s%s\n",
                     verb_text.empty() ? "open" : verb_text.c_str(),
                     target.empty() ? ("item-id list " + list).c_str() : target.c_str(),
                     parameter_text.empty() ? "" : " ", parameter_text.c_str(),
                     result == success ? "" : " (nothing to open)");
    if (result != success) SetLastError(ERROR_FILE_NOT_FOUND);
    return result;
}

}  // namespace

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                        INT show) {
    return reinterpret_cast<HINSTANCE>(execute(verb, file, parameters, directory, show, nullptr));
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
    if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const void* list = (info->fMask & SEE_MASK_IDLIST) ? info->lpIDList : nullptr;
    const intptr_t result = execute(info->lpVerb, info->lpFile, info->lpParameters,
                                    info->lpDirectory, info->nShow, list);
    info->hInstApp = reinterpret_cast<HINSTANCE>(result);
    info->hProcess = nullptr;
    return result == success ? TRUE : FALSE;
}

namespace win_test {

std::vector<shell_execution> shell_executions() {
    std::vector<shell_execution> out;
    for (const auto& record :
         win_detail::read_journal_records(win_detail::journal_file(execution_journal))) {
        if (record.size() != 7) continue;
        out.push_back({record[0], record[1], record[2], record[3], std::atoi(record[4].c_str()),
                       record[5], std::atoi(record[6].c_str())});
    }
    return out;
}

void clear_shell_executions() {
    win_detail::clear_journal(win_detail::journal_file(execution_journal));
}

}  // namespace win_test
