#include "platform/linux/v4l2StreamWaiter.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>

namespace dravix::platform {
namespace {

using event = v4l2StreamWaiter::event;

// The outcome of one poll; nothing when neither descriptor reported anything.
std::optional<event> outcome(short stopEvents, short deviceEvents) {
    // Any report on the stop descriptor ends the wait: an eventfd that reported an error could
    // never deliver the stop request later.
    if (stopEvents != 0) {
        return event::stopRequested;
    }
    // A node that was unplugged reports POLLERR and POLLHUP, possibly together with POLLIN;
    // filled buffers of a gone device can no longer be dequeued.
    if ((deviceEvents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
        return event::streamEnded;
    }
    if ((deviceEvents & POLLIN) != 0) {
        return event::frameReady;
    }
    return std::nullopt;
}

}  // namespace

std::unique_ptr<v4l2StreamWaiter> v4l2StreamWaiter::create(int& error) {
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        error = -errno;
        return nullptr;
    }
    error = 0;
    return std::make_unique<v4l2StreamWaiter>(fd);
}

v4l2StreamWaiter::v4l2StreamWaiter(int stopFd) : stopFd_(stopFd) {}

v4l2StreamWaiter::~v4l2StreamWaiter() {
    ::close(stopFd_);
}

v4l2StreamWaiter::event v4l2StreamWaiter::wait(int deviceFd) const {
    // poll() skips negative descriptors, which would leave only a stop request to end the wait.
    if (deviceFd < 0) {
        return event::streamEnded;
    }
    for (;;) {
        // Only POLLIN is asked for: V4L2 events (POLLPRI) are never subscribed to, and a
        // reported but unread one would make every poll return at once.
        pollfd entries[2] = {{stopFd_, POLLIN, 0}, {deviceFd, POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return event::streamEnded;
        }
        if (const std::optional<event> result = outcome(entries[0].revents, entries[1].revents)) {
            return *result;
        }
    }
}

void v4l2StreamWaiter::requestStop() const {
    // The counter is never read, so it stays readable for every later wait. A write can only
    // fail when the counter is near overflow, and then it is readable already.
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopFd_, &one, sizeof(one));
}

}  // namespace dravix::platform
