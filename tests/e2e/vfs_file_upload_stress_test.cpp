// Many uploads at once through own files, in small writes, on connections
// that the pooled transfer handles keep from one upload to the next: a busy
// transfer server must never confirm an upload it did not receive whole, and
// every upload ends with the whole content committed.
#include <string>
#include <thread>
#include <vector>

#include "vfs_file_support.h"

namespace calvimora::testing {
namespace {

class upload_stress_test : public file_session_test {};

TEST_F(upload_stress_test, ParallelUploadsOnKeptConnectionsAllArriveWhole) {
    constexpr int uploaders = 8;
    constexpr int uploads_each = 12;
    constexpr std::size_t size = 600000;
    constexpr int write_size = 4096;
    std::vector<own_file_ptr> files;
    for (int n = 0; n < uploaders; ++n) files.push_back(stored_file("f" + std::to_string(n), ""));

    std::vector<std::wstring> failures(uploaders);
    std::vector<std::string> last_sent(uploaders);
    std::vector<std::thread> threads;
    for (int n = 0; n < uploaders; ++n) {
        threads.emplace_back([&, n] {
            vfs::file& file = *files[static_cast<std::size_t>(n)];
            for (int round = 0; round < uploads_each && failures[n].empty(); ++round) {
                const std::string content =
                    pattern(size, static_cast<unsigned>(n * uploads_each + round));
                failures[n] = failure_text([&] {
                    file.open(vfs::modeWrite | vfs::modeOverwrite, static_cast<std::int64_t>(size));
                    write_all(file, content, write_size);
                    file.close(1000 + round);
                });
                last_sent[n] = content;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (int n = 0; n < uploaders; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(L"", failures[n]);
        const calvimora::testing::stored_file stored =
            service_.file_info(narrow(files[n]->get_id()));
        EXPECT_EQ(static_cast<std::int64_t>(size), stored.size);
        EXPECT_EQ(md5(last_sent[n]), stored.md5);
    }
}

}  // namespace
}  // namespace calvimora::testing
