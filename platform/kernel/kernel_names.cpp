#include "kernel_names.h"

#include <cstdio>
#include <string_view>

#include "wide_text.h"

namespace win_kernel {

namespace {

constexpr std::wstring_view namespace_prefixes[] = {L"Local\\", L"Global\\"};

// Room for the suffix and a hash within the 255 bytes a file name may have.
constexpr size_t longest_encoded_name = 200;

bool is_plain(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '_' || byte == '-';
}

// FNV-1a: stable across processes and builds, unlike std::hash.
uint64_t stable_hash(std::string_view bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

}  // namespace

bool is_unnamed(LPCWSTR name) {
    return name == nullptr || *name == L'\0';
}

std::optional<std::string> object_file_name(LPCWSTR name) {
    std::wstring_view rest(name);
    for (const std::wstring_view prefix : namespace_prefixes) {
        if (rest.starts_with(prefix)) {
            rest.remove_prefix(prefix.size());
            break;
        }
    }
    if (rest.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return std::nullopt;
    }
    const std::string utf8 = win_detail::to_utf8(rest);
    std::string encoded;
    for (const unsigned char byte : utf8) {
        if (is_plain(byte)) {
            encoded += static_cast<char>(byte);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", byte);
            encoded += escape;
        }
    }
    if (encoded.size() > longest_encoded_name) {
        char hash[24];
        std::snprintf(hash, sizeof hash, "~%016llx",
                      static_cast<unsigned long long>(stable_hash(utf8)));
        encoded = encoded.substr(0, longest_encoded_name - 20) + hash;
    }
    return encoded + ".kobj";
}

}  // namespace win_kernel
