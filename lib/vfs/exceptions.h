// Failures of remote-storage operations. Every operation of the vfs
// interfaces reports failure by throwing a class derived from
// vfs::exception, by value; entry points catch it by reference and show the
// title as a caption and the text as the message.
#pragma once

#include <string>

namespace vfs {

class exception {
public:
    virtual std::wstring get_title() const = 0;
    virtual std::wstring get_text() const = 0;

    virtual ~exception() = default;
};

// A lookup by name or id found nothing.
class item_not_found_exception : public virtual exception {};

// Creating or renaming onto a name that exists on the server.
class item_already_exists_exception : public virtual exception {};

}  // namespace vfs
