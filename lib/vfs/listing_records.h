// The records of the service's listings, read into values: "Directory" (a
// folder), "File" (a file) and "ShareWithUser" (a user a folder is shared
// with). Every folder kind reads them alike. A missing element reads as an
// empty text, which gives 0 for numbers and false for flags.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vfs/directory.h"
#include "vfs/response_node.h"

namespace vfs_calvimora {

// A "Directory" record. Dates are seconds since 1970-01-01 UTC; 0 means no
// date (date_deleted 0: not in the trash).
struct directory_record {
    std::wstring id;  // the server id, without the "dir_" prefix
    std::wstring name;
    std::wstring description;
    std::wstring link;
    int access = 0;
    bool is_gallery = false;
    bool is_mp3 = false;
    bool is_home_folder = false;
    bool is_renameable = false;
    bool is_deleteable = false;
    bool has_subfolders = false;
    bool shared = false;
    std::int64_t date_created = 0;
    std::int64_t date_deleted = 0;

    bool operator==(const directory_record&) const = default;
};

// A "File" record, its twelve fields in the order the service defines them.
// Sizes in bytes, dates as in directory_record.
struct file_record {
    std::wstring id;  // the server id, also the file's get_id
    std::wstring name;
    std::wstring link;
    std::wstring direct_link;
    std::wstring location;  // where the contents lie on the transfer server
    std::wstring description;
    int access = 0;
    double price = 0;
    std::int64_t size = 0;
    std::int64_t date_accessed = 0;
    std::int64_t date_modified = 0;
    std::int64_t date_deleted = 0;

    bool operator==(const file_record&) const = default;
};

// How a field's text becomes its value: taken as it stands, a decimal
// number (32 or 64 bits), a flag or a price.
enum class field_kind { text, number, wide_number, flag, price };

// A field of a record: the name of its element and the member it fills.
template <typename record>
struct record_field {
    std::string_view name;
    field_kind kind = field_kind::text;
    std::wstring record::*text = nullptr;
    int record::*number = nullptr;
    std::int64_t record::*wide_number = nullptr;
    bool record::*flag = nullptr;
    double record::*price = nullptr;
};

template <typename record>
constexpr record_field<record> text_field(std::string_view name, std::wstring record::*member) {
    return {.name = name, .kind = field_kind::text, .text = member};
}
template <typename record>
constexpr record_field<record> number_field(std::string_view name, int record::*member) {
    return {.name = name, .kind = field_kind::number, .number = member};
}
template <typename record>
constexpr record_field<record> wide_number_field(std::string_view name,
                                                 std::int64_t record::*member) {
    return {.name = name, .kind = field_kind::wide_number, .wide_number = member};
}
template <typename record>
constexpr record_field<record> flag_field(std::string_view name, bool record::*member) {
    return {.name = name, .kind = field_kind::flag, .flag = member};
}
template <typename record>
constexpr record_field<record> price_field(std::string_view name, double record::*member) {
    return {.name = name, .kind = field_kind::price, .price = member};
}

// The fields of the two listing records, each read by every reader of a
// listing through these tables alone.
inline constexpr std::array<record_field<directory_record>, 14> directory_fields{
    text_field("ID", &directory_record::id),
    text_field("Name", &directory_record::name),
    text_field("Description", &directory_record::description),
    text_field("Link", &directory_record::link),
    number_field("Access", &directory_record::access),
    flag_field("IsGallery", &directory_record::is_gallery),
    flag_field("IsMP3", &directory_record::is_mp3),
    flag_field("IsHomeFolder", &directory_record::is_home_folder),
    flag_field("IsRenameable", &directory_record::is_renameable),
    flag_field("IsDeleteable", &directory_record::is_deleteable),
    flag_field("HasSubfolders", &directory_record::has_subfolders),
    flag_field("Shared", &directory_record::shared),
    wide_number_field("DateCreated", &directory_record::date_created),
    wide_number_field("DateDeleted", &directory_record::date_deleted)};

inline constexpr std::array<record_field<file_record>, 12> file_fields{
    text_field("ID", &file_record::id),
    text_field("Name", &file_record::name),
    text_field("Link", &file_record::link),
    text_field("DirectLink", &file_record::direct_link),
    text_field("Location", &file_record::location),
    text_field("Description", &file_record::description),
    number_field("Access", &file_record::access),
    price_field("Price", &file_record::price),
    wide_number_field("Size", &file_record::size),
    wide_number_field("DateAccessed", &file_record::date_accessed),
    wide_number_field("DateModified", &file_record::date_modified),
    wide_number_field("DateDeleted", &file_record::date_deleted)};

// The place of a field in its table; naming a field the table lacks does
// not compile where a constant is asked for.
template <typename record, std::size_t count>
constexpr std::size_t field_index(const std::array<record_field<record>, count>& fields,
                                  std::string_view name) {
    for (std::size_t index = 0; index < count; ++index) {
        if (fields[index].name == name) return index;
    }
    throw "no field of that name";
}

// Stores one field's value into the record; the reader turns the field's
// text into each kind of value by its own means (text(), number(),
// wide_number(), flag(), price()).
template <typename record, typename reader>
void store_field(const record_field<record>& field, record& target, const reader& read) {
    switch (field.kind) {
        case field_kind::text:
            target.*field.text = read.text();
            return;
        case field_kind::number:
            target.*field.number = read.number();
            return;
        case field_kind::wide_number:
            target.*field.wide_number = read.wide_number();
            return;
        case field_kind::flag:
            target.*field.flag = read.flag();
            return;
        case field_kind::price:
            target.*field.price = read.price();
            return;
    }
}

// A flag of a record is set only by the exact text "True".
bool read_flag(const std::wstring& text);

// A price: a decimal number read as far as it goes, whatever the process's
// locale; 0 for a text that does not start with one.
double read_price(const std::wstring& text);

directory_record read_directory_record(const response_node& record);
file_record read_file_record(const response_node& record);
vfs::directory::sharewith_item read_sharewith_record(const response_node& record);

}  // namespace vfs_calvimora
