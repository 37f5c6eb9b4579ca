// What every item of the service client has besides the vfs interfaces: the
// raw server id by which requests address it.
#pragma once

#include <string>

namespace vfs_calvimora {

class item {
public:
    // The id the service knows the item by: a folder's without the "dir_"
    // prefix of its get_id, a file's unchanged.
    virtual std::wstring get_server_id() = 0;

    virtual ~item() = default;
};

}  // namespace vfs_calvimora
