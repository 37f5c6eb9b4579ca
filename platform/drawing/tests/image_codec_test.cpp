#include <gtest/gtest.h>

#include <jpeglib.h>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "drawing/image_codecs.h"
#include "gdi_test_support.h"
#include "many_scans_jpeg.h"

using win_gdi::canvas;
using win_gdi::decode_status;
using win_gdi::make_pixel;

namespace {

// A picture with every kind of pixel: opaque, half and barely covered,
// transparent.
canvas sample_picture() {
    canvas c(16, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t a = static_cast<uint8_t>(x * 17);
            c.set(x, y, make_pixel(a, a, static_cast<uint8_t>(a * y / 8), a / 2));
        }
    return c;
}

std::vector<uint8_t> jpeg_of(int width, int height, uint8_t red, uint8_t green, uint8_t blue,
                             bool progressive = false) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* memory = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &memory, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(width * 3);
    for (int x = 0; x < width; ++x) {
        row[x * 3] = red;
        row[x * 3 + 1] = green;
        row[x * 3 + 2] = blue;
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> file(memory, memory + size);
    jpeg_destroy_compress(&info);
    std::free(memory);
    return file;
}

// A PNG file whose header (checksum made anew) claims another size.
void declare_png_size(std::vector<uint8_t>& file, uint32_t width, uint32_t height) {
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    put32(16, width);
    put32(20, height);
    uint32_t crc = 0xFFFFFFFF;  // over the chunk type and data, bytes 12..28
    for (size_t i = 12; i < 29; ++i) {
        crc ^= file[i];
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    put32(29, crc ^ 0xFFFFFFFF);
}

// The most memory the process has held so far, in MiB.
long peak_mib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace

TEST(Png, RoundTripKeepsPremultipliedPixels) {
    const canvas original = sample_picture();
    const std::vector<uint8_t> file = win_gdi::encode_png(original);
    ASSERT_FALSE(file.empty());
    const auto decoded = win_gdi::decode_picture(file.data(), file.size());
    ASSERT_EQ(decoded.status, decode_status::ok);
    ASSERT_EQ(decoded.pixels->width(), 16);
    ASSERT_EQ(decoded.pixels->height(), 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint32_t a = original.at(x, y), b = decoded.pixels->at(x, y);
            for (int shift = 0; shift < 32; shift += 8)
                EXPECT_LE(std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)), 1)
                    << x << "," << y;
        }
}

TEST(Png, SavedFileHoldsStraightAlpha) {
    canvas c(1, 1);
    c.set(0, 0, make_pixel(128, 64, 0, 0));  // half-covered pure red
    const std::string path = gdi_testing::snapshot_path("straight_alpha.png");
    ASSERT_TRUE(win_gdi::save_png(c, path));
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    const auto decoded = win_gdi::decode_png(file.data(), file.size());
    ASSERT_EQ(decoded.status, decode_status::ok);
    EXPECT_EQ(decoded.pixels->at(0, 0), make_pixel(128, 64, 0, 0));
    EXPECT_FALSE(win_gdi::save_png(c, "/nonexistent-folder/x.png"));
}

TEST(Png, WritersOfOnePathSideBySideAllSucceed) {
    // Test suites run side by side save their pictures under the same names.
    const canvas picture = sample_picture();
    const std::string path = gdi_testing::snapshot_path("written_side_by_side.png");
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 4; ++writer)
        writers.emplace_back([&] {
            for (int round = 0; round < 50; ++round)
                if (!win_gdi::save_png(picture, path)) ++failures;
        });
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(failures, 0);
}

TEST(Png, BrokenFilesFailCleanly) {
    const std::vector<uint8_t> file = win_gdi::encode_png(sample_picture());
    EXPECT_EQ(win_gdi::decode_png(nullptr, 0).status, decode_status::unknown_format);
    EXPECT_EQ(win_gdi::decode_picture(file.data(), 4).status, decode_status::unknown_format);
    EXPECT_EQ(win_gdi::decode_png(file.data(), file.size() / 2).status, decode_status::corrupt);

    // Every single damaged byte either decodes or fails; none may crash.
    for (size_t i = 8; i < file.size(); ++i) {
        std::vector<uint8_t> damaged = file;
        damaged[i] ^= 0x5A;
        const auto result = win_gdi::decode_png(damaged.data(), damaged.size());
        if (result.status == decode_status::ok) {
            EXPECT_TRUE(result.pixels);
        } else {
            EXPECT_FALSE(result.pixels);
        }
    }
}

TEST(Png, AHugeDeclaredSizeIsRefusedBeforeAnythingIsAllocated) {
    // A valid header (with its checksum) that claims 30000 by 30000 pixels.
    std::vector<uint8_t> file = win_gdi::encode_png(sample_picture());
    declare_png_size(file, 30000, 30000);
    EXPECT_EQ(win_gdi::decode_png(file.data(), file.size()).status, decode_status::too_large);
}

// A file of a hundred bytes whose header claims 5792 x 5792 pixels (within
// the limit) cannot hold them: refused before 134 MB are made.
TEST(Png, ASizeTheDataCannotCarryIsDamageAndCostsNoMemory) {
    std::vector<uint8_t> file = win_gdi::encode_png(sample_picture());
    declare_png_size(file, 5792, 5792);
    ASSERT_LT(file.size(), 200u);
    const long before = peak_mib();
    const auto result = win_gdi::decode_png(file.data(), file.size());
    EXPECT_EQ(result.status, decode_status::corrupt);
    EXPECT_FALSE(result.pixels);
    EXPECT_LT(peak_mib() - before, 32) << "MiB taken by a damaged file";

    file = win_gdi::encode_png(sample_picture());
    declare_png_size(file, 16, 9);
    EXPECT_EQ(win_gdi::decode_png(file.data(), file.size()).status, decode_status::corrupt)
        << "one row short";
}

TEST(Jpeg, DecodesOpaquePixelsAndFailsCleanlyOnGarbage) {
    const std::vector<uint8_t> file = jpeg_of(24, 16, 200, 40, 90);
    const auto decoded = win_gdi::decode_picture(file.data(), file.size());
    ASSERT_EQ(decoded.status, decode_status::ok);
    EXPECT_EQ(decoded.pixels->width(), 24);
    const uint32_t p = decoded.pixels->at(10, 10);
    EXPECT_EQ(p >> 24, 255u);
    EXPECT_LE(std::abs(int((p >> 16) & 0xFF) - 200), 4);
    EXPECT_LE(std::abs(int((p >> 8) & 0xFF) - 40), 4);
    EXPECT_LE(std::abs(int(p & 0xFF) - 90), 4);

    std::vector<uint8_t> garbage{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0x12, 0x34, 0x56};
    EXPECT_EQ(win_gdi::decode_jpeg(garbage.data(), garbage.size()).status, decode_status::corrupt);
    for (size_t i = 2; i < file.size(); i += 7) {
        std::vector<uint8_t> damaged = file;
        damaged[i] ^= 0xA5;
        const auto result = win_gdi::decode_jpeg(damaged.data(), damaged.size());
        EXPECT_EQ(result.status == decode_status::ok, result.pixels != nullptr);
    }
}

namespace {

// A cut file used to decode as a success, its missing rows gray.
TEST(Jpeg, ACutFileFails) {
    const std::vector<uint8_t> file = jpeg_of(64, 64, 10, 200, 30);
    for (const size_t kept : {file.size() * 3 / 4, file.size() - 2}) {
        const auto result = win_gdi::decode_jpeg(file.data(), kept);
        EXPECT_EQ(result.status, decode_status::corrupt) << kept << " of " << file.size();
        EXPECT_FALSE(result.pixels);
    }
    EXPECT_EQ(win_gdi::decode_jpeg(file.data(), file.size()).status, decode_status::ok);
}

// The start of a progressive file of 4096 x 4096 pixels: the decoder
// would hold every coefficient and the canvas, and fill them gray.
TEST(Jpeg, ASizeTheDataCannotCarryIsRefusedBeforeDecoding) {
    const std::vector<uint8_t> file = jpeg_of(4096, 4096, 128, 128, 128, true);
    ASSERT_GT(file.size(), 4096u);
    const long before = peak_mib();
    const auto result = win_gdi::decode_jpeg(file.data(), 700);
    EXPECT_EQ(result.status, decode_status::corrupt);
    EXPECT_LT(peak_mib() - before, 32) << "MiB taken by a damaged file";

    const auto whole = win_gdi::decode_jpeg(file.data(), file.size());
    EXPECT_EQ(whole.status, decode_status::ok) << "the whole file carries its pixels";
    const auto limited = win_gdi::decode_jpeg(file.data(), file.size(), int64_t{1} << 22);
    EXPECT_EQ(limited.status, decode_status::too_large) << "over a smaller limit";
}

// Each scan is a pass over all pixels: hundreds of them in a small file
// cost hundreds of decodes. A caller's limit ends the decode at the first
// scan over it, as a pixel limit ends it at the header.
TEST(Jpeg, AFileOfMoreScansThanTheCallerAllowsIsRefusedAtTheFirstOneOver) {
    const std::vector<uint8_t> file = gdi_testing::many_scans_jpeg(64, 48, 40);
    EXPECT_EQ(win_gdi::decode_jpeg(file.data(), file.size()).status, decode_status::ok);
    const auto at_limit =
        win_gdi::decode_jpeg(file.data(), file.size(), win_gdi::largest_picture_pixels, 40);
    ASSERT_EQ(at_limit.status, decode_status::ok);
    EXPECT_LE(std::abs(int(at_limit.pixels->at(30, 20) & 0xFF) - 128), 2);
    const auto over =
        win_gdi::decode_picture(file.data(), file.size(), win_gdi::largest_picture_pixels, 39);
    EXPECT_EQ(over.status, decode_status::too_large);
    EXPECT_FALSE(over.pixels);

    // What encoders write: one scan, or ten for a progressive picture.
    const std::vector<uint8_t> baseline = jpeg_of(32, 32, 10, 20, 30);
    EXPECT_EQ(
        win_gdi::decode_jpeg(baseline.data(), baseline.size(), win_gdi::largest_picture_pixels, 1)
            .status,
        decode_status::ok);
    const std::vector<uint8_t> progressive = jpeg_of(32, 32, 10, 20, 30, true);
    for (const int limit : {10, 9})
        EXPECT_EQ(win_gdi::decode_jpeg(progressive.data(), progressive.size(),
                                       win_gdi::largest_picture_pixels, limit)
                      .status,
                  limit >= 10 ? decode_status::ok : decode_status::too_large)
            << limit;
}

TEST(Jpeg, HundredsOfScansAtTheNetworksPixelLimitCostOnlyTheScansAllowed) {
    const std::vector<uint8_t> file = gdi_testing::many_scans_jpeg(2048, 2048, 883);
    const auto timed = [&](int max_scans, decode_status expected) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(
            win_gdi::decode_jpeg(file.data(), file.size(), int64_t{1} << 22, max_scans).status,
            expected);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const double whole = timed(win_gdi::unlimited_scans, decode_status::ok);
    const double limited = timed(64, decode_status::too_large);
    std::printf("%zu bytes, 883 scans: whole %.3f s, refused after 64 scans %.3f s\n", file.size(),
                whole, limited);
    EXPECT_LT(limited * 4, whole);
}

}  // namespace
