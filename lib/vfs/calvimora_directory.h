// A folder the logged-in user owns on the service, and the base of every
// other remote folder kind (root, trash, shared-folders container, users
// folders, shared and access folders). Each operation is one request through
// the folder's own copy of the session it was built through. The last
// listing and the last list of sharing users are kept as caches; lookups by
// name and id are answered from the cache, listing once when it is empty,
// when asked to, or after a miss.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "vfs/calvimora_client.h"
#include "vfs/calvimora_item.h"
#include "vfs/directory.h"
#include "vfs/listing_records.h"
#include "vfs/request_parameters.h"

namespace vfs_calvimora {

class directory : public vfs::directory, public vfs_calvimora::item {
public:
    // The session is copied; the folder starts with folder type 4 and empty
    // caches.
    directory(const client& session, const directory_record& record);

    // vfs::item
    std::wstring get_name() override;
    std::wstring get_id() override;  // "dir_" + server id
    std::wstring get_path() override;
    std::wstring get_description() override;
    void set_description(const std::wstring& description) override;
    int get_type() override;
    vfs::byte_buffer get_thumbnail() override;
    void set_access(int access) override;
    int get_access() override;
    std::wstring get_link() override;
    std::int64_t get_creation_date() override;
    std::int64_t get_delete_date() override;
    void restore() override;

    // vfs::directory
    vfs::item_list list_items() override;
    bool has_subdirectories() override;
    bool is_shared() override;
    bool is_home_folder() override;
    bool is_plain_directory() override;
    bool is_fixed_folder() override;
    int get_folder_type() override;
    void set_folder_type(int code) override;
    vfs::item_ptr get_item(const std::wstring& name, bool refresh) override;
    vfs::item_ptr get_item_by_id(const std::wstring& id, bool refresh) override;
    void rename_item(const std::wstring& name, const std::wstring& new_name) override;
    void rename_item(const vfs::item_ptr& item, const std::wstring& new_name) override;
    void delete_item(const std::wstring& name, bool to_trash) override;
    void delete_item(const vfs::item_ptr& item, bool to_trash) override;
    vfs::item_ptr create_file(const std::wstring& name) override;
    vfs::item_ptr create_file_alloc(const std::wstring& name, std::int64_t size) override;
    vfs::item_ptr create_and_open_file(const std::wstring& name, int mode,
                                       std::int64_t size) override;
    vfs::item_ptr create_directory(const std::wstring& name) override;
    int can_share_with(const std::wstring& username, bool& bEmail) override;
    void sharing(int sharewithuser_id) override;
    void set_share_mode(int sharewithuser_id, int mode) override;
    void delete_sharing_with_user(int sharedfolder_id) override;
    sharewith_list get_sharewith_items() override;
    sharewith_item_ptr find_sharewith_item_by_id(int id) override;
    sharewith_item_ptr find_sharewith_item_by_userid(int sharewithuser_id) override;
    bool email_for_sharing(const std::wstring& email) override;
    void forget_listing() override;
    // A folder that scans by its records reads them without an object per
    // file, and empties its cache of children; any other reads its items.
    scanned_children list_for_scan() override;

    // The parameters that name this folder as the destination of a file's
    // copy: "dst_dir_id"; derived folders add their own.
    virtual request_parameters add_destination_params();

    // vfs_calvimora::item
    std::wstring get_server_id() override;

    // Whether a text has the form of an e-mail address: at least 5
    // characters, none of " #!?&\|/<>" or a line break, an "@" after the
    // first character, and after that "@" a "." that is not the last
    // character.
    static bool is_valid_email(const std::wstring& text);

    // Whether two names (or ids) are equal without regard to case: code
    // point by code point, by the simple lower-case mapping of Unicode,
    // whatever locale the host program set.
    static bool names_match(const std::wstring& left, const std::wstring& right);
    // The name as the service compares it: two names match exactly when
    // their folded forms are equal.
    static std::wstring folded_name(const std::wstring& name);

protected:
    const client& session() const { return session_; }

    // The text of an operation that the client refuses before any request:
    // "The folder 'NAME' can not be WHAT".
    static std::wstring refusal_text(const std::wstring& folder_name, const wchar_t* what);

    // Adds what a derived folder sends with each request about itself or
    // its children (list, path, description, access, rename, delete,
    // create) to name where it lies; the own folder adds nothing.
    virtual void add_location_params(request_parameters& parameters);

    // The child items a listing builds from its records: an own folder and
    // an own file here. A derived folder builds its own kinds; an empty
    // pointer leaves the record out.
    virtual vfs::item_ptr make_child_directory(const directory_record& record);
    virtual vfs::item_ptr make_child_file(const file_record& record);

    // Whether the folder's children are its "list_dir" records, each made
    // an item as an own file's is made (so list_for_scan may read the
    // records alone); a folder that lists other items, or leaves files out,
    // says no.
    virtual bool scans_by_records() const { return true; }

    // The "list_dir" request for this folder and the children built from
    // its "Directory" records (in reply order), then from its "File"
    // records, so folders always precede files. Does not touch the cache.
    vfs::item_list fetch_children();

    // Replace the children cache; the second form also sets the
    // has-subfolders flag.
    void store_children(const vfs::item_list& children);
    void store_children(const vfs::item_list& children, bool has_subfolders);
    void clear_children();

    // Sends "create_dir" for the name (with the location parameters) and
    // looks the new child up afresh. A failed lookup is reported as
    // ("Error creating directory", its text) when wrap_lookup_failure is
    // set, else unchanged; a child of that name that is not a folder throws
    // ("Error creating directory", ...).
    vfs::item_ptr create_and_find_directory(const std::wstring& name, bool wrap_lookup_failure);

private:
    enum class lookup_key { name, id };
    static void refuse_client_only_child(vfs_calvimora::item& target, const vfs::item_ptr& item,
                                         const wchar_t* title, const wchar_t* what);
    vfs::item_ptr find_child(lookup_key kind, const std::wstring& key, bool refresh);
    // The "list_dir" request's reply bytes.
    vfs::byte_buffer fetch_listing_reply();
    vfs::item_ptr create_file_request(const std::wstring& action, const std::wstring& name,
                                      std::int64_t size, int mode);
    void forget_child(const vfs::item_ptr& item);
    int user_id_from_reply(const response_node& reply);
    sharewith_item_ptr find_sharewith(bool by_user, int key);

    const client session_;
    const std::wstring id_;
    const std::wstring name_;
    const std::wstring link_;
    const bool is_gallery_;
    const bool is_mp3_;
    const bool is_home_folder_;
    const bool is_renameable_;
    const bool is_deleteable_;
    const std::int64_t date_created_;
    const std::int64_t date_deleted_;

    // Guards everything below; held only while a field or a cache is read
    // or replaced, never during a request.
    std::mutex lock_;
    std::wstring description_;
    int access_;
    bool has_subfolders_;
    bool shared_;
    int folder_type_ = vfs::folder_type_own;
    vfs::item_list children_;
    sharewith_list sharewith_;
};

}  // namespace vfs_calvimora
