// Remote names turned into local paths. The names come from the service,
// and through shared folders from other users, so none is trusted: a name
// that cannot be one level of a local path (empty, "." or "..", one that
// holds a separator, a drive colon or a control character) is refused, and
// a joined path must stay inside the folder it was joined to.
//
// The extension builds local paths with "\", as the system writes them;
// what a person reads and what is stored (bindings, the Save-As list, names
// handed to other programs) is the native form, "/" between the levels.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace local_names {

// Whether a remote name can be the name of a local file or folder as it
// stands: not empty, not made of dots and spaces only (Windows drops
// trailing dots and spaces, so "..  " means ".."), no "\", "/", ":",
// control character or any of the characters Windows refuses in names.
bool is_acceptable(const std::wstring& name);

// A local path in the native form: every "\" becomes "/".
std::wstring native_form(const std::wstring& path);

// base (a local folder, "\" or "/" between its levels) followed by the
// names, each one level, in the native form; nothing when a name is refused
// or the normalised result would leave base.
std::optional<std::wstring> join_inside(const std::wstring& base,
                                        const std::vector<std::wstring>& names);

}  // namespace local_names
