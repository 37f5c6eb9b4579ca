// Workers that hold the host's process reference, interfaces handed to
// another thread, and the progress dialog a worker shows.
#include "win/shell_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "win/machine.h"
#include "win/ole.h"
#include "win/progress_dialog.h"
#include "win/user.h"

namespace {

using namespace std::chrono_literals;

class counted final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_IUnknown ? this : nullptr;
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    std::atomic<ULONG> references{1};
};

struct worker_state {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> callback_ran{false};
    std::atomic<bool> com_ready{false};
    std::atomic<bool> finished{false};
};

DWORD WINAPI worker(LPVOID data) {
    auto* state = static_cast<worker_state*>(data);
    IUnknown* probe = nullptr;
    state->com_ready = CoCreateInstance(CLSID_ProgressDialog, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IUnknown, reinterpret_cast<void**>(&probe)) == S_OK;
    if (probe) probe->Release();
    WaitForSingleObject(state->go, INFINITE);
    state->finished = true;
    return 0;
}

DWORD WINAPI mark_callback(LPVOID data) {
    static_cast<worker_state*>(data)->callback_ran = true;
    return 0;
}

TEST(ShellThreads, AWorkerHoldsTheProcessReferenceUntilItEnds) {
    win_test::process_reference reference;
    SHSetInstanceExplorer(&reference);
    worker_state state;
    ASSERT_TRUE(SHCreateThread(worker, &state, CTF_PROCESS_REF | CTF_COINIT, mark_callback));
    EXPECT_TRUE(state.callback_ran) << "the callback runs before the caller goes on";
    EXPECT_EQ(reference.held(), 1u);
    EXPECT_FALSE(reference.wait_until_released(20ms));
    SetEvent(state.go);
    EXPECT_TRUE(reference.wait_until_released(5s));
    EXPECT_TRUE(state.finished);
    EXPECT_TRUE(state.com_ready) << "CTF_COINIT initialises COM on the worker";
    SHSetInstanceExplorer(nullptr);
    CloseHandle(state.go);

    IUnknown* none = nullptr;
    EXPECT_EQ(SHGetInstanceExplorer(&none), E_FAIL);
}

void hand_over_references();

TEST(ShellThreads, AHandOverCarriesOneReferenceToItsReceiver) {
    // A free-threaded hand-over (the apartment-threaded ones have their own
    // tests).
    std::thread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        hand_over_references();
        CoUninitialize();
    }).join();
}

void hand_over_references() {
    counted object;
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IUnknown, &object, &stream), S_OK);
    EXPECT_EQ(object.references, 2u);
    IUnknown* received = nullptr;
    ASSERT_EQ(
        CoGetInterfaceAndReleaseStream(stream, IID_IUnknown, reinterpret_cast<void**>(&received)),
        S_OK);
    EXPECT_EQ(received, &object);
    EXPECT_EQ(object.references, 2u) << "the stream's reference went to the receiver";
    received->Release();

    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IUnknown, &object, &stream), S_OK);
    stream->Release();
    EXPECT_EQ(object.references, 1u) << "a stream released unused lets the object go";
}

TEST(ProgressDialog, JournalsWhatItShowsAndOwnsBoxesWithItsWindow) {
    win_machine::scoped_root root;
    CoInitialize(nullptr);
    win_test::clear_progress_dialogs();
    const HWND owner = CreateWindowExW(0, WC_STATICW, L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                       nullptr, nullptr, nullptr, nullptr);
    IProgressDialog* dialog = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ProgressDialog, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IProgressDialog, reinterpret_cast<void**>(&dialog)),
              S_OK);
    dialog->StartProgressDialog(owner, nullptr, PROGDLG_MODAL, nullptr);
    EXPECT_FALSE(IsWindowEnabled(owner)) << "modal to its owner";
    IOleWindow* window = nullptr;
    ASSERT_EQ(dialog->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)), S_OK);
    HWND own = nullptr;
    EXPECT_EQ(window->GetWindow(&own), S_OK);
    EXPECT_EQ(GetWindow(own, GW_OWNER), owner);
    window->Release();

    dialog->SetTitle(L"Copying...");
    dialog->SetLine(1, L"first", TRUE, nullptr);
    dialog->SetLine(1, L"second", TRUE, nullptr);
    EXPECT_EQ(dialog->SetLine(4, L"none", FALSE, nullptr), E_INVALIDARG);
    dialog->SetProgress64(10, 100);
    dialog->Timer(PDTIMER_RESET, nullptr);
    win_test::set_progress_cancel_script(
        [](const win_test::progress_record& state) { return state.completed >= 50; });
    EXPECT_FALSE(dialog->HasUserCancelled());
    dialog->SetProgress64(50, 100);
    EXPECT_TRUE(dialog->HasUserCancelled());
    dialog->SetProgress64(0, 100);
    EXPECT_TRUE(dialog->HasUserCancelled()) << "a cancel stays";
    win_test::set_progress_cancel_script(nullptr);
    dialog->StopProgressDialog();
    EXPECT_TRUE(IsWindowEnabled(owner));
    dialog->Release();

    const auto records = win_test::progress_dialogs();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].owner, owner);
    EXPECT_EQ(records[0].title, L"Copying...");
    EXPECT_EQ(records[0].line1_history, (std::vector<std::wstring>{L"first", L"second"}));
    EXPECT_EQ(records[0].timer_resets, 1);
    EXPECT_TRUE(records[0].stopped);
    {
        // A test in a root of its own starts with no dialogs of others.
        win_machine::scoped_root other;
        EXPECT_TRUE(win_test::progress_dialogs().empty());
        win_test::clear_progress_dialogs();
    }
    EXPECT_EQ(win_test::progress_dialogs().size(), 1u);

    IDropTargetHelper* helper = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDropTargetHelper, reinterpret_cast<void**>(&helper)),
              S_OK);
    EXPECT_EQ(helper->DragLeave(), S_OK);
    helper->Release();
    DestroyWindow(owner);
    CoUninitialize();
}

}  // namespace
