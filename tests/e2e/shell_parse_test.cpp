// Names parsed by the virtual folder as other programs parse them, through
// the shell host against the stand-in service, with the real session
// handler holding the Save-As list.
#include <gtest/gtest.h>

#include <sstream>

#include "host_parsing.h"
#include "shell_browser.h"
#include "shell_host.h"
#include "terminal_browser.h"
#include "utils/class_ids.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/kernel.h"
#include "win/shell.h"
#include "win/shell_info.h"

namespace {

using namespace vfs_session_testing;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);
const std::string empty_list = "<SaveAsFiles></SaveAsFiles>";

std::string utf8(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) out += static_cast<char>(c < 0x80 ? c : '?');
    return out;
}

std::wstring class_text(REFCLSID clsid) {
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    return text;
}

// alice's storage: the folder "Docs" with "a.txt", and the file "beta".
class ShellParse : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(shell_host::register_server(module_path), S_OK);
        ASSERT_EQ(apartment_.status(), S_OK);
        auto& service = env_.service();
        const std::string user = service.add_user("alice", "s3cret");
        const std::string docs = service.add_folder(user, "0", "Docs");
        service.add_file(user, docs, "a.txt", "text");
        service.add_file(user, "0", "beta", "b");
        vfs_calvimora::login(test_module(), L"alice", L"s3cret");
        std::wstring list;
        ASSERT_TRUE(wait_until([&] { return shell_host::read_save_as_list(list); }))
            << "the session handler holds the list";
        ASSERT_EQ(utf8(list), empty_list);
    }
    void TearDown() override { shell_host::unload_unused_servers(); }

    std::string run(const std::string& commands) {
        std::istringstream typed(commands + "quit\n");
        std::ostringstream shown;
        EXPECT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, typed, shown), 0);
        return shown.str();
    }

    static std::string save_as_list() {
        std::wstring list;
        return shell_host::read_save_as_list(list) ? utf8(list) : "<none>";
    }

    // Where the folder records a new file that lands at the path below, in
    // the native form.
    static std::string local_path(const std::string& below) {
        wchar_t folder[MAX_PATH];
        EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_LOCAL_APPDATA, TRUE));
        return utf8(folder) + "/Calvimora/Filter temp/" + below;
    }

    environment env_;
    tray_stand_in tray_;
    shell_host::com_apartment apartment_;
};

bool holds(const std::string& screen, const std::string& text) {
    return screen.find(text) != std::string::npos;
}

TEST_F(ShellParse, RelativeAndAbsoluteNamesAndWhatTheyCannotName) {
    const std::string top = utf8(L"::" + class_text(CLSID_MyComputer) + L"\\::" +
                                 class_text(utils::clsid_calvimora_folder));
    const std::string screen = run("parse Docs\\a.txt\nparse " + top +
                                   "\\Docs\nparse beta\\x\nparse Docs\\missing.txt\n"
                                   "parse Docs\\\\a.txt\nparse " +
                                   top + "x\\Docs\n");
    EXPECT_TRUE(holds(screen,
                      "parsed Docs\\a.txt\n  below this folder: Docs > a.txt\n"
                      "  levels: 2, characters taken: 11\n"))
        << screen;
    EXPECT_TRUE(holds(screen, "  from the top of the namespace: Computer > "));
    EXPECT_TRUE(holds(screen, " > Docs\n  levels: 3, characters taken: " +
                                  std::to_string(top.size() + 1 + 5) + "\n"))
        << screen;
    // The file, the missing name, the parsing name run on into a longer one.
    size_t missing = 0;
    for (size_t at = screen.find("no such item"); at != std::string::npos;
         at = screen.find("no such item", at + 1))
        ++missing;
    EXPECT_EQ(missing, 3u) << screen;
    size_t refused = 0;
    for (size_t at = screen.find("not a path the folder takes"); at != std::string::npos;
         at = screen.find("not a path the folder takes", at + 1))
        ++refused;
    EXPECT_EQ(refused, 1u) << screen;
    EXPECT_EQ(save_as_list(), empty_list) << "parsing without creation records nothing";
}

TEST_F(ShellParse, SaveAsRecordsEachNewFileInOrderAndOnlyTheLastNameIsMade) {
    const std::string screen =
        run("saveas Docs\\new.txt\nsaveas other.txt\n"
            "saveas Nowhere\\x.txt\nsaveas Docs\\a.txt\n");
    EXPECT_TRUE(holds(screen,
                      "parsed Docs\\new.txt\n  below this folder: Docs > new.txt\n"
                      "  levels: 2, characters taken: 13\n"
                      "  attributes: 0x00000000 (none)\n"))
        << screen;
    const std::string both = "<SaveAsFiles><NewFile>" + local_path("Docs/new.txt") +
                             "</NewFile><NewFile>" + local_path("other.txt") +
                             "</NewFile></SaveAsFiles>";
    EXPECT_TRUE(holds(screen, "no such item")) << "Nowhere is missing: " << screen;
    EXPECT_EQ(save_as_list(), both) << "an existing file is found, not made again";
    EXPECT_TRUE(holds(screen, "Save-As list: " + both + "\n"));
}

TEST_F(ShellParse, ANewNameTooLongForAnItemIsRefusedWholeNeverCut) {
    const std::string longest = std::string(255, 'n') + ".txt";  // 259 characters
    const std::string longer = std::string(301, 'n') + ".txt";
    const std::string screen = run("saveas Docs\\" + longer + "\nsaveas " + longest + "\n");
    EXPECT_TRUE(holds(screen,
                      "not a name the folder takes: a new name is at most 259 characters "
                      "long\nSave-As list: " +
                          empty_list + "\n"))
        << screen;
    EXPECT_FALSE(holds(screen, "parsed Docs")) << screen;
    EXPECT_TRUE(holds(screen, "levels: 1, characters taken: 260\n")) << screen;
    EXPECT_EQ(save_as_list(),
              "<SaveAsFiles><NewFile>" + local_path(longest) + "</NewFile></SaveAsFiles>");
}

TEST_F(ShellParse, AServiceThatCannotBeReachedMakesNothing) {
    shell_host::shell_browser browser;
    ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
    ASSERT_EQ(browser.list(), S_OK);
    calvimora::testing::request_fault dropped;
    dropped.target = "*";
    dropped.kind = "drop";
    dropped.count = 0;
    env_.service().arm(dropped);
    std::ostringstream shown;
    EXPECT_EQ(shell_host::parse_in_folder(browser, L"Docs\\later.txt", true, shown), S_OK);
    EXPECT_TRUE(holds(shown.str(), "no such item")) << shown.str();
    EXPECT_EQ(save_as_list(), empty_list);
    env_.service().disarm();
    browser.close();
}

TEST_F(ShellParse, AFullListIsLeftAsItIsAndTheFileIsStillNamed) {
    HANDLE mapping =
        OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"Local\\Calvimora_FileMapping_SaveAs");
    ASSERT_NE(mapping, nullptr);
    constexpr size_t units = 0x80000 / 2;
    auto* view = static_cast<char16_t*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0x80000));
    ASSERT_NE(view, nullptr);
    const std::u16string head = u"<SaveAsFiles><NewFile>";
    const std::u16string tail = u"</NewFile></SaveAsFiles>";
    std::u16string full =
        head + std::u16string(units - 1 - head.size() - tail.size() - 40, u'x') + tail;
    std::copy(full.begin(), full.end(), view);
    const std::u16string before(view, view + units);

    const std::string screen = run("saveas new.txt\n");
    EXPECT_TRUE(holds(screen, "parsed new.txt\n")) << screen;
    EXPECT_TRUE(std::u16string(view, view + units) == before) << "the list stays as it was";
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}

}  // namespace
