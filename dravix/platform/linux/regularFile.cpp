#include "platform/regularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dravix::platform {

namespace {

// Closes the descriptor when the read ends, whichever way.
class descriptor {
  public:
    explicit descriptor(int fd) : fd_(fd) {}
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    ~descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

// Reads to the end of the file, at most `maxBytes` and one more to notice a file that grew.
int readAll(int fd, std::size_t maxBytes, std::vector<uint8_t>& bytes) {
    bytes.clear();
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -errno;
        }
        if (got == 0) {
            return 0;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (bytes.size() > maxBytes) {
            return -EFBIG;
        }
    }
}

}  // namespace

// Opened without blocking, so that a FIFO without a writer cannot hold the caller; a regular
// file reads the same either way.
int readRegularFile(const std::string& path, std::size_t maxBytes, std::vector<uint8_t>& bytes) {
    const descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) {
        return -errno;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return -errno;
    }
    if (!S_ISREG(status.st_mode)) {
        return -EINVAL;
    }
    if (static_cast<unsigned long long>(status.st_size) > maxBytes) {
        return -EFBIG;
    }
    return readAll(file.get(), maxBytes, bytes);
}

}  // namespace dravix::platform
