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
    record.id = root_server_id;
    record.name = name;
    record.has_subfolders = has_subfolders;
    return record;
}

void client_only_directory::refuse_placing(const std::wstring& title) {
    throw exception(title, L"Nothing can be placed in the folder '" + get_name() + L"'");
}

void client_only_directory::refuse(const std::wstring& title, const wchar_t* what) {
    throw exception(title, refusal_text(get_name(), what));
}

void client_only_directory::set_description(const std::wstring& /*description*/) {
    refuse(L"Set description failed", L"changed");
}

void client_only_directory::set_access(int /*access*/) {
    refuse(L"Set access failed", L"changed");
}

void client_only_directory::restore() {
    refuse(L"Restore failed", L"restored");
}

vfs::item_ptr client_only_directory::create_file(const std::wstring& /*name*/) {
    refuse_placing(L"Error creating file");
}

vfs::item_ptr client_only_directory::create_file_alloc(const std::wstring& /*name*/,
                                                       std::int64_t /*size*/) {
    refuse_placing(L"Error creating file");
}

vfs::item_ptr client_only_directory::create_and_open_file(const std::wstring& /*name*/,
                                                          int /*mode*/, std::int64_t /*size*/) {
    refuse_placing(L"Error creating file");
}

vfs::item_ptr client_only_directory::create_directory(const std::wstring& /*name*/) {
    refuse_placing(L"Error creating directory");
}

void client_only_directory::sharing(int /*sharewithuser_id*/) {
    refuse(L"Sharing failed", L"shared");
}

directory::sharewith_list client_only_directory::get_sharewith_items() {
    refuse(L"Sharing failed", L"shared");
}

bool client_only_directory::email_for_sharing(const std::wstring& /*email*/) {
    refuse(L"Sharing failed", L"shared");
}

request_parameters client_only_directory::add_destination_params() {
    refuse_placing(L"Copy file failed");
}

}  // namespace vfs_calvimora
