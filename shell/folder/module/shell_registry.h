// Registry helpers of the shell extension, and the perceived types of files
// (audio, video ...) as the registry's file types declare them.
#pragma once

#include <string>

#include "win/registry.h"

namespace shell_utils {

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
