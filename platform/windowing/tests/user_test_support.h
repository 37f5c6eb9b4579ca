// Shared pieces of the windowing tests: a window class whose windows record
// the messages they get and let each test react to them, and a fresh
// machine root (for the journals) per test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "win/kernel.h"
#include "win/machine.h"
#include "win/process.h"
#include "win/win_test.h"

namespace user_test {

// Long enough for a sanitizer build on a busy machine.
inline constexpr std::chrono::milliseconds patience{10000};

struct received {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    DWORD thread;
};

// A window of the test class. Its procedure records every message, then
// asks the reaction (if any); no answer from it means default handling.
class test_window {
public:
    using reaction = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

    struct options {
        DWORD style = WS_OVERLAPPEDWINDOW;
        DWORD ex_style = 0;
        HWND parent = nullptr;
        int id = 0;
        RECT rect{100, 100, 500, 400};
        const wchar_t* title = L"test";
        reaction react;

        options& styled(DWORD s, DWORD ex = 0) {
            style = s;
            ex_style = ex;
            return *this;
        }
        options& child_of(HWND p, int control_id) {
            parent = p;
            id = control_id;
            return *this;
        }
        options& owned_by(HWND owner) {
            parent = owner;
            return *this;
        }
        options& at(RECT r) {
            rect = r;
            return *this;
        }
        options& named(const wchar_t* t) {
            title = t;
            return *this;
        }
        options& reacting(reaction r) {
            react = std::move(r);
            return *this;
        }
    };
    static options with() { return options{}; }

    explicit test_window(options o) : react_(std::move(o.react)) {
        register_class();
        handle_ = CreateWindowExW(o.ex_style, class_name, o.title, o.style, o.rect.left, o.rect.top,
                                  o.rect.right - o.rect.left, o.rect.bottom - o.rect.top, o.parent,
                                  reinterpret_cast<HMENU>(static_cast<intptr_t>(o.id)),
                                  GetModuleHandleW(nullptr), this);
    }
    test_window() : test_window(options{}) {}
    ~test_window() {
        if (IsWindow(handle_)) DestroyWindow(handle_);
    }
    test_window(const test_window&) = delete;
    test_window& operator=(const test_window&) = delete;

    HWND hwnd() const { return handle_; }
    void set_reaction(reaction r) {
        std::lock_guard<std::mutex> guard(lock_);
        react_ = std::move(r);
    }

    std::vector<received> log() const {
        std::lock_guard<std::mutex> guard(lock_);
        return log_;
    }
    // The message numbers received, oldest first, restricted to those listed
    // (all when none are).
    std::vector<UINT> messages(std::vector<UINT> only = {}) const {
        std::vector<UINT> out;
        for (const received& r : log())
            if (only.empty() || std::find(only.begin(), only.end(), r.message) != only.end())
                out.push_back(r.message);
        return out;
    }
    size_t count(UINT message) const { return messages({message}).size(); }
    void clear() {
        std::lock_guard<std::mutex> guard(lock_);
        log_.clear();
    }

    static constexpr const wchar_t* class_name = L"CalvimoraTestWindow";

private:
    static void register_class() {
        static const bool registered = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = procedure;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            wc.lpszClassName = class_name;
            return RegisterClassExW(&wc) != 0;
        }();
        EXPECT_TRUE(registered);
    }

    static LRESULT CALLBACK procedure(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == WM_NCCREATE) {
            auto* self =
                static_cast<test_window*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
            SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<test_window*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (!self) return DefWindowProcW(h, m, w, l);
        reaction react;
        {
            std::lock_guard<std::mutex> guard(self->lock_);
            self->log_.push_back({h, m, w, l, GetCurrentThreadId()});
            react = self->react_;
        }
        if (react)
            if (const std::optional<LRESULT> answer = react(h, m, w, l)) return *answer;
        return DefWindowProcW(h, m, w, l);
    }

    mutable std::mutex lock_;
    std::vector<received> log_;
    reaction react_;
    HWND handle_ = nullptr;
};

// Every test gets its own machine root, so journals start empty.
class UserTest : public ::testing::Test {
protected:
    win_machine::scoped_root root_;
};

}  // namespace user_test
