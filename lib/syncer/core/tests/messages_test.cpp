// The texts shown for the engine's messages and the meaning of answer codes.
#include <gtest/gtest.h>

#include <tuple>

#include "syncer/core/answer.h"
#include "syncer/core/messages.h"

namespace syncer {
namespace {

const std::wstring remote = L"Calvimora/docs";
const std::wstring local = L"C:\\Users\\z\\docs";
const std::wstring file = L"a%s.txt";

TEST(SyncerMessages, QuestionsFillTheirPlaceholdersInOrder) {
    EXPECT_EQ(message_text(1, remote, local, file),
              L"File 'a%s.txt' exists on local drive, but not on 'Calvimora'.\r\n\r\n"
              L"Local path: C:\\Users\\z\\docs\r\nRemote path: Calvimora/docs\r\n\r\n"
              L"Would you like to upload it?");
    EXPECT_EQ(message_text(5, remote, local, file),
              L"File 'a%s.txt' has been removed from local drive.\r\n\r\n"
              L"Local path: C:\\Users\\z\\docs\r\nRemote path: Calvimora/docs\r\n\r\n"
              L"Would you like to remove it from 'Calvimora'?");
    EXPECT_EQ(message_text(9, remote, local, L""),
              L"Should Calvimora synchronize all subfolders of folders 'C:\\Users\\z\\docs' and "
              L"'Calvimora/docs'?");
    // Folder removals name the folder and show the folders above it.
    EXPECT_EQ(message_text(6, L"Calvimora/docs/old", L"C:\\Users\\z\\docs\\old", L""),
              L"Folder 'old' has been removed from local drive.\r\n\r\n"
              L"Local path: C:\\Users\\z\\docs\r\nRemote path: Calvimora/docs\r\n\r\n"
              L"Would you like to remove it from 'Calvimora'?");
    EXPECT_EQ(message_text(8, L"Calvimora/docs/Old", L"C:\\Users\\z\\docs\\old\\", L""),
              L"Folder 'old' has been removed from 'Calvimora'.\r\n\r\n"
              L"Local path: C:\\Users\\z\\docs\r\nRemote path: Calvimora/docs\r\n\r\n"
              L"Would you like to remove it from local drive?");
}

TEST(SyncerMessages, FailuresShowTheKindTextAndTheMessage) {
    EXPECT_EQ(failure_text(21, L"Please, check your internet connection or firewall settings",
                           remote, local, file),
              L"Opening remote dir 'Calvimora/docs' failed. Please, check your internet "
              L"connection or firewall settings");
    EXPECT_EQ(failure_text(23, L"", remote, local, file),
              L"Opening remote file 'Calvimora/docs/a%s.txt' failed.");
    EXPECT_EQ(failure_text(12, L"", remote, local, file),
              L"Opening temporary file for 'a%s.txt' failed.");
    EXPECT_EQ(failure_text(20, L"", remote, local, file),
              L"Creating local dir 'C:\\Users\\z\\docs' failed.");
    EXPECT_EQ(failure_text(0, L"Remote file is newer than local", remote, local, file),
              L"Remote file is newer than local");
    EXPECT_EQ(failure_text(19, L"Access denied", remote, local, file), L"Access denied");
    EXPECT_EQ(failure_text(29, L"", remote, local, file), L"Unknown message");
    EXPECT_EQ(failure_text(42, L"", remote, local, file), L"Unknown message");
}

TEST(SyncerMessages, ResultsAndInformation) {
    EXPECT_EQ(result_text(0, L"Calvimora/docs/", L"a.txt"),
              L"File 'Calvimora/docs/a.txt' uploaded successfully.");
    EXPECT_EQ(result_text(5, L"Calvimora", L"a.txt"), L"File 'Calvimora/a.txt' download canceled.");
    EXPECT_EQ(result_text(6, L"Calvimora", L"a.txt"), L"");
    EXPECT_EQ(information_text(6), L"Calvimora sync database has been successfully restored.");
    EXPECT_EQ(information_text(5), L"");
}

TEST(SyncerAnswers, CodesAddTheTickedBoxesAndSayHowFarTheyReach) {
    EXPECT_EQ(make_answer(false, false, false), 3);
    EXPECT_EQ(make_answer(true, true, true), 10);
    EXPECT_EQ(make_answer(false, true, true), 6);
    struct expectation {
        int code;
        bool allowed, for_run, in_root, whole;
    };
    for (const auto& e :
         {expectation{3, false, false, false, false}, expectation{4, false, false, false, true},
          expectation{5, false, true, false, false}, expectation{6, false, true, true, false},
          expectation{7, true, false, false, false}, expectation{8, true, false, false, true},
          expectation{9, true, true, false, false}, expectation{10, true, true, true, false},
          expectation{11, false, false, false, false},
          expectation{0, false, false, false, false}}) {
        const permission_answer answer = decode_permission_answer(e.code);
        EXPECT_EQ(std::tie(answer.allowed, answer.remember_for_run, answer.store_in_root_permission,
                           answer.store_for_whole_binding),
                  std::tie(e.allowed, e.for_run, e.in_root, e.whole))
            << e.code;
    }
    EXPECT_TRUE(recursion_allowed(8));
    EXPECT_FALSE(recursion_allowed(9));
}

}  // namespace
}  // namespace syncer
