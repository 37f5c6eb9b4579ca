#include <gtest/gtest.h>

#include <cstring>

#include "win/com.h"
#include "win/global_memory.h"

TEST(GlobalMemory, MovableBlocksCountLocksAndFixedOnesAreTheirAddress) {
    HGLOBAL movable = GlobalAlloc(GHND, 16);
    ASSERT_NE(movable, nullptr);
    EXPECT_EQ(GlobalSize(movable), 16u);
    char* data = static_cast<char*>(GlobalLock(movable));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data[15], 0);  // zero-filled
    EXPECT_EQ(GlobalLock(movable), data);
    EXPECT_TRUE(GlobalUnlock(movable));  // one lock left
    EXPECT_FALSE(GlobalUnlock(movable));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(movable));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));

    std::memcpy(GlobalLock(movable), "keep", 4);
    GlobalUnlock(movable);
    ASSERT_EQ(GlobalReAlloc(movable, 4096, GMEM_ZEROINIT), movable);
    char* grown = static_cast<char*>(GlobalLock(movable));
    EXPECT_EQ(std::memcmp(grown, "keep", 4), 0);
    EXPECT_EQ(grown[4095], 0);
    // A locked movable block does not move unless asked to.
    EXPECT_EQ(GlobalReAlloc(movable, 1 << 20, 0), nullptr);
    GlobalUnlock(movable);
    EXPECT_EQ(GlobalFree(movable), nullptr);
    EXPECT_EQ(GlobalFree(movable), movable);  // already gone
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    HGLOBAL fixed = GlobalAlloc(GPTR, 8);
    EXPECT_EQ(GlobalLock(fixed), fixed);
    EXPECT_FALSE(GlobalUnlock(fixed));
    EXPECT_EQ(GlobalFree(fixed), nullptr);
    EXPECT_EQ(GlobalAlloc(0x8000, 8), nullptr);
}

TEST(MemoryStream, GrowsOnWriteSeeksReadsAndReportsItsSize) {
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ULONG count = 0;
    ASSERT_EQ(stream->Write("hello world", 11, &count), S_OK);
    EXPECT_EQ(count, 11u);
    LARGE_INTEGER move{};
    move.QuadPart = 6;
    ULARGE_INTEGER position{};
    ASSERT_EQ(stream->Seek(move, STREAM_SEEK_SET, &position), S_OK);
    char buffer[16] = {};
    ASSERT_EQ(stream->Read(buffer, sizeof buffer, &count), S_OK);
    EXPECT_EQ(count, 5u);  // a short read at the end is not an error
    EXPECT_STREQ(buffer, "world");
    ASSERT_EQ(stream->Read(buffer, sizeof buffer, &count), S_OK);
    EXPECT_EQ(count, 0u);
    move.QuadPart = -20;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_END, &position), STG_E_INVALIDFUNCTION);

    STATSTG statistics{};
    ASSERT_EQ(stream->Stat(&statistics, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(statistics.cbSize.QuadPart, 11u);
    EXPECT_EQ(statistics.type, static_cast<DWORD>(STGTY_STREAM));

    // A write past the end leaves a zeroed gap.
    move.QuadPart = 20;
    stream->Seek(move, STREAM_SEEK_SET, nullptr);
    stream->Write("!", 1, nullptr);
    HGLOBAL memory = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(stream, &memory), S_OK);
    const char* data = static_cast<const char*>(GlobalLock(memory));
    EXPECT_EQ(data[15], 0);
    EXPECT_EQ(data[20], '!');
    GlobalUnlock(memory);

    void* as_unknown = nullptr;
    EXPECT_EQ(stream->QueryInterface(IID_IUnknown, &as_unknown), S_OK);
    static_cast<IUnknown*>(as_unknown)->Release();
    EXPECT_EQ(stream->Release(), 0u);
    SetLastError(0);
    EXPECT_EQ(GlobalSize(memory), 0u);  // freed with the stream
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(MemoryStream, ClonesShareTheBlockAndKeepTheirOwnPosition) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 3);
    std::memcpy(GlobalLock(memory), "abc", 3);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(memory, FALSE, &stream), S_OK);
    char c = 0;
    stream->Read(&c, 1, nullptr);
    IStream* clone = nullptr;
    ASSERT_EQ(stream->Clone(&clone), S_OK);
    stream->Read(&c, 1, nullptr);
    EXPECT_EQ(c, 'b');
    clone->Read(&c, 1, nullptr);
    EXPECT_EQ(c, 'b');  // the clone started where the original was
    clone->Write("Z", 1, nullptr);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    char all[4] = {};
    stream->Read(all, 3, nullptr);
    EXPECT_STREQ(all, "abZ");
    stream->Release();
    clone->Release();
    EXPECT_EQ(GlobalSize(memory), 3u);  // not the streams' to free
    GlobalFree(memory);
    EXPECT_EQ(CreateStreamOnHGlobal(memory, FALSE, &stream), E_INVALIDARG);
}
