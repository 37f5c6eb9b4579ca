// A user interface for tests of the sync engine: questions are answered
// from a script and recorded, messages and task-list notices counted.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "syncer/core/answer.h"
#include "syncer/core/user_interface.h"

namespace syncer::scan_testing {

inline constexpr int no = answer_code::no;
inline constexpr int yes = answer_code::yes;

struct asked_question {
    int kind = 0;
    std::wstring dir_remote;
    std::wstring dir_local;
    std::wstring filename;
    bool offer_dont_ask_again = false;
    bool offer_apply_to_all = false;
};

// Answers questions from a script: a queue of codes first, then the code set
// for the kind, else No.
class scripted_ui : public user_interface {
public:
    void answer(int kind, int code) {
        std::lock_guard<std::mutex> guard(mutex_);
        by_kind_[kind] = code;
    }
    void answer_next(int code) {
        std::lock_guard<std::mutex> guard(mutex_);
        queue_.push_back(code);
    }
    // Called on the asking thread before the answer is given.
    void on_question(std::function<void(const asked_question&)> hook) {
        std::lock_guard<std::mutex> guard(mutex_);
        hook_ = std::move(hook);
    }

    std::vector<asked_question> questions() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return asked_;
    }
    std::vector<int> kinds() const {
        std::vector<int> result;
        for (const auto& question : questions()) result.push_back(question.kind);
        return result;
    }
    void forget_questions() {
        std::lock_guard<std::mutex> guard(mutex_);
        asked_.clear();
    }
    int tasks_changed_calls() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return tasks_changed_;
    }
    std::vector<int> messages() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return messages_;
    }

    int ask_question(int kind, const binding&, const std::wstring& dir_remote,
                     const std::wstring& dir_local, const std::wstring& filename,
                     bool offer_dont_ask_again, bool offer_apply_to_all) override {
        const asked_question question{kind,     dir_remote,           dir_local,
                                      filename, offer_dont_ask_again, offer_apply_to_all};
        std::function<void(const asked_question&)> hook;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            asked_.push_back(question);
            hook = hook_;
        }
        if (hook) hook(question);
        std::lock_guard<std::mutex> guard(mutex_);
        if (!queue_.empty()) {
            const int code = queue_.front();
            queue_.pop_front();
            return code;
        }
        const auto scripted = by_kind_.find(kind);
        return scripted == by_kind_.end() ? no : scripted->second;
    }
    int report_error(int, const std::wstring& message, const binding&, const std::wstring&,
                     const std::wstring&, const std::wstring&, bool) override {
        std::lock_guard<std::mutex> guard(mutex_);
        notices_.push_back(message);
        return 0;
    }
    // The texts report_error was called with.
    std::vector<std::wstring> notices() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return notices_;
    }
    int show_message(int kind) override {
        std::lock_guard<std::mutex> guard(mutex_);
        messages_.push_back(kind);
        return message_shown;
    }
    int show_result(int, const binding&, const std::wstring&, const std::wstring&,
                    const std::wstring&) override {
        return message_shown;
    }
    void tasks_changed() override {
        std::lock_guard<std::mutex> guard(mutex_);
        ++tasks_changed_;
    }

private:
    mutable std::mutex mutex_;
    std::map<int, int> by_kind_;
    std::deque<int> queue_;
    std::function<void(const asked_question&)> hook_;
    std::vector<asked_question> asked_;
    std::vector<int> messages_;
    std::vector<std::wstring> notices_;
    int tasks_changed_ = 0;
};

}  // namespace syncer::scan_testing
