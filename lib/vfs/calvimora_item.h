// What every item of the service client has besides the vfs interfaces: the
// raw server id by which requests address it.
#pragma once

#include <string>

namespace vfs_calvimora {

// The server id of the user's root folder. The folders that exist only in
// the client (the trash, the shared-folders container, the users folders)
// carry it too, so a request that named one of them by its id would act on
// the root.
inline constexpr const wchar_t* root_server_id = L"0";

class item {
public:
    // The id the service knows the item by: a folder's without the "dir_"
    // prefix of its get_id, a file's unchanged.
    virtual std::wstring get_server_id() = 0;

    virtual ~item() = default;
};

}  // namespace vfs_calvimora
