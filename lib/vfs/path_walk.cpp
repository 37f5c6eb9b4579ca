#include "vfs/path_walk.h"

#include <algorithm>
#include <boost/pointer_cast.hpp>
#include <vector>

#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {

namespace {

std::vector<std::wstring> path_elements(const std::wstring& path) {
    std::vector<std::wstring> elements;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find_first_of(L"\\/", start), path.size());
        if (end > start) {
            elements.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return elements;
}

}  // namespace

vfs::directory_ptr walk_directory_path(vfs::directory_ptr root, const std::wstring& path,
                                       bool create) {
    vfs::directory_ptr current = std::move(root);
    for (const std::wstring& element : path_elements(path)) {
        vfs::item_ptr child;
        try {
            child = current->get_item(element, false);
        } catch (const vfs::item_not_found_exception&) {
            if (!create) {
                throw;
            }
            child = current->create_directory(element);
        }
        current = boost::dynamic_pointer_cast<vfs::directory>(child);
        if (!current) {
            throw exception(
                L"Directory not found and can not be created",
                L"File system error: directory '" + path + L"' not found and can not be created");
        }
    }
    return current;
}

}  // namespace vfs_calvimora
