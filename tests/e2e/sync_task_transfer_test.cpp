// Uploads, downloads and removals of sync tasks on real files and the
// stand-in service.
#include <algorithm>

#include "sync_task_support.h"
#include "syncer/core/user_interface.h"
#include "syncer/tasks/task_local_files.h"

namespace sync_task_testing {
namespace {

using syncer::task;

bool has_transfer(const std::vector<std::string>& commands) {
    return std::any_of(commands.begin(), commands.end(), [](const std::string& command) {
        return command.rfind("STOR", 0) == 0 || command.rfind("APPE", 0) == 0 ||
               command.rfind("RETR", 0) == 0;
    });
}

TEST_F(sync_task_test, UploadSendsTheFileWithItsTimeAndOnlyWhenItDiffers) {
    const std::string bytes = pattern(200000, 1);
    write_file(local_file("report.bin"), bytes, base_time);
    write_file(local_file("empty.txt"), "", base_time);

    // The remote folder is made on the way.
    auto job = make(task::kind_upload, L"\\Docs\\New", local_folder(), L"report.bin");
    ASSERT_TRUE(run(*job));
    ASSERT_TRUE(job->is_done()) << syncer::to_utf8(job->get_message());
    EXPECT_EQ(job->get_state().progress, 100);
    EXPECT_EQ(job->get_state().size, 200000);
    const auto sent = remote("/Docs/New/report.bin");
    ASSERT_TRUE(sent && sent->live);
    EXPECT_EQ(sent->date_modified, base_time);
    EXPECT_TRUE(same_bytes(bytes, service().file_content(sent->id)));
    EXPECT_TRUE(temp_names().empty());

    take_transfer_commands();
    auto again = make(task::kind_upload, L"\\Docs\\New", local_folder(), L"report.bin");
    ASSERT_TRUE(run(*again));
    EXPECT_TRUE(again->is_done());
    EXPECT_FALSE(has_transfer(take_transfer_commands()));

    auto empty = make(task::kind_upload, L"\\Docs", local_folder(), L"empty.txt");
    ASSERT_TRUE(run(*empty));
    EXPECT_TRUE(empty->is_done());
    const auto sent_empty = remote("/Docs/empty.txt");
    ASSERT_TRUE(sent_empty && sent_empty->live);
    EXPECT_EQ(sent_empty->size, 0);
    EXPECT_EQ(sent_empty->date_modified, base_time);
}

TEST_F(sync_task_test, UploadReplacesAnOlderRemoteFileAndRefusesANewerOne) {
    const std::string older = add_remote_file(docs_id_, "a.txt", "old remote", base_time - 100);
    write_file(local_file("a.txt"), "new local content", base_time);
    auto job = make(task::kind_upload, L"\\Docs", local_folder(), L"a.txt");
    ASSERT_TRUE(run(*job));
    ASSERT_TRUE(job->is_done()) << syncer::to_utf8(job->get_message());
    const auto replaced = remote("/Docs/a.txt");
    ASSERT_TRUE(replaced && replaced->live);
    EXPECT_EQ(replaced->id, older);
    EXPECT_EQ(replaced->date_modified, base_time);
    EXPECT_EQ(service().file_content(older), "new local content");

    const std::string newer = add_remote_file(docs_id_, "b.txt", "remote wins", base_time + 100);
    write_file(local_file("b.txt"), "local loses", base_time);
    auto refused = make(task::kind_upload, L"\\Docs", local_folder(), L"b.txt");
    ASSERT_TRUE(run(*refused));
    EXPECT_TRUE(refused->is_failed());
    EXPECT_EQ(refused->get_error_kind(), syncer::message_kind::none);
    EXPECT_EQ(refused->get_message(), L"Remote file is newer than local");
    EXPECT_EQ(service().file_content(newer), "remote wins");
    EXPECT_EQ(read_file(local_file("b.txt")), "local loses");
}

TEST_F(sync_task_test, AnUploadOnlyBindingUpdatesExistingRemoteFilesOnly) {
    write_file(local_file("only-local.txt"), "stays here", base_time);
    auto skipped = make(task::kind_upload, L"\\Docs", local_folder(), L"only-local.txt",
                        syncer::binding::type_upload_only);
    ASSERT_TRUE(run(*skipped));
    EXPECT_TRUE(skipped->is_done());
    EXPECT_FALSE(remote("/Docs/only-local.txt"));

    const std::string id = add_remote_file(docs_id_, "shared.txt", "older", base_time - 5);
    write_file(local_file("shared.txt"), "sent in place", base_time);
    auto sent = make(task::kind_upload, L"\\Docs", local_folder(), L"shared.txt",
                     syncer::binding::type_upload_only);
    ASSERT_TRUE(run(*sent));
    ASSERT_TRUE(sent->is_done()) << syncer::to_utf8(sent->get_message());
    EXPECT_EQ(service().file_content(id), "sent in place");
    EXPECT_EQ(remote("/Docs/shared.txt")->date_modified, base_time);
}

TEST_F(sync_task_test, DownloadPutsTheRemoteFileInPlaceWithItsTime) {
    const std::string bytes = pattern(300000, 2);
    add_remote_file(docs_id_, "pic.bin", bytes, base_time);
    const std::wstring deeper = local_folder("sub/deeper");
    auto job = make(task::kind_download, L"\\Docs", deeper, L"pic.bin");
    ASSERT_TRUE(run(*job));
    ASSERT_TRUE(job->is_done()) << syncer::to_utf8(job->get_message());
    EXPECT_EQ(job->get_state().size, 300000);
    EXPECT_TRUE(same_bytes(bytes, read_file(local_file("sub/deeper/pic.bin"))));
    EXPECT_EQ(file_time(local_file("sub/deeper/pic.bin")), base_time);
    EXPECT_TRUE(temp_names().empty());
    EXPECT_EQ(local_names(), std::vector<std::string>{"sub/deeper/pic.bin"});

    take_transfer_commands();
    auto again = make(task::kind_download, L"\\Docs", deeper, L"pic.bin");
    ASSERT_TRUE(run(*again));
    EXPECT_TRUE(again->is_done());
    EXPECT_FALSE(has_transfer(take_transfer_commands()));

    write_file(local_file("x.txt"), "old local", base_time - 50);
    add_remote_file(docs_id_, "x.txt", "newer remote", base_time);
    auto over = make(task::kind_download, L"\\Docs", local_folder(), L"x.txt");
    ASSERT_TRUE(run(*over));
    ASSERT_TRUE(over->is_done()) << syncer::to_utf8(over->get_message());
    EXPECT_EQ(read_file(local_file("x.txt")), "newer remote");
    EXPECT_EQ(file_time(local_file("x.txt")), base_time);
}

// A download queued with the file as the scan listed it opens the file by
// its id: no listing of its folder, which grows with the folder. An id the
// service no longer knows, or a size other than the listed one, costs a
// lookup by name, and what is found then is what is fetched and dated.
TEST_F(sync_task_test, ADownloadOpensTheListedFileByItsIdAndLooksUpOnlyWhenItChanged) {
    const auto listed_as = [](const std::string& id, std::int64_t time, std::int64_t size) {
        auto basis = std::make_shared<task::item_basis>();
        basis->remote_file = syncer::remote_item_state{false, time, size};
        basis->remote_id = syncer::decode_utf8(id);
        return basis;
    };
    const auto listings = [&] {
        const auto requests = service().requests(true);
        return std::count_if(requests.begin(), requests.end(),
                             [](const auto& request) { return request.action == "list_dir"; });
    };
    const std::string bytes = pattern(70000, 3);
    const std::string id = add_remote_file(docs_id_, "listed.bin", bytes, base_time);
    const std::string other = add_remote_file(docs_id_, "moved.txt", "found by name", base_time);
    const std::string grown =
        add_remote_file(docs_id_, "grown.txt", "longer than listed", base_time);

    auto job = make(task::kind_download, L"\\Docs", local_folder(), L"listed.bin");
    job->set_basis(listed_as(id, base_time, 70000));
    listings();
    ASSERT_TRUE(run(*job));
    ASSERT_TRUE(job->is_done()) << syncer::to_utf8(job->get_message());
    EXPECT_EQ(listings(), 0);
    EXPECT_TRUE(same_bytes(bytes, read_file(local_file("listed.bin"))));
    EXPECT_EQ(file_time(local_file("listed.bin")), base_time);
    EXPECT_EQ(job->get_synced_time(), base_time);
    EXPECT_TRUE(temp_names().empty());

    auto gone = make(task::kind_download, L"\\Docs", local_folder(), L"moved.txt");
    gone->set_basis(listed_as(other + "999", base_time - 7, 13));
    ASSERT_TRUE(run(*gone));
    ASSERT_TRUE(gone->is_done()) << syncer::to_utf8(gone->get_message());
    EXPECT_GT(listings(), 0);
    EXPECT_EQ(read_file(local_file("moved.txt")), "found by name");
    EXPECT_EQ(file_time(local_file("moved.txt")), base_time);

    auto changed = make(task::kind_download, L"\\Docs", local_folder(), L"grown.txt");
    changed->set_basis(listed_as(grown, base_time - 7, 5));
    ASSERT_TRUE(run(*changed));
    ASSERT_TRUE(changed->is_done()) << syncer::to_utf8(changed->get_message());
    EXPECT_GT(listings(), 0);
    EXPECT_EQ(read_file(local_file("grown.txt")), "longer than listed");
    EXPECT_EQ(file_time(local_file("grown.txt")), base_time);
    EXPECT_EQ(changed->get_synced_time(), base_time);

    // The refusals hold on what the scan listed: a local file newer than
    // the listed one is kept, and nothing is asked of the service.
    write_file(local_file("listed.bin"), "edited since", base_time + 60);
    auto refused = make(task::kind_download, L"\\Docs", local_folder(), L"listed.bin");
    refused->set_basis(listed_as(id, base_time, 70000));
    service().requests(true);
    ASSERT_TRUE(run(*refused));
    EXPECT_TRUE(refused->is_failed());
    EXPECT_EQ(refused->get_message(), L"Local file is newer or remote file has zero length");
    EXPECT_TRUE(service().requests(true).empty());
    EXPECT_EQ(read_file(local_file("listed.bin")), "edited since");
}

// A download replaces only the local file it was decided over: an edit
// saved since (even of the same size with its time set back) or a file made
// where there was none is the user's newer work and stays. The file a
// download puts in place is what its result records, to the nanosecond.
TEST_F(sync_task_test, ADownloadKeepsALocalFileChangedSinceItWasDecided) {
    const auto decided_over = [](const std::optional<syncer::local_file_state>& local) {
        auto basis = std::make_shared<task::item_basis>();
        basis->local_file = local;
        return basis;
    };
    add_remote_file(docs_id_, "edited.txt", "remote version", base_time + 10);
    write_file(local_file("edited.txt"), "local 1", base_time);
    const auto seen = syncer::file_state(local_file("edited.txt"));
    write_file(local_file("edited.txt"), "local 2", base_time);
    auto over_edit = make(task::kind_download, L"\\Docs", local_folder(), L"edited.txt");
    over_edit->set_basis(decided_over(seen));
    ASSERT_TRUE(run(*over_edit));
    EXPECT_TRUE(over_edit->is_failed());
    EXPECT_EQ(over_edit->get_message(),
              L"The local file changed after its download was decided, so it was kept");
    EXPECT_EQ(read_file(local_file("edited.txt")), "local 2");

    add_remote_file(docs_id_, "made.txt", "remote version", base_time + 10);
    auto over_new = make(task::kind_download, L"\\Docs", local_folder(), L"made.txt");
    over_new->set_basis(decided_over(std::nullopt));
    write_file(local_file("made.txt"), "made here", base_time);
    ASSERT_TRUE(run(*over_new));
    EXPECT_TRUE(over_new->is_failed());
    EXPECT_EQ(read_file(local_file("made.txt")), "made here");

    auto decided = make(task::kind_download, L"\\Docs", local_folder(), L"edited.txt");
    decided->set_basis(decided_over(syncer::file_state(local_file("edited.txt"))));
    ASSERT_TRUE(run(*decided));
    ASSERT_TRUE(decided->is_done()) << syncer::to_utf8(decided->get_message());
    EXPECT_EQ(read_file(local_file("edited.txt")), "remote version");
    const auto result = decided->get_synced_result();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->time, base_time + 10);
    const auto placed = syncer::file_state(local_file("edited.txt"));
    ASSERT_TRUE(placed);
    EXPECT_TRUE(placed->unchanged_from(result->local));
}

TEST_F(sync_task_test, DownloadRefusalsAndMissingRemoteItems) {
    add_remote_file(docs_id_, "older.txt", "remote", base_time - 10);
    write_file(local_file("older.txt"), "local and newer", base_time);
    add_remote_file(docs_id_, "empty.txt", "", base_time + 10);
    for (const wchar_t* name : {L"older.txt", L"empty.txt"}) {
        auto job = make(task::kind_download, L"\\Docs", local_folder(), name);
        ASSERT_TRUE(run(*job));
        EXPECT_TRUE(job->is_failed());
        EXPECT_EQ(job->get_error_kind(), syncer::message_kind::none);
        EXPECT_EQ(job->get_message(), L"Local file is newer or remote file has zero length");
    }
    EXPECT_EQ(read_file(local_file("older.txt")), "local and newer");
    EXPECT_FALSE(boost::filesystem::exists(local_file("empty.txt")));

    for (const wchar_t* folder : {L"\\Docs", L"\\Nowhere"}) {
        auto job = make(task::kind_download, folder, local_folder(), L"missing.txt");
        ASSERT_TRUE(run(*job));
        EXPECT_TRUE(job->is_done());
    }

    // A folder where the file should be: five attempts, then the failure.
    service().add_folder(alice_, docs_id_, "folder.txt");
    auto job = make(task::kind_download, L"\\Docs", local_folder(), L"folder.txt");
    ASSERT_TRUE(run(*job));
    EXPECT_TRUE(job->is_failed());
    EXPECT_EQ(job->get_error_kind(), syncer::message_kind::remote_file_info);
    EXPECT_EQ(job->get_message(), L"");
    EXPECT_TRUE(temp_names().empty());
}

TEST_F(sync_task_test, RemovalsTrashRemoteItemsDeleteLocalOnesAndCountGoneAsDone) {
    add_remote_file(docs_id_, "r.txt", "remote", base_time);
    const std::string old_id = service().add_folder(alice_, docs_id_, "Old");
    add_remote_file(old_id, "inside.txt", "inside", base_time);
    write_file(local_file("l.txt"), "local", base_time);
    write_file(local_file("tree/inner/f.txt"), "deep", base_time);

    const std::vector<std::pair<int, std::pair<std::wstring, std::wstring>>> jobs = {
        {task::kind_remove_remote_file, {L"\\Docs", L"r.txt"}},
        {task::kind_remove_remote_folder, {L"\\Docs\\Old", L""}},
        {task::kind_remove_local_file, {local_folder(), L"l.txt"}},
        {task::kind_remove_local_file, {local_folder("tree/inner"), L"f.txt"}},
        {task::kind_remove_local_folder, {local_folder("tree"), L""}},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& [kind, where] : jobs) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " round " << round);
            const bool local =
                kind == task::kind_remove_local_file || kind == task::kind_remove_local_folder;
            auto job = local ? make(kind, L"\\Docs", where.first, where.second)
                             : make(kind, where.first, local_folder(), where.second);
            ASSERT_TRUE(run(*job));
            EXPECT_TRUE(job->is_done()) << syncer::to_utf8(job->get_message());
        }
    }
    for (const char* path : {"/Docs/r.txt", "/Docs/Old"}) {
        const auto trashed = remote(path);
        ASSERT_TRUE(trashed) << path;
        EXPECT_FALSE(trashed->live);
        EXPECT_NE(trashed->date_deleted, 0);
    }
    EXPECT_TRUE(local_names().empty());
    EXPECT_FALSE(boost::filesystem::exists(local_file("tree")));
}

}  // namespace
}  // namespace sync_task_testing
