#include "signalWatcher.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace dravixctl {

signalWatcher::signalWatcher() {
    sigemptyset(&watched_);
    sigaddset(&watched_, SIGINT);
    sigaddset(&watched_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &watched_, &previous_);
}

signalWatcher::~signalWatcher() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool signalWatcher::waitFor(std::chrono::milliseconds duration) {
    if (signal_ != 0) {
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + duration;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        timespec timeout{static_cast<time_t>(left.count() / 1000000000),
                         static_cast<long>(left.count() % 1000000000)};
        const int received = sigtimedwait(&watched_, nullptr, &timeout);
        if (received > 0) {
            signal_ = received;
            return true;
        }
        if (errno != EINTR) {
            return false;  // EAGAIN: the time is up
        }
    }
}

}  // namespace dravixctl
