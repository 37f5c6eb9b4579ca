#include "syncer/core/messages.h"

#include <initializer_list>
#include <iterator>

#include "syncer/core/paths.h"
#include "syncer/core/user_interface.h"

namespace syncer {

namespace {

// Fills each "%s" of the pattern with the next argument, in order. Arguments
// are copied as they are, so a "%s" inside a file name stays literal.
std::wstring format(const std::wstring& pattern, std::initializer_list<std::wstring> arguments) {
    std::wstring result;
    auto next = arguments.begin();
    std::size_t at = 0;
    for (std::size_t found; (found = pattern.find(L"%s", at)) != std::wstring::npos;
         at = found + 2) {
        result.append(pattern, at, found - at);
        if (next != arguments.end()) result += *next++;
    }
    result.append(pattern, at);
    return result;
}

// A question about one item: what happened, the two paths, what to do.
std::wstring with_paths(const wchar_t* what_happened, const wchar_t* question) {
    return std::wstring(what_happened) + L"\r\n\r\nLocal path: %s\r\nRemote path: %s\r\n\r\n" +
           question;
}

std::wstring question_text(int kind, const std::wstring& dir_remote, const std::wstring& dir_local,
                           const std::wstring& filename) {
    namespace k = message_kind;
    switch (kind) {
        case k::upload_new:
            return format(with_paths(L"File '%s' exists on local drive, but not on '%s'.",
                                     L"Would you like to upload it?"),
                          {filename, product_name, dir_local, dir_remote});
        case k::download_new:
            return format(with_paths(L"File '%s' exists on '%s', but not on local drive.",
                                     L"Would you like to download it?"),
                          {filename, product_name, dir_local, dir_remote});
        case k::upload_newer:
            return format(
                with_paths(L"File '%s' has been modified on local drive, but its older copy "
                           L"exists on '%s'.",
                           L"Would you like to upload it?"),
                {filename, product_name, dir_local, dir_remote});
        case k::download_newer:
            return format(
                with_paths(L"File '%s' has been modified on '%s', but its older copy exists on "
                           L"local drive.",
                           L"Would you like to download it?"),
                {filename, product_name, dir_local, dir_remote});
        case k::remove_remote_file:
            return format(with_paths(L"File '%s' has been removed from local drive.",
                                     L"Would you like to remove it from '%s'?"),
                          {filename, dir_local, dir_remote, product_name});
        case k::remove_remote_folder:
            return format(with_paths(L"Folder '%s' has been removed from local drive.",
                                     L"Would you like to remove it from '%s'?"),
                          {leaf_name(dir_remote), parent_path(dir_local), parent_path(dir_remote),
                           product_name});
        case k::remove_local_file:
            return format(with_paths(L"File '%s' has been removed from '%s'.",
                                     L"Would you like to remove it from local drive?"),
                          {filename, product_name, dir_local, dir_remote});
        case k::remove_local_folder:
            return format(with_paths(L"Folder '%s' has been removed from '%s'.",
                                     L"Would you like to remove it from local drive?"),
                          {leaf_name(dir_local), product_name, parent_path(dir_local),
                           parent_path(dir_remote)});
        case k::recurse_subfolders:
            return format(L"Should Calvimora synchronize all subfolders of folders '%s' and '%s'?",
                          {dir_local, dir_remote});
        default:
            return L"";
    }
}

std::wstring failure_reason_text(int kind, const std::wstring& dir_remote,
                                 const std::wstring& dir_local, const std::wstring& filename) {
    namespace k = message_kind;
    const std::wstring remote_file = join_path(dir_remote, filename);
    switch (kind) {
        case k::copy_to_temporary:
            return format(L"Copying file '%s' to temporary folder failed.", {remote_file});
        case k::copy_from_temporary:
            return format(L"Copying temporary file to '%s' failed.", {remote_file});
        case k::make_temporary:
        case k::open_local_stream:
            return format(L"Opening temporary file for '%s' failed.", {filename});
        case k::read_local_stream:
            return format(L"Reading from temporary file for '%s' failed.", {filename});
        case k::write_local_stream:
            return format(L"Writing to temporary file for '%s' failed.", {filename});
        case k::close_local_stream:
            return format(L"Closing temporary file for '%s' failed.", {filename});
        case k::set_temporary_time:
            return format(L"Setting attributes for temporary file for '%s' failed.", {filename});
        case k::remove_temporary:
            return format(L"Removing temporary file for '%s' failed.", {filename});
        case k::create_local_folder:
            return format(L"Creating local dir '%s' failed.", {dir_local});
        case k::open_remote_folder:
            return format(L"Opening remote dir '%s' failed.", {dir_remote});
        case k::create_remote_file:
            return format(L"Creating remote file '%s' failed.", {remote_file});
        case k::open_remote_file:
            return format(L"Opening remote file '%s' failed.", {remote_file});
        case k::read_remote_file:
            return format(L"Reading remote file '%s' failed.", {remote_file});
        case k::write_remote_file:
            return format(L"Writing remote file '%s' failed.", {remote_file});
        case k::close_remote_file:
            return format(L"Closing remote file '%s' failed.", {remote_file});
        case k::remote_file_info:
            return format(L"Getting info for remote file '%s' failed.", {remote_file});
        case k::set_remote_date:
            return format(L"Setting date for remote file '%s' failed.", {remote_file});
        default:
            return L"";
    }
}

}  // namespace

std::wstring message_text(int kind, const std::wstring& dir_remote, const std::wstring& dir_local,
                          const std::wstring& filename) {
    if (kind <= message_kind::recurse_subfolders)
        return question_text(kind, dir_remote, dir_local, filename);
    return failure_reason_text(kind, dir_remote, dir_local, filename);
}

std::wstring failure_text(int kind, const std::wstring& message, const std::wstring& dir_remote,
                          const std::wstring& dir_local, const std::wstring& filename) {
    const std::wstring own_text = message_text(kind, dir_remote, dir_local, filename);
    if (own_text.empty()) return message.empty() ? L"Unknown message" : message;
    return message.empty() ? own_text : own_text + L" " + message;
}

std::wstring result_text(int result_kind, const std::wstring& folder,
                         const std::wstring& filename) {
    static const wchar_t* const patterns[] = {
        L"File '%s' uploaded successfully.", L"File '%s' upload failed.",
        L"File '%s' upload canceled.",       L"File '%s' downloaded successfully.",
        L"File '%s' download failed.",       L"File '%s' download canceled.",
    };
    if (result_kind < 0 || result_kind >= static_cast<int>(std::size(patterns))) return L"";
    return format(patterns[result_kind], {join_path(folder, filename)});
}

std::wstring information_text(int information_kind) {
    if (information_kind != information_table_restored) return L"";
    return format(L"%s sync database has been successfully restored.", {product_name});
}

}  // namespace syncer
