// The shell extension as Explorer meets it: registered through its own
// DllRegisterServer, created only through the registry and COM, browsed
// by the shell host against the stand-in service.
#include <gtest/gtest.h>
#include <utf8.h>

#include <unistd.h>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>

#include "shell_browser.h"
#include "shell_host.h"
#include "terminal_browser.h"
#include "terminal_person.h"
#include "utils/class_ids.h"
#include "utils/named_mutex.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/shell.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/win_test.h"

namespace {

using namespace vfs_session_testing;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

std::string hex_of(LPCITEMIDLIST list, size_t size) {
    std::ostringstream out;
    const auto* at = reinterpret_cast<const unsigned char*>(list);
    for (size_t i = 0; i < size; ++i)
        out << std::hex << std::setw(2) << std::setfill('0') << +at[i];
    return out.str();
}

std::wstring class_text(REFCLSID clsid) {
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    return text;
}

std::vector<std::wstring> names_of(const shell_host::shell_browser& browser) {
    std::vector<std::wstring> names;
    for (const auto& item : browser.items()) names.push_back(item.name);
    return names;
}

size_t index_of(const shell_host::shell_browser& browser, const std::wstring& name) {
    const auto& items = browser.items();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].name == name) return i;
    ADD_FAILURE() << "no item named " << std::string(name.begin(), name.end());
    return items.size();
}

// alice's storage: the folders "Docs" (with "a.txt" of 1500 bytes,
// "song.mp3", "README" and the folder "Sub") and "Alpha", the file "beta",
// in the trash the file "old.txt" and the folder "gone", and bob's folder
// "Shared" shared with her.
class ShellBrowse : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(shell_host::register_server(module_path), S_OK);
        ASSERT_EQ(apartment_.status(), S_OK);
        auto& service = env_.service();
        const std::string user = service.add_user("alice", "s3cret");
        user_id_ = user;
        const std::string docs = service.add_folder(user, "0", "Docs");
        text_id_ = service.add_generated_file(user, docs, "a.txt", 1500, 7);
        service.add_file(user, docs, "song.mp3", "ID3");
        service.add_file(user, docs, "README", "read me");
        service.add_folder(user, docs, "Sub");
        service.add_folder(user, "0", "Alpha");
        service.add_file(user, "0", "beta", "b");
        service.add_file(user, "0", "old.txt", "old");
        service.add_folder(user, "0", "gone");
        const std::string bob = service.add_user("bob", "b0b");
        service.add_share(bob, service.add_folder(bob, "0", "Shared"), user);
    }
    void TearDown() override {
        browser.close();
        shell_host::unload_unused_servers();
    }

    void log_in() {
        vfs_calvimora::login(test_module(), L"alice", L"s3cret");
        auto root = vfs_calvimora::get_client(test_module())->get_root_directory();
        root->delete_item(root->get_item(L"old.txt", true), true);
        root->delete_item(root->get_item(L"gone", true), true);
    }

    environment env_;
    tray_stand_in tray_;
    shell_host::com_apartment apartment_;
    shell_host::shell_browser browser;
    std::string text_id_;
    std::string user_id_;
};

TEST_F(ShellBrowse, TheFolderStandsUnderComputerAndFlagsZeroAskNothing) {
    IShellFolder* desktop = nullptr;
    ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    std::wstring name =
        L"::" + class_text(CLSID_MyComputer) + L"\\::" + class_text(utils::clsid_calvimora_folder);
    PIDLIST_RELATIVE list = nullptr;
    ULONG attributes = ~0u;
    ASSERT_EQ(desktop->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &list, &attributes),
              S_OK);
    EXPECT_EQ(attributes, 0xB8C00153u);
    IShellFolder* folder = nullptr;
    ASSERT_EQ(
        desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)),
        S_OK);
    STRRET parsing{};
    ASSERT_EQ(desktop->GetDisplayNameOf(list, SHGDN_FORPARSING, &parsing), S_OK);
    EXPECT_STREQ(parsing.pOleStr, name.c_str());
    CoTaskMemFree(parsing.pOleStr);
    CoTaskMemFree(list);
    desktop->Release();

    log_in();
    env_.service().requests(true);
    IEnumIDList* items = reinterpret_cast<IEnumIDList*>(1);
    EXPECT_EQ(folder->EnumObjects(nullptr, 0, &items), S_FALSE);
    EXPECT_EQ(items, nullptr);
    for (const auto& request : env_.service().requests())
        EXPECT_EQ(request.action.rfind("list", 0), std::string::npos)
            << "flags 0 lists nothing: " << request.action;
    EXPECT_EQ(folder->Release(), 0u);
}

TEST_F(ShellBrowse, NobodyLoggedInAndNoDialogAllowedFailsAndTheLoginMutexStaysFree) {
    ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
    const BYTE record[843] = {0x48, 0x03, 1};
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(browser.folder()->BindToObject(reinterpret_cast<LPCITEMIDLIST>(record), nullptr,
                                             IID_IShellFolder, &object),
              E_FAIL);
    EXPECT_EQ(object, nullptr);
    bool taken = false;
    std::thread other([&] {
        utils::named_mutex mutex(L"Local\\CMV_LOGIN_MUTEX");
        taken = mutex.try_lock_for(std::chrono::milliseconds(0));
        if (taken) mutex.unlock();
    });
    other.join();
    EXPECT_TRUE(taken) << "another thread takes the login mutex at once";
}

TEST_F(ShellBrowse, NobodyLoggedInTheExtensionsLoginDialogLogsInAndTheFolderOpens) {
    int dialogs = 0;
    win_test::scoped_dialog_responder person([&](HWND dialog) {
        ++dialogs;
        SetWindowTextW(win_test::control(dialog, 301), L"alice");
        SetWindowTextW(win_test::control(dialog, 302), L"s3cret");
        win_test::press(dialog, IDOK);
    });
    ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
    ASSERT_EQ(browser.list(SHCONTF_FOLDERS), S_OK);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(names_of(browser),
              (std::vector<std::wstring>{L"Alpha", L"Docs", L"gone", L"Shared Folders", L"Trash"}));
    EXPECT_TRUE(vfs_calvimora::is_logged_in(test_module()));
}

TEST_F(ShellBrowse, TheRootListsInBatchesSortedWithItsAttributesAndColumns) {
    log_in();
    const long blocks = win_test::live_task_allocations();
    ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
    ASSERT_EQ(browser.list(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, 3), S_OK);
    EXPECT_EQ(names_of(browser),
              (std::vector<std::wstring>{L"Alpha", L"Docs", L"Shared Folders", L"Trash", L"beta"}));
    std::vector<std::wstring> headings;
    for (const auto& column : browser.headings()) headings.push_back(column.text);
    EXPECT_EQ(headings, (std::vector<std::wstring>{L"Name", L"Type", L"Size", L"Date accessed",
                                                   L"Date modified"}));
    EXPECT_EQ(browser.headings()[2].format, LVCFMT_RIGHT);
    const auto& trash = browser.items()[index_of(browser, L"Trash")];
    const SFGAOF fixed_folder = SFGAO_HASPROPSHEET | SFGAO_FOLDER | SFGAO_BROWSABLE |
                                SFGAO_DROPTARGET | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR |
                                SFGAO_STORAGE;
    EXPECT_EQ(trash.attributes, fixed_folder);
    EXPECT_EQ(browser.items()[index_of(browser, L"Shared Folders")].attributes,
              fixed_folder | SFGAO_HASSUBFOLDER)
        << "bob's folder is in it";
    EXPECT_EQ(browser.items()[index_of(browser, L"beta")].attributes,
              SFGAO_HASPROPSHEET | SFGAO_CANDELETE | SFGAO_CANCOPY | SFGAO_CANMOVE |
                  SFGAO_CANRENAME | SFGAO_FILESYSTEM | SFGAO_STREAM);
    EXPECT_EQ(browser.items()[index_of(browser, L"Docs")].attributes & SFGAO_CANRENAME,
              SFGAO_CANRENAME);

    // Five items in batches of three: the second batch is short.
    IEnumIDList* all = nullptr;
    ASSERT_EQ(browser.folder()->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &all),
              S_OK);
    PITEMID_CHILD got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(all->Next(3, got, &fetched), S_OK);
    EXPECT_EQ(fetched, 3u);
    for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(got[i]);
    EXPECT_EQ(all->Next(3, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(got[i]);
    all->Release();

    // The trash: its file can only be deleted, and nothing below its folder opens.
    ASSERT_EQ(browser.enter(index_of(browser, L"Trash")), S_OK);
    EXPECT_EQ(names_of(browser), (std::vector<std::wstring>{L"gone", L"old.txt"}));
    EXPECT_EQ(browser.items()[1].attributes,
              SFGAO_HASPROPSHEET | SFGAO_CANDELETE | SFGAO_STREAM | SFGAO_FILESYSTEM);
    IShellFolder* gone = nullptr;
    ASSERT_EQ(browser.folder()->BindToObject(browser.items()[0].id, nullptr, IID_IShellFolder,
                                             reinterpret_cast<void**>(&gone)),
              S_OK);
    env_.service().requests(true);
    void* below = reinterpret_cast<void*>(1);
    EXPECT_EQ(gone->BindToObject(browser.items()[1].id, nullptr, IID_IShellFolder, &below),
              E_NOINTERFACE);
    EXPECT_TRUE(env_.service().requests().empty());
    gone->Release();

    browser.close();
    shell_host::unload_unused_servers();
    EXPECT_EQ(win_test::live_task_allocations(), blocks) << "every item id was freed";
}

TEST_F(ShellBrowse, ADocumentsNamesColumnsOrderAndPlaceTwoLevelsDown) {
    log_in();
    ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
    ASSERT_EQ(browser.list(), S_OK);
    ASSERT_EQ(browser.enter(index_of(browser, L"Docs")), S_OK);
    EXPECT_EQ(names_of(browser),
              (std::vector<std::wstring>{L"Sub", L"a.txt", L"README", L"song.mp3"}));
    const size_t text = index_of(browser, L"a.txt");
    const auto& columns = browser.items()[text].columns;
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[0], L"a.txt");
    EXPECT_EQ(columns[2], L"2 KB");
    EXPECT_TRUE(browser.items()[0].columns[2].empty()) << "a folder has no size";

    const std::wstring junction =
        L"::" + class_text(CLSID_MyComputer) + L"\\::" + class_text(utils::clsid_calvimora_folder);
    EXPECT_EQ(browser.display_name(text, SHGDN_INFOLDER | SHGDN_FORPARSING), L"a.txt");
    EXPECT_EQ(browser.display_name(text, SHGDN_NORMAL), L"a.txt");
    EXPECT_EQ(browser.display_name(text, SHGDN_FORPARSING | SHGDN_FORADDRESSBAR),
              junction + L"\\Docs\\a.txt");
    // Another program gets the copy's place in the native form, and parses
    // it back to the item.
    const std::wstring local = browser.display_name(text, SHGDN_FORPARSING);
    wchar_t app_data[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, app_data, CSIDL_LOCAL_APPDATA, FALSE));
    EXPECT_EQ(local, std::wstring(app_data) + L"/Calvimora/alice/files_saved/Docs/a.txt");
    std::wstring parsed_name = local;
    ULONG eaten = 0;
    PIDLIST_RELATIVE parsed = nullptr;
    ASSERT_EQ(browser.folder()->ParseDisplayName(nullptr, nullptr, parsed_name.data(), &eaten,
                                                 &parsed, nullptr),
              S_OK);
    EXPECT_EQ(eaten, local.size() + 1);
    ILFree(parsed);
    EXPECT_EQ(browser.location(), junction + L"\\Docs");

    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(browser.details_ex(index_of(browser, L"README"), PKEY_ItemType, &value), S_OK);
    EXPECT_STREQ(value.bstrVal, L"");
    VariantClear(&value);
    ASSERT_EQ(browser.details_ex(text, PKEY_Size, &value), S_OK);
    EXPECT_EQ(value.ullVal, 1500u);
    SHCOLSTATEF state = 0;
    ASSERT_EQ(browser.folder()->GetDefaultColumnState(3, &state), S_OK);
    EXPECT_EQ(state, 0x03u);
    SHELLDETAILS details{};
    EXPECT_EQ(browser.folder()->GetDetailsOf(browser.items()[text].id, 5, &details), E_INVALIDARG);

    // The file read through the stream the folder binds it to is the service's copy.
    std::vector<unsigned char> bytes;
    ASSERT_EQ(browser.read_file(text, bytes), S_OK);
    const std::string stored = env_.service().file_content(text_id_);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), stored);
    EXPECT_EQ(bytes.size(), 1500u);
    EXPECT_EQ(browser.read_file(0, bytes), E_NOINTERFACE) << "a folder has no stream";

    // Dates do not sort; a longer path comes first in canonical order.
    IShellFolder2* docs = browser.folder();
    EXPECT_EQ(docs->CompareIDs(3, browser.items()[1].id, browser.items()[2].id), S_OK);
    LPITEMIDLIST two = ILCombine(browser.items()[0].id, browser.items()[1].id);
    EXPECT_EQ(docs->CompareIDs(SHCIDS_CANONICALONLY, two, browser.items()[1].id), 0xFFFF);
    CoTaskMemFree(two);

    ASSERT_EQ(browser.enter(0), S_OK);
    IPersistFolder2* persist = nullptr;
    browser.folder()->QueryInterface(IID_IPersistFolder2, reinterpret_cast<void**>(&persist));
    PIDLIST_ABSOLUTE place = nullptr;
    ASSERT_EQ(persist->GetCurFolder(&place), S_OK);
    ASSERT_EQ(ILGetSize(place), 40u + 2 * 840 + 2) << "the junction and two records";
    EXPECT_EQ(reinterpret_cast<const BYTE*>(place)[40 + 2 * 840 + 2], 0) << "three zero bytes";
    CoTaskMemFree(place);
    persist->Release();
}

TEST_F(ShellBrowse, RenamingChangesTheServiceAndNotifiesOnceAndADuplicateShowsOneBox) {
    log_in();
    ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
    ASSERT_EQ(browser.list(), S_OK);
    ASSERT_EQ(browser.enter(index_of(browser, L"Docs")), S_OK);
    const size_t text = index_of(browser, L"a.txt");

    IPersistFolder2* persist = nullptr;
    browser.folder()->QueryInterface(IID_IPersistFolder2, reinterpret_cast<void**>(&persist));
    PIDLIST_ABSOLUTE place = nullptr;
    ASSERT_EQ(persist->GetCurFolder(&place), S_OK);
    persist->Release();
    LPITEMIDLIST old_list = ILCombine(place, browser.items()[text].id);

    win_test::clear_shell_notifications();
    ASSERT_EQ(browser.rename(text, L"b.txt"), S_OK);
    EXPECT_EQ(browser.items()[text].name, L"b.txt");
    LPITEMIDLIST new_list = ILCombine(place, browser.items()[text].id);
    const auto notes = win_test::shell_notifications();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].event, SHCNE_RENAMEITEM);
    EXPECT_EQ(notes[0].item1, hex_of(old_list, ILGetSize(old_list) - 2));
    EXPECT_EQ(notes[0].item2, hex_of(new_list, ILGetSize(new_list) - 2));
    EXPECT_EQ(env_.service().file_info(text_id_).size, 1500);

    ASSERT_EQ(browser.list(), S_OK);
    EXPECT_EQ(names_of(browser),
              (std::vector<std::wstring>{L"Sub", L"b.txt", L"README", L"song.mp3"}));

    win_test::clear_message_boxes();
    EXPECT_EQ(browser.rename(index_of(browser, L"b.txt"), L"README"), E_FAIL);
    EXPECT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(win_test::shell_notifications().size(), 1u) << "no notification for a refusal";
    EXPECT_EQ(browser.items()[index_of(browser, L"b.txt")].name, L"b.txt");
    for (LPITEMIDLIST list : {place, old_list, new_list}) CoTaskMemFree(list);
}

// A renamed item takes its place in the folder's order, as a view re-sorts
// it: the items stay as a new listing gives them.
TEST_F(ShellBrowse, ARenamedItemTakesItsPlaceInTheOrder) {
    log_in();
    ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
    ASSERT_EQ(browser.list(), S_OK);
    ASSERT_EQ(browser.enter(index_of(browser, L"Docs")), S_OK);
    ASSERT_EQ(browser.rename(index_of(browser, L"a.txt"), L"zz last.txt"), S_OK);
    const std::vector<std::wstring> shown = names_of(browser);
    ASSERT_EQ(browser.list(), S_OK);
    EXPECT_EQ(shown, names_of(browser));
    EXPECT_EQ(shown.back(), L"zz last.txt");
}

}  // namespace

namespace {

TEST_F(ShellBrowse, APersonBrowsesOnTheTerminalReadsAFileAndRenamesIt) {
    log_in();
    std::istringstream typed("cd 1\ncat 3\nmv 2 LIESMICH\ncd ..\nnames 4\nwhat\nquit\n");
    std::ostringstream shown;
    ASSERT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, typed, shown), 0);
    const std::string screen = shown.str();
    EXPECT_NE(screen.find("Date modified"), std::string::npos);
    EXPECT_NE(screen.find("ID3\n(3 bytes)"), std::string::npos) << "song.mp3 read out";
    EXPECT_NE(screen.find("LIESMICH"), std::string::npos);
    EXPECT_NE(screen.find("for the address bar: ::{"), std::string::npos);
    EXPECT_NE(screen.find("unknown command"), std::string::npos);
    EXPECT_EQ(screen.find("failed"), std::string::npos) << screen;
}

// The columns a line of the listing takes on a terminal, wide characters
// taking two.
size_t terminal_columns(const std::string& line) {
    size_t columns = 0;
    for (const wchar_t character : utf8::utf8to32(line))
        columns += (character >= 0x3040 && character <= 0x9FFF) ? 2 : 1;
    return columns;
}

// A person's slips are told in plain sentences, at once: a copy into a
// local folder that is not there, a new name with a separator, and a
// listing with names of wide characters keeps its columns.
TEST_F(ShellBrowse, ThePersonsSlipsAreToldPlainlyAndWideNamesKeepTheColumns) {
    env_.service().add_file(user_id_, "0", "\u65e5\u672c\u8a9e\u306e\u30e1\u30e2.txt", "wide");
    log_in();
    // A folder below a file can not be made, whoever asks.
    const std::filesystem::path blocker =
        std::filesystem::temp_directory_path() / ("blocker-" + std::to_string(getpid()));
    std::ofstream(blocker) << "a file";
    const std::string missing = (blocker / "folder").string();
    std::istringstream typed("ls\ncd 1\nget 0 " + missing + "\npaste " + missing +
                             "\nmv 0 sub/b.txt\nquit\n");
    std::ostringstream shown;
    win_test::clear_message_boxes();
    ASSERT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, typed, shown), 0);
    const std::string screen = shown.str();
    const std::string refused = "the local folder " + missing + " is not there and can not be made";
    const size_t first = screen.find(refused);
    EXPECT_NE(first, std::string::npos) << screen;
    EXPECT_NE(screen.find(refused, first + 1), std::string::npos) << "the paste's" << screen;
    EXPECT_NE(screen.find("a name can not hold \"/\""), std::string::npos) << screen;
    EXPECT_TRUE(win_test::message_boxes().empty()) << "no box, no retries";
    std::filesystem::remove(blocker);

    // Every row of the first listing ends at the same column as its heading.
    std::istringstream lines(screen);
    std::vector<size_t> widths;
    for (std::string line; std::getline(lines, line) && line.find("> ") != 0;) {
        if (line.find("  # ") == 0 || (line.size() > 4 && std::isdigit(line[2]))) {
            const size_t end = line.find("[folder]");
            widths.push_back(
                terminal_columns(end == std::string::npos ? line : line.substr(0, end)));
        }
    }
    ASSERT_GE(widths.size(), 3u);
    for (const size_t width : widths) EXPECT_EQ(width, widths.front()) << screen;
}

}  // namespace

namespace {

// The host program run under Explorer's name gets Explorer's names.
TEST_F(ShellBrowse, InExplorerAParsingNameIsTheNamespacePath) {
    log_in();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("explorer-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path explorer = folder / "explorer.exe";
    std::filesystem::copy_file(program_folder() / "calvimora_explorer", explorer,
                               std::filesystem::copy_options::overwrite_existing);
    std::ofstream(folder / "typed") << "cd 1\nnames 1\nquit\n";
    const std::wstring wide_class = class_text(utils::clsid_calvimora_folder);
    const std::string folder_class(wide_class.begin(), wide_class.end());
    const std::string command = "'" + explorer.string() + "' browse " + folder_class + " <'" +
                                (folder / "typed").string() + "' >'" + (folder / "shown").string() +
                                "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream shown_file(folder / "shown");
    const std::string shown((std::istreambuf_iterator<char>(shown_file)),
                            std::istreambuf_iterator<char>());
    std::filesystem::remove_all(folder);
    const std::string junction = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::" + folder_class;
    EXPECT_NE(shown.find("  for parsing: " + junction + "\\Docs\\a.txt\n"), std::string::npos)
        << shown;
}

}  // namespace

namespace {

// Every folder under the machine's root.
std::set<std::filesystem::path> folders_of_the_machine() {
    std::set<std::filesystem::path> folders;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(std::getenv("CALVIMORA_MACHINE_ROOT")))
        if (entry.is_directory()) folders.insert(entry.path());
    return folders;
}

// A name the service itself refuses, stored as another service, or a user
// who shares a folder through one, could have left it.
std::string add_unchecked(calvimora::testing::service& service, const std::string& verb,
                          const std::string& owner, const std::string& parent,
                          const std::string& name) {
    auto args = calvimora::testing::json_object()
                    .set("owner_id", owner)
                    .set(verb == "add_folder" ? "parent_id" : "dir_id", parent)
                    .set("name", name)
                    .set("unchecked_name", true);
    const auto answer = service.control(verb, args);
    return answer.get<std::string>(verb == "add_folder" ? "dir_id" : "file_id");
}

// Remote names that would climb out of the saved-files folder get no
// local path in another program, and no folder is made for them.
TEST_F(ShellBrowse, RemoteNamesThatLeaveTheSavedFilesFolderGetNoLocalPath) {
    auto& service = env_.service();
    const std::string made =
        add_unchecked(service, "add_folder", user_id_, "0", "..\\..\\made_outside");
    add_unchecked(service, "add_folder", user_id_, made, "inner");
    add_unchecked(service, "add_folder", user_id_, "0", "x/../../../slash_outside");
    const std::string docs = service.add_folder(user_id_, "0", "Plain");
    add_unchecked(service, "add_file", user_id_, docs, "..\\..\\..\\escaped.txt");
    add_unchecked(service, "add_file", user_id_, docs, "..");
    service.add_file(user_id_, docs, "fine.txt", "fine");
    log_in();
    ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
    ASSERT_EQ(browser.list(), S_OK);

    const auto refused = [&](size_t index) {
        STRRET name{};
        const HRESULT result =
            browser.folder()->GetDisplayNameOf(browser.items()[index].id, SHGDN_FORPARSING, &name);
        if (SUCCEEDED(result)) {
            LPWSTR text = nullptr;
            StrRetToStrW(&name, browser.items()[index].id, &text);
            ADD_FAILURE() << "a local path was handed out: "
                          << std::string(text, text + std::wcslen(text));
            CoTaskMemFree(text);
        }
        return result == E_FAIL;
    };
    // A plain name first: the saved-files folder itself is made on demand.
    EXPECT_NE(browser.display_name(index_of(browser, L"Plain"), SHGDN_FORPARSING)
                  .find(L"/alice/files_saved/Plain"),
              std::wstring::npos);
    const auto before = folders_of_the_machine();
    EXPECT_TRUE(refused(index_of(browser, L"..\\..\\made_outside")));
    EXPECT_TRUE(refused(index_of(browser, L"x/../../../slash_outside")));
    EXPECT_EQ(browser.display_name(index_of(browser, L"..\\..\\made_outside"), SHGDN_INFOLDER),
              L"..\\..\\made_outside")
        << "the name itself is shown as it stands";

    // A refused level above the folder refuses its items too.
    ASSERT_EQ(browser.enter(index_of(browser, L"..\\..\\made_outside")), S_OK);
    ASSERT_EQ(browser.list(), S_OK);
    EXPECT_TRUE(refused(index_of(browser, L"inner")));
    ASSERT_EQ(browser.up(), S_OK);
    ASSERT_EQ(browser.list(), S_OK);

    ASSERT_EQ(browser.enter(index_of(browser, L"Plain")), S_OK);
    ASSERT_EQ(browser.list(), S_OK);
    EXPECT_TRUE(refused(index_of(browser, L"..\\..\\..\\escaped.txt")));
    EXPECT_TRUE(refused(index_of(browser, L"..")));
    EXPECT_EQ(folders_of_the_machine(), before) << "no folder was made for a refused name";

    const std::wstring fine =
        browser.display_name(index_of(browser, L"fine.txt"), SHGDN_FORPARSING);
    EXPECT_NE(fine.find(L"/alice/files_saved/Plain/fine.txt"), std::wstring::npos);
}

}  // namespace

namespace {

// What the terminal host answers a person, in words: the item that is no
// folder or no file, a command without what it needs, a local file that is
// not there, a menu command the item does not have.
TEST_F(ShellBrowse, TheTerminalHostSaysWhatWentWrongInWords) {
    log_in();
    const std::string missing =
        (std::filesystem::temp_directory_path() / ("no-such-" + std::to_string(getpid()) + ".txt"))
            .string();
    std::istringstream typed("cd 1\ncd 1\ncat 0\nmv 1\ncd\nget 1\nput " + missing +
                             "\ndo 1 frobnicate\ndo 1 Open\nquit\n");
    std::ostringstream shown;
    ASSERT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, typed, shown), 0);
    const std::string screen = shown.str();
    EXPECT_NE(screen.find("item 1 is not a folder"), std::string::npos) << screen;
    EXPECT_NE(screen.find("item 0 is a folder, not a file"), std::string::npos);
    EXPECT_NE(screen.find("usage: mv N NEW NAME"), std::string::npos);
    EXPECT_NE(screen.find("usage: cd N | cd .."), std::string::npos);
    EXPECT_NE(screen.find("usage: get N[,M..] DIR"), std::string::npos);
    EXPECT_NE(screen.find("no such file or folder: " + missing), std::string::npos);
    EXPECT_NE(screen.find("the item has no command \"frobnicate\"; menu 1 lists"),
              std::string::npos);
    EXPECT_EQ(screen.find("0x"), std::string::npos) << "no codes: " << screen;
}

}  // namespace

namespace {

// A person opens a file's property sheet on the terminal host, sees its
// tabs, looks at the sync page, goes back to the general page, types a
// description and presses OK: the service gets the description, and the
// host lists the folder again once the sheet has closed.
TEST_F(ShellBrowse, APersonChangesAFilesDescriptionInItsSheetOnTheTerminal) {
    log_in();
    env_.service().requests(true);
    std::string first, sync_shown, general_shown, after_typing;
    {
        terminal_testing::terminal_person person;
        std::thread answering([&] {
            // In Docs: 0 Sub, 1 a.txt, 2 README, 3 song.mp3.
            first = person.next_dialog();
            if (person.choose(first, "tab Sync")) sync_shown = person.next_dialog();
            if (person.choose(sync_shown, "tab General")) general_shown = person.next_dialog();
            // The description's edit is labelled above, not beside it.
            if (person.choose(general_shown, "Text [")) {
                person.type("Quarterly figures");
                after_typing = person.next_dialog();
                person.choose(after_typing, "<OK>");
            }
            person.leave();
        });
        std::istringstream typed("cd 1\nprops 1\nquit\n");
        std::ostringstream shown;
        EXPECT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, typed, shown), 0);
        answering.join();
        EXPECT_EQ(shown.str().find("failed"), std::string::npos) << shown.str();
        // The folder listed on entering it and again after the sheet.
        size_t listings = 0;
        for (size_t at = shown.str().find("song.mp3"); at != std::string::npos;
             at = shown.str().find("song.mp3", at + 1))
            ++listings;
        EXPECT_EQ(listings, 2u) << shown.str();
    }
    EXPECT_NE(first.find("[dialog] a.txt Properties"), std::string::npos) << first;
    EXPECT_NE(first.find("tab General (shown)"), std::string::npos) << first;
    EXPECT_NE(first.find("tab Sync & Backup\n"), std::string::npos) << first;
    EXPECT_EQ(first.find("tab Sharing"), std::string::npos) << "a file is shared by its folder";
    EXPECT_NE(first.find("[a.txt]"), std::string::npos) << "the name in its edit: " << first;
    // The page reads the access on a thread of its own and shows it when it
    // comes, so the first print may precede it; by the return to the tab it
    // has come.
    EXPECT_NE(general_shown.find("(*) Private"), std::string::npos)
        << "the access chosen: " << general_shown;
    EXPECT_NE(sync_shown.find("tab Sync & Backup (shown)"), std::string::npos) << sync_shown;
    EXPECT_EQ(sync_shown.find("[a.txt]"), std::string::npos) << "the general page is hidden";
    EXPECT_NE(general_shown.find("tab General (shown)"), std::string::npos) << general_shown;
    EXPECT_NE(after_typing.find("Text [Quarterly figures]"), std::string::npos) << after_typing;
    EXPECT_NE(after_typing.find("<Apply>\n"), std::string::npos) << "typing turned Apply on";

    std::vector<std::string> descriptions;
    for (const auto& request : env_.service().requests())
        if (request.action == "set_file_description")
            descriptions.push_back(request.params.at("description"));
    EXPECT_EQ(descriptions, std::vector<std::string>{"Quarterly figures"});
}

// The general page's read-only fields take no typing: the person is told
// so, the field keeps what the page showed and Apply stays off.
TEST_F(ShellBrowse, AReadOnlyFieldOfTheSheetRefusesWhatAPersonTypes) {
    log_in();
    std::string first, after_typing;
    {
        terminal_testing::terminal_person person;
        std::thread answering([&] {
            first = person.next_dialog();
            if (person.choose(first, "Type: [")) {
                person.type("Executable");
                after_typing = person.next_dialog();
                person.choose(after_typing, "<Cancel>");
            }
            person.leave();
        });
        std::istringstream typed("cd 1\nprops 1\nquit\n");
        std::ostringstream shown;
        EXPECT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, typed, shown), 0);
        answering.join();
    }
    EXPECT_NE(first.find("Type: ["), std::string::npos) << first;
    EXPECT_NE(first.find("(read-only)"), std::string::npos) << first;
    EXPECT_EQ(after_typing.find("Executable"), std::string::npos) << after_typing;
    EXPECT_NE(after_typing.find("<Apply> (disabled)"), std::string::npos) << after_typing;
}

}  // namespace
