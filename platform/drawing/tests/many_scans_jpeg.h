// Progressive JPEG files of as many scans as a test asks for, written by
// libjpeg with a scan script of its own: the DC values in one scan, then
// each AC coefficient of each component in a scan of its own, first at a
// coarse precision and then refined bit by bit, as far as the count goes.
// The picture is plain grey, so the file stays small however large it is:
// the shape of a picture that costs a decoder far more than its bytes.
#pragma once

#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace gdi_testing {

inline std::vector<uint8_t> many_scans_jpeg(int width, int height, int scans) {
    constexpr int components = 3;
    constexpr int coefficients = 63;  // AC coefficients of a block
    constexpr int coarsest = 13;      // the lowest bits a first scan may leave out
    std::vector<jpeg_scan_info> script;
    script.push_back({components, {0, 1, 2, 0}, 0, 0, 0, 0});
    int start = 0;
    while (1 + components * coefficients * (start + 1) < scans && start < coarsest) ++start;
    for (int bit = start; bit >= 0 && static_cast<int>(script.size()) < scans; --bit)
        for (int c = 0; c < components && static_cast<int>(script.size()) < scans; ++c)
            for (int k = 1; k <= coefficients && static_cast<int>(script.size()) < scans; ++k)
                script.push_back({1, {c, 0, 0, 0}, k, k, bit == start ? 0 : bit + 1, bit});

    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* memory = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &memory, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    info.scan_info = script.data();
    info.num_scans = static_cast<int>(script.size());
    jpeg_start_compress(&info, TRUE);
    const std::vector<JSAMPLE> row(static_cast<size_t>(width) * components, 128);
    while (info.next_scanline < info.image_height) {
        JSAMPROW line = const_cast<JSAMPLE*>(row.data());
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> file(memory, memory + size);
    jpeg_destroy_compress(&info);
    std::free(memory);
    return file;
}

}  // namespace gdi_testing
