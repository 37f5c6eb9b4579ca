// Pictures of the drive's sheet for people to look at: the page filled from
// the stand-in service for an account 0 %, 30 %, 50 % and 100 % full, and
// for one without a limit.
//
//   shell_drive_snapshots <folder>
#include <cstdio>
#include <filesystem>
#include <string>

#include "folder/module/module.h"
#include "service_fixture.h"
#include "ui/properties_drive.h"
#include "ui/snapshot_session.h"
#include "vfs/calvimora_client.h"
#include "win/machine.h"
#include "win/win_test.h"

namespace {

using calvimora::testing::json_object;

bool drive_sheet_picture(calvimora::testing::service& service, const std::string& name,
                         std::int64_t capacity, std::int64_t used, const std::string& path) {
    const std::string id = service
                               .control("add_user", json_object()
                                                        .set("name", name)
                                                        .set("password", "secret")
                                                        .set("level", "Premium")
                                                        .set("capacity", capacity))
                               .get<std::string>("user_id");
    if (used > 0) service.add_generated_file(id, "0", "archive.zip", used);
    snapshot_session logged_in(
        vfs_calvimora::client::log_in(std::wstring(name.begin(), name.end()), L"secret", L"pc-1"));
    replace_folder_session(&logged_in);
    bool saved = false;
    win_test::scoped_dialog_responder look([&](HWND sheet) {
        win_test::pump();
        saved = win_test::save_png(sheet, path);
        EndDialog(sheet, IDCANCEL);
    });
    ShowDriveSheet(nullptr);
    replace_folder_session(nullptr);
    if (saved) std::printf("%s\n", path.c_str());
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: shell_drive_snapshots <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::filesystem::create_directories(folder);
    win_machine::scoped_root root;
    CCalvimoraModule module;
    calvimora::testing::service service;
    service.export_url();
    const std::int64_t capacity = 20LL * 1024 * 1024;
    const struct {
        const char* user;
        std::int64_t capacity, used;
        const char* file;
    } pictures[] = {
        {"empty", capacity, 0, "drive_page_0.png"},
        {"third", capacity, capacity * 3 / 10, "drive_page_30.png"},
        {"half", capacity, capacity / 2, "drive_page_50.png"},
        {"full", capacity, capacity, "drive_page_100.png"},
        {"unlimited", 0, 7654321, "drive_page_unlimited.png"},
    };
    for (const auto& p : pictures)
        if (!drive_sheet_picture(service, p.user, p.capacity, p.used, folder + "/" + p.file)) {
            std::fprintf(stderr, "shell_drive_snapshots: cannot picture %s\n", p.file);
            return 1;
        }
    return 0;
}
