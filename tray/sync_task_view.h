// Which of the engine's tasks the sync window lists, in which order and
// under which group row, and which of its two big buttons it offers.
#pragma once

#include <list>
#include <optional>
#include <vector>

#include "syncer/core/binding.h"
#include "syncer/tasks/task.h"

struct CSyncTaskView {
    // The tasks shown, in list order, and the group of each (none for a
    // task that stands without a group row).
    std::vector<syncer::task> tasks;
    std::vector<std::optional<syncer::binding>> groups;
    // Exactly one of "Stop all" and "Resume all" is offered: "Resume all"
    // when tasks are shown and every one is stopped.
    bool resume_all = false;
};

// Queued tasks are left out, and so are the local removals of upload-only
// folder pairs. Within each folder pair running tasks come first and
// stopped or failed ones last, otherwise in the engine's order; the places
// of different folder pairs' tasks in the list stay as they were. Tasks of
// upload-only pairs and of the saved-files folder stand without a group.
CSyncTaskView ViewOfTasks(const std::list<syncer::task>& tasks);
