#include "folder/drop/tree_size.h"

#include <boost/pointer_cast.hpp>

namespace shell_utils {

namespace {

constexpr std::uint64_t not_a_tree = ~std::uint64_t{0};

std::uint64_t walk(dropped_folder& directory, bool& single_file, int& files_met) {
    std::uint64_t total = 0;
    for (const dropped_item_ptr& item : directory.list_items()) {
        std::uint64_t part = 0;
        if (item->get_type() == vfs::item_type_directory) {
            const auto folder = boost::dynamic_pointer_cast<dropped_folder>(item);
            if (!folder) return not_a_tree;
            single_file = false;
            part = walk(*folder, single_file, files_met);
            if (part == not_a_tree) return not_a_tree;
        } else {
            const auto file = boost::dynamic_pointer_cast<dropped_file>(item);
            if (!file) return not_a_tree;
            if (++files_met > 1) single_file = false;
            const std::int64_t size = file->get_size();
            part = size > 0 ? static_cast<std::uint64_t>(size) : 0;
        }
        total += part;
    }
    return total;
}

}  // namespace

std::uint64_t GetTreeSize(const dropped_folder_ptr& directory, bool& single_file) {
    single_file = true;
    int files_met = 0;
    return directory ? walk(*directory, single_file, files_met) : not_a_tree;
}

}  // namespace shell_utils
