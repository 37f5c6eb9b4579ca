// The journal of a binding's transfers: entries read back as written, lines
// a crash cut short or anyone garbled passed over, appends of many writers
// never lost to a cut, and the results taken into an item table.
#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <thread>

#include "syncer/tables/journal_intake.h"
#include "syncer/tables/locked_operations.h"
#include "syncer/tables/transfer_journal.h"
#include "utils/locale.h"
#include "win/machine.h"

namespace syncer {
namespace {

namespace fs = boost::filesystem;
using kind = journal_entry::kind;

journal_entry entry_of(kind what, const std::wstring& filename, std::int64_t time = 0) {
    journal_entry entry;
    entry.what = what;
    entry.dir_remote = L"sync/sub folder";
    entry.dir_local = L"C:\\work\\sub folder";
    entry.filename = filename;
    entry.time = time;
    return entry;
}

std::vector<journal_entry> entries_of(const transfer_journal::contents& contents) {
    std::vector<journal_entry> entries;
    for (const journal_line& line : contents.lines) entries.push_back(line.entry);
    return entries;
}

class TransferJournal : public testing::Test {
protected:
    TransferJournal() {
        utils::imbue_utf8_locale();
        fs::create_directories(folder);
    }

    void append_raw(const std::string& bytes) {
        std::ofstream(journal.path().native(), std::ios::binary | std::ios::app) << bytes;
    }

    win_machine::scoped_root root_;
    fs::path folder = fs::path(root_.path()) / "settings";
    transfer_journal journal{folder / "sync_rules_0.xml.journal"};
};

TEST_F(TransferJournal, EntriesOfEveryKindReadBackAsWrittenWhateverTheirNames) {
    std::vector<journal_entry> written;
    journal_entry creating = entry_of(kind::creating, L"a b%c~d.txt");
    creating.size = 600000;
    journal_entry created = entry_of(kind::created, L"line\nbreak\u00e9\u65e5.txt");
    created.remote_id = L"4711";
    journal_entry closing = entry_of(kind::closing, L"~", -157766400);
    closing.remote_id = L"4711";
    closing.size = 12;
    closing.local = {12, -157766400000000000, 1700000000123456789, 0};
    journal_entry replacing = entry_of(kind::replacing, L"r.txt", 1650000000);
    replacing.size = 3;
    replacing.local = {3, 1650000000000000000, 1700000000000000001, 98765};
    replacing.copy_name = L".calvimora-0.tmp";
    journal_entry synced = entry_of(kind::synced, L"s.txt", 1650000000);
    synced.local = {3, 1650000000000000000, -1, 0};
    journal_entry abandoned = entry_of(kind::abandoned, L"r.txt");
    abandoned.dir_remote = L"";
    written = {creating, created, closing, replacing, synced, abandoned};
    for (const journal_entry& entry : written) journal.append(entry);

    const transfer_journal::contents read = journal.read();
    EXPECT_EQ(entries_of(read), written);
    EXPECT_EQ(read.size, journal.size());
}

// A crash leaves a line without its end; garbage and lines of another kind
// are anyone's. The next append starts a line of its own after them.
TEST_F(TransferJournal, LinesThatAreNoWholeEntryArePassedOver) {
    journal.append(entry_of(kind::abandoned, L"first.txt"));
    const std::string whole = encode_entry(entry_of(kind::synced, L"torn.txt", 1650000000));
    append_raw("garbage %zz end\nsynced ~ ~ ~ 1 2 3 4 end extra\nclosing a b c\n");
    append_raw(whole.substr(0, whole.size() - 5));
    EXPECT_EQ(journal.read().lines.size(), 1u);
    journal.append(entry_of(kind::abandoned, L"after.txt"));
    const auto read = entries_of(journal.read());
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[1].filename, L"after.txt");

    // Every strict prefix of a line is no entry.
    for (std::size_t length = 0; length + 1 < whole.size(); ++length)
        EXPECT_TRUE(parse_journal(whole.substr(0, length) + "\n").empty()) << length;
}

// Writers in several threads append while the journal is cut again and
// again: every entry is read exactly once, before a cut or after the last.
TEST_F(TransferJournal, NoAppendIsLostToACut) {
    constexpr int writers = 4;
    constexpr int per_writer = 150;
    std::vector<std::thread> threads;
    for (int writer = 0; writer < writers; ++writer) {
        threads.emplace_back([&, writer] {
            for (int number = 0; number < per_writer; ++number)
                journal.append(entry_of(kind::abandoned, std::to_wstring(writer * 1000 + number)));
        });
    }
    std::multiset<std::wstring> seen;
    const auto take = [&] {
        const transfer_journal::contents read = journal.read();
        for (const journal_line& line : read.lines) seen.insert(line.entry.filename);
        journal.cut(read.size, {});
    };
    for (int cut = 0; cut < 200; ++cut) take();
    for (std::thread& thread : threads) thread.join();
    take();
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(writers * per_writer));
    EXPECT_EQ(std::set<std::wstring>(seen.begin(), seen.end()).size(), seen.size());
    EXPECT_FALSE(fs::exists(journal.path()));
}

TEST_F(TransferJournal, ACutKeepsWhatCameAfterAndWhatIsStillUnsettled) {
    journal_entry created = entry_of(kind::created, L"big.bin");
    created.remote_id = L"17";
    journal.append(entry_of(kind::creating, L"done.bin"));
    journal.append(entry_of(kind::creating, L"big.bin"));
    journal.append(created);
    journal.append(entry_of(kind::synced, L"done.bin", 5));
    const transfer_journal::contents read = journal.read();
    journal.append(entry_of(kind::synced, L"later.bin", 9));

    const std::vector<journal_entry> unsettled = unsettled_entries(read.lines);
    EXPECT_EQ(unsettled,
              (std::vector<journal_entry>{entry_of(kind::creating, L"big.bin"), created}));
    journal.cut(read.size, unsettled);
    EXPECT_EQ(entries_of(journal.read()),
              (std::vector<journal_entry>{entry_of(kind::creating, L"big.bin"), created,
                                          entry_of(kind::synced, L"later.bin", 9)}));
}

// The results go into the binding's item table: a synced entry is the
// item's agreement, an abandoned one has it compared afresh; entries of
// items outside the binding, or with names that are no plain names, are
// passed over.
TEST_F(TransferJournal, ResultsAreTakenIntoTheTableOfTheirBindingAlone) {
    const std::wstring user = L"journal_user";
    binding owner(L"sync", L"C:\\work", L"", L"");
    locked_add_binding(user, owner);
    owner = *locked_get_bindings(user).find(owner);
    const transfer_journal kept(transfer_journal::path_for(owner.items_filename, user));
    journal_entry synced = entry_of(kind::synced, L"s.txt", 1650000000);
    synced.local = {3, 1650000000000000000, 1700000000000000001, 0};
    kept.append(synced);
    journal_entry outside = synced;
    outside.dir_local = L"C:\\elsewhere";
    kept.append(outside);
    journal_entry climbing = synced;
    climbing.filename = L"..";
    kept.append(climbing);
    {
        items_manager table(owner, user);
        sync_item known(L"sync/sub folder", L"C:\\work\\sub folder", L"known.txt");
        known.last_time_remote = known.last_time_local = 1600000000;
        table.insert(known);
    }
    kept.append(entry_of(kind::abandoned, L"known.txt"));

    {
        items_manager table(owner, user);
        const journal_intake intake(table, owner, kept);
        ASSERT_EQ(table.size(), 2u);
        const auto record = table.find(sync_item(synced.dir_remote, synced.dir_local, L"s.txt"));
        ASSERT_NE(record, table.end());
        EXPECT_EQ(record->synced_time, 1650000000);
        EXPECT_EQ(record->last_time_local, 1650000000);
        EXPECT_EQ(record->local_record, recorded_local::synced);
        EXPECT_TRUE(record->local_file.unchanged_from(synced.local));
        const auto known = table.find(sync_item(synced.dir_remote, synced.dir_local, L"known.txt"));
        EXPECT_EQ(known->last_time_remote, 0);
        EXPECT_EQ(known->last_time_local, 0);
        table.save();
        intake.cut();
    }
    EXPECT_FALSE(fs::exists(kept.path()));
}

}  // namespace
}  // namespace syncer
