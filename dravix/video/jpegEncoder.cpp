#include "video/jpegEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The JPEG library's header needs size_t and FILE declared before it.
#include <jpeglib.h>
// After jpeglib.h: the error codes and ERREXIT macros.
#include <jerror.h>

#include "video/jpegPlanes.h"

// Files are made with the compressor of the 6b interface, as libjpeg-turbo builds it by default;
// its raw-data input gives the same bytes as its scanline input (see jpegPlanes).
#if JPEG_LIB_VERSION != 62 || !defined(LIBJPEG_TURBO_VERSION)
#error "dravix needs libjpeg-turbo with the version 62 interface"
#endif

namespace dravix {

// Everything the library's callbacks reach through the compressor's client_data. Plain data
// only: an error leaves it by longjmp, which runs no destructors.
struct jpegEncoder::job {
    jpeg_compress_struct compressor;
    jpeg_error_mgr errors;
    jpeg_destination_mgr destination;
    std::jmp_buf failed;
    char message[JMSG_LENGTH_MAX];
    unsigned char* buffer;
    std::size_t capacity;
    std::size_t size;
};

namespace {

using job = jpegEncoder::job;

constexpr std::size_t kFirstCapacity = 64 * 1024;

job& jobOf(j_common_ptr info) {
    return *static_cast<job*>(info->client_data);
}

// The library's fatal error: keep its text and return to the encode, never to exit().
[[noreturn]] void onError(j_common_ptr info) {
    job& run = jobOf(info);
    (*info->err->format_message)(info, run.message);
    std::longjmp(run.failed, 1);
}

// Warnings and traces are not printed to stderr of the host process; a warning's text is kept.
void onMessage(j_common_ptr info) {
    job& run = jobOf(info);
    (*info->err->format_message)(info, run.message);
}

void startOutput(j_compress_ptr info) {
    job& run = jobOf(reinterpret_cast<j_common_ptr>(info));
    if (run.capacity < kFirstCapacity) {
        void* grown = std::realloc(run.buffer, kFirstCapacity);
        if (grown == nullptr) {
            ERREXIT1(info, JERR_OUT_OF_MEMORY, 1);
        }
        run.buffer = static_cast<unsigned char*>(grown);
        run.capacity = kFirstCapacity;
    }
    info->dest->next_output_byte = run.buffer;
    info->dest->free_in_buffer = run.capacity;
}

// Called when the buffer is full: doubles it.
boolean growOutput(j_compress_ptr info) {
    job& run = jobOf(reinterpret_cast<j_common_ptr>(info));
    void* grown = std::realloc(run.buffer, run.capacity * 2);
    if (grown == nullptr) {
        ERREXIT1(info, JERR_OUT_OF_MEMORY, 2);
    }
    run.buffer = static_cast<unsigned char*>(grown);
    info->dest->next_output_byte = run.buffer + run.capacity;
    info->dest->free_in_buffer = run.capacity;
    run.capacity *= 2;
    return TRUE;
}

void endOutput(j_compress_ptr info) {
    job& run = jobOf(reinterpret_cast<j_common_ptr>(info));
    run.size = run.capacity - info->dest->free_in_buffer;
}

// Errors and messages go to the job, never to exit() or stderr.
void setUp(job& run) {
    jpeg_compress_struct& c = run.compressor;
    c.client_data = &run;
    c.err = jpeg_std_error(&run.errors);
    run.errors.error_exit = onError;
    run.errors.output_message = onMessage;
}

// The settings of both inputs: YCbCr in, the library's defaults (4:2:0, standard tables, islow
// DCT, no optimised coding, JFIF header), quality forced to baseline tables.
void configure(jpeg_compress_struct& c, job& run, int width, int height, int quality,
               bool rawData) {
    run.destination.init_destination = startOutput;
    run.destination.empty_output_buffer = growOutput;
    run.destination.term_destination = endOutput;
    c.dest = &run.destination;
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = 3;
    c.in_color_space = JCS_YCbCr;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    c.raw_data_in = rawData ? TRUE : FALSE;
    jpeg_start_compress(&c, TRUE);
}

// The body of one encode between setjmp and the library's last call. It holds no object with a
// destructor, so the longjmp of an error skips nothing; the compressor is destroyed by the
// caller on both paths.
bool compressScanlines(job& run, const uint8_t* ycbcr, int width, int height, int quality) {
    jpeg_compress_struct& c = run.compressor;
    if (setjmp(run.failed) != 0) {
        return false;
    }
    jpeg_create_compress(&c);
    configure(c, run, width, height, quality, false);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(ycbcr + stride * c.next_scanline);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    return true;
}

bool compressPlanes(job& run, const jpegPlanes& planes, int quality) {
    jpeg_compress_struct& c = run.compressor;
    if (setjmp(run.failed) != 0) {
        return false;
    }
    jpeg_create_compress(&c);
    configure(c, run, planes.width(), planes.height(), quality, true);
    constexpr int kRows = jpegPlanes::kMcuRows;
    JSAMPROW luma[kRows];
    JSAMPROW cb[kRows / 2];
    JSAMPROW cr[kRows / 2];
    JSAMPARRAY image[3] = {luma, cb, cr};
    while (c.next_scanline < c.image_height) {
        const std::size_t top = c.next_scanline;
        for (int r = 0; r < kRows; ++r) {
            luma[r] = const_cast<JSAMPROW>(planes.luma() + planes.lumaStride() * (top + r));
        }
        for (int r = 0; r < kRows / 2; ++r) {
            const std::size_t offset = planes.chromaStride() * (top / 2 + r);
            cb[r] = const_cast<JSAMPROW>(planes.cb() + offset);
            cr[r] = const_cast<JSAMPROW>(planes.cr() + offset);
        }
        jpeg_write_raw_data(&c, image, kRows);
    }
    jpeg_finish_compress(&c);
    return true;
}

}  // namespace

jpegEncoder::~jpegEncoder() {
    release();
}

void jpegEncoder::release() {
    std::free(buffer_);
    buffer_ = nullptr;
    capacity_ = 0;
    size_ = 0;
}

bool jpegEncoder::encodeScanlines(const uint8_t* ycbcr, int width, int height, int quality) {
    job run{};
    setUp(run);
    run.buffer = buffer_;
    run.capacity = capacity_;
    return finish(run, compressScanlines(run, ycbcr, width, height, quality));
}

bool jpegEncoder::encodePlanes(const jpegPlanes& planes, int quality) {
    job run{};
    setUp(run);
    run.buffer = buffer_;
    run.capacity = capacity_;
    return finish(run, compressPlanes(run, planes, quality));
}

// The buffer may have moved in the library's callbacks, also on the way to an error.
bool jpegEncoder::finish(job& run, bool encoded) {
    jpeg_destroy_compress(&run.compressor);
    buffer_ = run.buffer;
    capacity_ = run.capacity;
    size_ = encoded ? run.size : 0;
    error_ = encoded ? std::string() : std::string(run.message);
    return encoded;
}

void jpegEncoder::yuy2ToYcbcr(const uint8_t* yuy2, uint8_t* ycbcr, std::size_t pixels) {
    for (std::size_t pair = 0; pair < pixels / 2; ++pair, yuy2 += 4, ycbcr += 6) {
        ycbcr[0] = yuy2[0];
        ycbcr[1] = yuy2[1];
        ycbcr[2] = yuy2[3];
        ycbcr[3] = yuy2[2];
        ycbcr[4] = yuy2[1];
        ycbcr[5] = yuy2[3];
    }
}

}  // namespace dravix
