// Transfers whose process was killed between a step they announced in the
// journal and their end, settled by the next pass from what both sides show.
#include <fcntl.h>
#include <sys/stat.h>

#include "syncer/scan/tests/scan_test_support.h"
#include "syncer/tables/journal_intake.h"
#include "syncer/tables/transfer_journal.h"
#include "syncer/tasks/task_local_files.h"
#include "syncer/tasks/transfer_recovery.h"

namespace syncer::scan_testing {
namespace {

using kind = journal_entry::kind;

class TransferRecovery : public scan_test {
protected:
    TransferRecovery()
        : owner(bind(L"sync", local)),
          journal(transfer_journal::path_for(owner.items_filename, user)) {}

    journal_entry begun(kind what, const std::wstring& name) const {
        journal_entry entry;
        entry.what = what;
        entry.dir_remote = L"sync";
        entry.dir_local = local;
        entry.filename = name;
        return entry;
    }

    // A download about to rename its copy over the file: the copy is made
    // as the download makes it, and announced.
    journal_entry copy_announced(const std::wstring& name, const std::string& content) {
        const std::wstring copy = L".calvimora-7.tmp";
        write_local(copy, content, t0);
        journal_entry replacing = begun(kind::replacing, name);
        replacing.time = t0;
        replacing.size = static_cast<std::int64_t>(content.size());
        replacing.local = *file_state(local_path(copy));
        replacing.copy_name = copy;
        journal.append(replacing);
        return replacing;
    }

    // The settlement written for each item, by name.
    std::map<std::wstring, journal_entry> settle(
        const std::set<sync_item, sync_item::less>& busy = {}) {
        settle_unfinished_transfers(journal, owner, *remote->client(), busy, stop);
        std::map<std::wstring, journal_entry> settled;
        for (const journal_line& line : journal.read().lines) {
            if (line.entry.what == kind::synced || line.entry.what == kind::abandoned)
                settled[line.entry.filename] = line.entry;
        }
        return settled;
    }

    binding owner;
    transfer_journal journal;
};

TEST_F(TransferRecovery, ADownloadKilledAroundItsRenameIsSettledFromTheLocalSide) {
    // Renamed: the file is the copy.
    copy_announced(L"placed.txt", "remote");
    fs::rename(local_path(L".calvimora-7.tmp"), local_path(L"placed.txt"));
    const auto settled_placed = settle();
    ASSERT_TRUE(settled_placed.contains(L"placed.txt"));
    EXPECT_EQ(settled_placed.at(L"placed.txt").what, kind::synced);
    EXPECT_TRUE(settled_placed.at(L"placed.txt")
                    .local.unchanged_from(*file_state(local_path(L"placed.txt"))));

    // Not renamed: the copy goes, the user's file stays as it was.
    write_local(L"kept.txt", "mine", t0 - 5);
    copy_announced(L"kept.txt", "remote");
    const auto settled_kept = settle();
    EXPECT_EQ(settled_kept.at(L"kept.txt").what, kind::abandoned);
    EXPECT_FALSE(local_exists(L".calvimora-7.tmp"));
    EXPECT_EQ(read_local(L"kept.txt"), "mine");

    // Renamed, then removed by the user: synced, in a state no file shows.
    copy_announced(L"removed.txt", "remote");
    fs::rename(local_path(L".calvimora-7.tmp"), local_path(L"removed.txt"));
    fs::remove(local_path(L"removed.txt"));
    const auto settled_removed = settle();
    EXPECT_EQ(settled_removed.at(L"removed.txt").what, kind::synced);
    EXPECT_EQ(settled_removed.at(L"removed.txt").time, t0);
    EXPECT_EQ(settled_removed.at(L"removed.txt").local.change_time_ns, -1);
}

// Only the engine's own copies are removed: a journal naming another file
// as the copy (damaged, or written by anyone) removes nothing.
TEST_F(TransferRecovery, ACopyNameThatIsNoReplacementOfTheEngineIsNeverRemoved) {
    write_local(L"precious.txt", "mine", t0);
    journal_entry replacing = begun(kind::replacing, L"target.txt");
    replacing.local = *file_state(local_path(L"precious.txt"));
    replacing.copy_name = L"precious.txt";
    journal.append(replacing);
    settle();
    EXPECT_EQ(read_local(L"precious.txt"), "mine");
}

// An upload that created its remote file and died before filling it: the
// empty file goes while it is still empty; a file someone wrote into since
// stays; an item a task of this process works on is left to that task.
TEST_F(TransferRecovery, AnUploadsEmptyFileGoesUnlessSomeoneWroteItOrATaskStillWorksOnIt) {
    for (const wchar_t* name : {L"empty.bin", L"written.bin", L"busy.bin"}) {
        remote->put_file(std::wstring(L"sync/") + name, "", t0);
        journal_entry created = begun(kind::created, name);
        created.remote_id = L"file_sync/" + std::wstring(name);
        journal.append(begun(kind::creating, name));
        journal.append(created);
    }
    remote->put_file(L"sync/written.bin", "theirs", t0 + 5);
    const auto settled = settle({sync_item(L"sync", local, L"busy.bin")});
    EXPECT_EQ(settled.at(L"empty.bin").what, kind::abandoned);
    EXPECT_EQ(settled.at(L"written.bin").what, kind::abandoned);
    EXPECT_FALSE(settled.contains(L"busy.bin"));
    EXPECT_FALSE(remote->file(L"sync/empty.bin"));
    EXPECT_EQ(remote->file(L"sync/written.bin")->content, "theirs");
    EXPECT_TRUE(remote->file(L"sync/busy.bin"));
}

// An upload about to commit counts as synced when the remote file is what
// it sent (its id, date and size); else it is abandoned.
TEST_F(TransferRecovery, AnUploadAboutToCommitIsSyncedOnlyWhenTheRemoteFileIsWhatItSent) {
    remote->put_file(L"sync/sent.txt", "sent", t0);
    remote->put_file(L"sync/not-sent.txt", "old", t0 - 9);
    for (const wchar_t* name : {L"sent.txt", L"not-sent.txt"}) {
        journal_entry closing = begun(kind::closing, name);
        closing.remote_id = L"file_sync/" + std::wstring(name);
        closing.time = t0;
        closing.size = 4;
        closing.local = {4, t0 * 1000000000, t0 * 1000000000 + 5, 0};
        journal.append(closing);
    }
    const auto settled = settle();
    EXPECT_EQ(settled.at(L"sent.txt").what, kind::synced);
    EXPECT_EQ(settled.at(L"sent.txt").local.change_time_ns, t0 * 1000000000 + 5);
    EXPECT_EQ(settled.at(L"not-sent.txt").what, kind::abandoned);
    EXPECT_EQ(remote->file(L"sync/not-sent.txt")->content, "old");
}

}  // namespace
}  // namespace syncer::scan_testing
