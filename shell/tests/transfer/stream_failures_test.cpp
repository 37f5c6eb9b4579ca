// Failures of the stream's remote file, step by step, on a file whose
// failures a test arms: the box of each step and its Retry, silent streams
// that keep the failure, a read of nothing that ends a copy, and the close
// when the last reference goes.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_items.h"
#include "folder/transfer/stream_impl.h"
#include "vfs/calvimora_exception.h"
#include "win/machine.h"
#include "win/test_journal.h"
#include "win/test_stream.h"
#include "win/user.h"

namespace {

// A file of bytes in memory; each armed count fails that many calls of its
// operation before they work again.
class scripted_file : public shell_testing::fake_file {
public:
    explicit scripted_file(std::string content)
        : fake_file({L"a.txt", L"id-a"}), bytes(std::move(content)) {
        size = static_cast<std::int64_t>(bytes.size());
    }

    std::string bytes;
    int mode = 0;
    std::size_t position = 0;
    int failing_reads = 0;
    int failing_sizes = 0;
    int failing_closes = 0;
    bool reads_nothing = false;
    std::vector<std::int64_t> closed_with;

    void open(int open_mode, std::int64_t) override {
        mode = open_mode;
        position = 0;
    }
    void close(std::int64_t file_time) override {
        closed_with.push_back(file_time);
        if (failing_closes > 0 && failing_closes--)
            throw vfs_calvimora::exception(L"Close failed", L"Connection lost");
        mode = 0;
    }
    int get_mode() override { return mode; }
    std::int64_t get_pos() override { return static_cast<std::int64_t>(position); }
    bool is_eof() override { return position >= bytes.size(); }
    void seek(std::int64_t, int) override {
        throw vfs_calvimora::exception(L"Seek error", L"Not here");
    }
    int read(void* buffer, int length) override {
        if (failing_reads > 0 && failing_reads--)
            throw vfs_calvimora::exception(L"Read failed", L"Cut");
        if (reads_nothing) return 0;
        const std::size_t count = std::min<std::size_t>(length, bytes.size() - position);
        std::memcpy(buffer, bytes.data() + position, count);
        position += count;
        return static_cast<int>(count);
    }
    std::int64_t get_size() override {
        if (failing_sizes > 0 && failing_sizes--)
            throw vfs_calvimora::exception(L"Size failed", L"Unknown");
        return size;
    }
};

class StreamFailures : public ::testing::Test {
protected:
    StreamFailures() : file_(boost::make_shared<scripted_file>("0123456789")) {
        CComObject<CStreamImpl>* made = nullptr;
        EXPECT_EQ(CComObject<CStreamImpl>::CreateInstance(&made), S_OK);
        made->AddRef();
        impl_ = made;
        stream_ = made;
        EXPECT_EQ(impl_->Init(file_), S_OK);
    }
    ~StreamFailures() override {
        if (stream_) stream_->Release();
    }

    // Answers boxes in turn with the given buttons, keeping their texts.
    void answer_with(std::vector<int> buttons) {
        answers_ = std::move(buttons);
        responder_.reset();  // its end clears whatever responder is set
        responder_ = std::make_unique<win_test::scoped_message_box_responder>(
            [this](const std::wstring& text, const std::wstring& caption, UINT type) {
                boxes_.push_back(caption + L"|" + text);
                EXPECT_EQ(type, static_cast<UINT>(MB_RETRYCANCEL | MB_ICONERROR | MB_SYSTEMMODAL));
                const int answer = answers_.empty() ? IDCANCEL : answers_.front();
                if (!answers_.empty()) answers_.erase(answers_.begin());
                return answer;
            });
    }

    win_machine::scoped_root root_;
    boost::shared_ptr<scripted_file> file_;
    CStreamImpl* impl_ = nullptr;
    IStream* stream_ = nullptr;
    std::vector<int> answers_;
    std::vector<std::wstring> boxes_;
    std::unique_ptr<win_test::scoped_message_box_responder> responder_;
};

TEST_F(StreamFailures, RetryReadsAgainAndCancelGivesUp) {
    file_->failing_reads = 2;
    answer_with({IDRETRY, IDRETRY});
    char buffer[4] = {};
    ULONG got = 0;
    ASSERT_EQ(stream_->Read(buffer, 4, &got), S_OK);
    EXPECT_EQ(std::string(buffer, got), "0123");
    EXPECT_EQ(boxes_, std::vector<std::wstring>(2, L"Error|Can't read from 'a.txt': Cut"));

    file_->failing_reads = 1;
    answer_with({IDCANCEL});
    got = 9;
    EXPECT_EQ(stream_->Read(buffer, 4, &got), E_FAIL);
    EXPECT_EQ(got, 0u);
}

TEST_F(StreamFailures, ASilentStreamShowsNoBoxAndKeepsTheFailure) {
    impl_->SetSilent();
    file_->failing_reads = 1;
    char buffer[4];
    EXPECT_EQ(stream_->Read(buffer, 4, nullptr), E_FAIL);
    EXPECT_TRUE(win_test::message_boxes().empty());
    wchar_t title[32], text[32];
    ASSERT_EQ(impl_->GetError(title, text, 32, 32), S_OK);
    EXPECT_EQ(std::wstring(title), L"Read failed");
    EXPECT_EQ(std::wstring(text), L"Cut");
}

TEST_F(StreamFailures, SeekNeverAsksButKeepsItsFailure) {
    answer_with({});
    LARGE_INTEGER move{};
    move.QuadPart = 5;
    EXPECT_EQ(stream_->Seek(move, STREAM_SEEK_SET, nullptr), E_FAIL);
    EXPECT_TRUE(boxes_.empty());
    wchar_t title[32], text[32];
    ASSERT_EQ(impl_->GetError(title, text, 32, 32), S_OK);
    EXPECT_EQ(std::wstring(text), L"Not here");
}

TEST_F(StreamFailures, AStatThatFailsAsksWithItsOwnMessage) {
    file_->failing_sizes = 1;
    answer_with({IDCANCEL});
    STATSTG statistics;
    std::memset(&statistics, 0x5A, sizeof statistics);
    EXPECT_EQ(stream_->Stat(&statistics, STATFLAG_NONAME), E_FAIL);
    EXPECT_EQ(boxes_, std::vector<std::wstring>{L"Error|Can't seek 'a.txt': Unknown"});
    EXPECT_EQ(statistics.cbSize.QuadPart, 0u) << "the record is cleared first";
}

TEST_F(StreamFailures, ACopyEndsWhenAReadBringsNothing) {
    file_->reads_nothing = true;
    win_test::test_stream target;
    ULARGE_INTEGER size{}, read{}, written{};
    size.QuadPart = 100;
    EXPECT_EQ(stream_->CopyTo(&target, size, &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 0u);
    EXPECT_EQ(written.QuadPart, 0u);
}

TEST_F(StreamFailures, TheLastReleaseClosesTheFileAndReportsAFailure) {
    file_->failing_closes = 1;
    answer_with({IDRETRY});
    stream_->Release();
    stream_ = nullptr;
    EXPECT_EQ(boxes_, std::vector<std::wstring>{L"Error|Can't close 'a.txt': Connection lost"});
    EXPECT_EQ(file_->closed_with, (std::vector<std::int64_t>{-1, -1}));
    EXPECT_EQ(file_->mode, 0);
}

}  // namespace
