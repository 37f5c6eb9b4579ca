#include "vfs/fixed_directory.h"

#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {

fixed_directory::fixed_directory(const client& session, const directory_record& record,
                                 std::wstring id, int folder_type)
    : directory(session, record), id_(std::move(id)), folder_type_(folder_type) {}

std::wstring fixed_directory::get_id() {
    return id_;
}

std::wstring fixed_directory::get_path() {
    return std::wstring();
}

bool fixed_directory::is_plain_directory() {
    return false;
}

bool fixed_directory::is_fixed_folder() {
    return true;
}

int fixed_directory::get_folder_type() {
    return folder_type_;
}

void fixed_directory::set_folder_type(int /*code*/) {}

directory_record client_only_directory::record_named(const std::wstring& name,
                                                     bool has_subfolders) {
    directory_record record;
    record.id = L"0";
    record.name = name;
    record.has_subfolders = has_subfolders;
    return record;
}

void client_only_directory::refuse(const std::wstring& title) {
    throw exception(title, L"Nothing can be placed in the folder '" + get_name() + L"'");
}

vfs::item_ptr client_only_directory::create_file(const std::wstring& /*name*/) {
    refuse(L"Error creating file");
}

vfs::item_ptr client_only_directory::create_file_alloc(const std::wstring& /*name*/,
                                                       std::int64_t /*size*/) {
    refuse(L"Error creating file");
}

vfs::item_ptr client_only_directory::create_and_open_file(const std::wstring& /*name*/,
                                                          int /*mode*/, std::int64_t /*size*/) {
    refuse(L"Error creating file");
}

vfs::item_ptr client_only_directory::create_directory(const std::wstring& /*name*/) {
    refuse(L"Error creating directory");
}

request_parameters client_only_directory::add_destination_params() {
    refuse(L"Copy file failed");
}

}  // namespace vfs_calvimora
