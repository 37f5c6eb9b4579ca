// The transfer server's path as the service hands it out (the Location or
// TempLocation of a reply), turned into the URL libcurl fetches: any text.
// The URL is the server's address followed only by the characters of a
// plain path and whole escapes, so nothing in a path can end it early,
// name another host or reach libcurl as a blank or a control byte; and the
// URL's path unescaped is the service's path unescaped.
#include <utf8.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "vfs/transfer_stream.h"

using calvimora_fuzz::require;

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Every "%" with two hex digits as the byte it stands for; anything else
// as it stands.
std::string unescaped(const std::string& text) {
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && hex_value(text[at + 1]) >= 0 &&
            hex_value(text[at + 2]) >= 0) {
            bytes += static_cast<char>(hex_value(text[at + 1]) * 16 + hex_value(text[at + 2]));
            at += 2;
        } else {
            bytes += text[at];
        }
    }
    return bytes;
}

void check(const std::string& path) {
    const std::string server = "ftp://127.0.0.1:2121";
    const std::string url = vfs_calvimora::transfer_url(server, path);
    require(url.compare(0, server.size(), server) == 0, "the URL does not start at the server");
    const std::string rest = url.substr(server.size());
    for (std::size_t at = 0; at < rest.size(); ++at) {
        const char c = rest[at];
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || std::strchr("/-._~", c) != nullptr;
        if (c == '%') {
            require(at + 2 < rest.size() && hex_value(rest[at + 1]) >= 0 &&
                        hex_value(rest[at + 2]) >= 0,
                    "a \"%\" in the URL starts no escape");
        } else {
            require(plain && c != '\0', "the URL holds a byte that is not of a plain path");
        }
    }
    require(unescaped(rest) == unescaped(path), "the URL's path stands for other bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check(std::string(reinterpret_cast<const char*>(data), size));
    // As the client gets it: a reply's text, in UTF-8.
    for (const std::wstring& text : calvimora_fuzz::texts_of(data, size)) {
        std::string path;
        utf8::utf32to8(text.begin(), text.end(), std::back_inserter(path));
        check(path);
    }
    return 0;
}
