// The session's user as every process of the log-on session sees it: a
// 544-byte record of five NUL-terminated UTF-16 fields at the start of the
// mapping "Local\Calvimora_MMF_UID" that the session handler owns, read and
// written whole under the mutex "Local\Calvimora_Mutex_UID".
#pragma once

#include <cstddef>

#include "vfs/user_info.h"
#include "win/base.h"

namespace vfs_calvimora {

struct shared_user_record {
    char16_t user_id[64];
    char16_t access_id[64];
    char16_t user_name[128];
    char16_t language[8];
    char16_t level[8];
};

static_assert(sizeof(shared_user_record) == 544);
static_assert(offsetof(shared_user_record, user_id) == 0);
static_assert(offsetof(shared_user_record, access_id) == 128);
static_assert(offsetof(shared_user_record, user_name) == 256);
static_assert(offsetof(shared_user_record, language) == 512);
static_assert(offsetof(shared_user_record, level) == 528);

// The record image of a user: the whole record cleared, each field cut to
// its size less one unit (never between the two units of a character beyond
// the basic plane), so that every field ends with a NUL.
shared_user_record pack_user_record(const vfs::user_info& user);
// Each field read up to its first NUL.
vfs::user_info unpack_user_record(const shared_user_record& record);

// Read and write the shared record, starting the session handler from the
// module's folder when it does not run. Failures throw
// vfs_calvimora::exception ("Internal error", "Unable to store UserID: "
// followed by what failed).
vfs::user_info read_shared_user_record(HMODULE module);
void write_shared_user_record(HMODULE module, const vfs::user_info& user);

}  // namespace vfs_calvimora
