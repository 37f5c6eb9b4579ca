// Starting the sibling programs from the folder of the calling module.
#include <gtest/gtest.h>

#include "vfs/calvimora_exception.h"
#include "vfs/session.h"
#include "vfs/shared_user_record.h"
#include "vfs_session_support.h"
#include "win/user.h"

namespace vfs_session_testing {
namespace {

std::wstring failure_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const vfs::exception& failure) {
        return failure.get_title() + L": " + failure.get_text();
    }
    return L"";
}

class Siblings : public ::testing::Test {
protected:
    environment env;
    sibling_folder folder;
};

TEST_F(Siblings, TheTrayProgramIsStartedByTheTestOfTheLogin) {
    folder.add_copy("Calvimora_Tray", "Calvimora_Tray");
    ASSERT_FALSE(tray_mutex_exists());

    EXPECT_FALSE(vfs_calvimora::is_logged_in(folder.module()));
    EXPECT_TRUE(tray_mutex_exists());
    EXPECT_FALSE(logoff_event_exists()) << "the session handler was started";

    // The real tray program runs with its hidden window; it ends when told.
    HWND tray = nullptr;
    ASSERT_TRUE(wait_until([&] {
        tray = FindWindowW(L"Calvimora tray menu", L"Calvimora tray menu");
        return tray != nullptr;
    }));
    EXPECT_TRUE(PostMessageW(tray, WM_DESTROY, 0, 0));
    EXPECT_TRUE(wait_until([] { return !tray_mutex_exists(); }));
}

TEST_F(Siblings, TheSessionHandlerIsStartedWhenTheRecordIsWritten) {
    folder.add_copy("vfs_session_fake_tray", "Calvimora_Tray");
    folder.add_copy("Calvimora_Session", "Calvimora_Session");
    env.service().add_user("carol", "pw");
    store_pc_id(L"pc");

    vfs_calvimora::login(folder.module(), L"carol", L"pw");
    EXPECT_TRUE(logoff_event_exists());
    EXPECT_TRUE(vfs_calvimora::is_logged_in(folder.module()));
    EXPECT_EQ(vfs_calvimora::get_user_info(folder.module()).user_name, L"carol");
}

TEST_F(Siblings, AMissingProgramIsAnInternalError) {
    EXPECT_EQ(failure_of([&] { vfs_calvimora::is_logged_in(folder.module()); }),
              L"Internal error: Unable to check/start internal processes: Error creating process "
              L"Calvimora_Tray.exe");
    EXPECT_EQ(failure_of([&] { vfs_calvimora::read_shared_user_record(folder.module()); }),
              L"Internal error: Unable to store UserID: Error creating process "
              L"Calvimora_Session.exe");
}

}  // namespace
}  // namespace vfs_session_testing
