// What the sync window asks of the sync engine: the task list and the
// control operations of the user's syncer::manager. The window holds its
// engine through this, so tests and pictures can stand a scripted engine in
// for the manager.
#pragma once

#include <functional>
#include <list>
#include <memory>
#include <string>

#include "syncer/core/binding.h"
#include "syncer/core/user_interface.h"
#include "syncer/tasks/task.h"
#include "syncer/tasks/task_environment.h"

class CSyncEngine {
public:
    virtual ~CSyncEngine() = default;

    // Copies of the tasks; throws syncer::busy_exception while the engine
    // holds the list, other exceptions on other failures.
    virtual std::list<syncer::task> GetTasks() = 0;
    virtual void StopAll() = 0;
    virtual void ResumeAll() = 0;
    virtual void StopBinding(const syncer::binding& target) = 0;
    virtual void ResumeBinding(const syncer::binding& target) = 0;
    virtual void StopTask(const syncer::task& target) = 0;
    virtual void RestartTask(const syncer::task& target) = 0;
    // Removes the folder pair from the binding table; the engine's scan
    // stops and starts again meanwhile.
    virtual void RemoveBinding(const syncer::binding& target) = 0;
};

// Makes the engine of a user that reports through ui.
using SyncEngineFactory = std::function<std::unique_ptr<CSyncEngine>(const std::wstring& user_name,
                                                                     syncer::user_interface* ui)>;

// The user's syncer::manager, with the real clock and session, or with the
// given environment.
std::unique_ptr<CSyncEngine> MakeManagerEngine(
    const std::wstring& user_name, syncer::user_interface* ui,
    std::shared_ptr<syncer::task_environment> environment = nullptr);
