// Opening local copies and folders with the shell, over the test programs
// and the platform's test drop handler.
#include "folder/workers/shell_open.h"

#include <gtest/gtest.h>

#include <fstream>

#include "test_programs.h"
#include "win/file.h"
#include "win/machine.h"
#include "win/shell_assoc.h"
#include "win/shell_test.h"
#include "win/user_window.h"

namespace {

using namespace shell_testing;

class ShellOpen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        register_test_programs(system_form_of(TEST_DROP_HANDLER));
        copies = system_form_of(root.path() + "/copies");
        ASSERT_TRUE(CreateDirectoryW(copies.c_str(), nullptr));
        win_test::clear_shell_executions();
        win_test::clear_handler_drops();
    }
    void TearDown() override {
        if (program_key) RegCloseKey(program_key);
        CoFreeUnusedLibraries();
        CoUninitialize();
    }

    std::vector<std::wstring> local_files(std::initializer_list<const wchar_t*> names) {
        std::vector<std::wstring> out;
        for (const wchar_t* name : names) {
            out.push_back(copies + L"\\" + name);
            std::ofstream(win_file::native_path(out.back())) << "x";
        }
        return out;
    }
    HKEY program(const wchar_t* class_name) {
        EXPECT_EQ(RegOpenKeyW(HKEY_CLASSES_ROOT, class_name, &program_key), ERROR_SUCCESS);
        return program_key;
    }
    static std::string utf8(const std::wstring& text) {
        return std::string(text.begin(), text.end());
    }

    win_machine::scoped_root root;
    std::wstring copies;
    HKEY program_key = nullptr;
};

TEST_F(ShellOpen, OneFileWithTheDialogAskedGetsOnlyTheDialog) {
    const auto files = local_files({L"a.wav"});
    open_with_drop_target(files, program(L"Player.Audio"), true);
    const auto executions = win_test::shell_executions();
    ASSERT_EQ(executions.size(), 1u);
    EXPECT_EQ(executions[0].file, "RUNDLL32.EXE");
    EXPECT_EQ(executions[0].verb, "open");
    EXPECT_EQ(executions[0].parameters, "shell32.dll,OpenAs_RunDLL " + utf8(files[0]));
    EXPECT_TRUE(win_test::handler_drops().empty());
}

TEST_F(ShellOpen, MixedTypesWithTheDialogOpenEachWithItsDefault) {
    const auto files = local_files({L"a.wav", L"b.txt"});
    open_with_drop_target(files, nullptr, true);
    const auto executions = win_test::shell_executions();
    ASSERT_EQ(executions.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(executions[i].file, utf8(files[i]));
        EXPECT_EQ(executions[i].verb, "");
        EXPECT_EQ(executions[i].class_name, "");
        EXPECT_EQ(executions[i].mask, SEE_MASK_FLAG_NO_UI | SEE_MASK_WAITFORINPUTIDLE);
        EXPECT_EQ(executions[i].show, SW_SHOWNORMAL);
    }
}

TEST_F(ShellOpen, SeveralFilesOfOneTypeGoToOneHandlerInOneDrop) {
    const auto files = local_files({L"a.wav", L"b c.WAV", L"Ü.wav"});
    open_with_drop_target(files, program(L"Player.Audio"), false);
    EXPECT_TRUE(win_test::shell_executions().empty());
    const auto drops = win_test::handler_drops();
    ASSERT_EQ(drops.size(), 2u);
    EXPECT_EQ(drops[0].call, "DragEnter");
    EXPECT_EQ(drops[1].call, "Drop");
    EXPECT_EQ(drops[0].instance, drops[1].instance);
    EXPECT_EQ(drops[0].files, files);
    EXPECT_EQ(drops[1].files, files);
}

TEST_F(ShellOpen, OneFileOrMixedTypesAreExecutedWithTheProgramsVerb) {
    auto files = local_files({L"a.wav"});
    open_with_drop_target(files, program(L"Player.Audio"), false);
    files = local_files({L"b.wav", L"c.mp3"});
    open_with_drop_target(files, program_key, false);
    EXPECT_TRUE(win_test::handler_drops().empty());
    const auto executions = win_test::shell_executions();
    ASSERT_EQ(executions.size(), 3u);
    for (const auto& execution : executions) {
        EXPECT_EQ(execution.verb, "play");
        EXPECT_EQ(execution.class_name, "HKEY_LOCAL_MACHINE\\Software\\Classes\\Player.Audio");
        EXPECT_EQ(execution.mask,
                  SEE_MASK_FLAG_NO_UI | SEE_MASK_WAITFORINPUTIDLE | SEE_MASK_CLASSKEY);
        EXPECT_EQ(execution.result, 42);
    }
}

TEST_F(ShellOpen, ADefaultVerbWithoutKeyLeavesTheVerbToTheShell) {
    const auto files = local_files({L"a.txt", L"b.txt"});
    open_with_drop_target(files, program(L"txtfile"), false);
    const auto executions = win_test::shell_executions();
    ASSERT_EQ(executions.size(), 2u);
    EXPECT_EQ(executions[0].verb, "");
    EXPECT_EQ(executions[0].class_name, "HKEY_LOCAL_MACHINE\\Software\\Classes\\txtfile");
    EXPECT_EQ(executions[0].result, 42);
}

TEST_F(ShellOpen, HandlerDropsThatCannotHappenFail) {
    const auto files = local_files({L"a.wav", L"b.wav"});
    EXPECT_EQ(drop_files_on_verb_handler(files, GUID_NULL), E_FAIL);
    EXPECT_EQ(drop_files_on_verb_handler({}, test_drop_handler), E_FAIL);
    // {00000000-1111-2222-3333-444444444444}: registered nowhere.
    const CLSID stranger{0, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}};
    EXPECT_EQ(drop_files_on_verb_handler(files, stranger), E_FAIL);
    EXPECT_EQ(drop_files_on_verb_handler({copies + L"\\gone\\a.wav"}, test_drop_handler), E_FAIL);
    EXPECT_TRUE(win_test::handler_drops().empty());
    // A missing file is left out of the drop.
    EXPECT_EQ(drop_files_on_verb_handler({files[0], copies + L"\\missing.wav", files[1]},
                                         test_drop_handler),
              S_OK);
    const auto drops = win_test::handler_drops();
    ASSERT_EQ(drops.size(), 2u);
    EXPECT_EQ(drops[1].files, files);
}

TEST_F(ShellOpen, FoldersOpenAsExplorerWindows) {
    PIDLDATA item{};
    item.type = 1;
    const std::vector<CItemIdList> folders{CItemIdList(item), CItemIdList(item)};
    EXPECT_EQ(shell_open_item(nullptr, folders, true), S_OK);
    EXPECT_EQ(shell_open_item(nullptr, {folders[0]}, false), S_OK);
    const auto executions = win_test::shell_executions();
    ASSERT_EQ(executions.size(), 3u);
    EXPECT_EQ(executions[0].verb, "explore");
    EXPECT_EQ(executions[1].verb, "explore");
    EXPECT_EQ(executions[2].verb, "open");
    for (const auto& execution : executions) {
        EXPECT_EQ(execution.class_name, "folder");
        EXPECT_EQ(execution.mask, SEE_MASK_IDLIST | SEE_MASK_CLASSNAME);
        EXPECT_FALSE(execution.id_list.empty());
        EXPECT_EQ(execution.result, 42);
    }
}

}  // namespace
