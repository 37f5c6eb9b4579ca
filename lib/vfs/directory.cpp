#include "vfs/directory.h"

#include <utf8.h>

#include <boost/pointer_cast.hpp>
#include <iterator>

#include "vfs/file.h"

namespace vfs {

namespace {

// A code point that is none (a lone surrogate, a number past the last
// plane) becomes U+FFFD: an id of another implementation may hold one.
std::string utf8_of(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const wchar_t character : text) {
        const auto code_point = static_cast<char32_t>(character);
        const bool valid = code_point <= 0x10FFFF && (code_point < 0xD800 || code_point > 0xDFFF);
        utf8::append(valid ? code_point : char32_t{0xFFFD}, std::back_inserter(bytes));
    }
    return bytes;
}

}  // namespace

directory::scanned_child directory::scanned(const item_ptr& child) {
    scanned_child read;
    read.name = child->get_name();
    read.type = child->get_type();
    read.folder = boost::dynamic_pointer_cast<directory>(child);
    if (const auto file = boost::dynamic_pointer_cast<vfs::file>(child)) {
        read.is_file = true;
        read.modification_date = file->get_modification_date();
        read.size = file->get_size();
        read.id = utf8_of(file->get_id());
    }
    return read;
}

directory::scanned_children directory::list_for_scan() {
    const item_list items = list_items();
    scanned_children children;
    children.reserve(items.size());
    for (const item_ptr& item : items) children.push_back(scanned(item));
    return children;
}

}  // namespace vfs
