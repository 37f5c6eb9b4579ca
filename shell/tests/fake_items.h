// Remote items for the extension's tests: folders and files whose listed
// values a test sets. Operations the tests do not use throw.
#pragma once

#include <boost/make_shared.hpp>

#include <stdexcept>
#include <string>
#include <vector>

#include "vfs/client.h"
#include "vfs/directory.h"
#include "vfs/file.h"

namespace shell_testing {

struct item_values {
    std::wstring name;
    std::wstring id;
    std::int64_t created = -1;
    std::int64_t deleted = -1;
};

#define SHELL_TESTING_UNUSED(...) \
    { throw std::logic_error("not used by the shell tests"); }

class fake_file : public vfs::file {
public:
    explicit fake_file(item_values values) : values_(std::move(values)) {}

    std::int64_t size = 0;
    std::int64_t accessed = -1;
    std::int64_t modified = -1;
    int attributes = 0;
    int type = vfs::item_type_file;

    std::wstring get_name() override { return values_.name; }
    std::wstring get_id() override { return values_.id; }
    int get_type() override { return type; }
    std::int64_t get_creation_date() override { return values_.created; }
    std::int64_t get_delete_date() override { return values_.deleted; }
    std::int64_t get_size() override { return size; }
    std::int64_t get_access_date() override { return accessed; }
    std::int64_t get_modification_date() override { return modified; }
    int get_attributes() override { return attributes; }

    std::wstring get_path() override SHELL_TESTING_UNUSED();
    std::wstring get_description() override SHELL_TESTING_UNUSED();
    void set_description(const std::wstring&) override SHELL_TESTING_UNUSED();
    vfs::byte_buffer get_thumbnail() override SHELL_TESTING_UNUSED();
    void set_access(int) override SHELL_TESTING_UNUSED();
    int get_access() override SHELL_TESTING_UNUSED();
    std::wstring get_link() override SHELL_TESTING_UNUSED();
    void restore() override SHELL_TESTING_UNUSED();
    std::wstring get_direct_link() override SHELL_TESTING_UNUSED();
    void copy(const vfs::item_ptr&, bool) override SHELL_TESTING_UNUSED();
    double get_price() override SHELL_TESTING_UNUSED();
    void set_price(double) override SHELL_TESTING_UNUSED();
    void open(int, std::int64_t) override SHELL_TESTING_UNUSED();
    void close(std::int64_t) override SHELL_TESTING_UNUSED();
    bool is_bof() override SHELL_TESTING_UNUSED();
    bool is_eof() override SHELL_TESTING_UNUSED();
    int get_mode() override SHELL_TESTING_UNUSED();
    std::int64_t get_pos() override SHELL_TESTING_UNUSED();
    void seek(std::int64_t, int) override SHELL_TESTING_UNUSED();
    int read(void*, int) override SHELL_TESTING_UNUSED();
    int write(const void*, int) override SHELL_TESTING_UNUSED();
    void set_modification_date(std::int64_t) override SHELL_TESTING_UNUSED();
    void set_attributes(int) override SHELL_TESTING_UNUSED();

private:
    item_values values_;
};

class fake_directory : public vfs::directory {
public:
    explicit fake_directory(item_values values) : values_(std::move(values)) {}

    bool subdirectories = false;
    bool shared = false;
    bool plain = true;
    bool fixed = false;
    vfs::item_list children;

    std::wstring get_name() override { return values_.name; }
    std::wstring get_id() override { return values_.id; }
    int get_type() override { return vfs::item_type_directory; }
    std::int64_t get_creation_date() override { return values_.created; }
    std::int64_t get_delete_date() override { return values_.deleted; }
    vfs::item_list list_items() override { return children; }
    bool has_subdirectories() override { return subdirectories; }
    bool is_shared() override { return shared; }
    bool is_plain_directory() override { return plain; }
    bool is_fixed_folder() override { return fixed; }

    std::wstring get_path() override SHELL_TESTING_UNUSED();
    std::wstring get_description() override SHELL_TESTING_UNUSED();
    void set_description(const std::wstring&) override SHELL_TESTING_UNUSED();
    vfs::byte_buffer get_thumbnail() override SHELL_TESTING_UNUSED();
    void set_access(int) override SHELL_TESTING_UNUSED();
    int get_access() override SHELL_TESTING_UNUSED();
    std::wstring get_link() override SHELL_TESTING_UNUSED();
    void restore() override SHELL_TESTING_UNUSED();
    bool is_home_folder() override SHELL_TESTING_UNUSED();
    int get_folder_type() override SHELL_TESTING_UNUSED();
    void set_folder_type(int) override SHELL_TESTING_UNUSED();
    vfs::item_ptr get_item(const std::wstring&, bool) override SHELL_TESTING_UNUSED();
    vfs::item_ptr get_item_by_id(const std::wstring&, bool) override SHELL_TESTING_UNUSED();
    void rename_item(const std::wstring&, const std::wstring&) override SHELL_TESTING_UNUSED();
    void rename_item(const vfs::item_ptr&, const std::wstring&) override SHELL_TESTING_UNUSED();
    void delete_item(const std::wstring&, bool) override SHELL_TESTING_UNUSED();
    void delete_item(const vfs::item_ptr&, bool) override SHELL_TESTING_UNUSED();
    vfs::item_ptr create_file(const std::wstring&) override SHELL_TESTING_UNUSED();
    vfs::item_ptr create_file_alloc(const std::wstring&, std::int64_t) override
        SHELL_TESTING_UNUSED();
    vfs::item_ptr create_and_open_file(const std::wstring&, int, std::int64_t) override
        SHELL_TESTING_UNUSED();
    vfs::item_ptr create_directory(const std::wstring&) override SHELL_TESTING_UNUSED();
    int can_share_with(const std::wstring&, bool&) override SHELL_TESTING_UNUSED();
    void sharing(int) override SHELL_TESTING_UNUSED();
    void set_share_mode(int, int) override SHELL_TESTING_UNUSED();
    void delete_sharing_with_user(int) override SHELL_TESTING_UNUSED();
    sharewith_list get_sharewith_items() override SHELL_TESTING_UNUSED();
    sharewith_item_ptr find_sharewith_item_by_id(int) override SHELL_TESTING_UNUSED();
    sharewith_item_ptr find_sharewith_item_by_userid(int) override SHELL_TESTING_UNUSED();
    bool email_for_sharing(const std::wstring&) override SHELL_TESTING_UNUSED();

private:
    item_values values_;
};

#undef SHELL_TESTING_UNUSED

// A session's client over a fake remote root.
class fake_client : public vfs::client {
public:
    explicit fake_client(vfs::directory_ptr root) : root_(std::move(root)) {}
    vfs::user_info get_user_info() override { return {L"7", L"", L"alice", L"en", L"1"}; }
    vfs::directory_ptr get_root_directory() override { return root_; }
    vfs::directory_ptr get_item_by_path(const std::wstring&, bool) override { return {}; }
    std::vector<vfs::notification> get_user_notifications() override { return {}; }
    vfs::storage_info get_storage_info() override { return {}; }
    std::vector<vfs::pro_setting> get_pro_settings() override { return {}; }
    void set_pro_setting(const std::wstring&, float) override {}
    void set_pro_setting(const std::wstring&, int) override {}
    void set_pro_setting(const std::wstring&, const std::wstring&) override {}

private:
    vfs::directory_ptr root_;
};

inline boost::shared_ptr<fake_file> make_file(const std::wstring& name, std::int64_t size) {
    auto file = boost::make_shared<fake_file>(item_values{name, L"id-" + name});
    file->size = size;
    return file;
}

inline boost::shared_ptr<fake_directory> make_folder(const std::wstring& name,
                                                     vfs::item_list children = {}) {
    auto folder = boost::make_shared<fake_directory>(item_values{name, L"id-" + name});
    folder->children = std::move(children);
    return folder;
}

}  // namespace shell_testing
