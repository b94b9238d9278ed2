#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

// A JPEG file read back with the JPEG library: its frame header and its pixels as Y, Cb, Cr.
// For files the tests expect to be valid; a broken one ends the test program.
struct decodedJpeg {
    int width = 0;
    int height = 0;
    int components = 0;
    int sampling[3][2] = {};  // horizontal, vertical factor of each component
    bool jfif = false;
    bool progressive = false;
    std::vector<uint8_t> ycbcr;

    static decodedJpeg of(const uint8_t* data, std::size_t size) {
        decodedJpeg out;
        jpeg_decompress_struct d{};
        jpeg_error_mgr errors{};
        d.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, data, static_cast<unsigned long>(size));
        jpeg_read_header(&d, TRUE);
        out.width = static_cast<int>(d.image_width);
        out.height = static_cast<int>(d.image_height);
        out.components = d.num_components;
        for (int c = 0; c < d.num_components && c < 3; ++c) {
            out.sampling[c][0] = d.comp_info[c].h_samp_factor;
            out.sampling[c][1] = d.comp_info[c].v_samp_factor;
        }
        out.jfif = d.saw_JFIF_marker != 0;
        out.progressive = d.progressive_mode != 0;
        d.out_color_space = JCS_YCbCr;
        jpeg_start_decompress(&d);
        const std::size_t stride = static_cast<std::size_t>(d.output_width) * 3;
        out.ycbcr.resize(stride * d.output_height);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = out.ycbcr.data() + stride * d.output_scanline;
            jpeg_read_scanlines(&d, &row, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        return out;
    }
};
