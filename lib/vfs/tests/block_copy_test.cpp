// Writing a whole block into a file whose write calls take only part of what
// they are given, and copying a source block by block: offsets, progress,
// cancel, and steps the caller gives up on or tries again.
#include "vfs/block_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace vfs {
namespace {

// Thrown by the file below when told to fail a write call.
class write_refused : public exception {
public:
    std::wstring get_title() const override { return L"Write refused"; }
    std::wstring get_text() const override { return L"the connection was cut"; }
};

// A file that takes at most `per_call` bytes a call; the write calls whose
// numbers are in `refused` throw, and from call `silent_from` on every call
// takes nothing.
class partial_file : public file {
public:
    explicit partial_file(int per_call) : per_call_(per_call) {}

    std::string contents;
    std::vector<int> refused;
    int silent_from = -1;
    int calls = 0;

    int write(const void* data, int length) override {
        const int call = calls++;
        if (std::find(refused.begin(), refused.end(), call) != refused.end()) throw write_refused();
        if (silent_from >= 0 && call >= silent_from) return 0;
        const int taken = std::min(length, per_call_);
        contents.append(static_cast<const char*>(data), static_cast<std::size_t>(taken));
        return taken;
    }

    std::wstring get_name() override { return L"partial"; }
    std::wstring get_id() override { return L""; }
    std::wstring get_path() override { return L""; }
    std::wstring get_description() override { return L""; }
    void set_description(const std::wstring&) override {}
    int get_type() override { return item_type_file; }
    byte_buffer get_thumbnail() override { return {}; }
    void set_access(int) override {}
    int get_access() override { return access_private; }
    std::wstring get_link() override { return L""; }
    std::int64_t get_creation_date() override { return no_date; }
    std::int64_t get_delete_date() override { return no_date; }
    void restore() override {}
    std::wstring get_direct_link() override { return L""; }
    void copy(const item_ptr&, bool) override {}
    double get_price() override { return 0; }
    void set_price(double) override {}
    void open(int, std::int64_t) override {}
    void close(std::int64_t) override {}
    bool is_bof() override { return true; }
    bool is_eof() override { return true; }
    int get_mode() override { return 0; }
    std::int64_t get_pos() override { return 0; }
    void seek(std::int64_t, int) override {}
    int read(void*, int) override { return 0; }
    std::int64_t get_size() override { return static_cast<std::int64_t>(contents.size()); }
    std::int64_t get_access_date() override { return no_date; }
    std::int64_t get_modification_date() override { return no_date; }
    void set_modification_date(std::int64_t) override {}
    int get_attributes() override { return 0; }
    void set_attributes(int) override {}

private:
    int per_call_;
};

const std::string text = "The quick brown fox jumps over the lazy dog";

TEST(WriteAll, OffersTheRestUntilTheFileTookEveryByteAndGoesOnAfterAFailure) {
    partial_file sink(4);
    std::size_t written = 0;
    write_all(sink, text.data(), text.size(), written);
    EXPECT_EQ(sink.contents, text);
    EXPECT_EQ(written, text.size());
    EXPECT_EQ(sink.calls, 11);

    // A call that fails takes nothing: the next try starts at the first
    // byte no call took, so no byte goes twice or not at all.
    partial_file cut(4);
    cut.refused = {3};
    written = 0;
    EXPECT_THROW(write_all(cut, text.data(), text.size(), written), write_refused);
    EXPECT_EQ(written, 12u);
    write_all(cut, text.data(), text.size(), written);
    EXPECT_EQ(cut.contents, text);
}

TEST(WriteAll, AFileThatTakesNothingIsAShortWriteSayingHowFarItGot) {
    partial_file sink(4);
    sink.silent_from = 2;
    std::size_t written = 0;
    try {
        write_all(sink, text.data(), 10, written);
        FAIL() << "a write that takes nothing ends the block";
    } catch (const short_write& failure) {
        EXPECT_EQ(failure.get_title(), L"Write failed");
        EXPECT_EQ(failure.get_text(), L"only 8 of 10 bytes were written");
    }
    EXPECT_EQ(written, 8u);
}

// A source over a text that records the offsets it was read at.
struct text_source {
    std::string bytes;
    std::vector<std::uint64_t> offsets;
    std::optional<std::size_t> operator()(char* buffer, std::size_t length, std::uint64_t offset) {
        offsets.push_back(offset);
        const std::size_t count = std::min(length, bytes.size() - offset);
        std::copy_n(bytes.data() + offset, count, buffer);
        return count;
    }
};

TEST(BlockCopy, CopiesBlockByBlockWithOffsetsAndProgressUntilTheSourceEnds) {
    text_source source{text, {}};
    partial_file sink(3);
    std::vector<std::pair<std::uint64_t, std::size_t>> progress;
    block_copy copy;
    copy.read = [&](char* buffer, std::size_t length, std::uint64_t offset) {
        return source(buffer, length, offset);
    };
    copy.write = [&](const char* block, std::size_t length, std::uint64_t, std::size_t& taken) {
        write_all(sink, block, length, taken);
        return true;
    };
    copy.progress = [&](std::uint64_t copied, std::size_t block) {
        progress.emplace_back(copied, block);
    };
    char buffer[16];

    const copy_result result = copy_blocks(copy, buffer);

    EXPECT_EQ(result.end, copy_end::complete);
    EXPECT_EQ(result.copied, text.size());
    EXPECT_EQ(sink.contents, text);
    EXPECT_EQ(source.offsets, (std::vector<std::uint64_t>{0, 16, 32, 43}));
    EXPECT_EQ(progress,
              (std::vector<std::pair<std::uint64_t, std::size_t>>{{16, 16}, {32, 16}, {43, 11}}));
}

TEST(BlockCopy, ACancelEndsItAfterTheBlockAndAStepGivenUpEndsItBeforeTheNext) {
    text_source source{text, {}};
    std::string sunk;
    int progress_calls = 0;
    block_copy copy;
    copy.read = [&](char* buffer, std::size_t length, std::uint64_t offset) {
        return source(buffer, length, offset);
    };
    copy.write = [&](const char* block, std::size_t length, std::uint64_t, std::size_t& taken) {
        sunk.append(block, length);
        taken = length;
        return true;
    };
    copy.progress = [&](std::uint64_t, std::size_t) { ++progress_calls; };
    copy.cancelled = [&] { return progress_calls == 2; };
    char buffer[10];

    copy_result result = copy_blocks(copy, buffer);
    EXPECT_EQ(result.end, copy_end::cancelled);
    EXPECT_EQ(result.copied, 20u);
    EXPECT_EQ(sunk, text.substr(0, 20));
    EXPECT_EQ(source.offsets.size(), 2u) << "nothing is read after the cancel";

    // A read given up: nothing more is written.
    copy.cancelled = nullptr;
    copy.read = [](char*, std::size_t, std::uint64_t) { return std::optional<std::size_t>(); };
    sunk.clear();
    result = copy_blocks(copy, buffer);
    EXPECT_EQ(result.end, copy_end::gave_up);
    EXPECT_EQ(result.copied, 0u);
    EXPECT_TRUE(sunk.empty());

    // A write given up: the block is not counted, nor told as progress.
    source.offsets.clear();
    copy.read = [&](char* buffer, std::size_t length, std::uint64_t offset) {
        return source(buffer, length, offset);
    };
    copy.write = [&](const char*, std::size_t, std::uint64_t offset, std::size_t&) {
        return offset == 0;
    };
    progress_calls = 0;
    result = copy_blocks(copy, buffer);
    EXPECT_EQ(result.end, copy_end::gave_up);
    EXPECT_EQ(result.copied, 10u);
    EXPECT_EQ(progress_calls, 1);
}

TEST(BlockCopy, AWriteTriedAgainByItsCallerGoesOnWhereTheFileStopped) {
    text_source source{text, {}};
    partial_file sink(5);
    sink.refused = {1, 2, 9};
    int failures = 0;
    block_copy copy;
    copy.read = [&](char* buffer, std::size_t length, std::uint64_t offset) {
        return source(buffer, length, offset);
    };
    // The caller's retries: every failed write is tried again.
    copy.write = [&](const char* block, std::size_t length, std::uint64_t, std::size_t& taken) {
        for (;;) {
            try {
                write_all(sink, block, length, taken);
                return true;
            } catch (const write_refused&) {
                ++failures;
            }
        }
    };
    char buffer[12];

    const copy_result result = copy_blocks(copy, buffer);

    EXPECT_EQ(result.end, copy_end::complete);
    EXPECT_EQ(failures, 3);
    EXPECT_EQ(sink.contents, text) << "each byte once, in order";
}

}  // namespace
}  // namespace vfs
