#include "vfs/curl_descriptor.h"

#include <gtest/gtest.h>

#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {
namespace {

std::wstring title_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const exception& failure) {
        EXPECT_EQ(failure.get_text(), L"Please, contact software manufacturer");
        return failure.get_title();
    }
    return L"";
}

TEST(CurlDescriptorCache, GrowsOnlyToTheHandlesInUseAtOnceAndReusesTheFirstFree) {
    curl_descriptor_cache pool;
    CURL* first_handle = nullptr;
    {
        curl_descriptor first(pool);
        curl_descriptor second(pool);
        EXPECT_EQ(first.position(), 0u);
        EXPECT_EQ(second.position(), 1u);
        EXPECT_NE(first.get_curl_handle(), second.get_curl_handle());
        first_handle = first.get_curl_handle();
        EXPECT_EQ(pool.free_count(), 0u);
    }
    EXPECT_EQ(pool.size(), 2u);
    EXPECT_EQ(pool.free_count(), 2u);
    curl_descriptor third(pool);
    EXPECT_EQ(third.position(), 0u);
    EXPECT_EQ(third.get_curl_handle(), first_handle);
    EXPECT_EQ(pool.size(), 2u);
}

TEST(CurlDescriptorCache, MisuseOfEntriesIsReported) {
    curl_descriptor_cache pool;
    const std::size_t position = pool.acquire_descriptor();
    pool.release_descriptor(position);
    EXPECT_EQ(title_of([&] { pool.release_descriptor(position); }),
              L"CURL descriptor unlock failed");
    EXPECT_EQ(title_of([&] { pool.get_curl_handle(position); }), L"CURL descriptor not locked");
    EXPECT_EQ(title_of([&] { pool.get_curl_handle(5); }), L"CURL descriptor not locked");
}

TEST(CurlDescriptorCache, TheProcessHasTwoSeparatePools) {
    EXPECT_NE(&request_pool(), &transfer_pool());
}

}  // namespace
}  // namespace vfs_calvimora
