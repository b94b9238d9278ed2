#include "device/firmwareFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dravix {

namespace {

// Closes the descriptor when the read ends, whichever way.
class descriptor {
  public:
    explicit descriptor(int fd) : fd_(fd) {}
    ~descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// Reads exactly `length` bytes; false on an error or an early end of the file.
bool readExactly(int fd, uint8_t* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::read(fd, data + done, length - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool atEnd(int fd) {
    uint8_t extra = 0;
    ssize_t got = 0;
    do {
        got = ::read(fd, &extra, 1);
    } while (got < 0 && errno == EINTR);
    return got == 0;
}

}  // namespace

// O_NONBLOCK keeps the open of a FIFO without a writer from blocking; regular files ignore it.
firmwareFile::outcome firmwareFile::read(const std::string& path, uint64_t maxSize,
                                         std::vector<uint8_t>& image) {
    image.clear();
    const descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) {
        return outcome::cannotOpen;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return outcome::notRegular;
    }
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    if (size > maxSize) {
        return outcome::tooLarge;
    }
    image.resize(static_cast<std::size_t>(size));
    if (!readExactly(file.get(), image.data(), image.size()) || !atEnd(file.get())) {
        image.clear();
        return outcome::readFailed;
    }
    return outcome::ok;
}

}  // namespace dravix
