#include "syncer/core/remote_item_state.h"

#include <boost/pointer_cast.hpp>

#include "vfs/directory.h"
#include "vfs/file.h"

namespace syncer {

std::optional<remote_item_state> remote_state_of(const vfs::item_ptr& item) {
    if (const auto file = boost::dynamic_pointer_cast<vfs::file>(item)) {
        return remote_item_state{false, file->get_modification_date(), file->get_size()};
    }
    if (boost::dynamic_pointer_cast<vfs::directory>(item)) return remote_item_state{true, 0, 0};
    return std::nullopt;
}

}  // namespace syncer
