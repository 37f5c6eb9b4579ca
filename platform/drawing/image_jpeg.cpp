// JPEG files through libjpeg. The library reports faults through an error
// handler that must not return; ours jumps back to the decoder, which then
// fails cleanly. Its warnings mean damage too (a cut file, corrupt data it
// would paper over with gray), so they fail the picture as well. The scans
// are counted as the library reads them, through its progress monitor, so
// a file of more scans than the caller allows ends at the first one over.
#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include "image_codecs.h"

namespace win_gdi {

namespace {

struct error_handler {
    jpeg_error_mgr base;
    std::jmp_buf escape;
    bool too_many_scans = false;
};

struct scan_counter {
    jpeg_progress_mgr base;
    int max_scans;
};

void on_error(j_common_ptr info) {
    std::longjmp(reinterpret_cast<error_handler*>(info->err)->escape, 1);
}

void on_message(j_common_ptr) {}  // nothing is shown

// Level -1 is a warning: damage the library would decode past.
void on_emit(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code != JWRN_JFIF_MAJOR)
        std::longjmp(reinterpret_cast<error_handler*>(info->err)->escape, 1);
}

// Called between the steps of reading, a scan's start among them: by then
// the library has counted the scan's marker.
void on_progress(j_common_ptr info) {
    const auto* counter = reinterpret_cast<const scan_counter*>(info->progress);
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number <= counter->max_scans) return;
    auto* errors = reinterpret_cast<error_handler*>(info->err);
    errors->too_many_scans = true;
    std::longjmp(errors->escape, 1);
}

// Every 8 x 8 block of every scan that codes DC values takes at least one
// bit of Huffman code, so a file holds at most 512 pixels per byte.
// Arithmetic coding has no such floor; Windows does not decode it either.
bool carried_by(const jpeg_decompress_struct& info, size_t size) {
    if (info.arith_code) return false;
    const int64_t pixels = int64_t{info.image_width} * info.image_height;
    return pixels <= 512 * static_cast<int64_t>(size) + 4096;
}

// Runs the decoder; a fault jumps back here. Every value that outlives the
// jump is written through the pointers into the caller's frame, never into
// this frame's own variables.
bool run_decoder(jpeg_decompress_struct* info, error_handler* errors, const uint8_t* data,
                 size_t size, int64_t max_pixels, std::shared_ptr<canvas>* pixels,
                 decode_status* status) {
    if (setjmp(errors->escape)) {
        pixels->reset();
        *status = errors->too_many_scans ? decode_status::too_large : decode_status::corrupt;
        return false;
    }
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    jpeg_read_header(info, TRUE);
    if (!picture_size_acceptable(info->image_width, info->image_height, max_pixels)) {
        *status = decode_status::too_large;
        return false;
    }
    if (!carried_by(*info, size)) {
        *status = decode_status::corrupt;
        return false;
    }
    info->out_color_space = JCS_EXT_BGRA;  // opaque pixels in our layout
    jpeg_start_decompress(info);
    *pixels = std::make_shared<canvas>(info->output_width, info->output_height);
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>((*pixels)->row(info->output_scanline));
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    *status = decode_status::ok;
    return true;
}

}  // namespace

decoded_image decode_jpeg(const uint8_t* data, size_t size, int64_t max_pixels, int max_scans) {
    decoded_image result;
    if (!data || size < 3 || data[0] != 0xFF || data[1] != 0xD8) {
        result.status = decode_status::unknown_format;
        return result;
    }
    jpeg_decompress_struct info{};
    error_handler errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = on_error;
    errors.base.output_message = on_message;
    errors.base.emit_message = on_emit;
    scan_counter counter{};
    counter.base.progress_monitor = on_progress;
    counter.max_scans = max_scans;
    jpeg_create_decompress(&info);
    info.progress = &counter.base;
    run_decoder(&info, &errors, data, size, max_pixels, &result.pixels, &result.status);
    jpeg_destroy_decompress(&info);
    return result;
}

}  // namespace win_gdi
