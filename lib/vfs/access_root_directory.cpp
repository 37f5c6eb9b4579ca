#include "vfs/access_root_directory.h"

#include <boost/make_shared.hpp>

#include "vfs/access_directory.h"

namespace vfs_calvimora {

namespace {

directory_record root_record() {
    directory_record record;
    record.id = L"0";
    return record;
}

}  // namespace

access_root_directory::access_root_directory(const client& session)
    : fixed_directory(session, root_record(), L"dir_root", vfs::folder_type_root) {}

vfs::item_ptr access_root_directory::make_child_directory(const directory_record& record) {
    return boost::make_shared<access_directory>(session(), record.id, record);
}

vfs::item_ptr access_root_directory::make_child_file(const file_record& /*record*/) {
    return {};
}

}  // namespace vfs_calvimora
