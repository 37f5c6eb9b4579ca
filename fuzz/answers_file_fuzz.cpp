// The responder's answers file, which names what a program run by a test
// answers: any bytes as the file. A box gets only one of its own buttons, a
// menu only "none" or a number; every line answers at most once, and only
// a line of its own kind.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "win/user.h"
#include "win/win_test.h"
#include "windowing/user_answer_file.h"

using calvimora_fuzz::require;

namespace {

// A file of its own for every input: the responder reads a file again only
// when the variable names another one.
std::string next_file() {
    static unsigned long count = 0;
    return "/tmp/answers_fuzz-" + std::to_string(getpid()) + "-" + std::to_string(count++ % 2);
}

std::size_t lines_in(const std::uint8_t* data, std::size_t size) {
    return static_cast<std::size_t>(std::count(data, data + size, '\n')) + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = next_file();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    setenv(win_test::answers_file_variable, path.c_str(), 1);
    const std::size_t lines = lines_in(data, size);
    const std::vector<int> buttons{IDYES, IDNO, IDCANCEL};
    std::size_t answered = 0;
    while (const auto button =
               win_user::file_answer_for_box(L"Replace 'a.txt'?", L"Upload", buttons)) {
        require(std::find(buttons.begin(), buttons.end(), *button) != buttons.end(),
                "a box answered with a button it does not have");
        require(++answered <= lines, "more answers than lines");
    }
    const std::vector<std::wstring> items{L"&Open", L"Copy", L"Delete"};
    while (const auto chosen = win_user::file_answer_for_menu(items))
        require(++answered <= lines, "more answers than lines");
    unsetenv(win_test::answers_file_variable);
    // Without the variable nothing answers.
    require(!win_user::file_answer_for_box(L"any", L"any", buttons), "a box answered from no file");
    std::remove(path.c_str());
    return 0;
}
