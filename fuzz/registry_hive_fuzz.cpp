// The registry hive files. Any input is tried as a whole file, and as the
// payload of a file with a good header (the digest would otherwise turn away
// nearly every input). A hive that loads is written back, loads again as the
// same tree and is written as the same bytes. A tree made from the input's
// texts, with the names the registry calls allow, loads back too.
#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "registry/registry_hive.h"

namespace {

using calvimora_fuzz::require;
using win_detail::registry_key;

void append_little_endian(std::string& out, std::uint64_t value, int bytes) {
    for (int at = 0; at < bytes; ++at) out += static_cast<char>((value >> (8 * at)) & 0xFF);
}

// The file header of version 1: magic, version, reserved word, payload size
// and the payload's SHA-256.
std::string with_header(const std::string& payload) {
    std::string file("CVMHIVE\0", 8);
    append_little_endian(file, 1, 4);
    append_little_endian(file, 0, 4);
    append_little_endian(file, payload.size(), 8);
    unsigned char digest[32];
    unsigned int length = 0;
    EVP_Digest(payload.data(), payload.size(), digest, &length, EVP_sha256(), nullptr);
    file.append(reinterpret_cast<const char*>(digest), sizeof digest);
    return file + payload;
}

bool same_key(const registry_key& one, const registry_key& other) {
    if (one.name != other.name || one.values.size() != other.values.size() ||
        one.subkeys.size() != other.subkeys.size())
        return false;
    for (auto mine = one.values.begin(), theirs = other.values.begin(); mine != one.values.end();
         ++mine, ++theirs) {
        if (mine->first != theirs->first || mine->second.name != theirs->second.name ||
            mine->second.type != theirs->second.type || mine->second.data != theirs->second.data)
            return false;
    }
    for (auto mine = one.subkeys.begin(), theirs = other.subkeys.begin(); mine != one.subkeys.end();
         ++mine, ++theirs) {
        if (mine->first != theirs->first || !same_key(*mine->second, *theirs->second)) return false;
    }
    return true;
}

void check_file(const std::string& bytes) {
    const auto hive = win_detail::parse_hive(bytes);
    if (!hive) return;
    const std::string written = win_detail::serialize_hive(*hive);
    const auto again = win_detail::parse_hive(written);
    require(again != nullptr, "a written hive does not load");
    require(same_key(*again, *hive), "a written hive loads as another tree");
    require(win_detail::serialize_hive(*again) == written,
            "a hive loaded back is written differently");
}

// Pairs of texts: a name without a backslash and a text of odd length make a
// subkey, which takes what follows (down to the deepest level a file may
// hold); other pairs make a value of the current key.
void check_made_tree(const std::vector<std::wstring>& texts) {
    registry_key root;
    registry_key* key = &root;
    std::size_t depth = 0;
    for (std::size_t at = 0; at + 1 < texts.size(); at += 2) {
        const std::wstring& name = texts[at];
        const std::wstring& text = texts[at + 1];
        if (!name.empty() && name.find(L'\\') == std::wstring::npos && text.size() % 2 == 1 &&
            depth < win_detail::max_registry_depth) {
            auto& subkey = key->subkeys[win_detail::fold_registry_name(name)];
            if (!subkey) {
                subkey = std::make_unique<registry_key>();
                subkey->name = name;
            }
            key = subkey.get();
            ++depth;
        } else {
            win_detail::registry_value value;
            value.name = name;
            value.type = static_cast<DWORD>(text.size() % 5);
            value.data.assign(text.begin(), text.end());
            key->values[win_detail::fold_registry_name(name)] = value;
        }
    }
    const auto loaded = win_detail::parse_hive(win_detail::serialize_hive(root));
    require(loaded != nullptr, "a made hive does not load");
    require(same_key(*loaded, root), "a made hive loads as another tree");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check_made_tree(calvimora_fuzz::texts_of(data, size));

    const std::string input(reinterpret_cast<const char*>(data), size);
    check_file(input);
    check_file(with_header(input));
    return 0;
}
