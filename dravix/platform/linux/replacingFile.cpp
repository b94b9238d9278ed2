#include "platform/replacingFile.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace dravix::platform {

namespace {

constexpr int kCreateAttempts = 100;

// Where the target's bytes end up: the file a symbolic link points to, else the path itself.
std::string resolvedTarget(const std::string& target) {
    struct stat status {};
    if (::lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
        return target;
    }
    std::unique_ptr<char, decltype(&::free)> resolved(::realpath(target.c_str(), nullptr), &::free);
    return resolved ? std::string(resolved.get()) : target;
}

// A name beside the target that no other writer of this process or another picks.
std::string temporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return directory + "." + name + ".tmp" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

}  // namespace

replacingFile::replacingFile(std::string target) : target_(resolvedTarget(target)) {}

replacingFile::~replacingFile() {
    discard();
}

int replacingFile::create() {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        temporary_ = temporaryName(target_);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd_ >= 0) {
            break;
        }
        if (errno != EEXIST) {
            const int error = errno;
            temporary_.clear();
            return -error;
        }
    }
    if (fd_ < 0) {
        temporary_.clear();
        return -EEXIST;
    }
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd_, existing.st_mode & 07777);
    }
    return 0;
}

bool replacingFile::write(const void* bytes, std::size_t size) {
    if (fd_ < 0) {
        return false;
    }
    const auto* next = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t written = ::write(fd_, next, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool replacingFile::commit() {
    if (fd_ < 0) {
        return false;
    }
    const bool synced = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closed || ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void replacingFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

}  // namespace dravix::platform
