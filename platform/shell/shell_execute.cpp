// The shell's execution of files: journalled, printed for a person, never
// run.
#include "win/shell_execute.h"

#include <cstdio>
#include <cwchar>
#include <string>

#include "kernel/journal.h"
#include "kernel/wide_text.h"
#include "registry/registry_key_name.h"
#include "shell_journals.h"
#include "win/shell_assoc.h"
#include "windowing/user_answers.h"

namespace {

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

struct execution {
    LPCWSTR verb = nullptr;
    LPCWSTR file = nullptr;
    LPCWSTR parameters = nullptr;
    LPCWSTR directory = nullptr;
    int show = 0;
    const void* id_list = nullptr;
    ULONG mask = 0;
    std::wstring class_name;
};

void record(const execution& call, intptr_t result) {
    const std::string target = win_detail::to_utf8(win_detail::wide_or_empty(call.file));
    const std::string list = id_list_hex(call.id_list);
    const std::string verb_text = win_detail::to_utf8(win_detail::wide_or_empty(call.verb));
    const std::string parameter_text =
        win_detail::to_utf8(win_detail::wide_or_empty(call.parameters));
    const std::string class_text = win_detail::to_utf8(call.class_name);
    win_detail::append_journal_record(
        win_detail::journal_file(win_shell::execution_journal),
        {verb_text, target, parameter_text,
         win_detail::to_utf8(win_detail::wide_or_empty(call.directory)), std::to_string(call.show),
         list, std::to_string(result), std::to_string(call.mask), class_text});
    if (win_user::answers_on_terminal())
        std::fprintf(stderr, "[shell] %s %s%s%s%s%s%s\n",
                     verb_text.empty() ? "open" : verb_text.c_str(),
                     target.empty() ? ("item-id list " + list).c_str() : target.c_str(),
                     parameter_text.empty() ? "" : " ", parameter_text.c_str(),
                     class_text.empty() ? "" : " with ", class_text.c_str(),
                     result == success          ? ""
                     : result == SE_ERR_NOASSOC ? " (no program for it)"
                                                : " (nothing to open)");
}

intptr_t execute(const execution& call) {
    const bool nothing = win_detail::wide_or_empty(call.file).empty() && !call.id_list;
    const intptr_t result = nothing ? SE_ERR_FNF : success;
    record(call, result);
    if (result != success) SetLastError(ERROR_FILE_NOT_FOUND);
    return result;
}

// Whether a class can carry out the verb: it has the verb's command, the
// default verb's when none is asked for.
bool class_has_command(HKEY class_key, LPCWSTR verb) {
    std::wstring name = win_detail::wide_or_empty(verb);
    if (name.empty()) name = win_shell::default_verb(class_key);
    HKEY command = nullptr;
    const std::wstring path = L"shell\\" + name + L"\\command";
    if (RegOpenKeyExW(class_key, path.c_str(), 0, KEY_QUERY_VALUE, &command) != ERROR_SUCCESS)
        return false;
    RegCloseKey(command);
    return true;
}

bool is_folder_class(const std::wstring& name) {
    return wcscasecmp(name.c_str(), L"folder") == 0;
}

}  // namespace

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                        INT show) {
    return reinterpret_cast<HINSTANCE>(
        execute({verb, file, parameters, directory, show, nullptr, 0, {}}));
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
    if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    execution call{info->lpVerb,       info->lpFile,
                   info->lpParameters, info->lpDirectory,
                   info->nShow,        (info->fMask & SEE_MASK_IDLIST) ? info->lpIDList : nullptr,
                   info->fMask,        {}};
    // The class that carries out the verb: a key of the caller's, or one
    // named under the classes root; the folder class is the shell's own.
    HKEY class_key = nullptr;
    HKEY opened = nullptr;
    bool has_class = false;
    if ((info->fMask & SEE_MASK_CLASSKEY) == SEE_MASK_CLASSKEY) {
        call.class_name = win_detail::registry_key_name(info->hkeyClass);
        if (call.class_name.empty()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        class_key = info->hkeyClass;
        has_class = true;
    } else if (info->fMask & SEE_MASK_CLASSNAME) {
        call.class_name = win_detail::wide_or_empty(info->lpClass);
        if (!is_folder_class(call.class_name)) {
            has_class = true;
            if (RegOpenKeyExW(HKEY_CLASSES_ROOT, call.class_name.c_str(), 0, KEY_QUERY_VALUE,
                              &opened) == ERROR_SUCCESS)
                class_key = opened;
        }
    }
    intptr_t result = 0;
    if (has_class && (!class_key || !class_has_command(class_key, info->lpVerb))) {
        result = SE_ERR_NOASSOC;
        record(call, result);
        SetLastError(ERROR_NO_ASSOCIATION);
    } else {
        result = execute(call);
    }
    if (opened) RegCloseKey(opened);
    info->hInstApp = reinterpret_cast<HINSTANCE>(result);
    info->hProcess = nullptr;
    return result == success ? TRUE : FALSE;
}
