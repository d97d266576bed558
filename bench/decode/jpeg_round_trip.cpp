// SPDX-License-Identifier: MIT
#include "jpeg_round_trip.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace telo::bench {

namespace {

/// libjpeg reports errors through a callback that must not return; it jumps back instead.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

/// Memory that libjpeg allocated with malloc.
struct MallocBuffer {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    ~MallocBuffer() { std::free(data); }
};

bool compress(const std::vector<std::uint8_t>& grey, int width, int height, int quality,
              MallocBuffer& out) {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out.data, &out.size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(grey.data() + info.next_scanline * width);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

bool decompress(const MallocBuffer& in, std::vector<std::uint8_t>& grey, int width, int height) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, in.data, in.size);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(&info);
    if (static_cast<int>(info.output_width) != width ||
        static_cast<int>(info.output_height) != height) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = grey.data() + info.output_scanline * width;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

bool jpegRoundTrip(std::vector<std::uint8_t>& grey, int width, int height, int quality) {
    MallocBuffer compressed;
    std::vector<std::uint8_t> decoded(grey.size());
    if (!compress(grey, width, height, quality, compressed) ||
        !decompress(compressed, decoded, width, height)) {
        return false;
    }
    grey.swap(decoded);
    return true;
}

}  // namespace telo::bench
