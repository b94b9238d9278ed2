#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The QPR settings file: a fixed identification, then records of a type letter, a 32-bit
// little-endian payload length and the payload, then the end marker 'X'. Pure code: bytes in,
// image out and back; no file or camera access.
namespace dravix::qprFile {

constexpr char kIdentification[] = "Dravix   0100";  // 13 characters and the terminating zero
constexpr std::size_t kIdentificationSize = sizeof kIdentification;
constexpr uint8_t kEndMarker = 'X';
constexpr std::size_t kHeaderSize = 5;  // type letter and length
constexpr uint8_t kLastHeadType = 6;
// The contents byte: set once an 'H' dataset names the head type asked for.
constexpr uint8_t kContentsMatched = 0x80;

// The group bits of the read mask.
constexpr uint32_t kGroupH = 0x80000000;
constexpr uint32_t kGroupV = 0x40000000;
constexpr uint32_t kGroupZ = 0x20000000;
constexpr uint32_t kGroupC = 0x10000000;
constexpr uint32_t kGroupK = 0x08000000;
constexpr uint32_t kGroupW = 0x04000000;
constexpr uint32_t kGroupM = 0x02000000;
constexpr uint32_t kGroupGamma = 0x01000000;
constexpr uint32_t kGroupDpc = 0x00800000;
constexpr uint32_t kGroupR = 0x00400000;
constexpr uint32_t kGroupY = 0x00200000;
constexpr uint32_t kGroupEdge = 0x00100000;
constexpr uint32_t kGroupSobel = 0x00080000;
constexpr uint32_t kGroupA = 0x00040000;
constexpr uint32_t kGroupT = 0x00020000;
constexpr uint32_t kGroupF = 0x00008000;
constexpr uint32_t kGroupJ = 0x00004000;
constexpr uint32_t kGroupD = 0x00002000;
constexpr uint32_t kGroupOvExp = 0x00001000;
constexpr uint32_t kGroupB = 0x00000800;
constexpr uint32_t kGroupQ = 0x00000400;
constexpr uint32_t kGroupScale = 0x00000200;   // 'N' and 'b'
constexpr uint32_t kGroupOffset = 0x00000100;  // 'U' and 'h'
constexpr uint32_t kGroupConfig = 0x00000080;  // 'I' and 'u'
constexpr uint32_t kGroupUnknown = 0x00000001;

// A dataset type: its letter, the payload size written and kept (0: any, never kept) and its
// group bit.
struct datasetType {
    char letter;
    uint8_t size;
    uint32_t group;
};

inline constexpr std::array<datasetType, 32> kDatasetTypes{{
    {'H', 1, kGroupH},      {'V', 50, kGroupV},     {'Z', 14, kGroupZ},     {'F', 8, kGroupF},
    {'K', 50, kGroupK},     {'W', 8, kGroupW},      {'B', 9, kGroupB},      {'M', 13, kGroupM},
    {'G', 37, kGroupGamma}, {'g', 37, kGroupGamma}, {'Y', 14, kGroupY},     {'R', 18, kGroupR},
    {'E', 8, kGroupEdge},   {'e', 8, kGroupEdge},   {'S', 4, kGroupSobel},  {'s', 4, kGroupSobel},
    {'A', 15, kGroupA},     {'T', 2, kGroupT},      {'I', 1, kGroupConfig}, {'Q', 35, kGroupQ},
    {'N', 10, kGroupScale}, {'U', 2, kGroupOffset}, {'u', 4, kGroupConfig}, {'h', 1, kGroupOffset},
    {'b', 1, kGroupScale},  {'O', 36, kGroupOvExp}, {'o', 6, kGroupOvExp},  {'P', 64, kGroupDpc},
    {'p', 4, kGroupDpc},    {'C', 0, kGroupC},      {'D', 0, kGroupD},      {'J', 0, kGroupJ},
}};

// Every group bit a parse can set.
constexpr uint32_t kAllGroups = 0xFFFEFF81;

// The type of `letter`, or null for an unknown letter.
const datasetType* findType(char letter);

// One slot per dataset type, with which letters a file held whole.
class image {
  public:
    static constexpr std::size_t kLargestSlot = 64;

    // The slot of a known letter (std::out_of_range for another).
    uint8_t* slot(char letter);
    const uint8_t* slot(char letter) const;
    // Whether a dataset of `letter` was read whole (or was captured).
    bool has(char letter) const;
    void setPresent(char letter, bool present);

  private:
    static std::size_t indexOf(char letter);
    std::array<std::array<uint8_t, kLargestSlot>, kDatasetTypes.size()> slots_{};
    uint32_t present_ = 0;
};

struct message {
    uint8_t level;  // the logger's level bits
    std::string text;
};

struct parseResult {
    // 0, or -1 for a wrong identification or a file that is invalid, cut short or without its
    // end marker. Datasets read whole before the damage stay in the image.
    int result = 0;
    uint32_t mask = 0;
    // The head type argument, with kContentsMatched once an 'H' named it.
    uint8_t contents = 0;
    int count = 0;
    image slots;
    std::vector<message> messages;
};

parseResult parse(const uint8_t* bytes, std::size_t size, uint8_t headType);

// When and by what a file was written: the 'Z' dataset.
struct stamp {
    int year;   // e.g. 2026
    int month;  // 1 to 12
    int day;
    int hour;
    int minute;
    int second;
    uint32_t systemMajorVersion;
};
void writeStamp(uint8_t* slot, const stamp& when);

// The letters written for `headType` (0 to 6) after the identification, before the end marker.
std::string datasetsOf(uint8_t headType);

// The file for `headType` (0 to 6) from the image's slots; 'H' holds the head type.
std::vector<uint8_t> serialize(const image& slots, uint8_t headType);

// The group bits of the datasets written for `headType`.
uint32_t maskOf(uint8_t headType);

// The read mask after the head type's filter: what may be applied.
uint32_t applyFilter(uint32_t mask, uint8_t headType);

}  // namespace dravix::qprFile
