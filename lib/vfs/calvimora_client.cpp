#include "vfs/calvimora_client.h"

#include <utf8.h>

#include <algorithm>
#include <boost/make_shared.hpp>
#include <iterator>
#include <locale>
#include <sstream>

#include "vfs/calvimora_exception.h"
#include "vfs/calvimora_file.h"
#include "vfs/listing_records.h"
#include "vfs/login_data.h"
#include "vfs/number_text.h"
#include "vfs/path_walk.h"
#include "vfs/reply_text.h"
#include "vfs/session.h"

namespace vfs_calvimora {

namespace {

// The transfer server reads its command lines, and so the user name and the
// password, as UTF-8.
std::string utf8_text(const std::wstring& text) {
    std::string bytes;
    utf8::utf32to8(text.begin(), text.end(), std::back_inserter(bytes));
    return bytes;
}

void add_user_parameters(request_parameters& parameters, const user_info& user) {
    parameters[L"user_id"] = user.user_id;
    parameters[L"user_id_access"] = user.access_id;
    parameters[L"user_lang"] = user.language;
    parameters[L"user_level"] = user.level;
}

template <typename Number>
std::wstring number_text(Number value) {
    std::wostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

}  // namespace

client::client(const client& other)
    : vfs::client(other),
      http_client(other),
      user_(other.user_),
      transfer_host_(other.transfer_host_),
      transfer_user_(other.transfer_user_),
      transfer_password_(other.transfer_password_),
      upload_speed_limit_(other.upload_speed_limit_),
      download_speed_limit_(other.download_speed_limit_) {
    std::lock_guard<std::mutex> hold(other.root_mutex_);
    root_ = other.root_;
}

client& client::operator=(const client& other) {
    if (this != &other) {
        vfs::directory_ptr root;
        {
            std::lock_guard<std::mutex> hold(other.root_mutex_);
            root = other.root_;
        }
        http_client::operator=(other);
        user_ = other.user_;
        transfer_host_ = other.transfer_host_;
        transfer_user_ = other.transfer_user_;
        transfer_password_ = other.transfer_password_;
        upload_speed_limit_ = other.upload_speed_limit_;
        download_speed_limit_ = other.download_speed_limit_;
        std::lock_guard<std::mutex> hold(root_mutex_);
        root_ = std::move(root);
    }
    return *this;
}

boost::shared_ptr<client> client::log_in(const std::wstring& user_name,
                                         const std::wstring& password, const std::wstring& pc_id) {
    auto session = boost::make_shared<client>();
    session->fetch_real_path();
    const response_node reply = session->call_cm_operations({{L"action", L"login"},
                                                             {L"user", user_name},
                                                             {L"pass", password},
                                                             {L"version", client_version},
                                                             {L"pro_version", L""},
                                                             {L"pcid", pc_id}});
    session->take_session_reply(reply, user_name, password);
    return session;
}

boost::shared_ptr<client> client::restore_session(const user_info& record) {
    auto session = boost::make_shared<client>();
    session->fetch_real_path();
    const response_node reply =
        session->call_cm_operations({{L"action", L"restore_session"}}, record);
    session->take_session_reply(reply, restore_key_name, restore_key_password);
    return session;
}

void client::take_session_reply(const response_node& reply, const std::wstring& key_name,
                                const std::wstring& key_password) {
    user_ = user_info{find_child_text(reply, L"UserID"), find_child_text(reply, L"UserAccessID"),
                      find_child_text(reply, L"UserName"), find_child_text(reply, L"UserLang"),
                      find_child_text(reply, L"UserLevel")};
    upload_speed_limit_ = parse_int64(find_child_text(reply, L"UploadSpeedLimit"));
    download_speed_limit_ = parse_int64(find_child_text(reply, L"DownloadSpeedLimit"));

    std::wstring credentials;
    try {
        credentials = decipher_login_data(find_child_text(reply, L"Data"), user_.user_id, key_name,
                                          key_password);
    } catch (const damaged_login_data&) {
        throw;
    } catch (const exception&) {
        // Data this session cannot decipher: it works without the transfer
        // server.
        return;
    }
    const response_node fields = parse_response(L"<Result>" + credentials + L"</Result>");
    transfer_host_ = utf8_text(find_child_text(fields, L"Host"));
    transfer_user_ = utf8_text(find_child_text(fields, L"User"));
    transfer_password_ = utf8_text(find_child_text(fields, L"Pass"));
}

user_info client::get_user_info() {
    return user_;
}

vfs::directory_ptr client::get_root_directory() {
    {
        std::lock_guard<std::mutex> hold(root_mutex_);
        if (root_) {
            return root_;
        }
    }
    // Built outside the lock: the root copies this session.
    vfs::directory_ptr root = make_root_directory(*this);
    std::lock_guard<std::mutex> hold(root_mutex_);
    if (!root_) {
        root_ = std::move(root);
    }
    return root_;
}

vfs::directory_ptr client::get_item_by_path(const std::wstring& path, bool create) {
    if (path.empty()) {
        throw exception(L"Empty path provided", L"File system error: empty path provided");
    }
    vfs::directory_ptr root = make_root_directory(*this);
    std::lock_guard<std::mutex> hold(client_lock());
    return walk_directory_path(std::move(root), path, create);
}

vfs::file_ptr client::get_file_by_id(const std::wstring& id, const std::wstring& name,
                                     std::int64_t size, std::int64_t date) {
    if (id.empty() || !get_user_info().access_id.empty()) return nullptr;
    file_record record;
    record.id = id;
    record.name = name;
    record.size = size;
    record.date_modified = date == vfs::no_date ? 0 : date;
    return boost::make_shared<file>(*this, record, 0, L"");
}

std::vector<vfs::notification> client::get_user_notifications() {
    const response_node reply = call_cm_operations({{L"action", L"get_user_notifications"},
                                                    {L"version", client_version},
                                                    {L"pro_version", L""}});
    std::vector<vfs::notification> notifications;
    for (const response_node& record : children_by_name(reply, L"Notification")) {
        notifications.push_back({find_child_text(record, L"Title"),
                                 find_child_text(record, L"Text"),
                                 find_child_text(record, L"URL")});
    }
    return notifications;
}

vfs::storage_info client::get_storage_info() {
    const response_node reply = call_cm_operations({{L"action", L"get_storage_info"}});
    return {parse_int64(find_child_text(reply, L"Capacity")),
            parse_int64(find_child_text(reply, L"SpaceUsed")),
            parse_int64(find_child_text(reply, L"SpaceFree"))};
}

std::vector<vfs::pro_setting> client::get_pro_settings() {
    const response_node reply = call_cm_operations({{L"action", L"get_pro_settings"}});
    std::vector<vfs::pro_setting> settings;
    for (const response_node& record : children_by_name(reply, L"ProSetting")) {
        settings.push_back({find_child_text(record, L"Name"), find_child_text(record, L"Value"),
                            parse_int(find_child_text(record, L"Type"))});
    }
    return settings;
}

void client::set_pro_setting(const std::wstring& name, float value) {
    call_cm_operations({{L"action", L"set_pro_setting"},
                        {L"setting_name", name},
                        {L"setting_value", number_text(value)},
                        {L"setting_type", L"2"}});
}

void client::set_pro_setting(const std::wstring& name, int value) {
    call_cm_operations({{L"action", L"set_pro_setting"},
                        {L"setting_name", name},
                        {L"setting_value", number_text(value)},
                        {L"setting_type", L"1"}});
}

void client::set_pro_setting(const std::wstring& name, const std::wstring& value) {
    call_cm_operations({{L"action", L"set_pro_setting"},
                        {L"setting_name", name},
                        {L"setting_value", value},
                        {L"setting_type", L"0"}});
}

response_node client::call_cm_operations(request_parameters parameters) const {
    return call_cm_operations(std::move(parameters), user_);
}

response_node client::call_cm_operations(request_parameters parameters,
                                         const user_info& user) const {
    add_user_parameters(parameters, user);
    return call_operation(get_prefix() + operations_script, parameters);
}

vfs::byte_buffer client::call_cm_operations_bytes(request_parameters parameters) const {
    add_user_parameters(parameters, user_);
    return raw_request(get_prefix() + operations_script, parameters);
}

vfs::byte_buffer client::get_thumbnail_data(const std::wstring& shared_user_id,
                                            const std::wstring& file_id) const {
    request_parameters parameters{{L"shared_user_id", shared_user_id}, {L"file_id", file_id}};
    add_user_parameters(parameters, user_);
    vfs::byte_buffer image = raw_request(get_prefix() + thumbnail_script, parameters);
    if (image.size() < 10) {
        throw exception(L"Thumbnail request failed", L"Wrong response");
    }
    static const unsigned char jfif[] = {'J', 'F', 'I', 'F'};
    if (!std::equal(std::begin(jfif), std::end(jfif), image.begin() + 6)) {
        // Not a JPEG image: the service may have answered with an error.
        const auto end = std::find(image.begin(), image.end(), 0);
        const std::wstring text = decode_reply_text(reinterpret_cast<const char*>(image.data()),
                                                    static_cast<std::size_t>(end - image.begin()));
        throw_reply_error(parse_response(text), false);
    }
    return image;
}

std::wstring client::send_email_request(request_parameters parameters) const {
    add_user_parameters(parameters, user_);
    return text_request(get_prefix() + email_script, parameters);
}

}  // namespace vfs_calvimora
