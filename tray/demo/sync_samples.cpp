#include "sync_samples.h"

#include <boost/filesystem/operations.hpp>
#include <chrono>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <thread>

#include "vfs/calvimora_exception.h"

namespace sync_samples {

namespace {

// No waits and no session: every remote step of a task fails at once.
class offline_environment : public syncer::task_environment {
public:
    std::int64_t now() override { return 1700000000; }
    void wait(std::chrono::milliseconds, const syncer::stop_signal&) override {}
    std::chrono::microseconds real_length(std::chrono::milliseconds) override {
        return std::chrono::microseconds(100);
    }
    vfs::client_ptr get_client() override {
        throw vfs_calvimora::exception(L"Get connection from cache failed", L"Not logged in");
    }
};

}  // namespace

syncer::binding folder_pair(const std::wstring& dir_remote, const std::wstring& dir_local,
                            int type) {
    syncer::binding pair(dir_remote, dir_local, L"", L"");
    pair._type = type;
    return pair;
}

syncer::task make_task(const syncer::binding& owner, int kind, const std::wstring& dir_remote,
                       const std::wstring& dir_local, const std::wstring& filename, int state,
                       int progress) {
    syncer::task made(owner, kind, dir_remote, dir_local, filename,
                      std::make_shared<offline_environment>());
    made.set_state(state, progress);
    return made;
}

syncer::task make_sized_upload(const syncer::binding& owner, const std::wstring& dir_remote,
                               const boost::filesystem::path& local_folder,
                               const std::wstring& filename, std::int64_t size, int state,
                               int progress) {
    boost::filesystem::create_directories(local_folder);
    const boost::filesystem::path file = local_folder / filename;
    std::ofstream(file.native(), std::ios::binary | std::ios::trunc).close();
    boost::filesystem::resize_file(file, static_cast<std::uintmax_t>(size));

    syncer::task upload(owner, syncer::task::kind_upload, dir_remote, local_folder.wstring(),
                        filename, std::make_shared<offline_environment>());
    upload.start();
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (upload.has_busy_thread() || !upload.is_failed()) {
        if (std::chrono::steady_clock::now() > give_up)
            throw std::runtime_error("the sample upload did not end");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    syncer::task copy(upload);
    copy.set_state(state, progress);
    return copy;
}

}  // namespace sync_samples
