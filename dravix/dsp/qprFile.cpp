#include "dsp/qprFile.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <stdexcept>

#include "api/apiVersion.h"
#include "log/logEntry.h"

namespace dravix::qprFile {

namespace {

// How a dataset's declared length compares with its slot. The numbers are the error codes the
// messages report.
enum verdict : int { kFits = 0, kInvalid = 1, kLong = 2, kShort = 3 };

constexpr uint32_t kKeepForHeadType0 = 0xF000E000;
constexpr uint32_t kDropForHeadTypes1And2 = 0xD03F;
constexpr uint32_t kDropForHeadType3 = 0x6C43F;
constexpr std::size_t kShortScaleLength = 9;
constexpr std::size_t kShortColourLength = 10;

uint32_t readLe32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void appendLe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

// The identification as far as it goes, for the log: at most its 14 bytes, up to a zero byte,
// with anything unprintable shown as '?'.
std::string printableIdentification(const uint8_t* bytes, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < std::min(size, kIdentificationSize) && bytes[i] != 0; ++i) {
        text.push_back(bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '?');
    }
    return text;
}

// One parse: the bytes, the position and the result being built.
class parser {
  public:
    parser(const uint8_t* bytes, std::size_t size, uint8_t headType) : bytes_(bytes), size_(size) {
        out_.contents = headType;
    }

    parseResult run() {
        say(LOG_VERBOSE, "qpr-File type  %s", printableIdentification(bytes_, size_).c_str());
        if (size_ < kIdentificationSize ||
            std::memcmp(bytes_, kIdentification, kIdentificationSize) != 0) {
            say(LOG_ERROR, "Wrong camera type");
            out_.result = -1;
            return std::move(out_);
        }
        readDatasets();
        say(LOG_VERBOSE, "number of qpr-datasets read: %d", out_.count);
        return std::move(out_);
    }

  private:
    // Every length is checked against what is left before it moves the position, which only
    // ever moves forward: a crafted length ends the parse instead of looping or reading past
    // the end.
    void readDatasets() {
        std::size_t position = kIdentificationSize;
        for (;;) {
            if (position >= size_) {
                damaged("qpr end marker missing");
                return;
            }
            if (bytes_[position] == kEndMarker) {
                return;
            }
            if (size_ - position < kHeaderSize) {
                damaged("aborted, data structure error in qpr File");
                return;
            }
            ++out_.count;
            const char letter = static_cast<char>(bytes_[position]);
            const uint32_t length = readLe32(bytes_ + position + 1);
            position += kHeaderSize;
            const std::size_t left = size_ - position;
            if (!readDataset(letter, length, bytes_ + position, left)) {
                return;
            }
            position += length;
        }
    }

    // False when the parse ends at this dataset.
    bool readDataset(char letter, uint32_t length, const uint8_t* payload, std::size_t left) {
        const bool cut = length > left;
        const datasetType* type = findType(letter);
        if (type == nullptr) {
            out_.mask |= kGroupUnknown;
            say(LOG_WARN, "unknow data type");
            if (cut) {
                damaged("invalid file");
                return false;
            }
            return true;
        }
        out_.mask |= type->group;
        verdict result = kFits;
        if (type->size != 0 && letter != 'V' && letter != 'Z') {
            result = copyPayload(*type, length, payload, std::min<std::size_t>(length, left));
            result = checkSpecial(letter, length, result, cut);
        }
        if (!report(letter, result)) {
            return false;
        }
        if (cut) {
            damaged("aborted, data structure error in qpr File");
            return false;
        }
        out_.slots.setPresent(letter, true);
        return true;
    }

    verdict copyPayload(const datasetType& type, uint32_t length, const uint8_t* payload,
                        std::size_t available) {
        uint8_t* slot = out_.slots.slot(type.letter);
        std::fill_n(slot, type.size, 0);
        std::copy_n(payload, std::min<std::size_t>(available, type.size), slot);
        if (length > type.size) {
            return kLong;
        }
        return length < type.size ? kShort : kFits;
    }

    // The datasets with rules of their own; returns the verdict left for the common handling.
    verdict checkSpecial(char letter, uint32_t length, verdict result, bool cut) {
        uint8_t* slot = out_.slots.slot(letter);
        if (letter == 'H') {
            return checkHeadType(length == 0 ? 0 : slot[0], result, cut);
        }
        if (letter == 'N' && length == kShortScaleLength && !cut) {
            slot[9] = 1;
            say(LOG_WARN, "qpr entry short '%c'", letter);
            say(LOG_WARN, "default value used! '%c'", letter);
            return kFits;
        }
        if (letter == 'Y' && length == kShortColourLength && !cut) {
            slot[11] = 1;
            slot[13] = 1;
            say(LOG_WARN, "qpr entry short '%c'", letter);
            say(LOG_ERROR, "File Type: %d Error: %d", headTypeRead_, kShort);
            return kFits;
        }
        return result;
    }

    verdict checkHeadType(uint8_t headType, verdict result, bool cut) {
        headTypeRead_ = headType;
        if (result == kLong || headType > kLastHeadType) {
            result = kInvalid;
        }
        if (result != kInvalid && !cut && headType == out_.contents) {
            out_.contents |= kContentsMatched;
        }
        if (result != kFits) {
            say(LOG_ERROR, "Type: %d Error: %d", headType, result);
        } else {
            say(LOG_VERBOSE, "Head Type: %d", headType);
        }
        return result;
    }

    // Logs a long or short dataset; false for an invalid one, which ends the parse.
    bool report(char letter, verdict result) {
        switch (result) {
            case kLong:
                say(LOG_WARN, "invalid entry type %c", letter);
                say(LOG_ERROR, "File Type: %d Error: %d", headTypeRead_, kLong);
                return true;
            case kShort:
                say(LOG_WARN, "qpr entry short '%c'", letter);
                say(LOG_ERROR, "File Type: %d Error: %d", headTypeRead_, kShort);
                return true;
            case kInvalid:
                damaged("invalid file");
                return false;
            case kFits:
                break;
        }
        return true;
    }

    void damaged(const char* text) {
        say(LOG_ERROR, "%s", text);
        out_.result = -1;
    }

    __attribute__((format(printf, 3, 4))) void say(uint8_t level, const char* format, ...) {
        char text[160];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        out_.messages.push_back({level, text});
    }

    const uint8_t* bytes_;
    const std::size_t size_;
    uint8_t headTypeRead_ = 0;
    parseResult out_;
};

}  // namespace

const datasetType* findType(char letter) {
    for (const datasetType& type : kDatasetTypes) {
        if (type.letter == letter) {
            return &type;
        }
    }
    return nullptr;
}

std::size_t image::indexOf(char letter) {
    const datasetType* type = findType(letter);
    if (type == nullptr) {
        throw std::out_of_range("qprFile::image: unknown dataset type");
    }
    return static_cast<std::size_t>(type - kDatasetTypes.data());
}

uint8_t* image::slot(char letter) {
    return slots_[indexOf(letter)].data();
}

const uint8_t* image::slot(char letter) const {
    return slots_[indexOf(letter)].data();
}

bool image::has(char letter) const {
    return (present_ >> indexOf(letter) & 1) != 0;
}

void image::setPresent(char letter, bool present) {
    const uint32_t bit = uint32_t{1} << indexOf(letter);
    present_ = present ? present_ | bit : present_ & ~bit;
}

parseResult parse(const uint8_t* bytes, std::size_t size, uint8_t headType) {
    return parser(bytes, size, headType).run();
}

void writeStamp(uint8_t* slot, const stamp& when) {
    const uint8_t bytes[] = {
        static_cast<uint8_t>(apiVersion::kBuildYear),
        static_cast<uint8_t>(apiVersion::kBuildWeek),
        static_cast<uint8_t>(apiVersion::kBuildMinor),
        static_cast<uint8_t>(apiVersion::kBuildNumber >> 8),
        static_cast<uint8_t>(apiVersion::kBuildNumber & 0xFF),
        static_cast<uint8_t>(when.year - 2000),
        static_cast<uint8_t>(when.month),
        static_cast<uint8_t>(when.day),
        static_cast<uint8_t>(when.hour),
        static_cast<uint8_t>(when.minute),
        static_cast<uint8_t>(when.second),
        static_cast<uint8_t>(when.systemMajorVersion),
        static_cast<uint8_t>(when.systemMajorVersion >> 8),
        static_cast<uint8_t>(when.systemMajorVersion >> 16),
    };
    std::copy(std::begin(bytes), std::end(bytes), slot);
}

std::string datasetsOf(uint8_t headType) {
    std::string letters = "VZH";
    if (headType == 0) {
        letters += "F";
    } else if (headType <= 5) {
        letters += "KWBMGgYEeSsRNUuhb";
    }
    if (headType == 1 || headType == 2) {
        letters += "ATQ";
    } else if (headType == 4 || headType == 5) {
        letters += "OIo";
    }
    return letters + "Pp";
}

std::vector<uint8_t> serialize(const image& slots, uint8_t headType) {
    std::vector<uint8_t> out(kIdentification, kIdentification + kIdentificationSize);
    for (char letter : datasetsOf(headType)) {
        const datasetType* type = findType(letter);
        out.push_back(static_cast<uint8_t>(letter));
        appendLe32(out, type->size);
        if (letter == 'H') {
            out.push_back(headType);
        } else {
            const uint8_t* payload = slots.slot(letter);
            out.insert(out.end(), payload, payload + type->size);
        }
    }
    out.push_back(kEndMarker);
    return out;
}

uint32_t maskOf(uint8_t headType) {
    uint32_t mask = 0;
    for (char letter : datasetsOf(headType)) {
        mask |= findType(letter)->group;
    }
    return mask;
}

uint32_t applyFilter(uint32_t mask, uint8_t headType) {
    switch (headType) {
        case 0:
            return mask & kKeepForHeadType0;
        case 1:
        case 2:
            return mask & ~kDropForHeadTypes1And2;
        case 3:
            return mask & ~kDropForHeadType3;
        default:
            return mask;
    }
}

}  // namespace dravix::qprFile
