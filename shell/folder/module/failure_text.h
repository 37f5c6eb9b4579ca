// The title and text of the failure being handled, for the dialogs that
// show any failure of a remote operation, not only the service's own.
#pragma once

#include <string>

struct failure_text {
    std::wstring title;
    std::wstring text;
};

// UTF-8 bytes as text; invalid sequences become U+FFFD.
std::wstring text_from_utf8(const std::string& bytes);

// Call inside a catch block: a vfs::exception gives its own title and text,
// a standard exception its message, anything else a fixed text.
failure_text current_failure();
