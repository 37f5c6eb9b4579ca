// Reading registrar scripts: tokens, replacements, then keys and values.
#include "registry_script.h"

#include <cstring>
#include <cwctype>

#include "registry_hive.h"

namespace win_detail {

namespace {

struct token {
    enum kind_t { word, quoted, open, close, equals } kind;
    std::wstring text;
};

bool is_word_character(wchar_t c) {
    return !std::iswspace(c) && c != L'{' && c != L'}' && c != L'=' && c != L'\'';
}

// Applies the replacements to a name or data text; false for a "%" that
// does not start a known replacement or "%%".
bool replace(std::wstring& text, const script_replacements& replacements) {
    std::wstring out;
    for (size_t at = 0; at < text.size();) {
        if (text[at] != L'%') {
            out += text[at++];
            continue;
        }
        const size_t end = text.find(L'%', at + 1);
        if (end == std::wstring::npos) return false;
        if (end == at + 1) {
            out += L'%';
        } else {
            const std::optional<std::wstring> value =
                replacements(text.substr(at + 1, end - at - 1));
            if (!value) return false;
            out += *value;
        }
        at = end + 1;
    }
    text = std::move(out);
    return true;
}

std::optional<std::vector<token>> tokenize(const std::wstring& script,
                                           const script_replacements& replacements) {
    std::vector<token> tokens;
    for (size_t at = 0; at < script.size();) {
        const wchar_t c = script[at];
        if (std::iswspace(c) || c == 0xFEFF) {
            ++at;
        } else if (c == L'{' || c == L'}' || c == L'=') {
            tokens.push_back({c == L'{'   ? token::open
                              : c == L'}' ? token::close
                                          : token::equals,
                              {}});
            ++at;
        } else if (c == L'\'') {
            std::wstring text;
            for (++at;; ++at) {
                if (at >= script.size()) return std::nullopt;  // unterminated
                if (script[at] != L'\'') {
                    text += script[at];
                } else if (at + 1 < script.size() && script[at + 1] == L'\'') {
                    text += L'\'';
                    ++at;
                } else {
                    ++at;
                    break;
                }
            }
            if (!replace(text, replacements)) return std::nullopt;
            tokens.push_back({token::quoted, std::move(text)});
        } else {
            const size_t start = at;
            while (at < script.size() && is_word_character(script[at])) ++at;
            std::wstring text = script.substr(start, at - start);
            if (!replace(text, replacements)) return std::nullopt;
            tokens.push_back({token::word, std::move(text)});
        }
    }
    return tokens;
}

bool same_word(const token& t, const wchar_t* keyword) {
    if (t.kind != token::word || t.text.size() != std::wcslen(keyword)) return false;
    for (size_t i = 0; i < t.text.size(); ++i)
        if (std::towlower(t.text[i]) != std::towlower(keyword[i])) return false;
    return true;
}

std::optional<HKEY> root_of(const std::wstring& name) {
    std::wstring upper = name;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    if (upper == L"HKCR" || upper == L"HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    if (upper == L"HKLM" || upper == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (upper == L"HKCU" || upper == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    return std::nullopt;
}

int hex_digit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

std::optional<DWORD> dword_of(const std::wstring& text) {
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    if (text.empty() || (hex && text.size() > 10)) return std::nullopt;
    unsigned long long value = 0;
    for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const int digit = hex ? hex_digit(text[i]) : (std::iswdigit(text[i]) ? text[i] - L'0' : -1);
        if (digit < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    return static_cast<DWORD>(value);
}

class parser {
public:
    explicit parser(std::vector<token> tokens) : tokens_(std::move(tokens)) {}

    std::optional<std::vector<script_root>> script() {
        std::vector<script_root> roots;
        while (at_ < tokens_.size()) {
            const token& name = tokens_[at_++];
            const std::optional<HKEY> root =
                name.kind == token::word ? root_of(name.text) : std::nullopt;
            if (!root || !take(token::open)) return std::nullopt;
            script_root out{*root, {}};
            while (!take(token::close)) {
                std::optional<script_key> key = read_key(1);
                if (!key) return std::nullopt;
                out.keys.push_back(std::move(*key));
            }
            roots.push_back(std::move(out));
        }
        return roots;
    }

private:
    bool take(token::kind_t kind) {
        if (at_ >= tokens_.size() || tokens_[at_].kind != kind) return false;
        ++at_;
        return true;
    }

    std::optional<std::wstring> name() {
        if (at_ >= tokens_.size()) return std::nullopt;
        const token& t = tokens_[at_];
        if (t.kind != token::word && t.kind != token::quoted) return std::nullopt;
        // One level per key: a path inside a name would be removed only in part.
        if (t.text.empty() || t.text.find(L'\\') != std::wstring::npos) return std::nullopt;
        ++at_;
        return t.text;
    }

    // "type 'data'" after "=".
    std::optional<script_value> value(std::wstring value_name) {
        if (at_ + 1 >= tokens_.size() || tokens_[at_].kind != token::word ||
            tokens_[at_ + 1].kind != token::quoted)
            return std::nullopt;
        const std::wstring& type = tokens_[at_].text;
        const std::wstring& text = tokens_[at_ + 1].text;
        at_ += 2;
        script_value out{std::move(value_name), REG_SZ, {}};
        if (type == L"s" || type == L"S" || type == L"e" || type == L"E") {
            out.type = (type == L"s" || type == L"S") ? REG_SZ : REG_EXPAND_SZ;
            const std::wstring with_terminator = text + L'\0';
            const auto* bytes = reinterpret_cast<const BYTE*>(with_terminator.data());
            out.data.assign(bytes, bytes + with_terminator.size() * sizeof(wchar_t));
        } else if (type == L"d" || type == L"D") {
            const std::optional<DWORD> number = dword_of(text);
            if (!number) return std::nullopt;
            out.type = REG_DWORD;
            for (int i = 0; i < 4; ++i) out.data.push_back(static_cast<BYTE>(*number >> (8 * i)));
        } else if (type == L"b" || type == L"B") {
            if (text.size() % 2) return std::nullopt;
            out.type = REG_BINARY;
            for (size_t i = 0; i < text.size(); i += 2) {
                const int high = hex_digit(text[i]), low = hex_digit(text[i + 1]);
                if (high < 0 || low < 0) return std::nullopt;
                out.data.push_back(static_cast<BYTE>(high * 16 + low));
            }
        } else {
            return std::nullopt;
        }
        return out;
    }

    std::optional<script_key> read_key(size_t depth) {
        if (depth > max_registry_depth) return std::nullopt;
        script_key key;
        if (at_ < tokens_.size() && same_word(tokens_[at_], L"NoRemove")) {
            key.kind = script_key_kind::kept;
            ++at_;
        } else if (at_ < tokens_.size() && same_word(tokens_[at_], L"ForceRemove")) {
            key.kind = script_key_kind::recreated;
            ++at_;
        }
        std::optional<std::wstring> key_name = name();
        if (!key_name) return std::nullopt;
        key.name = std::move(*key_name);
        if (take(token::equals)) {
            key.default_value = value(L"");
            if (!key.default_value) return std::nullopt;
        }
        if (!take(token::open)) return key;
        while (!take(token::close)) {
            if (at_ >= tokens_.size()) return std::nullopt;
            if (same_word(tokens_[at_], L"val")) {
                ++at_;
                std::optional<std::wstring> value_name = name();
                if (!value_name || !take(token::equals)) return std::nullopt;
                std::optional<script_value> v = value(std::move(*value_name));
                if (!v) return std::nullopt;
                key.values.push_back(std::move(*v));
                continue;
            }
            std::optional<script_key> subkey = read_key(depth + 1);
            if (!subkey) return std::nullopt;
            key.subkeys.push_back(std::move(*subkey));
        }
        return key;
    }

    std::vector<token> tokens_;
    size_t at_ = 0;
};

}  // namespace

std::optional<std::vector<script_root>> parse_registry_script(
    const std::wstring& script, const script_replacements& replacements) {
    std::optional<std::vector<token>> tokens = tokenize(script, replacements);
    if (!tokens) return std::nullopt;
    return parser(std::move(*tokens)).script();
}

}  // namespace win_detail
