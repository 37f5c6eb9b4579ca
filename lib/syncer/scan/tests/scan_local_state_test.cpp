// What the file system shows of a local file is what counts as its change:
// an edit saved in place that keeps the whole-second time (another size or
// the same, the time set back, a second save within the same second) is a
// change, and a table that kept no local states decides as it always did.
#include <fcntl.h>
#include <sys/stat.h>

#include "serializer/file_serializer.h"
#include "syncer/scan/tests/scan_test_support.h"

namespace syncer::scan_testing {
namespace {

constexpr long half_second = 500000000;

class ScanLocalState : public scan_test {
protected:
    ScanLocalState() : owner(bind(L"sync", local)) {}

    // Writes over the file's bytes, as an editor saving in place does, and
    // gives it the modification time, to the nanosecond.
    void save_in_place(const std::wstring& relative, const std::string& content,
                       std::int64_t seconds, long nanoseconds = 0) {
        const fs::path path = local_path(relative);
        std::ofstream(path.native(), std::ios::binary | std::ios::trunc) << content;
        const timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds},
                                   {static_cast<time_t>(seconds), nanoseconds}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    // Both sides hold each file, and a pass has seen them agree.
    void synced(const std::vector<std::pair<std::wstring, long>>& files) {
        for (const auto& [name, nanoseconds] : files) {
            save_in_place(name, "first", t0, nanoseconds);
            remote->put_file(L"sync/" + name, "first", t0);
        }
        pass();
        ASSERT_TRUE(ui.questions().empty());
    }

    std::string remote_content(const std::wstring& name) {
        const auto file = remote->file(L"sync/" + name);
        return file ? file->content : "(none)";
    }

    binding owner;
};

TEST_F(ScanLocalState, EditsThatKeepTheWholeSecondTimeAreSent) {
    synced({{L"resized.txt", 0}, {L"same-size.txt", 0}, {L"second-save.txt", 200000000}});
    // Another size with the time set back; the same size with the time set
    // back; a second save 0.7 s after the first, in the same second.
    save_in_place(L"resized.txt", "second version", t0);
    save_in_place(L"same-size.txt", "other", t0);
    save_in_place(L"second-save.txt", "again", t0, 900000000);
    ui.answer(message_kind::upload_newer, yes);
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>(3, message_kind::upload_newer));
    run_tasks();
    EXPECT_EQ(remote_content(L"resized.txt"), "second version");
    EXPECT_EQ(remote_content(L"same-size.txt"), "other");
    EXPECT_EQ(remote_content(L"second-save.txt"), "again");

    // Sent once: the next passes see both sides agree.
    ui.forget_questions();
    pass();
    pass();
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_TRUE(task_kinds().empty());
}

// What the engine writes itself (a download put in place, its time set,
// its hidden mark cleared) is the state it records: no change to send back.
TEST_F(ScanLocalState, TheEnginesOwnDownloadIsNoLocalChange) {
    remote->put_file(L"sync/fetched.txt", "theirs", t0 + 3);
    ui.answer(message_kind::download_new, yes);
    pass();
    run_tasks();
    ASSERT_EQ(read_local(L"fetched.txt"), "theirs");
    ui.forget_questions();
    pass();
    pass();
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_TRUE(task_kinds().empty());
}

// A refused edit stays refused until the file changes again, and a later
// change within the same second is asked about anew.
TEST_F(ScanLocalState, ARefusedEditHoldsUntilTheFileShowsAnotherChange) {
    synced({{L"draft.txt", half_second}});
    save_in_place(L"draft.txt", "secnd", t0, half_second);
    ui.answer(message_kind::upload_newer, no);
    pass();
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>{message_kind::upload_newer});

    save_in_place(L"draft.txt", "third", t0, half_second);
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>(2, message_kind::upload_newer));
    EXPECT_EQ(remote_content(L"draft.txt"), "first");
}

// A removal on one side goes across only while the other side still holds
// the file both agreed on: an edit its time hides keeps the file.
TEST_F(ScanLocalState, ARemoteRemovalNeverTakesALocalEditTheTimeHides) {
    synced({{L"kept.txt", 0}, {L"removed.txt", 0}, {L"other.txt", 0}});
    save_in_place(L"kept.txt", "edited", t0);
    remote->remove(L"sync/kept.txt");
    remote->remove(L"sync/removed.txt");
    ui.answer(message_kind::remove_local_file, yes);
    ui.answer(message_kind::upload_new, yes);
    pass();
    run_tasks();
    EXPECT_EQ(read_local(L"kept.txt"), "edited");
    EXPECT_EQ(remote_content(L"kept.txt"), "edited");
    EXPECT_FALSE(local_exists(L"removed.txt"));
}

// A table written before local states were kept: unchanged files stay as
// they are (nothing is sent again), the states are learnt, and from then on
// an edit the time hides is seen.
TEST_F(ScanLocalState, ATableWithoutLocalStatesDecidesAsBeforeAndLearnsThem) {
    synced({{L"old.txt", 0}});
    const fs::path table = items_manager::get_items_path(owner.items_filename, user);
    serializer::node root;
    std::vector<serializer::node> records;
    serializer::file_serializer::load_children(table, root, [&](serializer::node&& child) {
        child.erase(L"local_synced");
        records.push_back(std::move(child));
    });
    serializer::file_serializer::save_children(
        table, root,
        [&](const serializer::node::child_emitter& emit) {
            for (const auto& record : records) emit(record);
        },
        true);
    ASSERT_EQ(stored(owner, L"sync", local, L"old.txt").local_record, recorded_local::unknown);

    pass();
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_TRUE(task_kinds().empty());
    EXPECT_EQ(stored(owner, L"sync", local, L"old.txt").local_record, recorded_local::synced);

    save_in_place(L"old.txt", "fixed", t0);
    ui.answer(message_kind::upload_newer, yes);
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>{message_kind::upload_newer});
}

}  // namespace
}  // namespace syncer::scan_testing
