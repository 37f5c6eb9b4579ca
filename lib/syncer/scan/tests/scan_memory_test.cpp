// What the manager keeps between scan passes: hidden marks, read again only
// when a file's change time moved.
#include <gtest/gtest.h>

#include "syncer/scan/scan_memory.h"

namespace syncer {
namespace {

constexpr std::int64_t second = 1'000'000'000;
constexpr std::int64_t now = 1'700'000'000 * second;

struct stat status_of(std::uint64_t device, std::uint64_t inode, std::int64_t changed_ns) {
    struct stat status {};
    status.st_dev = static_cast<dev_t>(device);
    status.st_ino = static_cast<ino_t>(inode);
    status.st_ctim.tv_sec = static_cast<time_t>(changed_ns / second);
    status.st_ctim.tv_nsec = static_cast<long>(changed_ns % second);
    return status;
}

class HiddenMarks : public testing::Test {
protected:
    // The mark as the cache gives it, counting the reads it made.
    bool look(const struct stat& status, bool on_disk, std::int64_t at = now) {
        return marks.is_hidden(status, at, [&] {
            ++reads;
            return on_disk;
        });
    }

    hidden_marks marks;
    int reads = 0;
};

TEST_F(HiddenMarks, AMarkIsReadAgainOnlyWhenTheChangeTimeMoves) {
    const auto old_file = status_of(1, 10, now - 60 * second);
    EXPECT_FALSE(look(old_file, false));
    // The disk is not asked again while the change time stays, whatever it
    // would say now.
    EXPECT_FALSE(look(old_file, true));
    EXPECT_EQ(reads, 1);

    // Hiding the file moved its change time.
    const auto hidden_since = status_of(1, 10, now - 30 * second);
    EXPECT_TRUE(look(hidden_since, true));
    EXPECT_TRUE(look(hidden_since, false));
    EXPECT_EQ(reads, 2);

    // The same inode number on another device is another file.
    EXPECT_FALSE(look(status_of(2, 10, now - 30 * second), false));
    EXPECT_EQ(reads, 3);
}

// Files whose identity or change time does not fit a kept mark are read
// every time, and never answer for another file.
TEST_F(HiddenMarks, FilesThatDoNotFitAMarkAreReadEveryTime) {
    const std::int64_t old = now - 60 * second;
    const struct stat unfit[] = {status_of(1, 0, old), status_of(1, std::uint64_t{1} << 48, old),
                                 status_of(1, 12, -5 * second),
                                 status_of(1, 13, 5'000'000'000 * second)};
    for (const struct stat& status : unfit) {
        EXPECT_TRUE(look(status, true));
        EXPECT_FALSE(look(status, false));
    }
    EXPECT_EQ(reads, 8);
    // Only the low 48 bits of an inode number would tell these apart.
    EXPECT_FALSE(look(status_of(1, 5, old), false));
    EXPECT_TRUE(look(status_of(1, (std::uint64_t{1} << 48) + 5, old), true));
    EXPECT_FALSE(look(status_of(1, 5, old), true));
    EXPECT_EQ(reads, 10);
    EXPECT_EQ(marks.size(), 1u);
}

// A pass broken off before its end leaves its marks: they are found again,
// and those of files gone are forgotten by the passes after it.
TEST_F(HiddenMarks, APassBrokenOffForgetsNothingItShouldKeep) {
    const std::int64_t old = now - 60 * second;
    marks.begin_pass();
    look(status_of(1, 1, old), false);
    look(status_of(1, 2, old), true);
    marks.end_pass();
    marks.begin_pass();  // broken off: no end
    look(status_of(1, 1, old), false);
    for (int pass = 0; pass < 2; ++pass) {
        marks.begin_pass();
        EXPECT_FALSE(look(status_of(1, 1, old), true));
        marks.end_pass();
    }
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(marks.size(), 1u);
}

// Change times come in coarse ticks: a mark set within the tick of an
// earlier read would leave the time as it was, so a mark read within a
// second of the change time is not trusted later.
TEST_F(HiddenMarks, AMarkReadSoonAfterAChangeIsReadAgain) {
    const auto fresh = status_of(1, 11, now - second / 2);
    EXPECT_FALSE(look(fresh, false));
    EXPECT_TRUE(look(fresh, true, now + 10 * second));
    EXPECT_EQ(reads, 2);
    // That second read came long after the change: it is kept.
    EXPECT_TRUE(look(fresh, false, now + 20 * second));
    EXPECT_EQ(reads, 2);
}

TEST_F(HiddenMarks, APassForgetsTheFilesItDidNotSee) {
    marks.begin_pass();
    look(status_of(1, 1, now - 60 * second), false);
    look(status_of(1, 2, now - 60 * second), false);
    marks.end_pass();
    EXPECT_EQ(marks.size(), 2u);

    marks.begin_pass();
    look(status_of(1, 2, now - 60 * second), false);
    marks.end_pass();
    EXPECT_EQ(marks.size(), 1u);
    EXPECT_EQ(reads, 2);
    look(status_of(1, 1, now - 60 * second), false);
    EXPECT_EQ(reads, 3);
}

// Many files on two devices over passes that see fewer and fewer of them,
// some changed again a moment before (read every time and no longer kept,
// which takes them out of the middle of the table): every kept mark is
// found again without a read, and no mark of one file answers for another.
TEST_F(HiddenMarks, ManyFilesKeepTheirOwnMarksThroughGrowthAndForgetting) {
    constexpr std::uint64_t files = 6000;
    int round = 0;
    const auto changed_again = [&](std::uint64_t file) { return round > 0 && file % 7 == 0; };
    const auto status = [&](std::uint64_t file) {
        return status_of(1 + file % 2, 1000 + file / 2,
                         changed_again(file) ? now - second / 4
                                             : now - 60 * second - static_cast<std::int64_t>(file));
    };
    const auto hidden_on_disk = [](std::uint64_t file) { return file % 3 == 0; };
    const auto count_changed = [&](std::uint64_t seen) {
        int count = 0;
        for (std::uint64_t file = 0; file < seen; ++file) count += changed_again(file);
        return count;
    };
    std::uint64_t seen = files;
    for (; round < 4; ++round, seen /= 2) {
        marks.begin_pass();
        reads = 0;
        for (std::uint64_t file = 0; file < seen; ++file)
            ASSERT_EQ(look(status(file), hidden_on_disk(file)), hidden_on_disk(file)) << file;
        EXPECT_EQ(reads, round == 0 ? static_cast<int>(seen) : count_changed(seen));
        // What the disk says now is asked only for the files changed a
        // moment ago.
        reads = 0;
        for (std::uint64_t file = 0; file < seen; ++file)
            ASSERT_EQ(look(status(file), !hidden_on_disk(file)),
                      changed_again(file) ? !hidden_on_disk(file) : hidden_on_disk(file))
                << file;
        EXPECT_EQ(reads, count_changed(seen));
        marks.end_pass();
        EXPECT_EQ(marks.size(), seen - static_cast<std::uint64_t>(count_changed(seen)));
    }
}

}  // namespace
}  // namespace syncer
