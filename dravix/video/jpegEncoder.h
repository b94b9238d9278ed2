#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dravix {

class jpegPlanes;

// Encodes baseline JFIF files (4:2:0, standard Huffman tables, quality 1..100) from Y, Cb, Cr
// samples into a memory buffer, which the encoder keeps and reuses. An error of the JPEG library
// (which would otherwise end the process) makes the encode return false with the library's text;
// the encoder stays usable.
//
// Two inputs give byte-identical files: planes already downsampled (jpegPlanes, fed as raw data;
// the fast way) and interleaved Y, Cb, Cr rows that the library downsamples itself.
class jpegEncoder {
  public:
    jpegEncoder() = default;
    ~jpegEncoder();
    jpegEncoder(const jpegEncoder&) = delete;
    jpegEncoder& operator=(const jpegEncoder&) = delete;

    bool encodePlanes(const jpegPlanes& planes, int quality);
    // `ycbcr`: height rows of width × 3 bytes, Y, Cb, Cr per pixel.
    bool encodeScanlines(const uint8_t* ycbcr, int width, int height, int quality);

    // YUY2 (Y0 U Y1 V per pair) to interleaved Y, Cb, Cr: Y0 U V, Y1 U V. `pixels` is even.
    static void yuy2ToYcbcr(const uint8_t* yuy2, uint8_t* ycbcr, std::size_t pixels);

    // The file of the last successful encode.
    const uint8_t* data() const { return buffer_; }
    std::size_t size() const { return size_; }
    // The library's message of the last failed encode.
    const std::string& error() const { return error_; }
    // Frees the buffer.
    void release();

    // The encoder's state during one encode, shared with the library's callbacks.
    struct job;

  private:
    bool finish(job& run, bool encoded);

    unsigned char* buffer_ = nullptr;  // malloc'd: grown by the library's output callback
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
    std::string error_;
};

}  // namespace dravix
