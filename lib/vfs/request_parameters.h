// The parameters of a request and the form body they become.
#pragma once

#include <map>
#include <string>

namespace vfs_calvimora {

// Keys are ordered as the service expects them: unit by unit as UTF-16, so
// "action" precedes "dir_id", which precedes "user_id".
struct utf16_key_order {
    bool operator()(const std::wstring& left, const std::wstring& right) const;
};

typedef std::map<std::wstring, std::wstring, utf16_key_order> request_parameters;

// The text in the form encoding of the service: characters below 0x80 as
// single bytes, with the escape flag the 17 characters " # % & + / < > ? [
// backslash ] ^ ` { | } as "%XX" (upper-case hex); every other character as
// its UTF-8 bytes, never escaped. A value that is no Unicode scalar value
// (a lone surrogate, or beyond U+10FFFF) is sent as U+FFFD.
std::string url_encode(const std::wstring& text, bool escape);

// "key=value" pairs in key order, joined with "&", both sides encoded with
// the escape flag set.
std::string form_body(const request_parameters& parameters);

}  // namespace vfs_calvimora
