// A folder of the remote tree (or of the shell's adapters over dropped data).
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "vfs/item.h"

namespace vfs {

// Folder type codes (directory::get_folder_type); the shell tests bits.
inline constexpr int folder_type_shared = 0;  // shared and access folders
inline constexpr int folder_type_root = 1;    // root and access root
inline constexpr int folder_type_own = 4;     // the only code set_folder_type changes
inline constexpr int folder_type_shared_container = 32;
inline constexpr int folder_type_users = 64;
inline constexpr int folder_type_trash = 128;

class directory : public item {
public:
    // One user a folder is shared with.
    struct sharewith_item {
        int id = 0;                 // share id (ID)
        int sharewith_user_id = 0;  // the other user's id (ShareWithUserID)
        std::wstring name;          // that user's name (Name)
        int share_mode = 0;         // ShareMode: 0 view, 1 full
        int flags = 0;              // bit 0: the user may be changed or removed
    };
    typedef boost::shared_ptr<sharewith_item> sharewith_item_ptr;
    typedef std::vector<sharewith_item_ptr> sharewith_list;

    // One child as a scan of the tree reads it: what list_items' object of
    // it would answer about its kind, and, for a file, its date, size and id.
    struct scanned_child {
        std::wstring name;
        int type = item_type_file;  // get_type()
        // The folder to walk; null for anything that is not a folder.
        boost::shared_ptr<directory> folder;
        // A file: the three below are what its object answers.
        bool is_file = false;
        std::int64_t modification_date = no_date;
        std::int64_t size = 0;
        std::string id;  // get_id(), UTF-8
    };
    typedef std::vector<scanned_child> scanned_children;
    static scanned_child scanned(const item_ptr& child);

    virtual item_list list_items() = 0;
    virtual bool has_subdirectories() = 0;
    virtual bool is_shared() = 0;
    virtual bool is_home_folder() = 0;
    virtual bool is_plain_directory() = 0;
    virtual bool is_fixed_folder() = 0;
    virtual int get_folder_type() = 0;
    virtual void set_folder_type(int code) = 0;
    virtual item_ptr get_item(const std::wstring& name, bool refresh) = 0;
    virtual item_ptr get_item_by_id(const std::wstring& id, bool refresh) = 0;
    virtual void rename_item(const std::wstring& name, const std::wstring& new_name) = 0;
    virtual void rename_item(const item_ptr& item, const std::wstring& new_name) = 0;
    virtual void delete_item(const std::wstring& name, bool to_trash) = 0;
    virtual void delete_item(const item_ptr& item, bool to_trash) = 0;
    virtual item_ptr create_file(const std::wstring& name) = 0;
    virtual item_ptr create_file_alloc(const std::wstring& name, std::int64_t size) = 0;
    virtual item_ptr create_and_open_file(const std::wstring& name, int mode,
                                          std::int64_t size) = 0;
    virtual item_ptr create_directory(const std::wstring& name) = 0;
    // The other user's id, 0 when the folder cannot be shared with that
    // account; bEmail tells whether the text has the form of an address.
    virtual int can_share_with(const std::wstring& username, bool& bEmail) = 0;
    virtual void sharing(int sharewithuser_id) = 0;
    virtual void set_share_mode(int sharewithuser_id, int mode) = 0;
    virtual void delete_sharing_with_user(int sharedfolder_id) = 0;
    virtual sharewith_list get_sharewith_items() = 0;
    virtual sharewith_item_ptr find_sharewith_item_by_id(int id) = 0;
    virtual sharewith_item_ptr find_sharewith_item_by_userid(int sharewithuser_id) = 0;
    virtual bool email_for_sharing(const std::wstring& email) = 0;
    // Lets go of whatever the folder keeps of its last listing, for a caller
    // that walked it once and needs its children no longer (a scan over a
    // large tree holds one folder's children at a time this way). A folder
    // that keeps nothing does nothing.
    virtual void forget_listing() {}
    // The children in list_items' order, for a scan of the tree, from one
    // listing: read from list_items' objects here; a folder that can list
    // its files without an object per file does so. Nothing of the listing
    // needs to be kept for get_item.
    virtual scanned_children list_for_scan();
};

typedef boost::shared_ptr<directory> directory_ptr;

}  // namespace vfs
