#include <gtest/gtest.h>

#include <thread>

#include "win/com.h"
#include "win/test_journal.h"

TEST(Com, InitialisationIsCountedPerThread) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE), S_FALSE);
    EXPECT_EQ(win_test::com_initialize_count(), 2);

    std::thread([] {
        EXPECT_EQ(win_test::com_initialize_count(), 0);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), RPC_E_CHANGED_MODE);
        EXPECT_EQ(win_test::com_initialize_count(), 1);
        CoUninitialize();
        EXPECT_EQ(win_test::com_initialize_count(), 0);
    }).join();

    EXPECT_EQ(win_test::com_initialize_count(), 2);
    CoUninitialize();
    CoUninitialize();
    CoUninitialize();  // one too many does nothing
    EXPECT_EQ(win_test::com_initialize_count(), 0);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
    int reserved = 0;
    EXPECT_EQ(CoInitialize(&reserved), E_INVALIDARG);
    EXPECT_EQ(win_test::com_initialize_count(), 0);
}
