#include "video/cPictureIO.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>
#include <utility>

#include "video/pictureNames.h"
#include "video/takenNameSuffix.h"

namespace dravix {
namespace {

const char* extensionOf(cPictureIO::pictureType type) {
    switch (type) {
        case cPictureIO::pictureType::raw:
            return "ycrcb";
        case cPictureIO::pictureType::bmp:
            return "bmp";
        case cPictureIO::pictureType::jpeg:
            break;
    }
    return "jpg";
}

const char* writerOf(cPictureIO::pictureType type) {
    switch (type) {
        case cPictureIO::pictureType::raw:
            return "writeRAWFile";
        case cPictureIO::pictureType::bmp:
            return "writeBMPFile";
        case cPictureIO::pictureType::jpeg:
            break;
    }
    return "writeJPGFile";
}

std::string describe(int error) {
    return std::string(std::strerror(error)) + " (" + std::to_string(error) + ")";
}

bool isComplete(const cPictureIO::frameView& frame) {
    return frame.width > 0 && frame.height > 0 &&
           frame.length == static_cast<uint32_t>(frame.width) * frame.height * 2u;
}

}  // namespace

cPictureIO::cPictureIO(logger& log, platform::fileSystem& files, pictureCounter& counter, clock now)
    : log_(log), files_(files), counter_(counter), now_(std::move(now)) {}

cPictureIO::~cPictureIO() {
    cancel();
}

void cPictureIO::setJpegQuality(uint8_t quality) {
    constexpr uint8_t kBest = 100;
    quality_ = quality == 0 ? 1 : (quality > kBest ? kBest : quality);
}

// The lock is held across the whole request, so that of two requests at once only one is
// accepted; the delivery thread takes it only once a request is pending.
int cPictureIO::setPictureFilename(pictureType type, const std::string& path, int32_t nameMode) {
    mutexLock lock(requestMutex_);
    if (request_.file != nullptr) {
        log_.error("cPictureIO::setPictureFilename(file already opened): %d", 1);
        return 1;
    }
    int error = 0;
    const std::string name = nameFor(type, path, nameMode, error);
    if (name.empty()) {
        return error;
    }
    makeDirectoryOf(name);
    std::string created;
    std::unique_ptr<platform::writableFile> file = createFile(name, created, error);
    if (file == nullptr) {
        return error;
    }
    log_.info("cPictureIO::setPictureFilename: %s", created.c_str());
    request_ = request{std::move(file), created, type, quality_};
    pending_ = true;
    return 0;
}

std::string cPictureIO::nameFor(pictureType type, const std::string& path, int32_t nameMode,
                                int& error) {
    if (nameMode < 0 || nameMode > pictureNames::kLastNameMode) {
        log_.error("cPictureIO::setPictureFilename(name mode): %d", nameMode);
        error = EINVAL;
        return std::string();
    }
    pictureNames::parts parts = pictureNames::split(path);
    if (parts.base.empty()) {
        error = EINVAL;
        log_.error("cPictureIO::setPictureFilename(getpath): %d", error);
        return std::string();
    }
    std::time_t now = 0;
    const int counter = counter_.next(nameMode, now_, lastPictureTime_, now);
    std::tm local{};
    localtime_r(&now, &local);
    parts.base = pictureNames::baseName(nameMode, parts.base, local, counter);
    return pictureNames::join(parts, std::string(), extensionOf(type));
}

// One missing level is made; a failure shows when the file cannot be created.
void cPictureIO::makeDirectoryOf(const std::string& path) {
    const std::string directory = pictureNames::directoryToMake(pictureNames::split(path));
    if (!directory.empty() && !files_.isDirectory(directory)) {
        files_.makeDirectory(directory);
    }
}

// A longer suffix for each taken name; the name limit ends the search at the latest.
std::unique_ptr<platform::writableFile> cPictureIO::createFile(const std::string& name,
                                                               std::string& created, int& error) {
    const pictureNames::parts parts = pictureNames::split(name);
    const std::string extension = name.substr(name.rfind('.') + 1);
    for (int taken = 0;; ++taken) {
        created = pictureNames::join(parts, taken == 0 ? std::string() : takenNameSuffix(taken),
                                     extension);
        if (!pictureNames::fitsLimits(created)) {
            error = ENAMETOOLONG;
            log_.error("cPictureIO::setPictureFilename(makepath): %d", error);
            return nullptr;
        }
        std::unique_ptr<platform::writableFile> file = files_.createExclusive(created, error);
        if (file != nullptr) {
            return file;
        }
        if (error != EEXIST) {
            log_.error("cPictureIO::setPictureFilename(open file): %d", error);
            return nullptr;
        }
    }
}

std::string cPictureIO::pendingPath() const {
    mutexLock lock(requestMutex_);
    return request_.path;
}

void cPictureIO::writePending(const frameView& frame) {
    if (!pending_ || !isComplete(frame)) {
        return;
    }
    request taken;
    {
        mutexLock lock(requestMutex_);
        if (request_.file == nullptr) {
            return;
        }
        taken = std::move(request_);
        request_ = request{};
        pending_ = false;
    }
    write(taken, frame);
}

void cPictureIO::write(request& taken, const frameView& frame) {
    std::string failure;
    try {
        failure = encodeAndWrite(taken, frame);
    } catch (const std::bad_alloc&) {
        failure = "out of memory";
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (failure.empty()) {
        const int closed = taken.file->close();
        if (closed != 0) {
            failure = "close: " + describe(closed);
        }
    }
    if (failure.empty()) {
        log_.debug("cPictureIO::%s: %s written", writerOf(taken.type), taken.path.c_str());
    } else {
        discard(taken, writerOf(taken.type), failure);
    }
}

std::string cPictureIO::encodeAndWrite(request& taken, const frameView& frame) {
    platform::writableFile& file = *taken.file;
    if (taken.type == pictureType::raw) {
        return writeBytes(file, frame.bytes, frame.length);
    }
    if (frame.width % 2 != 0) {
        return "odd frame width " + std::to_string(frame.width);
    }
    if (taken.type == pictureType::bmp) {
        log_.info("cPictureIO::writeBMPFile: %d x %d", frame.width, frame.height);
        bmp_.build(frame.bytes, frame.width, frame.height, frame.colorMode);
        return writeBytes(file, bmp_.data(), bmp_.size());
    }
    planes_.build(frame.bytes, frame.width, frame.height);
    if (!encoder_.encodePlanes(planes_, taken.quality)) {
        return "encoder: " + encoder_.error();
    }
    return writeBytes(file, encoder_.data(), encoder_.size());
}

std::string cPictureIO::writeBytes(platform::writableFile& file, const uint8_t* data,
                                   std::size_t size) {
    const int error = file.write(data, size);
    return error == 0 ? std::string() : "write: " + describe(error);
}

// The file is closed before it is removed; a failure of that close adds nothing.
void cPictureIO::discard(request& failed, const char* operation, const std::string& reason) {
    failed.file.reset();
    const int removed = files_.remove(failed.path);
    log_.error("cPictureIO::%s: %s; %s %s", operation, reason.c_str(), failed.path.c_str(),
               removed == 0 ? "removed" : ("not removed: " + describe(removed)).c_str());
}

void cPictureIO::releaseBuffers() {
    planes_.release();
    encoder_.release();
    bmp_.release();
}

void cPictureIO::cancel() {
    request dropped;
    {
        mutexLock lock(requestMutex_);
        if (request_.file == nullptr) {
            return;
        }
        dropped = std::move(request_);
        request_ = request{};
        pending_ = false;
    }
    discard(dropped, "cancel", "picture not written, no frame followed");
}

}  // namespace dravix
