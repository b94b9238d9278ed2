// Fuzz target of the head FPGA's BIN file parser and of the pause scheduler that cuts its stream.
// Besides memory safety it checks:
//  - a file is accepted only with the header, a matching CRC and a stream of at least one byte
//    that lies between the end record and the CRC;
//  - the pauses come in ascending position order;
//  - the chunks are 1 to 128 bytes, cover the stream exactly, and every pause within the stream
//    falls on a chunk boundary at position ÷ 2.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "device/jtagBinFile.h"
#include "device/jtagSchedule.h"

namespace {

using dravix::jtagBinFile;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzzJtagBinFile: %s\n", what);
        std::abort();
    }
}

// Inputs that start with 'J' get the header in front and a correct CRC behind, so that the
// records and the stream are reached.
std::vector<uint8_t> fileFrom(const uint8_t* data, std::size_t size) {
    if (size == 0 || data[0] != 'J') {
        return std::vector<uint8_t>(data, data + size);
    }
    const char header[] = "ZEL GmbH JTAG BIN File";
    std::vector<uint8_t> file(header, header + jtagBinFile::kHeaderSize);
    file.insert(file.end(), data + 1, data + size);
    const uint32_t crc = jtagBinFile::crc32(file.data(), file.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        file.push_back(static_cast<uint8_t>(crc >> shift));
    }
    return file;
}

void checkSchedule(const jtagBinFile& parsed) {
    dravix::jtagSchedule schedule(parsed.pauses(), parsed.streamLength());
    std::vector<std::size_t> boundaries = {0};
    std::size_t sent = 0;
    std::size_t pausesTaken = 0;
    while (sent < parsed.streamLength()) {
        pausesTaken += schedule.takeDuePauses(sent).size();
        const std::size_t length = schedule.chunkLength(sent);
        check(length >= 1 && length <= dravix::jtagSchedule::kMaxChunk, "chunk size");
        sent += length;
        boundaries.push_back(sent);
    }
    check(sent == parsed.streamLength(), "chunks do not cover the stream");
    std::size_t due = 0;
    for (const auto& pause : parsed.pauses()) {
        const std::size_t at = pause.position / 2;
        if (at < parsed.streamLength()) {
            ++due;
            check(std::binary_search(boundaries.begin(), boundaries.end(), at),
                  "a pause inside a chunk");
        }
    }
    check(pausesTaken == due, "a pause within the stream was not taken");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::vector<uint8_t> file = fileFrom(data, size);
    jtagBinFile parsed;
    if (parsed.parse(file) != jtagBinFile::problem::none) {
        return 0;
    }
    check(file.size() >= 26 && std::memcmp(file.data(), "ZEL GmbH JTAG BIN File", 22) == 0,
          "accepted without the header");
    check(parsed.streamLength() >= 1, "accepted an empty stream");
    check(parsed.streamOffset() + parsed.streamLength() == file.size() - 4, "stream misplaced");
    check(std::all_of(file.begin() + parsed.streamOffset() - 6,
                      file.begin() + parsed.streamOffset(), [](uint8_t b) { return b == 0xFF; }),
          "no end record before the stream");
    check(std::is_sorted(parsed.pauses().begin(), parsed.pauses().end(),
                         [](const auto& a, const auto& b) { return a.position < b.position; }),
          "pauses out of order");
    checkSchedule(parsed);
    return 0;
}
