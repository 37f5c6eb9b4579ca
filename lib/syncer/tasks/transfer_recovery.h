// Transfers of a binding that began and were never settled: their process
// was killed between announcing a step in the journal and recording how the
// transfer ended. Each is settled from what both sides show now, and how is
// written to the journal for the item table to take in:
// - an upload about to commit counts as synced when the remote file is the
//   one it wrote (its id, date and size);
// - a remote file an upload created and never filled goes to the service's
//   trash while it is still that file (its id, and empty); any other file
//   there is someone's and stays;
// - a download about to put its copy in place counts as synced when the
//   copy is in place (the local file is the copy's inode), or is gone from
//   beside it (then the user changed or removed the file since); a copy
//   still beside the file was never put in place and is removed.
#pragma once

#include <set>

#include "syncer/core/binding.h"
#include "syncer/tables/sync_item.h"
#include "syncer/tables/transfer_journal.h"
#include "syncer/tasks/task_environment.h"
#include "vfs/client.h"

namespace syncer {

// Settles the binding's unsettled transfers of items that no task in
// `busy` works on (a task of this process settles its own). A failure of
// the service or the disk leaves that transfer for the next pass.
void settle_unfinished_transfers(const transfer_journal& journal, const binding& owner,
                                 vfs::client& client,
                                 const std::set<sync_item, sync_item::less>& busy,
                                 const stop_signal& stop);

}  // namespace syncer
