// Associations of file types and programs over the registry's classes root.
#include "win/shell_assoc.h"

#include <cstring>
#include <cwchar>
#include <optional>

#include "win/shell_path.h"

namespace {

const HRESULT no_association = HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION);

class owned_key {
public:
    owned_key() = default;
    ~owned_key() {
        if (key_) RegCloseKey(key_);
    }
    owned_key(const owned_key&) = delete;
    owned_key& operator=(const owned_key&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }
    HKEY release() {
        HKEY key = key_;
        key_ = nullptr;
        return key;
    }

private:
    HKEY key_ = nullptr;
};

bool open_key(HKEY root, const std::wstring& name, owned_key& key) {
    return RegOpenKeyExW(root, name.c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS;
}

// A text value of the key (its default value for an empty name); nothing
// when missing, of another type or empty.
std::optional<std::wstring> read_text(HKEY key, const std::wstring& subkey,
                                      const wchar_t* name) {
    owned_key opened;
    if (!subkey.empty()) {
        if (!open_key(key, subkey, opened)) return std::nullopt;
        key = opened.get();
    }
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(std::wcslen(text.c_str()));
    if (text.empty()) return std::nullopt;
    return text;
}

std::wstring verb_of(HKEY class_key, LPCWSTR extra) {
    if (extra && *extra) return extra;
    return read_text(class_key, L"shell", nullptr).value_or(L"open");
}

std::optional<std::wstring> command_of(HKEY class_key, LPCWSTR extra) {
    return read_text(class_key, L"shell\\" + verb_of(class_key, extra) + L"\\command", nullptr);
}

std::optional<std::wstring> executable_of(HKEY class_key, LPCWSTR extra) {
    const std::optional<std::wstring> command = command_of(class_key, extra);
    if (!command) return std::nullopt;
    std::wstring program = win_shell::command_executable(*command);
    if (program.empty()) return std::nullopt;
    return program;
}

std::optional<std::wstring> friendly_name_of(HKEY class_key, LPCWSTR extra) {
    if (auto name = read_text(class_key, L"", L"FriendlyAppName")) return name;
    const std::optional<std::wstring> program = executable_of(class_key, extra);
    if (!program) return std::nullopt;
    const std::wstring file = PathFindFileNameW(program->c_str());
    if (auto name = read_text(HKEY_CLASSES_ROOT, L"Applications\\" + file, L"FriendlyAppName"))
        return name;
    return file;
}

HRESULT hand_out(ASSOCF flags, const std::wstring& text, LPWSTR out, DWORD* out_count) {
    const DWORD needed = static_cast<DWORD>(text.size() + 1);
    if (!out) {
        *out_count = needed;
        return S_FALSE;
    }
    if (*out_count < needed) {
        if (!(flags & ASSOCF_NOTRUNCATE) && *out_count > 0) {
            std::wmemcpy(out, text.c_str(), *out_count - 1);
            out[*out_count - 1] = L'\0';
        }
        *out_count = needed;
        return E_POINTER;
    }
    std::wmemcpy(out, text.c_str(), needed);
    *out_count = needed;
    return S_OK;
}

// The Applications key of a program named by its file or path.
HRESULT application_key(const std::wstring& program, HKEY* out) {
    const std::wstring file = PathFindFileNameW(program.c_str());
    if (file.empty()) return no_association;
    owned_key key;
    if (!open_key(HKEY_CLASSES_ROOT, L"Applications\\" + file, key)) return no_association;
    *out = key.release();
    return S_OK;
}

bool has_subkey(HKEY key, const wchar_t* name) {
    owned_key opened;
    return open_key(key, name, opened);
}

// The class that carries out the verbs of an extension's files.
HRESULT shell_class_of_extension(const std::wstring& extension, owned_key& out) {
    owned_key type;
    if (!open_key(HKEY_CLASSES_ROOT, extension, type)) return no_association;
    if (const auto progid = read_text(type.get(), L"", nullptr)) {
        if (open_key(HKEY_CLASSES_ROOT, *progid, out)) return S_OK;
    }
    if (!has_subkey(type.get(), L"shell")) return no_association;
    *out.out() = type.release();
    return S_OK;
}

}  // namespace

HRESULT AssocQueryStringByKeyW(ASSOCF flags, ASSOCSTR what, HKEY class_key, LPCWSTR extra,
                               LPWSTR out, DWORD* out_count) {
    if (!class_key || !out_count) return E_INVALIDARG;
    std::optional<std::wstring> text;
    switch (what) {
    case ASSOCSTR_COMMAND:
        text = command_of(class_key, extra);
        break;
    case ASSOCSTR_EXECUTABLE:
        text = executable_of(class_key, extra);
        break;
    case ASSOCSTR_FRIENDLYAPPNAME:
        text = friendly_name_of(class_key, extra);
        break;
    default:
        return E_NOTIMPL;
    }
    if (!text) return no_association;
    return hand_out(flags, *text, out, out_count);
}

HRESULT AssocQueryKeyW(ASSOCF flags, ASSOCKEY what, LPCWSTR assoc, LPCWSTR, HKEY* out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!assoc || !*assoc) return E_INVALIDARG;
    if (what == ASSOCKEY_BASECLASS) return E_NOTIMPL;
    if (what != ASSOCKEY_SHELLEXECCLASS && what != ASSOCKEY_APP && what != ASSOCKEY_CLASS)
        return E_INVALIDARG;
    const std::wstring name = assoc;
    if (flags & ASSOCF_INIT_BYEXENAME) {
        if (what == ASSOCKEY_CLASS) return no_association;
        return application_key(name, out);
    }
    if (name.front() != L'.') return no_association;
    if (what == ASSOCKEY_CLASS) {
        owned_key type;
        if (!open_key(HKEY_CLASSES_ROOT, name, type)) return no_association;
        *out = type.release();
        return S_OK;
    }
    owned_key shell_class;
    if (HRESULT result = shell_class_of_extension(name, shell_class); FAILED(result)) return result;
    if (what == ASSOCKEY_SHELLEXECCLASS) {
        *out = shell_class.release();
        return S_OK;
    }
    const std::optional<std::wstring> program = executable_of(shell_class.get(), nullptr);
    if (!program) return no_association;
    return application_key(*program, out);
}

namespace win_shell {

std::wstring command_executable(const std::wstring& command) {
    size_t start = command.find_first_not_of(L" \t");
    if (start == std::wstring::npos) return {};
    if (command[start] == L'"') {
        const size_t close = command.find(L'"', start + 1);
        return command.substr(start + 1, close == std::wstring::npos ? std::wstring::npos
                                                                      : close - start - 1);
    }
    const size_t end = command.find_first_of(L" \t", start);
    return command.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

}  // namespace win_shell
