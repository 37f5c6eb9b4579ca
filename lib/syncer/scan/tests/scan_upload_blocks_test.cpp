// Uploads a pass queues, sent into a remote file whose write calls take only
// part of each block, fail now and then, or stop taking bytes: every byte
// arrives once and in order, or the task fails with the remote write's kind
// and takes back the file it made.
#include "syncer/core/exceptions.h"
#include "syncer/scan/tests/scan_test_support.h"

namespace syncer::scan_testing {
namespace {

// Bytes that differ from one position to the next, so that a byte sent
// twice or skipped shows.
std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) % 256);
    return bytes;
}

class ScanUploadBlocks : public scan_test {
protected:
    ScanUploadBlocks() : owner(bind(L"sync", local)) { ui.answer(message_kind::upload_new, yes); }

    // The one task of the list once it ran.
    task ran_upload() {
        pass();
        run_tasks();
        std::lock_guard<std::mutex> guard(tasks_lock);
        EXPECT_EQ(tasks.size(), 1u);
        return tasks.front();
    }

    binding owner;
};

TEST_F(ScanUploadBlocks, EveryByteArrivesOnceThroughWritesThatTakePartOfABlockOrFail) {
    // A little over three blocks of the engine's copy.
    const std::string content = pattern(100000);
    write_local(L"big.bin", content, t0);
    fake_remote::write_limits limits;
    limits.most = 5000;
    limits.refused = {2, 9, 10};
    remote->limit_writes(limits);

    const task upload = ran_upload();

    EXPECT_TRUE(upload.is_done()) << to_utf8(upload.get_message());
    const auto sent = remote->file(L"sync/big.bin");
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->content.size(), content.size());
    EXPECT_TRUE(sent->content == content);
    EXPECT_EQ(sent->date, t0);
}

TEST_F(ScanUploadBlocks, ARemoteFileThatStopsTakingBytesFailsTheUploadWithTheWriteKind) {
    write_local(L"stuck.bin", pattern(1000), t0);
    fake_remote::write_limits limits;
    limits.most = 300;
    limits.silent_from = 2;
    remote->limit_writes(limits);

    const task upload = ran_upload();

    EXPECT_TRUE(upload.is_failed());
    EXPECT_EQ(upload.get_error_kind(), message_kind::write_remote_file);
    EXPECT_EQ(upload.get_message(), L"") << "the kind says it all";
    EXPECT_FALSE(remote->file(L"sync/stuck.bin")) << "the file the upload made is taken back";
}

}  // namespace
}  // namespace syncer::scan_testing
