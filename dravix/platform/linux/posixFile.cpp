#include "platform/linux/posixFile.h"

#include <unistd.h>

#include <cerrno>

namespace dravix::platform {

posixFile::~posixFile() {
    close();
}

// write(2) may take fewer bytes than asked (a signal, a nearly full medium): the rest follows
// until all are written or one call fails.
int posixFile::write(const uint8_t* data, std::size_t length) {
    if (descriptor_ < 0) {
        return EBADF;
    }
    while (length > 0) {
        const ssize_t written = ::write(descriptor_, data, length);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return EIO;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return 0;
}

// The descriptor is gone after close(2) even when it fails, so it is never closed twice.
int posixFile::close() {
    if (descriptor_ < 0) {
        return 0;
    }
    const int result = ::close(descriptor_);
    descriptor_ = -1;
    return result == 0 || errno == EINTR ? 0 : errno;
}

}  // namespace dravix::platform
