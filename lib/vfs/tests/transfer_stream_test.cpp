// The transfer stream over local files (file:// addresses): the end of the
// data and the stream's checks; and the retained bytes of an upload.
// Transfers against the transfer server are tested end to end.
#include "vfs/transfer_stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>

#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {
namespace {

std::string pattern(std::size_t size) {
    std::mt19937 random(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

class transfer_stream_test : public ::testing::Test {
protected:
    transfer_stream_test()
        : folder_(std::filesystem::temp_directory_path() /
                  ("transfer_stream_test_" + std::to_string(getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::create_directories(folder_);
    }
    ~transfer_stream_test() override { std::filesystem::remove_all(folder_); }

    std::string put(const std::string& name, const std::string& bytes) {
        std::ofstream(folder_ / name, std::ios::binary) << bytes;
        return (folder_ / name).string();
    }

    std::filesystem::path folder_;
    transfer_stream stream_{"file://", "", "", 0, 0, ""};
};

void expect_failure(const std::function<void()>& call, const wchar_t* title, const wchar_t* text) {
    try {
        call();
        ADD_FAILURE() << "no exception";
    } catch (const exception& failure) {
        EXPECT_EQ(title, failure.get_title());
        EXPECT_EQ(text, failure.get_text());
    }
}

TEST_F(transfer_stream_test, ADownloadEndingShortOfItsSizeIsNoWholeFile) {
    const std::string content = pattern(5000);
    stream_.transfer_open(put("short.bin", content), transfer_stream::download, 8000);
    std::string buffer(8000, '\0');
    expect_failure([&] { stream_.transfer_read(buffer.data(), 8000); }, L"Read failed",
                   L"Please, check your internet connection or firewall settings");
    EXPECT_FALSE(stream_.is_eof());
    // The next read resumes at the bytes delivered, and fails again.
    ASSERT_EQ(4000, stream_.transfer_read(buffer.data(), 4000));
    EXPECT_EQ(content.substr(0, 4000), buffer.substr(0, 4000));
    expect_failure([&] { stream_.transfer_read(buffer.data(), 8000); }, L"Read failed",
                   L"Please, check your internet connection or firewall settings");
    EXPECT_TRUE(stream_.transfer_close());

    // The same content whole when its size is not known.
    stream_.transfer_open(put("short.bin", content), transfer_stream::download, -1);
    EXPECT_EQ(5000, stream_.transfer_read(buffer.data(), 8000));
    EXPECT_EQ(content, buffer.substr(0, 5000));
    EXPECT_TRUE(stream_.is_eof());
    stream_.transfer_close();
}

// Reads larger than libcurl's buffers are filled from several of them; the
// read that takes the last byte reports the end at once.
TEST_F(transfer_stream_test, LargeReadsGetWholeBuffersAndTheLastByteBringsTheEnd) {
    const std::string content = pattern((5 << 20) / 2);
    stream_.transfer_open(put("large.bin", content), transfer_stream::download,
                          static_cast<std::int64_t>(content.size()));
    std::string got;
    std::string buffer(1 << 20, '\0');
    for (int n; (n = stream_.transfer_read(buffer.data(), 1 << 20)) > 0;) {
        got.append(buffer.data(), static_cast<std::size_t>(n));
        EXPECT_TRUE(n == 1 << 20 || got.size() == content.size()) << n;
    }
    EXPECT_TRUE(got == content);
    EXPECT_TRUE(stream_.transfer_close());

    const std::string small = pattern(40000);
    stream_.transfer_open(put("small.bin", small), transfer_stream::download, 40000);
    ASSERT_EQ(40000, stream_.transfer_read(buffer.data(), 40000));
    EXPECT_TRUE(stream_.is_eof());
    EXPECT_EQ(small, buffer.substr(0, 40000));
    EXPECT_EQ(0, stream_.transfer_read(buffer.data(), 10));
    stream_.transfer_close();
}

TEST_F(transfer_stream_test, RefusesWhatItCannotDo) {
    const std::string path = put("x.bin", "abc");
    char byte = 0;
    expect_failure([&] { stream_.transfer_open(path, 0); }, L"Open failed", L"Invalid open mode");
    expect_failure([&] { stream_.transfer_read(&byte, 1); }, L"Read failed", L"File not opened");
    expect_failure([&] { stream_.transfer_write(&byte, 1); }, L"Write failed", L"File not opened");
    expect_failure([&] { stream_.transfer_close(); }, L"Close failed", L"File is not opened");

    stream_.transfer_open(path, transfer_stream::download);
    expect_failure([&] { stream_.transfer_open(path, transfer_stream::download); }, L"Open failed",
                   L"File already opened");
    expect_failure([&] { stream_.transfer_read(nullptr, 1); }, L"Read failed", L"buffer is NULL");
    expect_failure([&] { stream_.transfer_write(&byte, 1); }, L"Write failed",
                   L"Incorrect file mode");
    stream_.transfer_close();

    stream_.transfer_open((folder_ / "y.bin").string(), transfer_stream::upload);
    expect_failure([&] { stream_.transfer_read(&byte, 1); }, L"Read failed",
                   L"Incorrect file mode");
    expect_failure([&] { stream_.transfer_write(nullptr, 1); }, L"Write failed", L"buffer is NULL");
    stream_.transfer_abort();

    expect_failure([&] { stream_.transfer_open((folder_ / "missing").string(), 1); },
                   L"Open failed", L"Please, check your internet connection or firewall settings");
    EXPECT_EQ(transfer_stream::closed, stream_.get_mode());
}

// A path is a URL path: its "%" escapes stand for the bytes they encode and
// are passed on as they are; every other byte reaches the server unchanged,
// "?", "#", blanks, a lone "%" and bytes beyond ASCII included.
TEST_F(transfer_stream_test, APathReachesTheServerAsTheBytesItsEscapesStandFor) {
    const std::string content = "the same file";
    const std::string folder = folder_.string();
    put("a b#c?d%e\xC3\xA9.bin", content);
    for (const std::string& name :
         {std::string("a b#c?d%e\xC3\xA9.bin"), std::string("a%20b%23c%3Fd%25e%C3%a9.bin"),
          std::string("a%20b#c%3fd%e\xC3\xA9.bin")}) {
        SCOPED_TRACE(name);
        stream_.transfer_open(folder + "/" + name, transfer_stream::download);
        std::string buffer(64, '\0');
        const int got = stream_.transfer_read(buffer.data(), 64);
        EXPECT_EQ(content, buffer.substr(0, static_cast<std::size_t>(std::max(got, 0))));
        stream_.transfer_close();
    }

    stream_.transfer_open(folder + "/up%20load%25.bin", transfer_stream::upload);
    stream_.transfer_write(content.data(), static_cast<int>(content.size()));
    EXPECT_TRUE(stream_.transfer_close());
    std::ifstream uploaded(folder_ / "up load%.bin", std::ios::binary);
    EXPECT_EQ(content, std::string(std::istreambuf_iterator<char>(uploaded), {}));
}

TEST(upload_retention, KeepsOneRangeAcrossChunks) {
    const std::string bytes = pattern(700000);
    upload_retention kept;
    kept.append(bytes.data(), 300000);
    kept.append(bytes.data() + 300000, 400000);
    EXPECT_EQ(0, kept.begin());
    EXPECT_EQ(700000, kept.end());

    std::string out(5000, '\0');
    kept.copy_out(260000, out.data(), out.size());  // across the first chunk's end
    EXPECT_EQ(bytes.substr(260000, 5000), out);

    kept.release_before(600000);  // frees the two whole chunks before it
    EXPECT_EQ(524288, kept.begin());
    kept.copy_out(524288, out.data(), out.size());
    EXPECT_EQ(bytes.substr(524288, 5000), out);

    kept.truncate(530000);
    EXPECT_EQ(530000, kept.end());
    kept.append(bytes.data() + 530000, 170000);
    std::string tail(170000 + 5712, '\0');
    kept.copy_out(524288, tail.data(), tail.size());
    EXPECT_EQ(bytes.substr(524288), tail);

    kept.reset(42);
    EXPECT_EQ(42, kept.begin());
    EXPECT_EQ(42, kept.end());
}

}  // namespace
}  // namespace vfs_calvimora
