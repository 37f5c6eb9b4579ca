// The item set: folder texts shared by the records that name them, the
// order of records whose folders are shared, and the files of one folder
// found among themselves.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "syncer/core/compact_text.h"
#include "syncer/core/local_file_state.h"
#include "syncer/core/shared_path.h"
#include "syncer/scan/scan_candidates.h"
#include "syncer/tables/sync_item.h"

namespace syncer {
namespace {

std::wstring folder_text(int index) {
    return L"C:\\Users\\someone\\folder-" + std::to_wstring(index);
}

TEST(SharedPath, RecordsOfOneFolderShareItsTextAndStillOrderAsPaths) {
    const sync_item first(std::wstring(L"remote/a"), folder_text(1), L"x");
    const sync_item second(std::wstring(L"remote/") + L"a", folder_text(1), L"y");
    EXPECT_TRUE(first.dir_remote.same_as(second.dir_remote));
    EXPECT_TRUE(first.dir_local.same_as(second.dir_local));
    EXPECT_EQ(&first.dir_local.str(), &second.dir_local.str());
    EXPECT_FALSE(first.dir_local.same_as(sync_item(L"remote/a", folder_text(2), L"x").dir_local));
    EXPECT_TRUE(shared_path().same_as(shared_path(L"")));
    EXPECT_EQ(first.dir_remote, L"remote/a");
    EXPECT_EQ(first.dir_remote, std::wstring(L"remote/a"));

    // Different texts that name the same folder are one key, and folders
    // order element by element, not character by character.
    std::set<sync_item, sync_item::less> records;
    records.insert(sync_item(L"remote/a", L"C:\\root\\a", L"f"));
    EXPECT_FALSE(records.insert(sync_item(L"remote\\a", L"C:/root/a", L"f")).second);
    records.insert(sync_item(L"remote/a/b", L"C:\\root\\a\\b", L"f"));
    records.insert(sync_item(L"remote/a0", L"C:\\root\\a0", L"f"));
    records.insert(sync_item(L"remote/a", L"C:\\root\\a", L""));
    std::vector<std::wstring> order;
    for (const sync_item& record : records)
        order.push_back(record.dir_remote.str() + L"|" + record.filename);
    EXPECT_EQ(order, (std::vector<std::wstring>{L"remote/a|", L"remote/a|f", L"remote/a/b|f",
                                                L"remote/a0|f"}));
}

TEST(SharedPath, TextsNoRecordHoldsAnyMoreLeaveThePool) {
    for (int index = 0; index < 20000; ++index) {
        const shared_path passing(folder_text(100000 + index));
        ASSERT_EQ(passing, folder_text(100000 + index));
    }
    // Swept as the pool grows: never more than twice what is alive, with a
    // floor for small pools.
    EXPECT_LT(shared_path::pool_size(), 2048u);
    const shared_path kept(folder_text(7));
    EXPECT_TRUE(kept.same_as(shared_path(folder_text(7))));
}

TEST(SharedPath, ATextHeldOnlyThroughCopiesAndMovesOutlivesEverySweep) {
    shared_path moved_from(folder_text(500000));
    shared_path holder(std::move(moved_from));
    EXPECT_TRUE(moved_from.empty());
    shared_path assigned;
    assigned = holder;
    holder = std::move(assigned);
    std::vector<shared_path> copies(3, holder);
    holder = shared_path();
    // Enough passing texts to sweep the pool several times, and to push the
    // text out of this thread's recent ones.
    for (int index = 0; index < 5000; ++index) shared_path passing(folder_text(600000 + index));
    EXPECT_EQ(copies[2].str(), folder_text(500000));
    EXPECT_TRUE(copies[0].same_as(shared_path(folder_text(500000))));
}

TEST(LocalFileState, WriteTimesRoundDownToWholeSecondsOnBothSidesOf1970) {
    struct stat status {};
    for (const auto& [seconds, nanoseconds] : std::vector<std::pair<long, long>>{
             {0, 0}, {1700000000, 999999999}, {-1, 0}, {-1, 999999999}, {-2, 500000000}}) {
        status.st_mtim = {seconds, nanoseconds};
        EXPECT_EQ(local_file_state::from_stat(status).last_write_time(), seconds);
    }
    EXPECT_EQ(local_file_state{}.last_write_time(), -1);
}

TEST(SharedPath, ThreadsAskingForTheSameTextsGetOneCopy) {
    constexpr int folders = 64;
    std::vector<shared_path> reference;
    for (int index = 0; index < folders; ++index) reference.emplace_back(folder_text(index));
    std::vector<std::thread> threads;
    std::vector<int> mismatches(8, 0);
    for (int thread = 0; thread < 8; ++thread) {
        threads.emplace_back([&, thread] {
            for (int round = 0; round < 2000; ++round) {
                const int index = (round * 7 + thread) % folders;
                // Texts that come and go meanwhile, so that the pool sweeps.
                const shared_path passing(folder_text(1000 + thread * 10000 + round));
                if (!shared_path(folder_text(index)).same_as(reference[index]))
                    ++mismatches[thread];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(8, 0));
}

TEST(CompactText, KeepsEveryLengthAndBytePlainTextOrNot) {
    EXPECT_EQ(sizeof(compact_text), sizeof(void*));
    const std::vector<std::string> texts{"",
                                         "7",
                                         std::string("a\0b", 3),
                                         "1234567",
                                         "12345678",
                                         std::string("\xff\0\x01tail-", 8),
                                         std::string(300, 'z')};
    for (const std::string& text : texts) {
        const compact_text kept(text);
        EXPECT_EQ(kept.str(), text);
        EXPECT_EQ(kept.empty(), text.empty());
        compact_text copy = kept;
        EXPECT_EQ(copy.view(), text);
        EXPECT_EQ(copy, kept);
        compact_text moved = std::move(copy);
        EXPECT_EQ(moved.view(), text);
        EXPECT_TRUE(copy.empty());  // NOLINT: a moved-from text is empty
        // Replaced by each other text, short by long and long by short.
        for (const std::string& other : texts) {
            compact_text changed(text);
            changed = other;
            EXPECT_EQ(changed.view(), other);
            changed = compact_text(text);
            EXPECT_EQ(changed.view(), text);
        }
    }
}

TEST(CompactText, AssignedFromItselfStaysWhole) {
    for (const std::string text : {"short", "longer than a word"}) {
        compact_text kept(text);
        const compact_text& same = kept;
        kept = same;
        EXPECT_EQ(kept.view(), text);
        kept = kept.view().substr(1);
        EXPECT_EQ(kept.view(), text.substr(1));
    }
    sync_item record(L"remote", L"local", L"name");
    record.remote_id = std::string("4096");
    const sync_item copy = record;
    record.remote_id = std::string("a remote id longer than a word");
    EXPECT_EQ(copy.remote_id.view(), "4096");
}

TEST(FolderCandidates, HoldExactlyTheFilesOfTheirFolder) {
    candidate_set candidates;
    const auto add = [&](const std::wstring& remote, const std::wstring& local,
                         const std::wstring& name) {
        return candidates.insert(sync_item(remote, local, name)).first;
    };
    add(L"r/a", L"C:\\l\\a", L"");
    const auto first = add(L"r/a", L"C:\\l\\a", L"f1");
    // Spelled with the other separator: the same folder.
    const auto second = add(L"r\\a", L"C:/l/a", L"f2");
    // Neighbours in the set's order, none of them in the folder.
    add(L"r", L"C:\\l", L"a");
    add(L"r/a/b", L"C:\\l\\a\\b", L"f1");
    add(L"r/a0", L"C:\\l\\a0", L"f1");
    add(L"r/a", L"C:\\l\\other", L"f3");

    const folder_candidates files(candidates, L"r/a", L"C:\\l\\a");
    EXPECT_EQ(files.find(L"f1"), first);
    EXPECT_EQ(files.find(L"f2"), second);
    EXPECT_EQ(files.find(L""), candidates.end());
    EXPECT_EQ(files.find(L"f3"), candidates.end());
    EXPECT_EQ(files.find(L"f0"), candidates.end());
    EXPECT_EQ(files.find(L"f9"), candidates.end());
    EXPECT_EQ(folder_candidates(candidates, L"r/none", L"C:\\none").find(L"f1"), candidates.end());
    EXPECT_EQ(folder_candidates(candidates, L"r/a0", L"C:\\l\\a0").find(L"f1")->dir_remote,
              L"r/a0");
}

}  // namespace
}  // namespace syncer
