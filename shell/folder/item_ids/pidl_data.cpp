#include "folder/item_ids/pidl_data.h"

#include <cstring>
#include <iterator>

#include "folder/item_ids/utf16_text.h"
#include "vfs/directory.h"
#include "vfs/file.h"
#include "win/file.h"
#include "win/shell_info.h"

namespace {

// Equal up to the first zero within the field, as the fields are compared.
bool same_text(const char16_t* a, const char16_t* b, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        if (a[i] != b[i]) return false;
        if (a[i] == 0) return true;
    }
    return true;
}

// The shell's type text for a path and attributes; empty when it has none.
std::wstring shell_type_name(const std::wstring& path, DWORD attributes) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path.c_str(), attributes, &info, sizeof info,
                        SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES))
        return {};
    return std::wstring(info.szTypeName, wcsnlen(info.szTypeName, std::size(info.szTypeName)));
}

// The part of a name from its last "." on, or nothing without a ".".
std::wstring extension_of(const std::wstring& name) {
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

}  // namespace

bool PIDLDATA::operator==(const PIDLDATA& other) const {
    return cb == other.cb && type == other.type && has_subfolders == other.has_subfolders &&
           same_text(name, other.name, std::size(name)) &&
           same_text(type_name, other.type_name, std::size(type_name)) && size == other.size;
}

double ole_date_from_time(std::int64_t seconds) {
    return seconds > 0 ? static_cast<double>(seconds) / 86400.0 + 25569.0
                       : static_cast<double>(seconds);
}

std::wstring pidl_name(const PIDLDATA& data) {
    return shell_text::from_utf16(data.name, std::size(data.name));
}

std::wstring pidl_type_name(const PIDLDATA& data) {
    return shell_text::from_utf16(data.type_name, std::size(data.type_name));
}

std::wstring pidl_id(const PIDLDATA& data) {
    return shell_text::from_utf16(data.id, std::size(data.id));
}

PIDLDATA make_pidl_data(vfs::item_ptr item) {
    PIDLDATA data;
    std::memset(&data, 0, sizeof data);
    data.cb = pidl_data_size;
    data.type = static_cast<uint8_t>(item->get_type());
    const std::wstring name = item->get_name();
    shell_text::write_field(data.name, std::size(data.name), name);
    shell_text::write_field(data.id, std::size(data.id), item->get_id());
    data.size = -1;
    data.date_created = data.date_accessed = data.date_modified = data.date_deleted = -1.0;

    if (data.type == vfs::item_type_directory) {
        if (auto directory = boost::dynamic_pointer_cast<vfs::directory>(item)) {
            data.has_subfolders = directory->has_subdirectories();
            data.is_shared = directory->is_shared();
            data.is_plain_directory = directory->is_plain_directory();
            data.is_fixed_folder = directory->is_fixed_folder();
            data.date_created = ole_date_from_time(directory->get_creation_date());
            data.date_deleted = ole_date_from_time(directory->get_delete_date());
            shell_text::write_field(data.type_name, std::size(data.type_name),
                                    shell_type_name(L"*", FILE_ATTRIBUTE_DIRECTORY));
            return data;
        }
    }
    if (auto file = boost::dynamic_pointer_cast<vfs::file>(item)) {
        data.size = file->get_size();
        data.date_created = ole_date_from_time(file->get_creation_date());
        data.date_accessed = ole_date_from_time(file->get_access_date());
        data.date_modified = ole_date_from_time(file->get_modification_date());
        data.date_deleted = ole_date_from_time(file->get_delete_date());
        data.attributes = static_cast<uint32_t>(file->get_attributes());
        shell_text::write_field(data.type_name, std::size(data.type_name),
                                shell_type_name(extension_of(name), FILE_ATTRIBUTE_NORMAL));
    }
    return data;
}
