// File contents through own files and the transfer server of the stand-in
// service, over FTPS: round trips of many sizes in many chunk sizes,
// transfers cut on the way, uploads that must not be committed, speed
// limits and two transfers at once.
#include <algorithm>
#include <chrono>
#include <thread>

#include "vfs_file_support.h"

namespace calvimora::testing {
namespace {

using clock_type = std::chrono::steady_clock;

class file_transfer_test : public file_session_test {
protected:
    // Uploads data into the file in chunks of chunk bytes and commits it.
    void upload(vfs::file& file, const std::string& data, int chunk) {
        file.open(vfs::modeWrite | vfs::modeOverwrite, static_cast<std::int64_t>(data.size()));
        write_all(file, data, chunk);
        file.close(1000);
    }

    std::string download(vfs::file& file, int chunk) {
        file.open(vfs::modeRead, 0);
        std::string data = read_all(file, chunk);
        EXPECT_TRUE(file.is_eof());
        file.close(-1);
        return data;
    }

    void arm_cut(const std::string& direction, std::int64_t after, int count = 1) {
        transfer_fault cut;
        cut.direction = direction;
        cut.kind = "cut";
        cut.after = after;
        cut.count = count;
        service_.arm(cut);
    }

    std::vector<std::string> commands_named(const std::string& name) {
        std::vector<std::string> arguments;
        for (const transfer_command& command : service_.transfer_commands()) {
            if (command.command == name) arguments.push_back(command.argument);
        }
        return arguments;
    }
};

class round_trip_test : public file_transfer_test,
                        public ::testing::WithParamInterface<std::size_t> {};

TEST_P(round_trip_test, ContentsComeBackByteForByteInEveryChunkSize) {
    const std::size_t size = GetParam();
    // The large sizes only in large chunks, to keep the run short.
    const std::vector<int> chunks =
        size > 100000 ? std::vector<int>{4096, 100000} : std::vector<int>{1, 7, 4096, 100000};
    for (const int chunk : chunks) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        const std::string data = pattern(size, static_cast<unsigned>(size + chunk));
        auto file = stored_file("f" + std::to_string(chunk) + ".bin", "");
        upload(*file, data, chunk);
        const calvimora::testing::stored_file stored = service_.file_info(narrow(file->get_id()));
        EXPECT_EQ(static_cast<std::int64_t>(size), stored.size);
        EXPECT_EQ(md5(data), stored.md5);
        EXPECT_TRUE(same_bytes(data, download(*file_object(narrow(file->get_id()), "x"), chunk)));
    }
}

INSTANTIATE_TEST_SUITE_P(sizes, round_trip_test,
                         ::testing::Values(0, 1, 4095, 16384, 16385, 65537, (3 << 20) + 7));

TEST_F(file_transfer_test, ACutDownloadResumesWhereTheCallerGotTo) {
    const std::string content = pattern(300000, 1);
    auto file = stored_file("a.bin", content);
    arm_cut("download", 100000);
    file->open(vfs::modeRead, 0);
    std::string out;
    std::string buffer(4096, '\0');
    int failures = 0;
    std::int64_t delivered_at_failure = -1;
    for (int got = -1; got != 0 && failures < 3;) {
        try {
            got = file->read(buffer.data(), 4096);
            out.append(buffer.data(), static_cast<std::size_t>(got));
        } catch (const vfs::exception&) {
            ++failures;
            delivered_at_failure = file->get_pos();
        }
    }
    file->close(-1);
    EXPECT_EQ(1, failures);
    EXPECT_TRUE(same_bytes(content, out));
    EXPECT_LE(delivered_at_failure, 100000);
    EXPECT_EQ(std::vector<std::string>{std::to_string(delivered_at_failure)},
              commands_named("REST"));
}

// A location is a URL path on the transfer server: one that a service
// hands out with escapes reaches the server as the bytes they stand for,
// not escaped a second time.
TEST_F(file_transfer_test, AnEscapedLocationReachesTheServerAsTheBytesItStandsFor) {
    const std::string content = pattern(5000, 3);
    const std::string id = service_.add_file(alice_, "0", "e.bin", content);
    std::string escaped = "/%66iles/";
    for (const char digit : id) {
        escaped += "%3" + std::string(1, digit);
    }
    vfs_calvimora::file_record record;
    record.id = widen(id);
    record.name = L"e.bin";
    record.location = widen(escaped);
    record.size = static_cast<std::int64_t>(content.size());
    vfs_calvimora::file file(*session_, record, 0, L"");

    EXPECT_TRUE(same_bytes(content, download(file, 4096)));
    EXPECT_EQ(std::vector<std::string>{id}, commands_named("RETR"));
    const std::vector<std::string> folders = commands_named("CWD");
    EXPECT_NE(folders.end(), std::find(folders.begin(), folders.end(), "files"));
}

TEST_F(file_transfer_test, ACutUploadResumesFromWhatTheServerHolds) {
    const std::string content = pattern((4 << 20) + 3, 2);
    auto file = stored_file("a.bin", "old");
    arm_cut("upload", 1 << 20);
    file->open(vfs::modeWrite | vfs::modeOverwrite, static_cast<std::int64_t>(content.size()));
    int failures = 0;
    for (std::size_t at = 0; at < content.size();) {
        const int n = static_cast<int>(std::min<std::size_t>(100000, content.size() - at));
        try {
            file->write(content.data() + at, n);
            at += static_cast<std::size_t>(n);
        } catch (const vfs::exception&) {
            ASSERT_LT(++failures, 3);  // a failed write is retried
        }
    }
    file->close(-1);
    EXPECT_EQ(md5(content), service_.file_info(narrow(file->get_id())).md5);
    EXPECT_EQ(1u, commands_named("SIZE").size());
    EXPECT_EQ(1u, commands_named("APPE").size());
}

TEST_F(file_transfer_test, AnUploadTheServerDidNotConfirmIsNeverCommitted) {
    auto file = stored_file("a.bin", "old");
    arm_cut("upload", 200000);
    transfer_fault refuse;
    refuse.direction = "upload";
    refuse.kind = "refuse";
    refuse.count = 5;
    service_.arm(refuse);
    file->open(vfs::modeWrite | vfs::modeOverwrite, 1 << 20);
    const std::string content = pattern(1 << 20, 3);
    for (std::size_t at = 0; at < content.size(); at += 65536) {
        if (failure_text([&] { file->write(content.data() + at, 65536); }) != L"") break;
    }
    service_.requests(true);
    EXPECT_EQ(L"Close failed: Please, check your internet connection or firewall settings",
              failure_text([&] { file->close(-1); }));
    EXPECT_EQ(0, file->get_mode());
    EXPECT_TRUE(service_.requests(true).empty());
    EXPECT_EQ("old", service_.file_content(narrow(file->get_id())));
}

TEST_F(file_transfer_test, DroppingAnOpenUploadCommitsNothing) {
    auto file = stored_file("a.bin", "old");
    file->open(vfs::modeWrite | vfs::modeOverwrite, 3000);
    const std::string id = narrow(file->get_id());
    file->write(pattern(3000, 4).data(), 3000);
    service_.requests(true);
    file.reset();
    EXPECT_TRUE(service_.requests(true).empty());
    EXPECT_EQ("old", service_.file_content(id));
}

TEST_F(file_transfer_test, ClosingADownloadMidwayReportsNothingAndTheFileOpensAgain) {
    const std::string content = pattern(3 << 20, 5);
    auto file = stored_file("a.bin", content);
    file->open(vfs::modeRead, 0);
    std::string head(1000, '\0');
    ASSERT_EQ(1000, file->read(head.data(), 1000));
    const auto before = clock_type::now();
    file->close(-1);
    EXPECT_LT(clock_type::now() - before, std::chrono::seconds(5));
    EXPECT_TRUE(same_bytes(content, download(*file, 65536)));
}

TEST_F(file_transfer_test, TwoFilesMoveAtOnceOnTwoThreads) {
    const std::string up = pattern(3 << 20, 6);
    const std::string stored = pattern(3 << 20, 7);
    auto target = stored_file("up.bin", "");
    auto source = stored_file("down.bin", stored);
    std::wstring upload_failure;
    std::string downloaded;
    std::thread uploader(
        [&] { upload_failure = failure_text([&] { upload(*target, up, 8192); }); });
    std::thread downloader([&] {
        source->open(vfs::modeRead, 0);
        downloaded = read_all(*source, 5000);
        source->close(-1);
    });
    uploader.join();
    downloader.join();
    EXPECT_EQ(L"", upload_failure);
    EXPECT_EQ(md5(up), service_.file_info(narrow(target->get_id())).md5);
    EXPECT_TRUE(same_bytes(stored, downloaded));
}

TEST_F(file_transfer_test, SpeedLimitsOfTheAccountAreKept) {
    constexpr int limit = 1 << 20;  // bytes per second, both ways
    alice_ = service_
                 .control("add_user", json_object()
                                          .set("name", "slow")
                                          .set("password", "pw")
                                          .set("upload_limit", limit)
                                          .set("download_limit", limit))
                 .get<std::string>("user_id");
    session_ = vfs_calvimora::client::log_in(L"slow", L"pw", L"pc-1");
    const std::string content = pattern(3 * limit / 2, 8);
    auto file = stored_file("a.bin", "");

    auto start = clock_type::now();
    upload(*file, content, 65536);
    EXPECT_GT(clock_type::now() - start, std::chrono::milliseconds(1000));
    start = clock_type::now();
    EXPECT_TRUE(same_bytes(content, download(*file, 65536)));
    EXPECT_GT(clock_type::now() - start, std::chrono::milliseconds(1000));

    // The pooled transfer handle keeps no limit for an account without one:
    // four seconds' worth of the old limit goes faster than the limit lets
    // it. (A whole second of margin was too little on a machine loaded with
    // parallel suites.)
    alice_ = service_.add_user("fast", "pw");
    session_ = vfs_calvimora::client::log_in(L"fast", L"pw", L"pc-1");
    auto other = stored_file("b.bin", "");
    const std::string larger = pattern(4 * limit, 9);
    start = clock_type::now();
    upload(*other, larger, 65536);
    EXPECT_LT(clock_type::now() - start, std::chrono::seconds(4));
}

}  // namespace
}  // namespace calvimora::testing
