#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "user_test_support.h"

namespace {

using namespace std::chrono_literals;
using user_test::patience;
using user_test::test_window;
using Queue = user_test::UserTest;

constexpr UINT posted_message = WM_APP + 1;
constexpr UINT sent_message = WM_APP + 2;

// Waits, without taking anything out of the queue, until the kind shows.
bool queue_holds(UINT kind) {
    const auto until = std::chrono::steady_clock::now() + patience;
    while (!(HIWORD(GetQueueStatus(kind)) & kind)) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::yield();
    }
    return true;
}

TEST_F(Queue, SentBeforePostedBeforeInputThenPaintThenTimer) {
    test_window w(test_window::with().styled(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    ASSERT_TRUE(win_test::pump());
    ASSERT_TRUE(SetTimer(w.hwnd(), 7, 60000, nullptr));
    ASSERT_TRUE(win_test::fire_timer(w.hwnd(), 7));
    InvalidateRect(w.hwnd(), nullptr, TRUE);
    win_test::move_mouse(win_test::center_of(w.hwnd()));
    PostMessageW(w.hwnd(), posted_message, 0, 0);
    std::thread sender([&] { SendMessageW(w.hwnd(), sent_message, 0, 0); });
    ASSERT_TRUE(queue_holds(QS_SENDMESSAGE));
    w.clear();

    MSG m;
    for (int i = 0; i < 4 && GetMessageW(&m, nullptr, 0, 0); ++i) DispatchMessageW(&m);
    sender.join();
    EXPECT_EQ(w.messages({sent_message, posted_message, WM_NCHITTEST, WM_SETCURSOR, WM_MOUSEMOVE,
                          WM_PAINT, WM_TIMER}),
              (std::vector<UINT>{sent_message, posted_message, WM_NCHITTEST, WM_SETCURSOR,
                                 WM_MOUSEMOVE, WM_PAINT, WM_TIMER}));
    // Handled paint does not come back; the timer is not due again.
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Queue, QuitComesOnceThePostedMessagesAreGone) {
    test_window w;
    win_test::pump();
    PostMessageW(w.hwnd(), posted_message, 1, 0);
    PostQuitMessage(3);
    PostMessageW(w.hwnd(), posted_message, 2, 0);
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.wParam, 1u);
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.wParam, 2u);
    EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Queue, FiltersSelectTheWindowAndTheRange) {
    test_window a, b;
    win_test::pump();
    PostMessageW(a.hwnd(), posted_message, 0, 0);
    PostMessageW(b.hwnd(), posted_message, 0, 0);
    PostMessageW(b.hwnd(), WM_APP + 9, 0, 0);
    PostThreadMessageW(GetCurrentThreadId(), posted_message, 5, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, b.hwnd(), WM_APP + 9, WM_APP + 9, PM_REMOVE));
    EXPECT_EQ(m.message, WM_APP + 9);
    ASSERT_TRUE(PeekMessageW(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_EQ(m.wParam, 5u);
    ASSERT_TRUE(PeekMessageW(&m, b.hwnd(), 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.hwnd, b.hwnd());
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, a.hwnd());
}

TEST_F(Queue, SendingToAnotherThreadWaitsForItsAnswer) {
    std::promise<HWND> made;
    std::atomic<bool> stop{false};
    DWORD window_thread = 0;
    std::thread owner([&] {
        window_thread = GetCurrentThreadId();
        test_window w(test_window::with().reacting(
            [](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
                if (m == sent_message) return static_cast<LRESULT>(wp * 2);
                return std::nullopt;
            }));
        made.set_value(w.hwnd());
        win_test::pump_until([&] { return stop.load(); }, patience);
    });
    const HWND target = made.get_future().get();
    EXPECT_EQ(SendMessageW(target, sent_message, 21, 0), 42);
    DWORD process = 0;
    EXPECT_EQ(GetWindowThreadProcessId(target, &process), window_thread);
    stop = true;
    owner.join();
    // The window went with its thread.
    EXPECT_FALSE(IsWindow(target));
    EXPECT_EQ(SendMessageW(target, sent_message, 1, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(Queue, AWaitingSenderServesWhatIsSentToIt) {
    // The other thread, while handling our message, sends one back to our
    // window: we must handle it while we wait, or both threads hang.
    test_window mine(
        test_window::with().reacting([](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m == sent_message) return 100;
            return std::nullopt;
        }));
    std::promise<HWND> made;
    std::atomic<bool> stop{false};
    std::thread other([&] {
        test_window theirs(test_window::with().reacting(
            [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                if (m == sent_message) return SendMessageW(mine.hwnd(), sent_message, 0, 0) + 1;
                return std::nullopt;
            }));
        made.set_value(theirs.hwnd());
        win_test::pump_until([&] { return stop.load(); }, patience);
    });
    const HWND theirs = made.get_future().get();
    EXPECT_EQ(SendMessageW(theirs, sent_message, 0, 0), 101);
    EXPECT_EQ(mine.count(sent_message), 1u);
    stop = true;
    other.join();
}

TEST_F(Queue, TwoThreadsSendingToEachOtherAtOnceBothGetAnswers) {
    std::promise<HWND> made_a, made_b;
    std::shared_future<HWND> a = made_a.get_future().share(), b = made_b.get_future().share();
    std::atomic<int> finished{0};
    auto side = [&](std::promise<HWND>& mine, std::shared_future<HWND> other, LRESULT answer) {
        return [&, other, answer] {
            test_window w(test_window::with().reacting(
                [answer](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                    if (m == sent_message) return answer;
                    return std::nullopt;
                }));
            mine.set_value(w.hwnd());
            const LRESULT got = SendMessageW(other.get(), sent_message, 0, 0);
            EXPECT_EQ(got, answer == 1 ? 2 : 1);
            ++finished;
            // Stay alive (and serving) until the other side has its answer too.
            win_test::pump_until([&] { return finished.load() == 2; }, patience);
        };
    };
    std::thread first(side(made_a, b, 1));
    std::thread second(side(made_b, a, 2));
    first.join();
    second.join();
    EXPECT_EQ(finished.load(), 2);
}

// The owner of a window gets a message sent and, without handling it,
// destroys the window or ends: the sender must not wait for ever.
void sender_returns_zero_when(bool destroy_instead_of_ending) {
    std::promise<HWND> made;
    std::thread owner([&] {
        const HWND w = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       nullptr, nullptr);
        made.set_value(w);
        EXPECT_TRUE(queue_holds(QS_SENDMESSAGE));
        if (destroy_instead_of_ending) {
            EXPECT_TRUE(DestroyWindow(w));
        }
    });
    const HWND target = made.get_future().get();
    auto answer = std::async(std::launch::async, [&] {
        return SendMessageW(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x"));
    });
    ASSERT_EQ(answer.wait_for(patience), std::future_status::ready);
    EXPECT_EQ(answer.get(), 0);
    owner.join();
}

TEST_F(Queue, ASendToAWindowDestroyedMeanwhileReturnsZero) {
    sender_returns_zero_when(true);
}

TEST_F(Queue, ASendToAThreadThatEndsMeanwhileReturnsZero) {
    sender_returns_zero_when(false);
}

TEST_F(Queue, ThreadMessagesNeedTheThreadsQueue) {
    std::promise<DWORD> id;
    std::atomic<bool> may_make_queue{false};
    std::promise<void> has_queue;
    std::promise<MSG> got;
    std::thread worker([&] {
        id.set_value(GetCurrentThreadId());
        while (!may_make_queue) std::this_thread::yield();
        MSG m;
        PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);  // makes the queue
        has_queue.set_value();
        GetMessageW(&m, nullptr, 0, 0);
        got.set_value(m);
    });
    const DWORD thread = id.get_future().get();
    EXPECT_FALSE(PostThreadMessageW(thread, posted_message, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    may_make_queue = true;
    has_queue.get_future().wait();
    EXPECT_TRUE(PostThreadMessageW(thread, posted_message, 9, 0));
    const MSG m = got.get_future().get();
    worker.join();
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_EQ(m.message, posted_message);
    EXPECT_EQ(m.wParam, 9u);
}

TEST_F(Queue, TimersKeepTheirPeriodOnASteadyClockAndStopWhenKilled) {
    test_window w;
    win_test::pump();
    const auto set_at = std::chrono::steady_clock::now();
    ASSERT_EQ(SetTimer(w.hwnd(), 3, 80, nullptr), 3u);
    std::vector<std::chrono::steady_clock::time_point> ticks;
    w.set_reaction([&](HWND, UINT m, WPARAM id, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_TIMER && id == 3) ticks.push_back(std::chrono::steady_clock::now());
        return std::nullopt;
    });
    ASSERT_TRUE(win_test::pump_until([&] { return ticks.size() >= 2; }));
    EXPECT_GE(ticks[0] - set_at, 80ms);
    EXPECT_GE(ticks[1] - ticks[0], 75ms);

    EXPECT_TRUE(KillTimer(w.hwnd(), 3));
    EXPECT_FALSE(KillTimer(w.hwnd(), 3));
    const size_t before = ticks.size();
    win_test::pump_until([] { return false; }, 250ms);
    EXPECT_EQ(ticks.size(), before);
    EXPECT_FALSE(win_test::fire_timer(w.hwnd(), 3));
}

TEST_F(Queue, SettingAWindowTimerAgainRestartsItAndDestroyingTheWindowKillsIt) {
    test_window w;
    win_test::pump();
    SetTimer(w.hwnd(), 1, 60000, nullptr);
    SetTimer(w.hwnd(), 1, 20, nullptr);
    ASSERT_TRUE(win_test::pump_until([&] { return w.count(WM_TIMER) >= 1; }, 2000ms));
    EXPECT_TRUE(DestroyWindow(w.hwnd()));
    EXPECT_FALSE(KillTimer(w.hwnd(), 1));
}

std::atomic<int> callback_calls{0};
UINT_PTR callback_id = 0;
void CALLBACK count_call(HWND window, UINT message, UINT_PTR id, DWORD) {
    if (window == nullptr && message == WM_TIMER && id == callback_id) ++callback_calls;
}
void CALLBACK must_not_run(HWND, UINT, UINT_PTR, DWORD) {
    ADD_FAILURE() << "forged timer ran";
}

TEST_F(Queue, ThreadTimersCallTheirCallbackAndForgedTimerMessagesCallNothing) {
    callback_id = SetTimer(nullptr, 0, 60000, count_call);
    ASSERT_NE(callback_id, 0u);
    // Setting the same thread timer again keeps its id.
    EXPECT_EQ(SetTimer(nullptr, callback_id, 60000, count_call), callback_id);
    ASSERT_TRUE(win_test::fire_timer(nullptr, callback_id));
    EXPECT_TRUE(win_test::pump_until([] { return callback_calls.load() == 1; }));

    // A WM_TIMER posted by anyone with a function in lParam must not make
    // the dispatcher call it.
    PostThreadMessageW(GetCurrentThreadId(), WM_TIMER, 77, reinterpret_cast<LPARAM>(must_not_run));
    win_test::pump();
    EXPECT_TRUE(KillTimer(nullptr, callback_id));
}

extern "C" char** environ;

// The time scale is read once per process, so the check runs in a child: this
// test program again, with the scale set and only this test selected.
TEST_F(Queue, TimerPeriodsFollowTheProgramsTimeScale) {
    if (!std::getenv("CALVIMORA_TIME_SCALE")) {
        std::vector<std::string> environment{"CALVIMORA_TIME_SCALE=0.01"};
        for (char** e = environ; *e; ++e) environment.emplace_back(*e);
        std::vector<char*> env;
        for (auto& e : environment) env.push_back(e.data());
        env.push_back(nullptr);
        std::string program = "/proc/self/exe";
        std::string filter = "--gtest_filter=Queue.TimerPeriodsFollowTheProgramsTimeScale";
        char* argv[] = {program.data(), filter.data(), nullptr};
        pid_t child = 0;
        ASSERT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, env.data()), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        return;
    }
    test_window w;
    win_test::pump();
    const auto set_at = std::chrono::steady_clock::now();
    SetTimer(w.hwnd(), 1, 10000, nullptr);  // 100 ms at the scale
    ASSERT_TRUE(win_test::pump_until([&] { return w.count(WM_TIMER) == 1; }, 5000ms));
    const auto took = std::chrono::steady_clock::now() - set_at;
    EXPECT_GE(took, 95ms);
    EXPECT_LT(took, 5000ms);
}

}  // namespace
