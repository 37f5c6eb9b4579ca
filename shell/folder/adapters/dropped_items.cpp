#include "folder/adapters/dropped_items.h"

#include "folder/adapters/wrapper_exception.h"

bool dropped_folder::has_subdirectories() {
    for (const dropped_item_ptr& child : list_items())
        if (child->get_type() == vfs::item_type_directory) return true;
    return false;
}

dropped_item_ptr dropped_folder::get_item(const std::wstring& name) {
    for (const dropped_item_ptr& child : list_items())
        if (same_name(child->get_name(), name)) return child;
    throw CWrapperNotFoundException(name, where());
}
