// An opened remote file edited in its local copy while the real tray
// program runs: the copy's binding, added by the extension in this
// process, is picked up by the tray's running engine, which uploads the
// edit within its cycle.
#include <boost/filesystem/operations.hpp>
#include <chrono>
#include <fstream>
#include <sstream>

#include "item_transfer.h"
#include "shell_browser.h"
#include "shell_host.h"
#include "syncer/manager.h"
#include "tray_process_support.h"
#include "utils/class_ids.h"
#include "win/shell_thread.h"
#include "win/test_journal.h"

namespace tray_process_testing {
namespace {

const std::wstring extension(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

std::string read_file(const fs::path& path) {
    std::ifstream in(path.string(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

size_t index_of(const shell_host::shell_browser& browser, const std::wstring& name) {
    const auto& items = browser.items();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].name == name) return i;
    ADD_FAILURE() << "no item named " << std::string(name.begin(), name.end());
    return items.size();
}

using TrayOpenEdit = TrayProcessTest;

TEST_F(TrayOpenEdit, AnEditOfAnOpenedCopyIsUploadedByTheRunningTray) {
    ASSERT_EQ(shell_host::register_server(extension), S_OK);
    const std::string letter = service_.add_file(user_id_, documents_id_, "letter.txt", "dear bob");
    tray_process tray;
    ASSERT_TRUE(eventually([] { return last_tray_icon() == 130; })) << "logged in";

    {
        shell_host::com_apartment apartment;
        ASSERT_EQ(apartment.status(), S_OK);
        win_test::process_reference process;
        SHSetInstanceExplorer(&process);
        shell_host::shell_browser browser;
        ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
        ASSERT_EQ(browser.list(), S_OK);
        ASSERT_EQ(browser.enter(index_of(browser, L"Documents")), S_OK);
        ASSERT_EQ(
            shell_host::invoke_item_command(browser, {index_of(browser, L"letter.txt")}, L"Open"),
            S_OK);
        EXPECT_TRUE(process.wait_until_released(std::chrono::seconds(60)));
        SHSetInstanceExplorer(nullptr);
        browser.close();
    }
    shell_host::unload_unused_servers();
    EXPECT_TRUE(win_test::message_boxes().empty());

    const fs::path copy =
        syncer::manager::get_files_saved_directory(L"alice") / L"Documents" / L"letter.txt";
    ASSERT_EQ(read_file(copy), "dear bob");
    std::ofstream(copy.string(), std::ios::binary | std::ios::trunc) << "dear bob, see you soon";
    // Later than the remote date, as any edit of the copy is.
    const std::time_t later = fs::last_write_time(copy) + 60;
    fs::last_write_time(copy, later);

    EXPECT_TRUE(
        eventually([&] { return service_.file_content(letter) == "dear bob, see you soon"; },
                   std::chrono::seconds(90)))
        << "the service holds the edited bytes";
    EXPECT_EQ(read_file(copy), "dear bob, see you soon") << "the copy itself is left as edited";
}

}  // namespace
}  // namespace tray_process_testing
