#include "registry_hive.h"

#include <locale.h>
#include <openssl/evp.h>
#include <wctype.h>

#include <array>
#include <cstring>

#include <utf8.h>

#include "kernel/wide_text.h"

namespace win_detail {

namespace {

constexpr char magic[8] = {'C', 'V', 'M', 'H', 'I', 'V', 'E', '\0'};
constexpr uint32_t format_version = 1;
constexpr size_t digest_size = 32;
constexpr size_t header_size = sizeof magic + 4 + 4 + 8 + digest_size;

// A fixed locale, so every process folds names alike whatever its own
// locale is.
locale_t folding_locale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

std::array<unsigned char, digest_size> payload_digest(const char* data, size_t size) {
    std::array<unsigned char, digest_size> digest{};
    unsigned int length = 0;
    EVP_Digest(data, size, digest.data(), &length, EVP_sha256(), nullptr);
    return digest;
}

class writer {
public:
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void u64(uint64_t v) {
        for (int i = 0; i < 8; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void bytes(const void* data, size_t size) { out_.append(static_cast<const char*>(data), size); }
    void name(const std::wstring& text) {
        const std::string utf8_text = to_utf8(text);
        u32(static_cast<uint32_t>(utf8_text.size()));
        out_ += utf8_text;
    }
    void key(const registry_key& k) {
        name(k.name);
        u32(static_cast<uint32_t>(k.values.size()));
        for (const auto& [folded, value] : k.values) {
            name(value.name);
            u32(value.type);
            u32(static_cast<uint32_t>(value.data.size()));
            bytes(value.data.data(), value.data.size());
        }
        u32(static_cast<uint32_t>(k.subkeys.size()));
        for (const auto& [folded, subkey] : k.subkeys) key(*subkey);
    }
    std::string& result() { return out_; }

private:
    std::string out_;
};

// Reads the payload; every read checks the bytes that remain, and any
// failure poisons the reader.
class reader {
public:
    reader(const char* data, size_t size) : data_(data), left_(size) {}

    bool ok() const { return ok_; }
    bool at_end() const { return left_ == 0; }

    uint32_t u32() {
        if (!take(4)) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(static_cast<unsigned char>(at_[i])) << (8 * i);
        return v;
    }
    bool name(std::wstring& text) {
        const uint32_t size = u32();
        if (!take(size)) return false;
        const std::string_view utf8_text(at_, size);
        if (!utf8::is_valid(utf8_text.begin(), utf8_text.end())) return fail();
        text = from_utf8(utf8_text);
        return true;
    }
    std::unique_ptr<registry_key> key(size_t depth) {
        if (depth > max_registry_depth) {
            fail();
            return nullptr;
        }
        auto k = std::make_unique<registry_key>();
        if (!name(k->name)) return nullptr;
        for (uint32_t n = u32(); ok_ && n > 0; --n) {
            registry_value value;
            if (!name(value.name)) return nullptr;
            value.type = u32();
            const uint32_t size = u32();
            if (!take(size)) return nullptr;
            value.data.assign(at_, at_ + size);
            if (!k->values.emplace(fold_registry_name(value.name), std::move(value)).second) {
                fail();
                return nullptr;
            }
        }
        for (uint32_t n = u32(); ok_ && n > 0; --n) {
            auto subkey = key(depth + 1);
            if (!subkey) return nullptr;
            if (subkey->name.empty()) {
                fail();
                return nullptr;
            }
            std::wstring folded = fold_registry_name(subkey->name);
            if (!k->subkeys.emplace(std::move(folded), std::move(subkey)).second) {
                fail();
                return nullptr;
            }
        }
        if (!ok_) return nullptr;
        return k;
    }

private:
    bool fail() {
        ok_ = false;
        return false;
    }
    bool take(size_t size) {
        if (!ok_ || size > left_) return fail();
        at_ = data_;
        data_ += size;
        left_ -= size;
        return true;
    }

    const char* data_;
    size_t left_;
    const char* at_ = nullptr;
    bool ok_ = true;
};

uint64_t read_u64(const char* p) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v |= static_cast<uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

uint32_t read_u32(const char* p) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

}  // namespace

registry_key* registry_key::find_subkey(const std::wstring& subkey_name) const {
    auto it = subkeys.find(fold_registry_name(subkey_name));
    return it == subkeys.end() ? nullptr : it->second.get();
}

const registry_value* registry_key::find_value(const std::wstring& value_name) const {
    auto it = values.find(fold_registry_name(value_name));
    return it == values.end() ? nullptr : &it->second;
}

std::wstring fold_registry_name(const std::wstring& name) {
    std::wstring folded = name;
    const locale_t locale = folding_locale();
    for (wchar_t& c : folded) {
        if (locale != static_cast<locale_t>(0))
            c = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), locale));
        else if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return folded;
}

std::string serialize_hive(const registry_key& root) {
    writer payload;
    payload.key(root);
    const std::string& body = payload.result();

    writer file;
    file.bytes(magic, sizeof magic);
    file.u32(format_version);
    file.u32(0);
    file.u64(body.size());
    const auto digest = payload_digest(body.data(), body.size());
    file.bytes(digest.data(), digest.size());
    file.bytes(body.data(), body.size());
    return std::move(file.result());
}

std::unique_ptr<registry_key> parse_hive(const std::string& bytes) {
    if (bytes.size() < header_size || std::memcmp(bytes.data(), magic, sizeof magic) != 0)
        return nullptr;
    const char* p = bytes.data() + sizeof magic;
    if (read_u32(p) != format_version || read_u32(p + 4) != 0) return nullptr;
    const uint64_t payload_size = read_u64(p + 8);
    if (payload_size != bytes.size() - header_size) return nullptr;
    const char* body = bytes.data() + header_size;
    const auto digest = payload_digest(body, payload_size);
    if (std::memcmp(digest.data(), p + 16, digest_size) != 0) return nullptr;

    reader in(body, payload_size);
    auto root = in.key(0);
    if (!root || !in.ok() || !in.at_end() || !root->name.empty()) return nullptr;
    return root;
}

}  // namespace win_detail
