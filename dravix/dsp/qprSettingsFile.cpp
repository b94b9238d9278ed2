#include "dsp/qprSettingsFile.h"

#include <cerrno>
#include <ctime>
#include <string>
#include <utility>

#include "dsp/qprFile.h"
#include "platform/hostInfo.h"
#include "platform/regularFile.h"
#include "platform/replacingFile.h"

namespace dravix {

namespace {

constexpr const char* kWriteExport = "writeQprFile";
constexpr const char* kReadExport = "readQprFile";
// Which of a dataset's three writes failed, for its message.
constexpr unsigned kTypeFailed = 1;
constexpr unsigned kLengthFailed = 2;
constexpr unsigned kPayloadFailed = 4;

qprFile::stamp stampNow() {
    const std::tm now = platform::localTimeNow();
    return {now.tm_year + 1900,
            now.tm_mon + 1,
            now.tm_mday,
            now.tm_hour,
            now.tm_min,
            now.tm_sec,
            platform::systemMajorVersion()};
}

}  // namespace

qprSettingsFile::qprSettingsFile(cameraDsp& dsp, logger& log, qprSettings::pauseFunction pause)
    : dsp_(dsp), log_(log), pause_(std::move(pause)) {}

// The camera is read before the file is touched: a failed read would put failure values into
// the file, and reading that file later would overwrite good settings with them.
int32_t qprSettingsFile::write(const std::string& path, uint8_t headType) {
    log_.verbose("connect qprrw");
    log_.debug("writeQprFile: ");
    if (headType > qprFile::kLastHeadType) {
        log_.error("writeQprFile: head type %u is not supported", static_cast<unsigned>(headType));
        return 1;
    }
    qprFile::image slots;
    if (!qprSettings(dsp_, log_, kWriteExport, pause_).capture(slots)) {
        log_.error("writeQprFile: camera settings could not be read, %s not written", path.c_str());
        return 1;
    }
    qprFile::writeStamp(slots.slot('Z'), stampNow());
    platform::replacingFile file(path);
    if (file.create() != 0) {
        log_.error("writeQprFile: could not open %s", path.c_str());
        return -1;
    }
    log_.verbose("writing qpr-File %s", path.c_str());
    // A file with a failed write is never committed: the target stays as it was.
    int errors = writeDatasets(file, qprFile::serialize(slots, headType), headType);
    if (errors == 0 && !file.commit()) {
        log_.error("writeQprFile: could not complete %s", path.c_str());
        ++errors;
    }
    if (errors != 0) {
        log_.error("writeQprFile: %d errors", errors);
        return 1;
    }
    log_.info("writeQprFile: %s written", path.c_str());
    return 0;
}

int qprSettingsFile::writeDatasets(platform::replacingFile& file, const std::vector<uint8_t>& bytes,
                                   uint8_t headType) {
    int errors = 0;
    if (!file.write(bytes.data(), qprFile::kIdentificationSize)) {
        log_.error("Error writing Identification.");
        ++errors;
    }
    std::size_t position = qprFile::kIdentificationSize;
    for (char letter : qprFile::datasetsOf(headType)) {
        const std::size_t size = qprFile::findType(letter)->size;
        unsigned failed = 0;
        failed |= file.write(&bytes[position], 1) ? 0 : kTypeFailed;
        failed |= file.write(&bytes[position + 1], 4) ? 0 : kLengthFailed;
        failed |= file.write(&bytes[position + qprFile::kHeaderSize], size) ? 0 : kPayloadFailed;
        position += qprFile::kHeaderSize + size;
        if (failed == 0) {
            continue;
        }
        ++errors;
        if (letter == 'V') {
            log_.error("Error writing version. %d errors", __builtin_popcount(failed));
        } else {
            log_.error("Error writing dataset. %c: %x ", letter, failed);
        }
    }
    if (!file.write(&bytes[position], 1)) {
        log_.error("Error writing dataset. %c: %x ", static_cast<char>(qprFile::kEndMarker),
                   kTypeFailed);
        ++errors;
    }
    return errors;
}

// The datasets read whole are applied whatever the result: a damaged file still restores what
// it holds before the damage, and a file for another head type what that head type takes.
int32_t qprSettingsFile::read(const std::string& path, uint8_t headType) {
    log_.verbose("connect qprrw");
    log_.verbose("reading qpr-File %s", path.c_str());
    std::vector<uint8_t> bytes;
    qprFile::parseResult parsed;
    parsed.contents = headType;
    if (platform::readRegularFile(path, kMaxFileBytes, bytes) != 0) {
        log_.error("readQprFile: open ");
        parsed.result = -1;
    } else {
        parsed = qprFile::parse(bytes.data(), bytes.size(), headType);
        for (const qprFile::message& message : parsed.messages) {
            log_.report(message.level, "%s", message.text.c_str());
        }
        log_.verbose("qpr-ReadMask: %8X", static_cast<unsigned>(parsed.mask));
    }
    int32_t result = parsed.result;
    if ((parsed.contents & qprFile::kContentsMatched) == 0) {
        log_.error("Wrong QPR-File Contents: %X", static_cast<unsigned>(parsed.contents));
        result = -2;
    }
    const int failures = qprSettings(dsp_, log_, kReadExport, pause_)
                             .apply(parsed.slots, qprFile::applyFilter(parsed.mask, headType));
    if (failures != 0) {
        log_.error("readQprFile: %d errors", failures);
        result = result == 0 ? 1 : result;
    }
    return result;
}

}  // namespace dravix
