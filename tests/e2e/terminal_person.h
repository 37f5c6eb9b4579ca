// A person at the terminal of a program under test who reads what its
// dialogs print and types answers: for the life of the object standard
// input is a pipe the person writes and standard error a file the person
// reads, and dialogs ask on the terminal. The person acts on what a dialog
// shows, so a test names the control it means by its text, not by its
// number in the listing.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

namespace terminal_testing {

class terminal_person {
public:
    terminal_person()
        : screen_(std::filesystem::temp_directory_path() /
                  ("terminal-screen-" + std::to_string(getpid()))) {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        saved_input_ = dup(STDIN_FILENO);
        dup2(ends[0], STDIN_FILENO);
        close(ends[0]);
        typing_ = ends[1];
        const int file = open(screen_.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        EXPECT_GE(file, 0);
        saved_errors_ = dup(STDERR_FILENO);
        dup2(file, STDERR_FILENO);
        close(file);
        setenv("CALVIMORA_ANSWERS", "terminal", 1);
    }

    ~terminal_person() {
        leave();
        dup2(saved_input_, STDIN_FILENO);
        close(saved_input_);
        dup2(saved_errors_, STDERR_FILENO);
        close(saved_errors_);
        setenv("CALVIMORA_ANSWERS", "default", 1);
        std::error_code ignored;
        std::filesystem::remove(screen_, ignored);
    }

    terminal_person(const terminal_person&) = delete;
    terminal_person& operator=(const terminal_person&) = delete;

    // Everything printed so far.
    std::string screen() const {
        std::ifstream in(screen_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The dialog as it is printed when it next asks (each answer makes it
    // ask again while it stays open); empty when it does not ask in time.
    std::string next_dialog(std::chrono::seconds limit = std::chrono::seconds(60)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const std::string shown = screen();
            size_t end = 0;
            size_t found = 0;
            for (size_t at = shown.find(prompt); at != std::string::npos;
                 at = shown.find(prompt, at + 1)) {
                end = at;
                if (++found > dialogs_seen_) break;
            }
            if (found > dialogs_seen_) {
                ++dialogs_seen_;
                const size_t start = shown.rfind("[dialog] ", end);
                return shown.substr(start == std::string::npos ? 0 : start, end - start);
            }
            if (std::chrono::steady_clock::now() > deadline) return std::string();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    // The number a dialog gives the first line that holds the text; empty
    // (and a failure) when no such line is numbered.
    static std::string number_of(const std::string& dialog, const std::string& text) {
        std::istringstream lines(dialog);
        const std::regex numbered(R"(^\s*\[(\d+)\] )");
        std::smatch match;
        for (std::string line; std::getline(lines, line);)
            if (line.find(text) != std::string::npos && std::regex_search(line, match, numbered))
                return match[1];
        ADD_FAILURE() << "nothing numbered shows \"" << text << "\" in:\n" << dialog;
        return std::string();
    }

    void type(const std::string& line) {
        const std::string typed = line + "\n";
        if (typing_ < 0) return;
        EXPECT_EQ(write(typing_, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    }

    // Picks what the dialog numbers for the text; false when it numbers
    // nothing such.
    bool choose(const std::string& dialog, const std::string& text) {
        const std::string number = number_of(dialog, text);
        if (number.empty()) return false;
        type(number);
        return true;
    }

    // The end of input: an open dialog takes its default answer and ends.
    void leave() {
        if (typing_ >= 0) close(typing_);
        typing_ = -1;
    }

private:
    static constexpr const char* prompt = "Type a number to press";

    std::filesystem::path screen_;
    int saved_input_ = -1;
    int saved_errors_ = -1;
    int typing_ = -1;
    size_t dialogs_seen_ = 0;
};

}  // namespace terminal_testing
