// A real remote folder whose look-ups by id from other threads than the
// test's wait at a gate until the test opens it: a page's loaders are then
// still running, at a point the test chose, while the test acts as the user.
// Everything else goes straight to the folder.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "vfs/directory.h"

namespace shell_testing {

class gated_directory : public vfs::directory {
public:
    explicit gated_directory(vfs::directory_ptr inner)
        : inner_(std::move(inner)), owner_(std::this_thread::get_id()) {}

    void open_gate() {
        std::lock_guard<std::mutex> hold(lock_);
        open_ = true;
        changed_.notify_all();
    }
    // How many look-ups wait at the gate now.
    int waiting() {
        std::lock_guard<std::mutex> hold(lock_);
        return waiting_;
    }

    vfs::item_ptr get_item_by_id(const std::wstring& id, bool refresh) override {
        if (std::this_thread::get_id() != owner_) {
            std::unique_lock<std::mutex> hold(lock_);
            ++waiting_;
            changed_.wait(hold, [&] { return open_; });
            --waiting_;
        }
        return inner_->get_item_by_id(id, refresh);
    }

    std::wstring get_name() override { return inner_->get_name(); }
    std::wstring get_id() override { return inner_->get_id(); }
    std::wstring get_path() override { return inner_->get_path(); }
    std::wstring get_description() override { return inner_->get_description(); }
    void set_description(const std::wstring& text) override { inner_->set_description(text); }
    int get_type() override { return inner_->get_type(); }
    vfs::byte_buffer get_thumbnail() override { return inner_->get_thumbnail(); }
    void set_access(int access) override { inner_->set_access(access); }
    int get_access() override { return inner_->get_access(); }
    std::wstring get_link() override { return inner_->get_link(); }
    std::int64_t get_creation_date() override { return inner_->get_creation_date(); }
    std::int64_t get_delete_date() override { return inner_->get_delete_date(); }
    void restore() override { inner_->restore(); }
    vfs::item_list list_items() override { return inner_->list_items(); }
    bool has_subdirectories() override { return inner_->has_subdirectories(); }
    bool is_shared() override { return inner_->is_shared(); }
    bool is_home_folder() override { return inner_->is_home_folder(); }
    bool is_plain_directory() override { return inner_->is_plain_directory(); }
    bool is_fixed_folder() override { return inner_->is_fixed_folder(); }
    int get_folder_type() override { return inner_->get_folder_type(); }
    void set_folder_type(int code) override { inner_->set_folder_type(code); }
    vfs::item_ptr get_item(const std::wstring& name, bool refresh) override {
        return inner_->get_item(name, refresh);
    }
    void rename_item(const std::wstring& name, const std::wstring& new_name) override {
        inner_->rename_item(name, new_name);
    }
    void rename_item(const vfs::item_ptr& item, const std::wstring& new_name) override {
        inner_->rename_item(item, new_name);
    }
    void delete_item(const std::wstring& name, bool to_trash) override {
        inner_->delete_item(name, to_trash);
    }
    void delete_item(const vfs::item_ptr& item, bool to_trash) override {
        inner_->delete_item(item, to_trash);
    }
    vfs::item_ptr create_file(const std::wstring& name) override {
        return inner_->create_file(name);
    }
    vfs::item_ptr create_file_alloc(const std::wstring& name, std::int64_t size) override {
        return inner_->create_file_alloc(name, size);
    }
    vfs::item_ptr create_and_open_file(const std::wstring& name, int mode,
                                       std::int64_t size) override {
        return inner_->create_and_open_file(name, mode, size);
    }
    vfs::item_ptr create_directory(const std::wstring& name) override {
        return inner_->create_directory(name);
    }
    int can_share_with(const std::wstring& user, bool& email) override {
        return inner_->can_share_with(user, email);
    }
    void sharing(int user) override { inner_->sharing(user); }
    void set_share_mode(int user, int mode) override { inner_->set_share_mode(user, mode); }
    void delete_sharing_with_user(int id) override { inner_->delete_sharing_with_user(id); }
    sharewith_list get_sharewith_items() override { return inner_->get_sharewith_items(); }
    sharewith_item_ptr find_sharewith_item_by_id(int id) override {
        return inner_->find_sharewith_item_by_id(id);
    }
    sharewith_item_ptr find_sharewith_item_by_userid(int id) override {
        return inner_->find_sharewith_item_by_userid(id);
    }
    bool email_for_sharing(const std::wstring& email) override {
        return inner_->email_for_sharing(email);
    }

private:
    vfs::directory_ptr inner_;
    std::thread::id owner_;
    std::mutex lock_;
    std::condition_variable changed_;
    bool open_ = false;
    int waiting_ = 0;
};

}  // namespace shell_testing
