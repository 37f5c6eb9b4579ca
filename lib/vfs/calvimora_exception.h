// The failures the service client throws: a title (a short caption such as
// "Request failed") and a text (the explanation).
#pragma once

#include <string>

#include "vfs/exceptions.h"

namespace vfs_calvimora {

class exception : public virtual vfs::exception {
public:
    exception(std::wstring title, std::wstring text)
        : title_(std::move(title)), text_(std::move(text)) {}

    std::wstring get_title() const override { return title_; }
    std::wstring get_text() const override { return text_; }

private:
    std::wstring title_;
    std::wstring text_;
};

class item_not_found_exception : public exception, public vfs::item_not_found_exception {
public:
    using exception::exception;
};

class item_already_exists_exception : public exception, public vfs::item_already_exists_exception {
public:
    using exception::exception;
};

}  // namespace vfs_calvimora
