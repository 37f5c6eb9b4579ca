// Path texts as the bindings and item records hold them: local paths written
// with "\" or "/", remote paths in the service's form. Both separators count
// the same everywhere here, whatever the host system.
#pragma once

#include <boost/filesystem/path.hpp>
#include <string>

namespace syncer {

// Equal character by character, case-sensitive, with "/" and "\" counting as
// the same character; nothing else is normalised (a trailing separator makes
// a difference).
bool paths_equal(const std::wstring& first, const std::wstring& second);

// Orders paths element by element: a leading separator is a root element,
// runs of separators separate names, a trailing separator adds a final "."
// element. Negative, zero or positive as with std::wstring::compare.
int compare_paths(const std::wstring& first, const std::wstring& second);

// The enclosing folder, trailing separators ignored: "a\b\c" -> "a\b",
// "a\b\" -> "a", "C:\a" -> "C:\", "C:\" -> "", "/a" -> "/", "name" -> "".
// A path without a parent is its own fixed point ("/" -> "/", "" -> ""), so
// every walk up a path ends.
std::wstring parent_path(const std::wstring& path);

// The last name of a path, ignoring trailing separators: "a\b\" -> "b".
std::wstring leaf_name(const std::wstring& path);

// The folder and a name joined with "/" (no separator is doubled).
std::wstring join_path(const std::wstring& folder, const std::wstring& name);

// The names of a path below a folder it lies in, joined with "/":
// ("sync\a/b", "sync") -> "a/b"; the folder itself gives "".
std::wstring relative_path(const std::wstring& path, const std::wstring& folder);

// A name that stays inside the folder it is appended to: not empty, not "."
// or "..", without separators or NUL characters.
bool is_plain_name(const std::wstring& name);

// Whether a path lies in a folder or is the folder itself, element by
// element, "/" and "\" alike.
bool path_is_within(const std::wstring& path, const std::wstring& folder);

// A local path ("\" or "/" separated) in the form file-system calls take.
boost::filesystem::path native_local_path(const std::wstring& path);

}  // namespace syncer
