#include <unistd.h>

#include <cstdlib>
#include <string>

#include "user_dialog_test_support.h"

namespace {

using namespace dialog_test;
using Answers = user_test::UserTest;

// Standard input replaced by what a person would type, and the terminal
// asked, for the life of the object.
class typed_input {
public:
    explicit typed_input(const std::string& lines) {
        int pipe_ends[2];
        EXPECT_EQ(pipe(pipe_ends), 0);
        EXPECT_EQ(write(pipe_ends[1], lines.data(), lines.size()),
                  static_cast<ssize_t>(lines.size()));
        close(pipe_ends[1]);
        saved_ = dup(STDIN_FILENO);
        dup2(pipe_ends[0], STDIN_FILENO);
        close(pipe_ends[0]);
        setenv("CALVIMORA_ANSWERS", "terminal", 1);
    }
    ~typed_input() {
        dup2(saved_, STDIN_FILENO);
        close(saved_);
        setenv("CALVIMORA_ANSWERS", "default", 1);
    }

private:
    int saved_ = -1;
};

TEST_F(Answers, APersonTypesTheButtonOfAMessageBox) {
    typed_input person("7\n2\n");  // a number that is no button, then the second
    ASSERT_TRUE(win_test::answers_on_terminal());
    EXPECT_EQ(MessageBoxW(nullptr, L"Logoff anyway?", L"Calvimora", MB_YESNO | MB_ICONEXCLAMATION),
              IDNO);
    EXPECT_EQ(win_test::message_boxes().back().answer, IDNO);
}

TEST_F(Answers, APersonTicksAndPressesInADialog) {
    typed_input person("3\n\n");  // the first check box, then Enter for the default button
    probe p;
    EXPECT_EQ(run(question, p), IDOK);
    EXPECT_EQ(p.remembered, BST_CHECKED);
    EXPECT_EQ(p.commands, (std::vector<int>{remember, IDOK}));
    EXPECT_EQ(win_test::dialogs().back().answered_by, "terminal");
}

TEST_F(Answers, TheEndOfInputGivesTheDefaultAnswers) {
    typed_input person("");
    probe p;
    EXPECT_EQ(run(later, p), later_button);
    EXPECT_EQ(MessageBoxW(nullptr, L"Stop?", L"", MB_YESNO | MB_DEFBUTTON2), IDNO);
}

TEST_F(Answers, AScriptWinsOverTheTerminal) {
    typed_input person("2\n");
    win_test::scoped_dialog_responder script([](HWND dialog) { win_test::press(dialog, IDOK); });
    probe p;
    EXPECT_EQ(run(question, p), IDOK);
    EXPECT_EQ(win_test::dialogs().back().answered_by, "script");
}

}  // namespace
