// JPEG files through libjpeg. The library reports faults through an error
// handler that must not return; ours jumps back to the decoder, which then
// fails cleanly.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "image_codecs.h"

namespace win_gdi {

namespace {

struct error_handler {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

void on_error(j_common_ptr info) {
    std::longjmp(reinterpret_cast<error_handler*>(info->err)->escape, 1);
}

void on_message(j_common_ptr) {}  // warnings are not shown

// Runs the decoder; a fault jumps back here. Every value that outlives the
// jump is written through the pointers into the caller's frame, never into
// this frame's own variables.
bool run_decoder(jpeg_decompress_struct* info, error_handler* errors, const uint8_t* data,
                 size_t size, std::shared_ptr<canvas>* pixels, decode_status* status) {
    if (setjmp(errors->escape)) {
        pixels->reset();
        *status = decode_status::corrupt;
        return false;
    }
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    jpeg_read_header(info, TRUE);
    if (!picture_size_acceptable(info->image_width, info->image_height)) {
        *status = decode_status::too_large;
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

decoded_image decode_jpeg(const uint8_t* data, size_t size) {
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
    jpeg_create_decompress(&info);
    run_decoder(&info, &errors, data, size, &result.pixels, &result.status);
    jpeg_destroy_decompress(&info);
    return result;
}

}  // namespace win_gdi
