#include "sync_task_view.h"

#include <algorithm>
#include <map>

namespace {

bool is_shown(const syncer::task& task) {
    if (task.get_state().state == syncer::task::state_queued) return false;
    return !(task.get_kind() == syncer::task::kind_remove_local_file &&
             task.get_binding()._type == syncer::binding::type_upload_only);
}

// Running first, stopped and failed last.
int rank(const syncer::task& task) {
    const int state = task.get_state().state;
    if (state == syncer::task::state_running) return 0;
    if (state == syncer::task::state_stopped || state == syncer::task::state_failed) return 2;
    return 1;
}

bool stands_alone(const syncer::binding& binding) {
    return binding._type == syncer::binding::type_upload_only ||
           binding._type == syncer::binding::type_saved_files;
}

}  // namespace

CSyncTaskView ViewOfTasks(const std::list<syncer::task>& tasks) {
    std::vector<const syncer::task*> shown;
    for (const syncer::task& task : tasks)
        if (is_shown(task)) shown.push_back(&task);

    // Each folder pair's tasks are ranked among the places they hold.
    std::map<syncer::binding, std::vector<size_t>, syncer::binding::less> places;
    for (size_t i = 0; i < shown.size(); ++i) places[shown[i]->get_binding()].push_back(i);
    std::vector<const syncer::task*> ordered(shown.size());
    for (const auto& [binding, at] : places) {
        std::vector<const syncer::task*> own;
        for (size_t i : at) own.push_back(shown[i]);
        std::stable_sort(own.begin(), own.end(), [](const syncer::task* a, const syncer::task* b) {
            return rank(*a) < rank(*b);
        });
        for (size_t i = 0; i < at.size(); ++i) ordered[at[i]] = own[i];
    }

    CSyncTaskView view;
    view.tasks.reserve(ordered.size());
    bool all_stopped = true;
    for (const syncer::task* task : ordered) {
        view.tasks.emplace_back(*task);
        const syncer::binding& binding = task->get_binding();
        view.groups.push_back(stands_alone(binding) ? std::nullopt
                                                    : std::optional<syncer::binding>(binding));
        all_stopped = all_stopped && task->get_state().state == syncer::task::state_stopped;
    }
    view.resume_all = !view.tasks.empty() && all_stopped;
    return view;
}
