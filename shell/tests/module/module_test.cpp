// The extension's module: its clipboard formats and the lock its workers
// hold.
#include "folder/module/module.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

TEST(CalvimoraModule, RegistersItsTenClipboardFormatsInOrderWhenMade) {
    CCalvimoraModule module;
    const wchar_t* const names[] = {L"Shell IDList Array",
                                    L"FileContents",
                                    L"Paste Succeeded",
                                    L"FileGroupDescriptorW",
                                    L"Performed DropEffect",
                                    L"Preferred DropEffect",
                                    L"Logical Performed DropEffect",
                                    L"OleClipboardPersistOnFlush",
                                    L"Calvimora_DataObject",
                                    L"TargetCLSID"};
    for (int i = 0; i < CCalvimoraModule::format_count; ++i) {
        const auto format = module.Format(static_cast<CCalvimoraModule::clipboard_format>(i));
        EXPECT_GE(format, 0xC000);
        EXPECT_EQ(format, RegisterClipboardFormatW(names[i])) << i;
    }
    EXPECT_EQ(&calvimora_module(), &module);
}

TEST(CalvimoraModule, AWorkerThreadKeepsTheModuleLoadedUntilItEnds) {
    CCalvimoraModule module;
    EXPECT_EQ(module.DllCanUnloadNow(), S_OK);
    std::mutex lock;
    std::condition_variable changed;
    bool started = false, finish = false;
    std::thread worker([&] {
        CCalvimoraModule::worker_reference running;
        std::unique_lock<std::mutex> hold(lock);
        started = true;
        changed.notify_all();
        changed.wait(hold, [&] { return finish; });
    });
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return started; });
    }
    EXPECT_EQ(module.DllCanUnloadNow(), S_FALSE);
    {
        std::lock_guard<std::mutex> hold(lock);
        finish = true;
    }
    changed.notify_all();
    worker.join();
    EXPECT_EQ(module.DllCanUnloadNow(), S_OK);
}

}  // namespace
