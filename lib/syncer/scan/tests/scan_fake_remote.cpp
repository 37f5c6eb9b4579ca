#include "syncer/scan/tests/scan_fake_remote.h"

#include <boost/make_shared.hpp>
#include <cstring>
#include <cwctype>

#include "vfs/calvimora_exception.h"
#include "vfs/file.h"

namespace syncer::scan_testing {

namespace {

std::vector<std::wstring> elements(const std::wstring& path) {
    std::vector<std::wstring> result;
    std::wstring current;
    for (const wchar_t c : path) {
        if (c == L'/' || c == L'\\') {
            if (!current.empty()) result.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) result.push_back(current);
    return result;
}

std::wstring normal(const std::wstring& path) {
    std::wstring result;
    for (const std::wstring& element : elements(path)) {
        if (!result.empty()) result += L"/";
        result += element;
    }
    return result;
}

std::wstring child_path(const std::wstring& folder, const std::wstring& name) {
    return folder.empty() ? name : folder + L"/" + name;
}

[[noreturn]] void not_found(const std::wstring& what) {
    throw vfs_calvimora::item_not_found_exception(L"Not found", what + L" not found");
}

std::wstring fold_case(std::wstring text) {
    for (wchar_t& character : text) character = static_cast<wchar_t>(std::towlower(character));
    return text;
}

[[noreturn]] void unsupported() {
    throw vfs_calvimora::exception(L"Not supported", L"The fake remote does not do this");
}

class fake_file : public vfs::file {
public:
    fake_file(std::shared_ptr<fake_remote> remote, std::wstring path, std::wstring name,
              std::int64_t date, std::int64_t size)
        : remote_(std::move(remote)),
          path_(std::move(path)),
          name_(std::move(name)),
          date_(date),
          size_(size) {}

    std::wstring get_name() override { return name_; }
    std::wstring get_id() override { return L"file_" + path_; }
    std::wstring get_path() override { return L"/" + path_; }
    std::wstring get_description() override { return L""; }
    void set_description(const std::wstring&) override { unsupported(); }
    int get_type() override { return vfs::item_type_file; }
    vfs::byte_buffer get_thumbnail() override { return {}; }
    void set_access(int) override { unsupported(); }
    int get_access() override { return vfs::access_private; }
    std::wstring get_link() override { return L""; }
    std::int64_t get_creation_date() override { return vfs::no_date; }
    std::int64_t get_delete_date() override { return vfs::no_date; }
    void restore() override { unsupported(); }

    std::wstring get_direct_link() override { return L""; }
    void copy(const vfs::item_ptr&, bool) override { unsupported(); }
    double get_price() override { return 0; }
    void set_price(double) override { unsupported(); }

    void open(int mode, std::int64_t) override {
        if (mode & vfs::modeRead) {
            const auto stored = remote_->file(path_);
            if (!stored) not_found(path_);
            data_ = stored->content;
            size_ = static_cast<std::int64_t>(data_.size());
        } else {
            data_.clear();
        }
        position_ = 0;
        mode_ = mode;
    }

    void close(std::int64_t file_time) override {
        if (mode_ & vfs::modeWrite) {
            remote_->put_file(path_, data_, file_time);
            date_ = file_time;
            size_ = static_cast<std::int64_t>(data_.size());
        }
        mode_ = 0;
    }

    bool is_bof() override { return position_ == 0; }
    bool is_eof() override { return position_ >= data_.size(); }
    int get_mode() override { return mode_; }
    std::int64_t get_pos() override { return static_cast<std::int64_t>(position_); }
    void seek(std::int64_t offset, int) override { position_ = static_cast<std::size_t>(offset); }

    int read(void* buffer, int length) override {
        remote_->wait_for_transfer();
        const std::size_t count = std::min(static_cast<std::size_t>(length),
                                           data_.size() - std::min(position_, data_.size()));
        std::memcpy(buffer, data_.data() + position_, count);
        position_ += count;
        return static_cast<int>(count);
    }

    int write(const void* data, int length) override {
        remote_->wait_for_transfer();
        const std::size_t taken = remote_->take_write(static_cast<std::size_t>(length));
        data_.append(static_cast<const char*>(data), taken);
        return static_cast<int>(taken);
    }

    std::int64_t get_size() override { return size_; }
    std::int64_t get_access_date() override { return vfs::no_date; }
    std::int64_t get_modification_date() override { return date_; }
    void set_modification_date(std::int64_t) override { unsupported(); }
    int get_attributes() override { return 0; }
    void set_attributes(int) override { unsupported(); }

private:
    std::shared_ptr<fake_remote> remote_;
    std::wstring path_;
    std::wstring name_;
    std::int64_t date_;
    std::int64_t size_;
    std::string data_;
    std::size_t position_ = 0;
    int mode_ = 0;
};

class fake_directory : public vfs::directory {
public:
    fake_directory(std::shared_ptr<fake_remote> remote, std::wstring path, std::wstring name)
        : remote_(std::move(remote)), path_(std::move(path)), name_(std::move(name)) {}

    std::wstring get_name() override { return name_; }
    std::wstring get_id() override { return L"dir_" + path_; }
    std::wstring get_path() override { return L"/" + path_; }
    std::wstring get_description() override { return L""; }
    void set_description(const std::wstring&) override { unsupported(); }
    int get_type() override { return vfs::item_type_directory; }
    vfs::byte_buffer get_thumbnail() override { return {}; }
    void set_access(int) override { unsupported(); }
    int get_access() override { return vfs::access_private; }
    std::wstring get_link() override { return L""; }
    std::int64_t get_creation_date() override { return vfs::no_date; }
    std::int64_t get_delete_date() override { return vfs::no_date; }
    void restore() override { unsupported(); }

    vfs::item_list list_items() override {
        remote_->check_listing(path_);
        std::lock_guard<std::mutex> guard(remote_->mutex());
        const auto folder = remote_->find_locked(path_);
        if (!folder || !folder->is_folder) not_found(path_);
        vfs::item_list items;
        for (const auto& [name, child] : folder->children) {
            if (child->is_folder) items.push_back(make(child));
        }
        for (const auto& [name, child] : folder->children) {
            if (!child->is_folder) items.push_back(make(child));
        }
        for (const auto& child : folder->raw_children) items.push_back(make(child));
        return items;
    }

    bool has_subdirectories() override { return true; }
    bool is_shared() override { return false; }
    bool is_home_folder() override { return false; }
    bool is_plain_directory() override { return true; }
    bool is_fixed_folder() override { return false; }
    int get_folder_type() override { return vfs::folder_type_own; }
    void set_folder_type(int) override {}

    // The service has no look-up by name: the folder's client lists it.
    vfs::item_ptr get_item(const std::wstring& name, bool) override {
        remote_->count_listing(path_);
        return child(name);
    }

    vfs::item_ptr child(const std::wstring& name) {
        std::lock_guard<std::mutex> guard(remote_->mutex());
        const auto folder = remote_->find_locked(path_);
        if (!folder) not_found(path_);
        const auto child = folder->children.find(name);
        if (child == folder->children.end()) not_found(name);
        return make(child->second);
    }

    vfs::item_ptr get_item_by_id(const std::wstring&, bool) override { unsupported(); }
    void rename_item(const std::wstring&, const std::wstring&) override { unsupported(); }
    void rename_item(const vfs::item_ptr&, const std::wstring&) override { unsupported(); }

    void delete_item(const std::wstring& name, bool) override {
        if (!remote_->find(child_path(path_, name))) not_found(name);
        remote_->remove(child_path(path_, name));
    }
    void delete_item(const vfs::item_ptr& item, bool to_trash) override {
        delete_item(item->get_name(), to_trash);
    }

    vfs::item_ptr create_file(const std::wstring& name) override {
        return create_file_alloc(name, 0);
    }
    // As the service: a name taken in the folder, whatever its case, is
    // refused, never replaced.
    vfs::item_ptr create_file_alloc(const std::wstring& name, std::int64_t) override {
        if (const auto folder = remote_->find(path_)) {
            std::lock_guard<std::mutex> guard(remote_->mutex());
            for (const auto& [taken, child] : folder->children) {
                if (fold_case(taken) == fold_case(name))
                    throw vfs_calvimora::item_already_exists_exception(L"Item already exists",
                                                                       name + L" exists");
            }
        }
        remote_->put_file(child_path(path_, name), "", vfs::no_date);
        return child(name);
    }
    vfs::item_ptr create_and_open_file(const std::wstring&, int, std::int64_t) override {
        unsupported();
    }
    vfs::item_ptr create_directory(const std::wstring& name) override {
        remote_->add_folder(child_path(path_, name));
        return get_item(name, true);
    }
    int can_share_with(const std::wstring&, bool&) override { unsupported(); }
    void sharing(int) override { unsupported(); }
    void set_share_mode(int, int) override { unsupported(); }
    void delete_sharing_with_user(int) override { unsupported(); }
    sharewith_list get_sharewith_items() override { return {}; }
    sharewith_item_ptr find_sharewith_item_by_id(int) override { return nullptr; }
    sharewith_item_ptr find_sharewith_item_by_userid(int) override { return nullptr; }
    bool email_for_sharing(const std::wstring&) override { return false; }

private:
    vfs::item_ptr make(const std::shared_ptr<fake_remote::node>& child) {
        const std::wstring path = child_path(path_, child->name);
        if (child->is_folder) return boost::make_shared<fake_directory>(remote_, path, child->name);
        return boost::make_shared<fake_file>(remote_, path, child->name, child->date,
                                             static_cast<std::int64_t>(child->content.size()));
    }

    std::shared_ptr<fake_remote> remote_;
    std::wstring path_;
    std::wstring name_;
};

class fake_client : public vfs::client {
public:
    explicit fake_client(std::shared_ptr<fake_remote> remote) : remote_(std::move(remote)) {}

    vfs::user_info get_user_info() override { return {}; }
    vfs::directory_ptr get_root_directory() override {
        return boost::make_shared<fake_directory>(remote_, L"", L"");
    }
    vfs::directory_ptr get_item_by_path(const std::wstring& path, bool create) override {
        remote_->count_lookup(path);
        const std::wstring wanted = normal(path);
        std::wstring walked;
        for (const std::wstring& element : elements(wanted)) {
            walked = child_path(walked, element);
            const auto found = remote_->find(walked);
            if (!found) {
                if (!create) not_found(walked);
                remote_->add_folder(walked);
            } else if (!found->is_folder) {
                throw vfs_calvimora::exception(L"Directory not found and can not be created",
                                               walked);
            }
        }
        return boost::make_shared<fake_directory>(
            remote_, wanted, elements(wanted).empty() ? L"" : elements(wanted).back());
    }
    // A handle on the file named by a listed id, without a listing; opening
    // it finds whatever lies at that path then.
    vfs::file_ptr get_file_by_id(const std::wstring& id, const std::wstring& name,
                                 std::int64_t size, std::int64_t date) override {
        const std::wstring prefix = L"file_";
        if (id.rfind(prefix, 0) != 0) return nullptr;
        return boost::make_shared<fake_file>(remote_, id.substr(prefix.size()), name, date, size);
    }
    std::vector<vfs::notification> get_user_notifications() override { return {}; }
    vfs::storage_info get_storage_info() override { return {}; }
    std::vector<vfs::pro_setting> get_pro_settings() override { return {}; }
    void set_pro_setting(const std::wstring&, float) override {}
    void set_pro_setting(const std::wstring&, int) override {}
    void set_pro_setting(const std::wstring&, const std::wstring&) override {}

private:
    std::shared_ptr<fake_remote> remote_;
};

}  // namespace

fake_remote::fake_remote() : root_(std::make_shared<node>()) {}

void fake_remote::add_folder(const std::wstring& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    folder_for(path, true);
}

void fake_remote::put_file(const std::wstring& path, const std::string& content,
                           std::int64_t date) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto parts = elements(path);
    const std::wstring name = parts.back();
    parts.pop_back();
    std::wstring folder;
    for (const auto& part : parts) folder = child_path(folder, part);
    auto& slot = folder_for(folder, true)->children[name];
    if (!slot) slot = std::make_shared<node>();
    slot->is_folder = false;
    slot->name = name;
    slot->content = content;
    slot->date = date;
}

void fake_remote::remove(const std::wstring& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto parts = elements(path);
    const std::wstring name = parts.back();
    parts.pop_back();
    std::wstring folder;
    for (const auto& part : parts) folder = child_path(folder, part);
    if (const auto parent = find_locked(folder)) parent->children.erase(name);
}

std::optional<remote_file_info> fake_remote::file(const std::wstring& path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = find_locked(path);
    if (!found || found->is_folder) return std::nullopt;
    return remote_file_info{found->content, found->date};
}

bool fake_remote::folder_exists(const std::wstring& path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = find_locked(path);
    return found && found->is_folder;
}

void fake_remote::add_raw_child(const std::wstring& folder, const std::wstring& name,
                                bool is_folder) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto child = std::make_shared<node>();
    child->is_folder = is_folder;
    child->name = name;
    child->date = 1600000000;
    child->content = "raw";
    folder_for(folder, true)->raw_children.push_back(child);
}

void fake_remote::fail_listing(const std::wstring& folder, bool not_found_reply) {
    std::lock_guard<std::mutex> guard(mutex_);
    (not_found_reply ? not_found_listings_ : failing_listings_).insert(normal(folder));
}

void fake_remote::fail_lookup(const std::wstring& folder) {
    std::lock_guard<std::mutex> guard(mutex_);
    failing_lookups_.insert(normal(folder));
}

void fake_remote::clear_faults() {
    std::lock_guard<std::mutex> guard(mutex_);
    not_found_listings_.clear();
    failing_listings_.clear();
    failing_lookups_.clear();
}

void fake_remote::hold_transfers(std::chrono::milliseconds longest) {
    std::lock_guard<std::mutex> guard(mutex_);
    held_ = true;
    longest_hold_ = longest;
}

void fake_remote::release_transfers() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        held_ = false;
    }
    released_.notify_all();
}

int fake_remote::waiting_transfers() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return waiting_;
}

int fake_remote::lookups(const std::wstring& path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = lookups_.find(normal(path));
    return found == lookups_.end() ? 0 : found->second;
}

vfs::client_ptr fake_remote::client() {
    return boost::make_shared<fake_client>(shared_from_this());
}

std::shared_ptr<fake_remote::node> fake_remote::find(const std::wstring& path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return find_locked(path);
}

std::shared_ptr<fake_remote::node> fake_remote::find_locked(const std::wstring& path) const {
    std::shared_ptr<node> current = root_;
    for (const std::wstring& element : elements(path)) {
        if (!current || !current->is_folder) return nullptr;
        const auto child = current->children.find(element);
        current = child == current->children.end() ? nullptr : child->second;
    }
    return current;
}

void fake_remote::check_listing(const std::wstring& path) const {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        const auto found = listing_hooks_.find(normal(path));
        if (found != listing_hooks_.end()) {
            hook = std::move(found->second);
            listing_hooks_.erase(found);
        }
    }
    if (hook) hook();
    std::lock_guard<std::mutex> guard(mutex_);
    const std::wstring key = normal(path);
    ++listings_[key];
    if (not_found_listings_.contains(key)) not_found(key);
    if (failing_listings_.contains(key))
        throw vfs_calvimora::exception(L"Request failed", L"Listing refused");
}

void fake_remote::count_listing(const std::wstring& path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    ++listings_[normal(path)];
}

int fake_remote::listings(const std::wstring& path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = listings_.find(normal(path));
    return found == listings_.end() ? 0 : found->second;
}

void fake_remote::on_next_listing(const std::wstring& path, std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(mutex_);
    listing_hooks_[normal(path)] = std::move(hook);
}

void fake_remote::count_lookup(const std::wstring& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    ++lookups_[normal(path)];
    if (failing_lookups_.contains(normal(path)))
        throw vfs_calvimora::exception(L"Request failed", L"Lookup refused");
}

void fake_remote::wait_for_transfer() {
    std::unique_lock<std::mutex> guard(mutex_);
    ++waiting_;
    released_.wait_for(guard, longest_hold_, [this] { return !held_; });
    --waiting_;
}

void fake_remote::limit_writes(write_limits limits) {
    std::lock_guard<std::mutex> guard(mutex_);
    write_limits_ = std::move(limits);
    write_calls_ = 0;
}

std::size_t fake_remote::take_write(std::size_t offered) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!write_limits_) return offered;
    const int call = write_calls_++;
    if (write_limits_->refused.contains(call))
        throw vfs_calvimora::exception(L"Write failed", L"The connection was cut");
    if (write_limits_->silent_from >= 0 && call >= write_limits_->silent_from) return 0;
    return write_limits_->most == 0 ? offered : std::min(offered, write_limits_->most);
}

std::shared_ptr<fake_remote::node> fake_remote::folder_for(const std::wstring& path, bool create) {
    std::shared_ptr<node> current = root_;
    for (const std::wstring& element : elements(path)) {
        auto& slot = current->children[element];
        if (!slot) {
            if (!create) return nullptr;
            slot = std::make_shared<node>();
            slot->name = element;
        }
        current = slot;
    }
    return current;
}

}  // namespace syncer::scan_testing
