// Registry helpers of the shell extension, and the perceived types of files
// (audio, video ...) as the registry's file types declare them.
#pragma once

#include <string>

#include "win/registry.h"

namespace shell_utils {

// An open registry key, closed with its owner.
class scoped_key {
public:
    scoped_key() = default;
    explicit scoped_key(HKEY key) : key_(key) {}
    ~scoped_key() { reset(); }
    scoped_key(const scoped_key&) = delete;
    scoped_key& operator=(const scoped_key&) = delete;
    HKEY* out() {
        reset();
        return &key_;
    }
    HKEY get() const { return key_; }
    void reset() {
        if (key_) RegCloseKey(key_);
        key_ = nullptr;
    }

private:
    HKEY key_ = nullptr;
};

// Whether two texts are equal without regard to case.
bool same_text(const std::wstring& a, const std::wstring& b);

// Reads a value of any type into data (size: the buffer's bytes on entry,
// the data's bytes on return), opening the subkey first when one is given.
// String data always ends with a NUL inside the buffer: a string that
// leaves no room for one fails. True on success.
bool RegReadString(HKEY root, LPCWSTR subkey, LPCWSTR name, DWORD* type, void* data, DWORD* size);
// Sets a value, creating the subkey when one is given and missing.
bool RegWriteString(HKEY root, LPCWSTR subkey, LPCWSTR name, DWORD type, const void* data,
                    DWORD size);

// "PerceivedType" of HKEY_CLASSES_ROOT\<extension> (with its dot).
bool GetPerceivedType(LPCWSTR extension, LPWSTR buffer, DWORD size);
// Whether the file's extension (from its last "." on) is of that perceived
// type, compared without regard to case; false without an extension.
bool IsPerceivedType(const std::wstring& file_name, const std::wstring& type);
bool IsPerceivedAudio(const std::wstring& file_name);
bool IsPerceivedVideo(const std::wstring& file_name);

}  // namespace shell_utils
