#include "sync_engine.h"

#include "syncer/manager/manager.h"

namespace {

class CManagerEngine : public CSyncEngine {
public:
    CManagerEngine(const std::wstring& user_name, syncer::user_interface* ui,
                   std::shared_ptr<syncer::task_environment> environment)
        : m_manager(environment ? std::make_unique<syncer::manager>(user_name, ui, environment)
                                : std::make_unique<syncer::manager>(user_name, ui)) {}

    std::list<syncer::task> GetTasks() override { return m_manager->get_tasks(); }
    void StopAll() override { m_manager->stop_all(); }
    void ResumeAll() override { m_manager->resume_all(); }
    void StopBinding(const syncer::binding& target) override { m_manager->stop_binding(target); }
    void ResumeBinding(const syncer::binding& target) override {
        m_manager->resume_binding(target);
    }
    void StopTask(const syncer::task& target) override { m_manager->stop_task(target); }
    void RestartTask(const syncer::task& target) override { m_manager->restart_task(target); }
    void RemoveBinding(const syncer::binding& target) override {
        m_manager->remove_binding(target);
    }

private:
    std::unique_ptr<syncer::manager> m_manager;
};

}  // namespace

std::unique_ptr<CSyncEngine> MakeManagerEngine(
    const std::wstring& user_name, syncer::user_interface* ui,
    std::shared_ptr<syncer::task_environment> environment) {
    return std::make_unique<CManagerEngine>(user_name, ui, std::move(environment));
}
