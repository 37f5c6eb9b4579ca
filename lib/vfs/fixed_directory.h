// Folders of a fixed place in the remote tree, which may not be deleted,
// copied, moved or renamed: the access root, the trash, the shared-folders
// container and the users folders. Each has a fixed id text and folder type
// code, no server path and no place for set_folder_type to change.
#pragma once

#include <string>

#include "vfs/calvimora_directory.h"

namespace vfs_calvimora {

class fixed_directory : public directory {
public:
    fixed_directory(const client& session, const directory_record& record, std::wstring id,
                    int folder_type);

    std::wstring get_id() override;
    std::wstring get_path() override;  // empty, without a request
    bool is_plain_directory() override;
    bool is_fixed_folder() override;
    int get_folder_type() override;
    void set_folder_type(int code) override;  // no effect

protected:
    // Fixed folders list other items, or leave files out.
    bool scans_by_records() const override { return false; }

private:
    const std::wstring id_;
    const int folder_type_;
};

// The folders that exist only in the client (the trash, the shared-folders
// container and the users folders). Their server id "0" would address the
// user's root, so every operation that would name the folder by it is
// refused before any request: nothing is created in them or copied into
// them, and their description, access, sharing and place in the trash are
// not theirs to change (the root's would change instead).
class client_only_directory : public fixed_directory {
public:
    using fixed_directory::fixed_directory;

    void set_description(const std::wstring& description) override;
    void set_access(int access) override;
    void restore() override;
    vfs::item_ptr create_file(const std::wstring& name) override;
    vfs::item_ptr create_file_alloc(const std::wstring& name, std::int64_t size) override;
    vfs::item_ptr create_and_open_file(const std::wstring& name, int mode,
                                       std::int64_t size) override;
    vfs::item_ptr create_directory(const std::wstring& name) override;
    void sharing(int sharewithuser_id) override;
    sharewith_list get_sharewith_items() override;
    bool email_for_sharing(const std::wstring& email) override;
    request_parameters add_destination_params() override;

protected:
    // The record of such a folder: server id "0", the name, no dates.
    static directory_record record_named(const std::wstring& name, bool has_subfolders);

private:
    [[noreturn]] void refuse_placing(const std::wstring& title);
    [[noreturn]] void refuse(const std::wstring& title, const wchar_t* what);
};

}  // namespace vfs_calvimora
