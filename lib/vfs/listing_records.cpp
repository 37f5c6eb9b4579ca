#include "vfs/listing_records.h"

#include <charconv>
#include <cmath>
#include <cwctype>
#include <string>

#include "vfs/number_text.h"

namespace vfs_calvimora {

bool read_flag(const std::wstring& text) {
    return text == L"True";
}

double read_price(const std::wstring& text) {
    std::size_t start = 0;
    while (start < text.size() && std::iswspace(static_cast<wint_t>(text[start]))) {
        ++start;
    }
    if (start < text.size() && text[start] == L'+') {
        ++start;
    }
    // Only ASCII can be part of a number; from_chars reads it the same way
    // in every locale.
    std::string ascii;
    for (std::size_t at = start; at < text.size() && text[at] > 0 && text[at] < 0x80; ++at) {
        ascii.push_back(static_cast<char>(text[at]));
    }
    double value = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error != std::errc() || !std::isfinite(value)) {
        return 0;
    }
    return value;
}

directory_record read_directory_record(const response_node& record) {
    const auto text = [&record](const wchar_t* name) { return find_child_text(record, name); };
    directory_record values;
    values.id = text(L"ID");
    values.name = text(L"Name");
    values.description = text(L"Description");
    values.link = text(L"Link");
    values.access = parse_int(text(L"Access"));
    values.is_gallery = read_flag(text(L"IsGallery"));
    values.is_mp3 = read_flag(text(L"IsMP3"));
    values.is_home_folder = read_flag(text(L"IsHomeFolder"));
    values.is_renameable = read_flag(text(L"IsRenameable"));
    values.is_deleteable = read_flag(text(L"IsDeleteable"));
    values.has_subfolders = read_flag(text(L"HasSubfolders"));
    values.shared = read_flag(text(L"Shared"));
    values.date_created = parse_int64(text(L"DateCreated"));
    values.date_deleted = parse_int64(text(L"DateDeleted"));
    return values;
}

file_record read_file_record(const response_node& record) {
    const auto text = [&record](const wchar_t* name) { return find_child_text(record, name); };
    file_record values;
    values.id = text(L"ID");
    values.name = text(L"Name");
    values.link = text(L"Link");
    values.direct_link = text(L"DirectLink");
    values.location = text(L"Location");
    values.description = text(L"Description");
    values.access = parse_int(text(L"Access"));
    values.price = read_price(text(L"Price"));
    values.size = parse_int64(text(L"Size"));
    values.date_accessed = parse_int64(text(L"DateAccessed"));
    values.date_modified = parse_int64(text(L"DateModified"));
    values.date_deleted = parse_int64(text(L"DateDeleted"));
    return values;
}

vfs::directory::sharewith_item read_sharewith_record(const response_node& record) {
    vfs::directory::sharewith_item values;
    values.id = parse_int(find_child_text(record, L"ID"));
    values.sharewith_user_id = parse_int(find_child_text(record, L"ShareWithUserID"));
    values.name = find_child_text(record, L"Name");
    values.share_mode = parse_int(find_child_text(record, L"ShareMode"));
    // Which users the requester may change or remove is the service's word.
    values.flags = parse_int(find_child_text(record, L"Flags"));
    return values;
}

}  // namespace vfs_calvimora
