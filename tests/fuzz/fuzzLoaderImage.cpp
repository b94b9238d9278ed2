// Fuzz target of the flash-loader image conversion. Besides memory safety it checks:
//  - a file is converted only when it is a loader image (kind byte, 0xFF fill, 1153 to 32,767
//    bytes), and a refused file is left as it was;
//  - a converted image keeps its size, has 0xFF before the program and the program at 1024;
//  - every block to write lies inside the image, holds something other than 0xFF, comes in
//    ascending order, and carries the checksum of its number and bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "device/flashLoaderImage.h"

namespace {

using dravix::flashLoaderImage;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzzLoaderImage: %s\n", what);
        std::abort();
    }
}

bool looksValid(const std::vector<uint8_t>& file) {
    if (file.size() < 1153 || file.size() > 32767) {
        return false;
    }
    const uint8_t kind = file[0];
    if (kind != 2 && kind != 3 && kind != 5 && kind != 16) {
        return false;
    }
    return std::all_of(file.begin() + 1, file.begin() + 128, [](uint8_t b) { return b == 0xFF; });
}

// Small inputs are grown into loader-sized files so that valid images are reached: the first
// byte picks the size, the rest repeats.
std::vector<uint8_t> fileFrom(const uint8_t* data, std::size_t size) {
    if (size < 3 || data[0] != 'G') {
        return std::vector<uint8_t>(data, data + size);
    }
    const std::size_t length = 1100 + std::size_t{data[1]} * 130;
    std::vector<uint8_t> file(length);
    for (std::size_t i = 0; i < length; ++i) {
        file[i] = data[2 + i % (size - 2)];
    }
    file[0] = 2;
    std::fill_n(file.begin() + 1, std::min<std::size_t>(127, length - 1), 0xFF);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::vector<uint8_t> file = fileFrom(data, size);
    std::vector<uint8_t> image = file;
    const bool converted = flashLoaderImage::convert(image);
    check(converted == looksValid(file), "conversion disagrees with the layout check");
    if (!converted) {
        check(image == file, "a refused file was changed");
        return 0;
    }
    check(image.size() == file.size(), "size changed");
    check(std::all_of(image.begin(), image.begin() + 1024, [](uint8_t b) { return b == 0xFF; }),
          "bytes before the program are not 0xFF");
    check(std::equal(file.begin() + 1152, file.end(), image.begin() + 1024), "program moved wrong");
    int previous = -1;
    for (const auto& block : flashLoaderImage::blocksToWrite(image)) {
        const std::size_t offset = std::size_t{block.number} * 128;
        check(offset + 128 <= image.size(), "block outside the image");
        check(block.number > previous, "blocks not ascending");
        previous = block.number;
        const uint8_t* bytes = image.data() + offset;
        check(std::any_of(bytes, bytes + 128, [](uint8_t b) { return b != 0xFF; }),
              "an erased block is written");
        check(block.checksum == flashLoaderImage::blockChecksum(block.number, bytes),
              "wrong checksum");
    }
    return 0;
}
