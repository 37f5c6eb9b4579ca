// A process killed at any step of a save leaves the old or the new file in
// place, never neither, and the next save works.
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <boost/filesystem/operations.hpp>
#include <csignal>

#include "save_helper_process.h"
#include "serializer/file_serializer.h"
#include "settings_folder.h"

namespace serializer {
namespace {

using testing_support::items_with;
using testing_support::parse_file;
namespace fs = boost::filesystem;

struct crash_case {
    const char* step;
    bool keep_backup;
    const wchar_t* file_after;    // what the file holds after the kill
    const wchar_t* backup_after;  // what the backup holds, nullptr for none
};

class FileSerializerCrash : public testing::TestWithParam<crash_case> {};

TEST_P(FileSerializerCrash, LeavesTheOldOrTheNewFile) {
    testing_support::settings_folder folder;
    const fs::path file = folder.file(L"sync_rules_1.xml");
    file_serializer::save_cached(file, items_with(L"first"), true);
    file_serializer::save_cached(file, items_with(L"old"), true);

    const int status = testing_support::run_save_helper(file.native(), "new",
                                                        GetParam().keep_backup, GetParam().step);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the helper never reached " << GetParam().step;
    ASSERT_EQ(WTERMSIG(status), SIGKILL);

    EXPECT_EQ(parse_file(file), items_with(GetParam().file_after));
    const fs::path backup = folder.file(L"sync_rules_1.xml.bak");
    if (GetParam().backup_after)
        EXPECT_EQ(parse_file(backup), items_with(GetParam().backup_after));
    else
        EXPECT_FALSE(fs::exists(backup));
    EXPECT_EQ(file_serializer::load_cached(file), items_with(GetParam().file_after));

    file_serializer::save_cached(file, items_with(L"after"), true);
    EXPECT_EQ(parse_file(file), items_with(L"after"));
    EXPECT_EQ(parse_file(backup), items_with(GetParam().file_after));
}

INSTANTIATE_TEST_SUITE_P(EveryStep, FileSerializerCrash,
                         testing::Values(crash_case{"temporary_opened", true, L"old", L"first"},
                                         crash_case{"temporary_written", true, L"old", L"first"},
                                         crash_case{"backup_removed", true, L"old", nullptr},
                                         crash_case{"backup_made", true, L"old", L"old"},
                                         crash_case{"file_replaced", true, L"new", L"old"},
                                         crash_case{"temporary_opened", false, L"old", L"first"},
                                         crash_case{"temporary_written", false, L"old", L"first"},
                                         crash_case{"backup_removed", false, L"old", nullptr},
                                         crash_case{"file_replaced", false, L"new", nullptr}),
                         [](const testing::TestParamInfo<crash_case>& info) {
                             return std::string(info.param.step) +
                                    (info.param.keep_backup ? "_with_backup" : "");
                         });

}  // namespace
}  // namespace serializer
