// What an Open does with the local copy it finds, from the copy, its
// record and the remote file: nothing of the user's is ever replaced, and
// a copy that holds nothing of theirs is never kept twice. And the records
// as their file holds them.
#include <gtest/gtest.h>

#include "folder/workers/opened_copies.h"

namespace {

using syncer::local_file_state;

constexpr std::int64_t second = 1000000000;

local_file_state copy_of(std::int64_t size, std::int64_t date, std::int64_t changed) {
    local_file_state state;
    state.size = size;
    state.write_time_ns = date * second;
    state.change_time_ns = changed * second;
    state.inode = 42;
    return state;
}

TEST(OpenedCopies, AnOpenNeverReplacesWhatTheUserChangedAndNeverKeepsAnUntouchedCopy) {
    const remote_version first{L"f-1", 1000, 10};
    const remote_version newer{L"f-1", 2000, 12};
    const local_file_state fetched = copy_of(10, 1000, 5000);
    const opened_copy record{first, fetched};
    // An edit: another size or change time, whatever its date says.
    const local_file_state edited = copy_of(11, 900, 6000);
    const local_file_state edited_later = copy_of(11, 3000, 6000);

    EXPECT_EQ(step_for(std::nullopt, record, newer, false), copy_step::fetch);
    EXPECT_EQ(step_for(fetched, record, first, false), copy_step::use);
    EXPECT_EQ(step_for(fetched, record, newer, false), copy_step::fetch);
    EXPECT_EQ(step_for(edited, record, first, false), copy_step::use)
        << "changes over the version the service holds are there to be sent";
    EXPECT_EQ(step_for(edited, record, newer, false), copy_step::keep_and_fetch);
    EXPECT_EQ(step_for(edited_later, record, newer, false), copy_step::keep_and_fetch);
    EXPECT_EQ(step_for(edited, record, newer, true), copy_step::fetch)
        << "changes the binding sent are on the service";

    // The copy holds what the service holds: uploaded, or fetched again.
    EXPECT_EQ(step_for(copy_of(12, 2000, 7000), record, newer, false), copy_step::use);
    // A record of the file that had this copy's path before.
    const opened_copy other{{L"f-other", 1000, 10}, fetched};
    EXPECT_EQ(step_for(fetched, other, first, false), copy_step::fetch);
    EXPECT_EQ(step_for(edited, other, first, false), copy_step::keep_and_fetch);
    // Without a record only the dates tell.
    EXPECT_EQ(step_for(edited_later, std::nullopt, newer, false), copy_step::use);
    EXPECT_EQ(step_for(edited, std::nullopt, newer, false), copy_step::keep_and_fetch);
    // A remote file without a date is never newer than its copy.
    EXPECT_EQ(step_for(edited, record, {L"f-1", -1, 12}, false), copy_step::use);
}

TEST(OpenedCopies, RecordsReadBackAndOnlyWholeOnesAreTaken) {
    const std::map<std::wstring, opened_copy> records{
        {L"C:\\saved\\Docs\\a.txt", {{L"f-1", 1700000000, 12}, copy_of(12, 1700000000, 5)}},
        {L"C:\\saved\\b", {{L"f-2", -1, 0}, copy_of(0, -86400, 6)}}};
    EXPECT_EQ(opened_copies::from_node(opened_copies::to_node(records)), records);

    serializer::node stored = opened_copies::to_node(records);
    auto damaged = stored.find(L"copy");
    damaged->second.set(L"size", L"12 bytes");
    EXPECT_EQ(opened_copies::from_node(stored).size(), 1u);
    damaged->second.set(L"size", L"99999999999999999999");
    EXPECT_EQ(opened_copies::from_node(stored).size(), 1u);
    damaged->second.erase(L"inode");
    EXPECT_EQ(opened_copies::from_node(stored).size(), 1u);

    serializer::node other(L"sync_bindings", L"");
    other.add(opened_copies::to_node(records).begin()->second);
    EXPECT_TRUE(opened_copies::from_node(other).empty());
}

}  // namespace
