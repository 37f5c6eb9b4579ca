// Siblings that start but never create their object. The waits run on a
// scaled clock, set before anything reads it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "utils/time_scale.h"
#include "vfs/calvimora_exception.h"
#include "vfs/session.h"
#include "vfs/shared_user_record.h"
#include "vfs_session_support.h"

namespace vfs_session_testing {
namespace {

constexpr double scale = 0.02;

const bool scale_set = [] {
    setenv(utils::time_scale_variable, "0.02", 1);
    return true;
}();

std::wstring failure_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const vfs::exception& failure) {
        return failure.get_title() + L": " + failure.get_text();
    }
    return L"";
}

class SiblingTimeout : public ::testing::Test {
protected:
    SiblingTimeout() { EXPECT_TRUE(scale_set && utils::time_scale() == scale); }

    win_machine::scoped_root root;
    sibling_folder folder;
};

TEST_F(SiblingTimeout, ATrayThatNeverAppearsIsAnInternalError) {
    folder.add_silent("Calvimora_Tray");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(failure_of([&] { vfs_calvimora::is_logged_in(folder.module()); }),
              L"Internal error: Unable to check/start internal processes: Error waiting for tray "
              L"icon to start");
    // 150 polls of 100 ms, scaled.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(SiblingTimeout, ASessionHandlerThatNeverAppearsIsAnInternalError) {
    folder.add_silent("Calvimora_Session");
    EXPECT_EQ(failure_of([&] { vfs_calvimora::read_shared_user_record(folder.module()); }),
              L"Internal error: Unable to store UserID: Error waiting for session start");
}

}  // namespace
}  // namespace vfs_session_testing
