#include <gtest/gtest.h>

#include <string>

#include "kernel/tests/helper_process.h"
#include "win/machine.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace {

class MessageBox : public ::testing::Test {
protected:
    win_machine::scoped_root root;
};

}  // namespace

TEST_F(MessageBox, UnscriptedBoxesAnswerTheirDefaultButton) {
    EXPECT_EQ(MessageBoxW(nullptr, L"Saved", L"Calvimora", MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, L"Stop?", L"Calvimora", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, L"Stop?", L"Calvimora", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, L"Failed", nullptr, MB_RETRYCANCEL | MB_ICONERROR), IDRETRY);
    EXPECT_EQ(MessageBoxW(nullptr, L"?", L"", MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    // A default beyond the buttons falls back to the first.
    EXPECT_EQ(MessageBoxW(nullptr, L"?", L"", MB_OKCANCEL | MB_DEFBUTTON4), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, L"?", L"", 0xF), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    const auto journal = win_test::message_boxes();
    ASSERT_EQ(journal.size(), 6u);  // the invalid box was never shown
    EXPECT_EQ(journal[0].text, "Saved");
    EXPECT_EQ(journal[0].caption, "Calvimora");
    EXPECT_EQ(journal[0].type, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(journal[2].answer, IDNO);
    EXPECT_EQ(journal[3].caption, "");
}

TEST_F(MessageBox, AScriptAnswersAndSeesEachBox) {
    std::wstring seen_text, seen_caption;
    UINT seen_type = 0;
    {
        win_test::scoped_message_box_responder script(
            [&](const std::wstring& text, const std::wstring& caption, UINT type) {
                seen_text = text;
                seen_caption = caption;
                seen_type = type;
                return IDCANCEL;
            });
        const UINT type = MB_SETFOREGROUND | MB_ICONERROR | MB_SYSTEMMODAL | MB_RETRYCANCEL;
        EXPECT_EQ(MessageBoxW(nullptr, L"Gr\u00fc\u00dfe\nline two", L"Error!", type), IDCANCEL);
        EXPECT_EQ(seen_text, L"Gr\u00fc\u00dfe\nline two");
        EXPECT_EQ(seen_caption, L"Error!");
        EXPECT_EQ(seen_type, type);
    }
    EXPECT_EQ(MessageBoxW(nullptr, L"after", L"", MB_RETRYCANCEL), IDRETRY);

    const auto journal = win_test::message_boxes();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].text,
              "Gr\xc3\xbc\xc3\x9f"
              "e\nline two");
    EXPECT_EQ(journal[0].answer, IDCANCEL);
    EXPECT_EQ(journal[1].answer, IDRETRY);
    win_test::clear_message_boxes();
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(MessageBox, AnotherProcesssBoxesAreJournalledAndAnsweredWithoutBlocking) {
    EXPECT_EQ(
        helper_process::run({"message-box", "Unknown error in _tWinMain()", "Handler error!"}),
        IDNO);
    const auto journal = win_test::message_boxes();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].text, "Unknown error in _tWinMain()");
    EXPECT_EQ(journal[0].caption, "Handler error!");
    EXPECT_EQ(journal[0].type, MB_YESNO | MB_DEFBUTTON2);
    EXPECT_EQ(journal[0].answer, IDNO);
}
