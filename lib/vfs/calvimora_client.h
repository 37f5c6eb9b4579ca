// A session of the service: the implementation of vfs::client. Every remote
// item holds its own copy of the session it was built through and sends its
// requests with that copy's user, so a later login or log-off does not change
// items already handed out.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <mutex>
#include <string>

#include "vfs/client.h"
#include "vfs/http_client.h"

namespace vfs_calvimora {

using vfs::user_info;

class client : public vfs::client, public http_client {
public:
    // A session without a user, addressing the configured service; its
    // script prefix is fetched by the named constructors below.
    client() = default;
    client(const client& other);
    client& operator=(const client& other);

    // A new session from the "login" request: fetches the script prefix,
    // then logs in with the name and password as typed and the computer's
    // identifier. A failed request propagates.
    static boost::shared_ptr<client> log_in(const std::wstring& user_name,
                                            const std::wstring& password,
                                            const std::wstring& pc_id);
    // A new session for the user of the shared record, from the
    // "restore_session" request, without the password.
    static boost::shared_ptr<client> restore_session(const user_info& record);

    // vfs::client
    user_info get_user_info() override;
    vfs::directory_ptr get_root_directory() override;
    vfs::directory_ptr get_item_by_path(const std::wstring& path, bool create) override;
    // An own file of the user (a file of someone else's share or of an
    // access account refuses the own requests, and its caller falls back to
    // a lookup); null for a session of an access account.
    vfs::file_ptr get_file_by_id(const std::wstring& id, const std::wstring& name,
                                 std::int64_t size, std::int64_t date) override;
    std::vector<vfs::notification> get_user_notifications() override;
    vfs::storage_info get_storage_info() override;
    std::vector<vfs::pro_setting> get_pro_settings() override;
    void set_pro_setting(const std::wstring& name, float value) override;
    void set_pro_setting(const std::wstring& name, int value) override;
    void set_pro_setting(const std::wstring& name, const std::wstring& value) override;

    // "/cm_operations.php" with the session's four user parameters added
    // (user_id, user_id_access, user_lang, user_level), or those of user.
    response_node call_cm_operations(request_parameters parameters) const;
    response_node call_cm_operations(request_parameters parameters, const user_info& user) const;
    // The same request's reply bytes, unchecked (a listing reads them
    // itself: parse_listing_reply).
    vfs::byte_buffer call_cm_operations_bytes(request_parameters parameters) const;

    // The thumbnail image of a file ("/cm_thumbnail.php"): JPEG bytes, or
    // any other reply that carries no "Error" record. A reply shorter than
    // 10 bytes throws ("Thumbnail request failed", "Wrong response").
    vfs::byte_buffer get_thumbnail_data(const std::wstring& shared_user_id,
                                        const std::wstring& file_id) const;
    // The sharing e-mail ("/cm_email.php"): the reply text, unparsed.
    std::wstring send_email_request(request_parameters parameters) const;

    // The transfer server and its credentials from the login reply, as UTF-8
    // (empty when its "Data" could not be deciphered), and the user's speed
    // limits in bytes per second (0: none).
    const std::string& get_transfer_host() const { return transfer_host_; }
    const std::string& get_transfer_user() const { return transfer_user_; }
    const std::string& get_transfer_password() const { return transfer_password_; }
    std::int64_t get_upload_speed_limit() const { return upload_speed_limit_; }
    std::int64_t get_download_speed_limit() const { return download_speed_limit_; }

private:
    // Takes the user, the speed limits and the transfer credentials from a
    // login or "restore_session" reply; name and password are those that
    // key its "Data". A "Data" text that does not decode whole throws
    // damaged_login_data.
    void take_session_reply(const response_node& reply, const std::wstring& key_name,
                            const std::wstring& key_password);

    // Filled on first use; copies of a session are taken from any thread.
    mutable std::mutex root_mutex_;
    vfs::directory_ptr root_;
    user_info user_;
    std::string transfer_host_;
    std::string transfer_user_;
    std::string transfer_password_;
    std::int64_t upload_speed_limit_ = 0;
    std::int64_t download_speed_limit_ = 0;
};

typedef boost::shared_ptr<client> client_ptr;

// The root folder of a session: the ordinary root when its user has no
// access id, the access root otherwise; a new object on every call.
vfs::directory_ptr make_root_directory(const client& session);

}  // namespace vfs_calvimora
