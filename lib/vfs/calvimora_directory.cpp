#include "vfs/calvimora_directory.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <boost/make_shared.hpp>
#include <boost/pointer_cast.hpp>
#include <cstdint>

#include "vfs/calvimora_exception.h"
#include "vfs/calvimora_file.h"
#include "vfs/http_client.h"
#include "vfs/listing_reply.h"
#include "vfs/number_text.h"

namespace vfs_calvimora {

namespace {

// The only open mode in which a new file can be created open.
constexpr int create_open_mode = vfs::modeWrite | vfs::modeOverwrite;

// A fixed locale, so names fold alike whatever locale the host program set.
// It is freed with the module that holds it: the shell extension is
// unloaded while its host runs on.
class folding_locale_holder {
public:
    folding_locale_holder() {
        locale_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (!locale_) locale_ = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }
    ~folding_locale_holder() {
        if (locale_) freelocale(locale_);
    }
    folding_locale_holder(const folding_locale_holder&) = delete;
    folding_locale_holder& operator=(const folding_locale_holder&) = delete;

    locale_t get() const { return locale_; }

private:
    locale_t locale_;
};

locale_t folding_locale() {
    static const folding_locale_holder holder;
    return holder.get();
}

vfs_calvimora::item& server_item(const vfs::item_ptr& item, const wchar_t* operation) {
    auto* own = dynamic_cast<vfs_calvimora::item*>(item.get());
    if (!own) {
        throw exception(L"Internal error",
                        std::wstring(operation) + L": Not an item of the remote storage");
    }
    return *own;
}

bool is_folder(const vfs::item_ptr& item) {
    return item->get_type() == vfs::item_type_directory;
}

}  // namespace

std::wstring directory::refusal_text(const std::wstring& folder_name, const wchar_t* what) {
    return L"The folder '" + folder_name + L"' can not be " + what;
}

// A folder that exists only in the client is never renamed or deleted: the
// request would name the root. Every other child's rename or delete goes to
// the service, which decides; it refuses, for one, the top folder of a share
// or of an access account.
void directory::refuse_client_only_child(vfs_calvimora::item& target, const vfs::item_ptr& item,
                                         const wchar_t* title, const wchar_t* what) {
    if (is_folder(item) && target.get_server_id() == root_server_id) {
        throw exception(title, refusal_text(item->get_name(), what));
    }
}

directory::directory(const client& session, const directory_record& record)
    : session_(session),
      id_(record.id),
      name_(record.name),
      link_(record.link),
      is_gallery_(record.is_gallery),
      is_mp3_(record.is_mp3),
      is_home_folder_(record.is_home_folder),
      is_renameable_(record.is_renameable),
      is_deleteable_(record.is_deleteable),
      date_created_(record.date_created),
      date_deleted_(record.date_deleted),
      description_(record.description),
      access_(record.access),
      has_subfolders_(record.has_subfolders),
      shared_(record.shared) {}

bool directory::names_match(const std::wstring& left, const std::wstring& right) {
    if (left.size() != right.size()) {
        return false;
    }
    const locale_t locale = folding_locale();
    return std::equal(left.begin(), left.end(), right.begin(), [locale](wchar_t a, wchar_t b) {
        return a == b || towlower_l(static_cast<wint_t>(a), locale) ==
                             towlower_l(static_cast<wint_t>(b), locale);
    });
}

std::wstring directory::folded_name(const std::wstring& name) {
    const locale_t locale = folding_locale();
    std::wstring folded = name;
    for (wchar_t& c : folded) c = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), locale));
    return folded;
}

bool directory::is_valid_email(const std::wstring& text) {
    if (text.size() < 5 || text.find_first_of(L" #!?&\\|/<>\n\r") != std::wstring::npos) {
        return false;
    }
    const std::size_t at = text.find(L'@', 1);
    if (at == std::wstring::npos) {
        return false;
    }
    const std::size_t dot = text.find(L'.', at + 1);
    return dot != std::wstring::npos && dot + 1 < text.size();
}

// --- vfs::item

std::wstring directory::get_name() {
    return name_;
}

std::wstring directory::get_id() {
    return L"dir_" + get_server_id();
}

std::wstring directory::get_path() {
    request_parameters parameters{{L"action", L"get_dir_path"}, {L"dir_id", get_server_id()}};
    add_location_params(parameters);
    return find_child_text(session_.call_cm_operations(std::move(parameters)), L"Path");
}

std::wstring directory::get_description() {
    std::lock_guard<std::mutex> hold(lock_);
    return description_;
}

void directory::set_description(const std::wstring& description) {
    request_parameters parameters{{L"action", L"set_dir_description"},
                                  {L"dir_id", get_server_id()},
                                  {L"description", description}};
    add_location_params(parameters);
    session_.call_cm_operations(std::move(parameters));
    std::lock_guard<std::mutex> hold(lock_);
    description_ = description;
}

int directory::get_type() {
    return vfs::item_type_directory;
}

vfs::byte_buffer directory::get_thumbnail() {
    throw exception(L"Internal error", L"directory::get_thumbnail(): Operation not implemented");
}

void directory::set_access(int access) {
    request_parameters parameters{{L"action", L"set_dir_access"},
                                  {L"dir_id", get_server_id()},
                                  {L"access", std::to_wstring(access)}};
    add_location_params(parameters);
    session_.call_cm_operations(std::move(parameters));
    std::lock_guard<std::mutex> hold(lock_);
    access_ = access;
}

int directory::get_access() {
    std::lock_guard<std::mutex> hold(lock_);
    return access_;
}

std::wstring directory::get_link() {
    return link_;
}

std::int64_t directory::get_creation_date() {
    return date_created_ == 0 ? vfs::no_date : date_created_;
}

std::int64_t directory::get_delete_date() {
    return date_deleted_ == 0 ? vfs::no_date : date_deleted_;
}

void directory::restore() {
    session_.call_cm_operations(
        {{L"action", L"restore_dir_from_trash"}, {L"dir_id", get_server_id()}});
}

// --- listing and lookup

vfs::item_list directory::list_items() {
    vfs::item_list children = fetch_children();
    store_children(children, std::any_of(children.begin(), children.end(), is_folder));
    return children;
}

vfs::byte_buffer directory::fetch_listing_reply() {
    request_parameters parameters{{L"action", L"list_dir"}, {L"dir_id", get_server_id()}};
    add_location_params(parameters);
    return session_.call_cm_operations_bytes(std::move(parameters));
}

directory::scanned_children directory::list_for_scan() {
    if (!scans_by_records()) return vfs::directory::list_for_scan();
    const vfs::byte_buffer reply = fetch_listing_reply();
    scan_listing records = parse_scan_listing_reply(
        std::string_view(reinterpret_cast<const char*>(reply.data()), reply.size()));
    scanned_children children;
    children.reserve(records.folders.size() + records.files.size());
    for (const directory_record& record : records.folders) {
        if (const vfs::item_ptr child = make_child_directory(record))
            children.push_back(scanned(child));
    }
    const bool has_subfolders = !children.empty();
    for (scanned_file& file : records.files) {
        scanned_child child;
        child.name = std::move(file.name);
        child.is_file = true;
        child.modification_date = file.date_modified == 0 ? vfs::no_date : file.date_modified;
        child.size = file.size;
        child.id = std::move(file.id);
        children.push_back(std::move(child));
    }
    std::lock_guard<std::mutex> hold(lock_);
    children_.clear();
    has_subfolders_ = has_subfolders;
    return children;
}

vfs::item_list directory::fetch_children() {
    const vfs::byte_buffer reply = fetch_listing_reply();
    const listing records = parse_listing_reply(
        std::string_view(reinterpret_cast<const char*>(reply.data()), reply.size()));
    vfs::item_list children;
    children.reserve(records.folders.size() + records.files.size());
    for (const directory_record& record : records.folders) {
        if (vfs::item_ptr child = make_child_directory(record)) {
            children.push_back(std::move(child));
        }
    }
    for (const file_record& record : records.files) {
        if (vfs::item_ptr child = make_child_file(record)) {
            children.push_back(std::move(child));
        }
    }
    return children;
}

vfs::item_ptr directory::make_child_directory(const directory_record& record) {
    return boost::make_shared<directory>(session_, record);
}

vfs::item_ptr directory::make_child_file(const file_record& record) {
    return boost::make_shared<file>(session_, record, 0, std::wstring());
}

void directory::store_children(const vfs::item_list& children) {
    std::lock_guard<std::mutex> hold(lock_);
    children_ = children;
}

void directory::store_children(const vfs::item_list& children, bool has_subfolders) {
    std::lock_guard<std::mutex> hold(lock_);
    children_ = children;
    has_subfolders_ = has_subfolders;
}

void directory::clear_children() {
    std::lock_guard<std::mutex> hold(lock_);
    children_.clear();
}

void directory::forget_listing() {
    clear_children();
}

bool directory::has_subdirectories() {
    std::lock_guard<std::mutex> hold(lock_);
    return has_subfolders_;
}

bool directory::is_shared() {
    std::lock_guard<std::mutex> hold(lock_);
    return shared_;
}

bool directory::is_home_folder() {
    return is_home_folder_;
}

bool directory::is_plain_directory() {
    return true;
}

bool directory::is_fixed_folder() {
    return false;
}

int directory::get_folder_type() {
    std::lock_guard<std::mutex> hold(lock_);
    return folder_type_;
}

void directory::set_folder_type(int code) {
    std::lock_guard<std::mutex> hold(lock_);
    folder_type_ = code;
}

vfs::item_ptr directory::get_item(const std::wstring& name, bool refresh) {
    return find_child(lookup_key::name, name, refresh);
}

vfs::item_ptr directory::get_item_by_id(const std::wstring& id, bool refresh) {
    return find_child(lookup_key::id, id, refresh);
}

vfs::item_ptr directory::find_child(lookup_key kind, const std::wstring& key, bool refresh) {
    bool listed = false;
    vfs::item_list children;
    {
        std::lock_guard<std::mutex> hold(lock_);
        children = children_;
    }
    if (refresh || children.empty()) {
        list_items();
        listed = true;
        std::lock_guard<std::mutex> hold(lock_);
        children = children_;
    }
    // The children are asked outside the lock. Names and ids are compared
    // without regard to case; a child whose key matches exactly wins over
    // one that differs only in case.
    vfs::item_ptr folded_match;
    for (const vfs::item_ptr& child : children) {
        const std::wstring child_key =
            kind == lookup_key::name ? child->get_name() : child->get_id();
        if (child_key == key) {
            return child;
        }
        if (!folded_match && names_match(child_key, key)) {
            folded_match = child;
        }
    }
    if (folded_match) {
        return folded_match;
    }
    if (!listed) {
        // The cache may be stale: one fresh listing before the lookup fails.
        return kind == lookup_key::name ? get_item(key, true) : get_item_by_id(key, true);
    }
    throw item_not_found_exception(
        L"Item not found",
        L"File system error: item '" + key + L"' not found in directory '" + get_name() + L"'");
}

// --- rename, delete, create

void directory::rename_item(const std::wstring& name, const std::wstring& new_name) {
    rename_item(get_item(name, false), new_name);
}

void directory::rename_item(const vfs::item_ptr& item, const std::wstring& new_name) {
    vfs_calvimora::item& target = server_item(item, L"directory::rename_item()");
    refuse_client_only_child(target, item, L"Rename failed", L"renamed");
    request_parameters parameters;
    if (is_folder(item)) {
        parameters = {{L"action", L"rename_dir"}, {L"dir_id", target.get_server_id()}};
    } else {
        parameters = {{L"action", L"rename_file"}, {L"file_id", target.get_server_id()}};
    }
    parameters[L"new_name"] = new_name;
    add_location_params(parameters);
    session_.call_cm_operations(std::move(parameters));
    clear_children();
}

void directory::delete_item(const std::wstring& name, bool to_trash) {
    delete_item(get_item(name, false), to_trash);
}

void directory::delete_item(const vfs::item_ptr& item, bool to_trash) {
    vfs_calvimora::item& target = server_item(item, L"directory::delete_item()");
    refuse_client_only_child(target, item, L"Delete failed", L"deleted");
    request_parameters parameters;
    if (is_folder(item)) {
        parameters = {{L"action", to_trash ? L"move_dir_to_trash" : L"remove_dir"},
                      {L"dir_id", target.get_server_id()}};
    } else {
        parameters = {{L"action", to_trash ? L"move_file_to_trash" : L"remove_file"},
                      {L"file_id", target.get_server_id()}};
    }
    add_location_params(parameters);
    session_.call_cm_operations(std::move(parameters));
    forget_child(item);
}

void directory::forget_child(const vfs::item_ptr& item) {
    const std::wstring id = item->get_id();
    const int type = item->get_type();
    std::lock_guard<std::mutex> hold(lock_);
    auto found = std::find(children_.begin(), children_.end(), item);
    if (found == children_.end()) {
        found = std::find_if(children_.begin(), children_.end(), [&](const vfs::item_ptr& child) {
            return child->get_id() == id && child->get_type() == type;
        });
    }
    if (found != children_.end()) {
        children_.erase(found);
    }
}

vfs::item_ptr directory::create_file(const std::wstring& name) {
    return create_file_request(L"create_file", name, 0, 0);
}

vfs::item_ptr directory::create_file_alloc(const std::wstring& name, std::int64_t size) {
    return create_file_request(L"create_file", name, size, 0);
}

vfs::item_ptr directory::create_and_open_file(const std::wstring& name, int mode,
                                              std::int64_t size) {
    if (mode != create_open_mode) {
        throw exception(L"Internal error",
                        L"Wrong file open mode: only modeWrite|modeOverwrite is supported");
    }
    return create_file_request(L"create_and_open_file", name, size, mode);
}

vfs::item_ptr directory::create_file_request(const std::wstring& action, const std::wstring& name,
                                             std::int64_t size, int mode) {
    request_parameters parameters{{L"action", action},
                                  {L"dir_id", get_server_id()},
                                  {L"dir_access", std::to_wstring(get_access())},
                                  {L"name", name},
                                  {L"size", std::to_wstring(size)},
                                  {L"is_pro", L"0"}};
    add_location_params(parameters);
    const response_node reply = session_.call_cm_operations(std::move(parameters));
    clear_children();
    const auto records = children_by_name(reply, L"File");
    if (records.empty()) {
        throw exception(L"Error creating file", L"Server side error");
    }
    const std::wstring temp_location =
        mode == create_open_mode ? find_child_text(reply, L"TempLocation") : std::wstring();
    return boost::make_shared<file>(session_, read_file_record(records.front()), mode,
                                    temp_location);
}

vfs::item_ptr directory::create_directory(const std::wstring& name) {
    return create_and_find_directory(name, true);
}

vfs::item_ptr directory::create_and_find_directory(const std::wstring& name,
                                                   bool wrap_lookup_failure) {
    request_parameters parameters{{L"action", L"create_dir"},
                                  {L"dir_id", get_server_id()},
                                  {L"dir_access", std::to_wstring(get_access())},
                                  {L"name", name}};
    add_location_params(parameters);
    session_.call_cm_operations(std::move(parameters));
    clear_children();
    vfs::item_ptr created;
    try {
        created = get_item(name, false);
    } catch (const vfs::exception& failure) {
        if (!wrap_lookup_failure) throw;
        throw exception(L"Error creating directory", failure.get_text());
    }
    // A file of that name may answer the lookup: no folder to hand out.
    if (!boost::dynamic_pointer_cast<vfs::directory>(created)) {
        throw exception(L"Error creating directory", L"File system error: item '" + name +
                                                         L"' in directory '" + get_name() +
                                                         L"' is not a directory");
    }
    return created;
}

// --- sharing

int directory::user_id_from_reply(const response_node& reply) {
    // An account with an access id cannot be shared with.
    if (!find_child_text(reply, L"UserAccessID").empty()) {
        return 0;
    }
    return static_cast<int>(
        static_cast<std::uint32_t>(parse_int64(find_child_text(reply, L"UserID"))));
}

int directory::can_share_with(const std::wstring& username, bool& bEmail) {
    bEmail = is_valid_email(username);
    try {
        return user_id_from_reply(
            session_.call_cm_operations({{L"action", L"get_userid_by_name"}, {L"name", username}}));
    } catch (const vfs::exception&) {
        if (!bEmail) {
            return 0;
        }
    }
    try {
        return user_id_from_reply(session_.call_cm_operations(
            {{L"action", L"get_userid_by_email"}, {L"email", username}}));
    } catch (const vfs::exception&) {
        return 0;
    }
}

void directory::sharing(int sharewithuser_id) {
    session_.call_cm_operations({{L"action", L"share_folder"},
                                 {L"sharewithuser_id", std::to_wstring(sharewithuser_id)},
                                 {L"dir_id", get_server_id()},
                                 {L"sharemode", L"0"}});
}

void directory::set_share_mode(int sharewithuser_id, int mode) {
    // The first argument names the share itself.
    session_.call_cm_operations({{L"action", L"change_folder_share_mode"},
                                 {L"sharedfolder_id", std::to_wstring(sharewithuser_id)},
                                 {L"sharemode", std::to_wstring(mode)}});
}

void directory::delete_sharing_with_user(int sharedfolder_id) {
    session_.call_cm_operations({{L"action", L"delete_sharing_with_user"},
                                 {L"sharedfolder_id", std::to_wstring(sharedfolder_id)}});
}

directory::sharewith_list directory::get_sharewith_items() {
    const response_node reply = session_.call_cm_operations(
        {{L"action", L"list_share_whith_users"}, {L"dir_id", get_server_id()}});
    sharewith_list users;
    for (const response_node& record : children_by_name(reply, L"ShareWithUser")) {
        users.push_back(boost::make_shared<sharewith_item>(read_sharewith_record(record)));
    }
    std::lock_guard<std::mutex> hold(lock_);
    sharewith_ = users;
    if (!users.empty()) {
        shared_ = true;
    }
    return users;
}

directory::sharewith_item_ptr directory::find_sharewith_item_by_id(int id) {
    return find_sharewith(false, id);
}

directory::sharewith_item_ptr directory::find_sharewith_item_by_userid(int sharewithuser_id) {
    return find_sharewith(true, sharewithuser_id);
}

directory::sharewith_item_ptr directory::find_sharewith(bool by_user, int key) {
    bool known;
    {
        std::lock_guard<std::mutex> hold(lock_);
        known = !sharewith_.empty();
    }
    if (!known) {
        get_sharewith_items();
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (const sharewith_item_ptr& user : sharewith_) {
            if ((by_user ? user->sharewith_user_id : user->id) == key) {
                return user;
            }
        }
    }
    throw item_not_found_exception(L"Item not found", L"Sharing error: The user sharing folder '" +
                                                          get_name() + L"' is not found ");
}

bool directory::email_for_sharing(const std::wstring& email) {
    const std::wstring reply = session_.send_email_request(
        {{L"action", L"share_folder"}, {L"dir_id", get_server_id()}, {L"email", email}});
    // A refused invitation comes back as an Error record: the caller must
    // not tell the user that a mail went out.
    throw_reply_error(parse_response(reply), false);
    return true;
}

request_parameters directory::add_destination_params() {
    return {{L"dst_dir_id", get_server_id()}};
}

std::wstring directory::get_server_id() {
    return id_;
}

void directory::add_location_params(request_parameters& /*parameters*/) {}

}  // namespace vfs_calvimora
