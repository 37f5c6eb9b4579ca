#include "sync_messages.h"

#include "sync_strings.h"
#include "syncer/core/messages.h"
#include "syncer/core/paths.h"
#include "syncer/core/user_interface.h"

std::wstring FillPlaceholders(const std::wstring& pattern,
                              std::initializer_list<std::wstring> arguments) {
    std::wstring result;
    auto next = arguments.begin();
    size_t at = 0;
    for (size_t found; (found = pattern.find(L"%s", at)) != std::wstring::npos; at = found + 2) {
        result.append(pattern, at, found - at);
        if (next != arguments.end()) result += *next++;
    }
    result.append(pattern, at);
    return result;
}

namespace {

// The pattern's own text as parts that may not be shortened, each
// argument as given.
text_parts FillPlaceholderParts(const std::wstring& pattern,
                                std::initializer_list<text_part> arguments) {
    text_parts result;
    auto next = arguments.begin();
    size_t at = 0;
    for (size_t found; (found = pattern.find(L"%s", at)) != std::wstring::npos; at = found + 2) {
        result.push_back({pattern.substr(at, found - at), false});
        if (next != arguments.end()) result.push_back(*next++);
    }
    result.push_back({pattern.substr(at), false});
    return result;
}

text_parts text_of(UINT id, std::initializer_list<text_part> arguments) {
    return FillPlaceholderParts(LoadSyncString(id), arguments);
}

text_parts text_of(UINT id, std::initializer_list<std::wstring> arguments) {
    return {{FillPlaceholders(LoadSyncString(id), arguments), false}};
}

// A name or path within a text, which may be shortened to fit a place.
text_part name(const std::wstring& text) {
    return {text, true};
}

// The kind's own text; empty for a kind that has none.
text_parts kind_text(int kind, const std::wstring& dir_remote, const std::wstring& dir_local,
                     const std::wstring& filename) {
    namespace k = syncer::message_kind;
    using syncer::leaf_name;
    using syncer::parent_path;
    const text_part product{syncer::product_name, false};
    const std::wstring joined = syncer::join_path(dir_remote, filename);
    switch (kind) {
        case k::upload_new:
            return text_of(IDS_SYNC_ASK_UPLOAD_NEW,
                           {name(filename), product, name(dir_local), name(dir_remote)});
        case k::download_new:
            return text_of(IDS_SYNC_ASK_DOWNLOAD_NEW,
                           {name(filename), product, name(dir_local), name(dir_remote)});
        case k::upload_newer:
            return text_of(IDS_SYNC_ASK_UPLOAD_NEWER,
                           {name(filename), product, name(dir_local), name(dir_remote)});
        case k::download_newer:
            return text_of(IDS_SYNC_ASK_DOWNLOAD_NEWER,
                           {name(filename), product, name(dir_local), name(dir_remote)});
        case k::remove_remote_file:
            return text_of(IDS_SYNC_ASK_REMOVE_REMOTE_FILE,
                           {name(filename), name(dir_local), name(dir_remote), product});
        case k::remove_remote_folder:
            return text_of(IDS_SYNC_ASK_REMOVE_REMOTE_FOLDER,
                           {name(leaf_name(dir_remote)), name(parent_path(dir_local)),
                            name(parent_path(dir_remote)), product});
        case k::remove_local_file:
            return text_of(IDS_SYNC_ASK_REMOVE_LOCAL_FILE,
                           {name(filename), product, name(dir_local), name(dir_remote)});
        case k::remove_local_folder:
            return text_of(IDS_SYNC_ASK_REMOVE_LOCAL_FOLDER,
                           {name(leaf_name(dir_local)), product, name(parent_path(dir_local)),
                            name(parent_path(dir_remote))});
        case k::recurse_subfolders:
            return text_of(IDS_SYNC_ASK_RECURSE, {name(dir_local), name(dir_remote)});
        case k::copy_to_temporary:
            return text_of(IDS_SYNC_COPY_TO_TEMPORARY, {joined});
        case k::copy_from_temporary:
            return text_of(IDS_SYNC_COPY_FROM_TEMPORARY, {joined});
        case k::make_temporary:
        case k::open_local_stream:
            return text_of(IDS_SYNC_OPEN_TEMPORARY, {filename});
        case k::read_local_stream:
            return text_of(IDS_SYNC_READ_TEMPORARY, {filename});
        case k::write_local_stream:
            return text_of(IDS_SYNC_WRITE_TEMPORARY, {filename});
        case k::close_local_stream:
            return text_of(IDS_SYNC_CLOSE_TEMPORARY, {filename});
        case k::set_temporary_time:
            return text_of(IDS_SYNC_TEMPORARY_ATTRIBUTES, {filename});
        case k::remove_temporary:
            return text_of(IDS_SYNC_REMOVE_TEMPORARY, {filename});
        case k::create_local_folder:
            return text_of(IDS_SYNC_CREATE_LOCAL_DIR, {dir_local});
        case k::open_remote_folder:
            return text_of(IDS_SYNC_OPEN_REMOTE_DIR, {dir_remote});
        case k::create_remote_file:
        case k::open_remote_file:
        case k::read_remote_file:
        case k::write_remote_file:
        case k::close_remote_file:
        case k::remote_file_info:
        case k::set_remote_date:
            return text_of(IDS_SYNC_CREATE_REMOTE_FILE + (kind - k::create_remote_file), {joined});
        default:
            return {};
    }
}

// Digits in groups of three from the right, a blank between groups.
std::wstring grouped(std::uint64_t number) {
    const std::wstring digits = std::to_wstring(number);
    std::wstring result;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) result += L' ';
        result += digits[i];
    }
    return result;
}

}  // namespace

text_parts FormatSyncQuestion(int kind, const std::wstring& dir_remote,
                              const std::wstring& dir_local, const std::wstring& filename) {
    text_parts parts = kind_text(kind, dir_remote, dir_local, filename);
    if (JoinParts(parts).empty()) return {{L"Unknown message", false}};
    return parts;
}

std::wstring FormatSyncMessage(int kind, const std::wstring& dir_remote,
                               const std::wstring& dir_local, const std::wstring& filename,
                               const std::wstring& detail) {
    std::wstring text = JoinParts(kind_text(kind, dir_remote, dir_local, filename));
    if (!detail.empty()) {
        if (!text.empty()) text += L' ';
        text += detail;
    }
    return text.empty() ? L"Unknown message" : text;
}

std::wstring FormatSyncSize(std::int64_t size) {
    static const wchar_t* const units[] = {L"bytes", L"KB", L"MB", L"GB", L"TB"};
    const std::uint64_t value = size < 0 ? 0 : static_cast<std::uint64_t>(size);
    std::uint64_t factor = 1;
    size_t unit = 0;
    while (unit + 1 < std::size(units) && value >= 1000 * factor) {
        factor *= 1024;
        ++unit;
    }
    const std::uint64_t rounded_up = value / factor + (value % factor != 0 ? 1 : 0);
    return grouped(rounded_up) + L" " + units[unit];
}
