#include "vfs/http_client.h"

#include <curl/curl.h>
#include <utf8.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <new>

#include "utils/time_scale.h"
#include "vfs/calvimora_exception.h"
#include "vfs/curl_descriptor.h"
#include "vfs/number_text.h"
#include "vfs/reply_text.h"
#include "vfs/service_address.h"
#include "vfs/tls_verification.h"

namespace vfs_calvimora {

namespace {

// The whole exchange of one request may take this long.
constexpr std::chrono::seconds request_timeout(25);

// A reply is held whole in memory; one beyond this size is refused as a
// failed transfer rather than exhausting memory.
constexpr std::size_t max_reply_bytes = 256u << 20;

[[noreturn]] void request_failed(CURLcode result = CURLE_OK) {
    throw exception(L"Request failed",
                    is_certificate_failure(result)
                        ? certificate_refused_text
                        : L"Please, check your internet connection or firewall settings");
}

size_t append_reply(char* data, size_t size, size_t count, void* user) {
    auto* reply = static_cast<vfs::byte_buffer*>(user);
    const size_t bytes = size * count;
    if (bytes > max_reply_bytes - reply->size()) {
        return 0;
    }
    try {
        reply->insert(reply->end(), data, data + bytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return bytes;
}

std::wstring decode(const vfs::byte_buffer& bytes) {
    return decode_reply_text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

void throw_reply_error(const response_node& root, bool already_exists_kind) {
    const auto errors = children_by_name(root, L"Error");
    if (errors.empty()) {
        return;
    }
    const response_node& error = errors.front();
    std::wstring title = find_child_text(error, L"Name");
    std::wstring text = find_child_text(error, L"Description");
    if (already_exists_kind && parse_int(find_child_text(error, L"Type")) == 1) {
        throw item_already_exists_exception(std::move(title), std::move(text));
    }
    throw exception(std::move(title), std::move(text));
}

http_client::http_client() : base_address_(service_base_address()), ca_file_(service_ca_file()) {}

void http_client::fetch_real_path() {
    prefix_ = get_real_path();
}

std::string http_client::get_real_path() const {
    const response_node reply = call_operation(get_path_script, {{L"version", client_version}});
    const std::wstring path = find_child_text(reply, L"Path");
    std::string narrow;
    utf8::utf32to8(path.begin(), path.end(), std::back_inserter(narrow));
    return narrow;
}

vfs::byte_buffer http_client::perform_request(const std::string& path,
                                              const request_parameters& parameters) const {
    curl_descriptor descriptor(request_pool());
    CURL* handle = descriptor.get_curl_handle();
    const std::string url = base_address_ + path;
    const std::string body = form_body(parameters);
    const auto timeout =
        std::chrono::duration_cast<std::chrono::milliseconds>(utils::scaled(request_timeout));
    vfs::byte_buffer reply;

    // Nothing of the handle's previous request may stay set (a pooled
    // handle keeps its connections and TLS sessions across a reset).
    curl_easy_reset(handle);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, append_reply);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &reply);
    verify_server_certificate(handle, ca_file_);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(std::max<long long>(1, timeout.count())));
    // Requests run on many threads; time-outs must not use signals.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());

    if (const CURLcode result = curl_easy_perform(handle); result != CURLE_OK) {
        request_failed(result);
    }
    // An error page of a proxy or a failing server is no reply of the
    // service.
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) {
        request_failed();
    }
    return reply;
}

vfs::byte_buffer http_client::perform_request_retry(const std::string& path,
                                                    const request_parameters& parameters,
                                                    int tries) const {
    for (int attempt = 1;; ++attempt) {
        try {
            return perform_request(path, parameters);
        } catch (const exception&) {
            if (attempt >= tries) {
                throw;
            }
        }
    }
}

response_node http_client::call_operation(const std::string& path,
                                          const request_parameters& parameters) const {
    const vfs::byte_buffer reply = perform_request_retry(path, parameters, request_tries);
    return parse_operation_reply(reinterpret_cast<const char*>(reply.data()), reply.size());
}

response_node parse_operation_reply(const char* bytes, std::size_t length) {
    response_node root = parse_response(decode_reply_text(bytes, length));
    if (root.name != L"Result") {
        throw exception(L"Parse error", L"Server side error");
    }
    throw_reply_error(root, true);
    return root;
}

vfs::byte_buffer http_client::raw_request(const std::string& path,
                                          const request_parameters& parameters) const {
    return perform_request_retry(path, parameters, request_tries);
}

std::wstring http_client::text_request(const std::string& path,
                                       const request_parameters& parameters) const {
    vfs::byte_buffer reply = perform_request_retry(path, parameters, request_tries);
    reply.erase(std::find(reply.begin(), reply.end(), 0), reply.end());
    return decode(reply);
}

}  // namespace vfs_calvimora
