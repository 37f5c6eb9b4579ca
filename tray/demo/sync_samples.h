// Sync tasks and folder pairs as the engine's task list hands them out, for
// the sync window's tests and pictures: made by the engine's own code, so
// their states, sizes and failures are what the window meets.
#pragma once

#include <boost/filesystem/path.hpp>
#include <cstdint>
#include <string>

#include "syncer/core/binding.h"
#include "syncer/tasks/task.h"

namespace sync_samples {

// A folder pair as the shell extension's pages add it (or of the type).
syncer::binding folder_pair(const std::wstring& dir_remote, const std::wstring& dir_local,
                            int type = syncer::binding::type_user_choice);

// A task of the pair in the state at the progress, its size unknown.
syncer::task make_task(const syncer::binding& owner, int kind, const std::wstring& dir_remote,
                       const std::wstring& dir_local, const std::wstring& filename, int state,
                       int progress = 0);

// An upload of a file of that size, made in the local folder, run until it
// failed for want of a session: its size and failure are the engine's own.
// The copy is then put in the state at the progress.
syncer::task make_sized_upload(const syncer::binding& owner, const std::wstring& dir_remote,
                               const boost::filesystem::path& local_folder,
                               const std::wstring& filename, std::int64_t size, int state,
                               int progress = 0);

}  // namespace sync_samples
