// The command bar above the virtual folder as Explorer shows it: the
// extension registered and loaded through the registry, its folder's
// command provider asked by the shell host for the root, an ordinary
// folder and the home folder, with and without selections, against the
// stand-in service.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host_command_bar.h"
#include "item_workers.h"
#include "shell_browser.h"
#include "shell_host.h"
#include "terminal_browser.h"
#include "test_programs.h"
#include "utils/class_ids.h"
#include "vfs_session_support.h"
#include "win/commctrl.h"
#include "win/commctrl_tab.h"
#include "win/file.h"
#include "win/kernel.h"
#include "win/shell.h"
#include "win/shell_test.h"
#include "win/shell_thread.h"
#include "win/win_test.h"

namespace {

using namespace vfs_session_testing;
using shell_host::bar_command;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// alice's storage: "Docs" (an ordinary folder) with "song.mp3",
// "other.mp3", "tone.wav", "clip.mp4" and "notes.txt"; "Home", her home
// folder; "Empty".
class CommandBar : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(shell_host::register_server(module_path), S_OK);
        ASSERT_EQ(apartment_.status(), S_OK);
        shell_testing::register_test_programs(L"");
        auto& service = env_.service();
        user_ = service.add_user("alice", "s3cret");
        const std::string docs = service.add_folder(user_, "0", "Docs");
        for (const char* name : {"song.mp3", "other.mp3", "tone.wav", "clip.mp4", "notes.txt"})
            service.add_file(user_, docs, name, std::string("content of ") + name);
        service.control("add_folder", calvimora::testing::json_object()
                                          .set("owner_id", user_)
                                          .set("parent_id", "0")
                                          .set("name", "Home")
                                          .set("is_home_folder", true));
        service.add_folder(user_, "0", "Empty");
    }
    void TearDown() override {
        SHSetInstanceExplorer(nullptr);
        bar_.reset();
        browser.close();
        shell_host::unload_unused_servers();
    }

    void start() {
        login_once_session_is_up(test_module(), L"alice", L"s3cret");
        SHSetInstanceExplorer(&process_);
        ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
        ASSERT_EQ(browser.list(), S_OK);
    }

    size_t index_of(const std::wstring& name) {
        const auto& items = browser.items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].name == name) return i;
        ADD_FAILURE() << "no item named " << narrow(name);
        return items.size();
    }
    void enter(const std::wstring& name) {
        ASSERT_EQ(browser.enter(index_of(name)), S_OK);
        ASSERT_EQ(browser.list(), S_OK);
    }
    std::vector<size_t> indices(const std::vector<std::wstring>& names) {
        std::vector<size_t> found;
        for (const auto& name : names) found.push_back(index_of(name));
        return found;
    }

    // The bar for the named items (none: nothing selected).
    std::vector<bar_command> bar(const std::vector<std::wstring>& names = {}) {
        std::vector<bar_command> commands;
        EXPECT_EQ(bar_->read(browser, indices(names), commands), S_OK);
        return commands;
    }
    static const bar_command* find(const std::vector<bar_command>& commands, const GUID& name) {
        for (const auto& command : commands)
            if (command.depth == 0 && IsEqualGUID(command.name, name)) return &command;
        return nullptr;
    }
    static const bar_command* titled(const std::vector<bar_command>& commands,
                                     const std::wstring& title) {
        for (const auto& command : commands)
            if (command.depth == 0 && command.title == title) return &command;
        return nullptr;
    }
    // "title" for each shown command (top level), "  title" for the
    // entries of a drop-down, "  ----" for its separator.
    static std::vector<std::string> shown(const std::vector<bar_command>& commands) {
        std::vector<std::string> lines;
        for (const auto& command : commands) {
            if (command.hidden()) continue;
            const std::string indent(2 * static_cast<size_t>(command.depth), ' ');
            lines.push_back(indent + (command.separator() ? "----" : narrow(command.title)));
        }
        return lines;
    }

    GUID open_name() {
        // The first command of every bar is Open.
        std::vector<bar_command> commands;
        bar_->read(browser, {}, commands);
        return commands.empty() ? GUID_NULL : commands[0].name;
    }

    environment env_;
    tray_stand_in tray_;
    shell_host::com_apartment apartment_;
    shell_host::shell_browser browser;
    std::unique_ptr<shell_host::command_bar> bar_ = std::make_unique<shell_host::command_bar>();
    win_test::process_reference process_;
    std::string user_;
};

TEST_F(CommandBar, WhichCommandsEachFolderOffersWithoutASelection) {
    start();
    const auto root = bar();
    ASSERT_EQ(root.size(), 6u);
    EXPECT_TRUE(root[0].hidden()) << "Open needs a selection";
    EXPECT_EQ(root[0].flags, ECF_HASSUBCOMMANDS | ECF_HASSPLITBUTTON);
    EXPECT_EQ(root[1].title, L"Share");
    EXPECT_TRUE(root[1].hidden());
    EXPECT_EQ(root[1].icon, L"shell32.dll,-267");
    EXPECT_EQ(root[2].title, L"Sync files");
    EXPECT_EQ(root[2].tip, L"Manage the Permanently Syncing Files");
    EXPECT_EQ(root[2].state, ECS_ENABLED);
    EXPECT_EQ(root[3].title, L"Backup PC");
    EXPECT_EQ(root[3].state, ECS_ENABLED);
    // Both carry the extension's own icon.
    EXPECT_EQ(root[2].icon.substr(root[2].icon.size() - 3), L",-0");
    EXPECT_EQ(root[2].icon, root[3].icon);
    EXPECT_EQ(root[4].title, L"Play All Music");
    EXPECT_TRUE(root[4].hidden()) << "the root holds no music";
    EXPECT_EQ(root[5].title, L"Play All Video");
    EXPECT_TRUE(root[5].hidden());

    enter(L"Docs");
    const auto docs = bar();
    EXPECT_EQ(titled(docs, L"Sync files"), nullptr);
    EXPECT_EQ(titled(docs, L"Backup PC"), nullptr);
    EXPECT_EQ(shown(docs), (std::vector<std::string>{"Play All Music", "Play All Video"}));

    ASSERT_EQ(browser.up(), S_OK);
    enter(L"Home");
    const auto home = bar();
    EXPECT_EQ(titled(home, L"Sync files"), nullptr);
    ASSERT_NE(titled(home, L"Backup PC"), nullptr);
    EXPECT_EQ(shown(home), std::vector<std::string>{"Backup PC"});
}

TEST_F(CommandBar, OneAudioFileOpensWithItsProgramsAndAnotherSelectionChangesTheBar) {
    start();
    enter(L"Docs");
    // The default program of .mp3 has no verb text: "Open"; the drop-down
    // lists its programs, a separator and the choice.
    EXPECT_EQ(shown(bar({L"song.mp3"})),
              (std::vector<std::string>{"Open", "  Tunes", "  Sound Player", "  ----",
                                        "  Choose Default Program...", "Play All Music",
                                        "Play All Video"}));
    // The same command objects, asked for another file: the default
    // program of .wav plays, and comes first.
    const auto wav = bar({L"tone.wav"});
    EXPECT_EQ(shown(wav), (std::vector<std::string>{"&Play", "  Sound Player", "  Tunes", "  ----",
                                                    "  Choose Default Program...", "Play All Music",
                                                    "Play All Video"}));
    EXPECT_EQ(wav[0].icon, std::wstring(shell_testing::player_exe) + L",0");
    // The entries take Open's identity raised by their places.
    GUID entry = wav[0].name;
    ++entry.Data1;
    EXPECT_TRUE(IsEqualGUID(wav[1].name, entry));
    // Two audio files: the player of playlists, and no drop-down.
    EXPECT_EQ(shown(bar({L"song.mp3", L"other.mp3"})),
              (std::vector<std::string>{"Open", "Play All Music", "Play All Video"}));
    // What cannot be opened hides Open.
    EXPECT_TRUE(bar({L"song.mp3", L"clip.mp4"})[0].hidden());
    EXPECT_EQ(shown(bar({L"song.mp3"}))[1], "  Tunes");
}

TEST_F(CommandBar, SyncAndBackupHideForAnySelectionAndShareForAllButOneOrdinaryFolder) {
    start();
    const auto one = bar({L"Docs"});
    EXPECT_EQ(find(one, open_name())->state, ECS_HIDDEN) << "a folder is not opened here";
    EXPECT_EQ(titled(one, L"Share")->state, ECS_ENABLED);
    EXPECT_TRUE(titled(one, L"Sync files")->hidden());
    EXPECT_TRUE(titled(one, L"Backup PC")->hidden());

    const auto two = bar({L"Docs", L"Empty"});
    EXPECT_TRUE(titled(two, L"Share")->hidden());
    EXPECT_TRUE(titled(two, L"Sync files")->hidden());
    EXPECT_TRUE(titled(two, L"Backup PC")->hidden());

    EXPECT_EQ(titled(bar(), L"Sync files")->state, ECS_ENABLED);

    enter(L"Docs");
    EXPECT_TRUE(titled(bar({L"notes.txt"}), L"Share")->hidden()) << "a file is not shared";
}

TEST_F(CommandBar, TheEnumeratorAnswersAsTheInterfaceSays) {
    start();
    IEnumExplorerCommand* list = nullptr;
    ASSERT_EQ(shell_host::command_bar::provider_commands(browser.folder(), &list), S_OK);
    IExplorerCommand* got[8] = {};
    ULONG fetched = 99;
    EXPECT_EQ(list->Next(1, nullptr, &fetched), E_INVALIDARG);
    EXPECT_EQ(list->Next(2, got, nullptr), E_POINTER);
    EXPECT_EQ(list->Next(1, got, nullptr), S_OK);
    ASSERT_NE(got[0], nullptr);
    got[0]->Release();
    EXPECT_EQ(list->Next(8, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 5u);
    for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
    EXPECT_EQ(list->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(list->Reset(), S_OK);
    EXPECT_EQ(list->Next(6, got, &fetched), S_OK);
    EXPECT_EQ(fetched, 6u);
    for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
    EXPECT_EQ(list->Skip(1), E_NOTIMPL);
    IEnumExplorerCommand* copy = nullptr;
    EXPECT_EQ(list->Clone(&copy), E_NOTIMPL);
    list->Release();

    IExplorerCommandProvider* provider = nullptr;
    ASSERT_EQ(browser.folder()->CreateViewObject(nullptr, IID_IExplorerCommandProvider,
                                                 reinterpret_cast<void**>(&provider)),
              S_OK);
    void* other = nullptr;
    EXPECT_EQ(provider->GetCommands(nullptr, IID_IUnknown, &other), E_NOINTERFACE);
    EXPECT_EQ(provider->GetCommand(GUID_NULL, IID_IExplorerCommand, &other), E_NOTIMPL);
    provider->Release();
}

TEST_F(CommandBar, PlayAllPlaysTheFoldersFilesOfItsKindAndAProgramOfTheDropDownOpensTheFile) {
    wchar_t app_data[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, app_data), S_OK);
    const std::wstring playlists = std::wstring(app_data) + L"\\Calvimora\\Intermediate files";
    CreateDirectoryW((std::wstring(app_data) + L"\\Calvimora").c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(playlists.c_str(), nullptr));
    start();
    enter(L"Docs");
    win_test::clear_shell_executions();
    ASSERT_EQ(bar_->invoke(browser, {}, L"Play All Music"), S_OK);
    auto runs = win_test::shell_executions();
    ASSERT_EQ(runs.size(), 1u);
    // Three audio files: a playlist named after the folder, for the player
    // of playlists.
    EXPECT_NE(runs[0].file.find("Docs.m3u"), std::string::npos) << runs[0].file;
    std::string native = runs[0].file;
    std::replace(native.begin(), native.end(), '\\', '/');
    std::ifstream playlist(native);
    std::stringstream text;
    text << playlist.rdbuf();
    for (const char* name : {"song.mp3", "other.mp3", "tone.wav"})
        EXPECT_NE(text.str().find(std::string("#EXTINF:0,") + name), std::string::npos)
            << text.str();
    EXPECT_EQ(text.str().find("clip.mp4"), std::string::npos);

    // One video file goes to its player alone.
    win_test::clear_shell_executions();
    ASSERT_EQ(bar_->invoke(browser, {}, L"Play All Video"), S_OK);
    runs = win_test::shell_executions();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].file, narrow(shell_testing::movie_exe));

    // A program of Open's drop-down plays the selected song from its link.
    win_test::clear_shell_executions();
    {
        shell_host::extension_workers workers;
        ASSERT_EQ(bar_->invoke(browser, indices({L"song.mp3"}), L"Sound Player"), S_OK);
        ASSERT_TRUE(workers.wait(std::chrono::seconds(60)));
    }
    runs = win_test::shell_executions();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].file, narrow(shell_testing::player_exe));
    EXPECT_FALSE(runs[0].parameters.empty());
    // Nothing the bar does not offer runs.
    EXPECT_EQ(bar_->invoke(browser, indices({L"song.mp3"}), L"Sync files"), E_INVALIDARG);
    EXPECT_EQ(bar_->invoke(browser, indices({L"song.mp3"}), L"Share"), E_INVALIDARG);
}

TEST_F(CommandBar, ShareOpensTheSelectedFoldersSheetAtItsSharingPage) {
    start();
    int sheets = 0;
    int selected = -1;
    win_test::scoped_dialog_responder close([&](HWND sheet) {
        win_test::pump();
        ++sheets;
        selected = TabCtrl_GetCurSel(GetDlgItem(sheet, 351));
        win_test::press(sheet, IDCANCEL);
    });
    {
        shell_host::extension_workers workers;
        ASSERT_EQ(bar_->invoke(browser, indices({L"Docs"}), L"Share"), S_OK);
        ASSERT_TRUE(workers.wait(std::chrono::seconds(60)));
    }
    EXPECT_EQ(sheets, 1);
    EXPECT_EQ(selected, 1) << "the sharing page, after the general one";
}

TEST_F(CommandBar, BackupPCOpensTheProfileFoldersSheetWithBackupChosen) {
    start();
    int sheets = 0;
    bool backup = false;
    std::wstring local;
    win_test::scoped_dialog_responder close([&](HWND sheet) {
        if (!GetDlgItem(sheet, IDC_PROPSHEET_APPLY)) return;
        win_test::pump();
        ++sheets;
        const HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        backup = IsDlgButtonChecked(page, 510) == BST_CHECKED;
        local = win_test::text(GetDlgItem(page, 500));
        win_test::press(sheet, IDCANCEL);
    });
    ASSERT_EQ(bar_->invoke(browser, {}, L"Backup PC"), S_OK);
    EXPECT_EQ(sheets, 1);
    EXPECT_TRUE(backup) << "the page starts with Backup";
    EXPECT_NE(local.find(L"profile"), std::wstring::npos) << narrow(local);
}

TEST_F(CommandBar, TheHostShowsTheBarAndRunsTheSyncManagerThroughIt) {
    start();
    SHSetInstanceExplorer(nullptr);
    int managers = 0;
    win_test::scoped_dialog_responder close([&](HWND dialog) {
        ++managers;
        win_test::press(dialog, IDCANCEL);
    });
    const size_t docs = index_of(L"Docs");
    std::istringstream in("bar\nbar " + std::to_string(docs) + "\nbar do Sync files\nsyncmgr\n" +
                          "cd " + std::to_string(docs) + "\nbar do Nothing\n");
    std::ostringstream out;
    ASSERT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, in, out), 0);
    const std::string text = out.str();
    EXPECT_NE(text.find("  Sync files  [enabled]"), std::string::npos) << text;
    EXPECT_NE(text.find("  Share  [enabled]"), std::string::npos) << text;
    EXPECT_NE(text.find("the bar offers no command \"Sync files\""), std::string::npos)
        << "the last bar had a selection: " << text;
    EXPECT_NE(text.find("the bar offers no command \"Nothing\""), std::string::npos) << text;
    EXPECT_EQ(managers, 1) << text;
}

// Not the bar's, but the same host: the folder's own sheet as the file
// manager opens it for the folder's icon, through the registered handlers,
// titled with the folder's name and showing the account as the service
// holds it.
TEST_F(CommandBar, TheHostOpensTheDriveSheetOfTheFoldersIcon) {
    start();
    SHSetInstanceExplorer(nullptr);
    std::wstring title, user, level;
    win_test::scoped_dialog_responder close([&](HWND sheet) {
        if (!GetDlgItem(sheet, IDC_PROPSHEET_APPLY)) return;
        win_test::pump();
        title = win_test::text(sheet);
        const HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        user = win_test::text(GetDlgItem(page, 403));
        level = win_test::text(GetDlgItem(page, 404));
        win_test::press(sheet, IDCANCEL);
    });
    std::istringstream in("drive\n");
    std::ostringstream out;
    ASSERT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, in, out), 0);
    EXPECT_NE(out.str().find("closed"), std::string::npos) << out.str();
    EXPECT_EQ(title, L"Calvimora Properties");
    EXPECT_EQ(user, L"alice");
    std::string held;
    const auto state = env_.service().control("state");
    for (const auto& [key, account] : state.get_child("users"))
        if (account.get<std::string>("name") == "alice") held = account.get<std::string>("level");
    EXPECT_FALSE(held.empty());
    EXPECT_EQ(narrow(level), held);
}

}  // namespace
