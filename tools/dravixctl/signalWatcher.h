#pragma once

#include <chrono>
#include <csignal>

namespace dravixctl {

// Takes SIGINT and SIGTERM away from asynchronous delivery: they stay pending until waitFor()
// collects them with sigtimedwait, so no work runs in a signal handler. Must be created before
// any thread starts (threads inherit the blocked mask); the destructor restores the old mask.
class signalWatcher {
  public:
    signalWatcher();
    ~signalWatcher();
    signalWatcher(const signalWatcher&) = delete;
    signalWatcher& operator=(const signalWatcher&) = delete;

    // Waits up to `duration` for Ctrl-C or SIGTERM; true once one has arrived.
    bool waitFor(std::chrono::milliseconds duration);
    bool interrupted() const { return signal_ != 0; }

  private:
    sigset_t watched_;
    sigset_t previous_;
    int signal_ = 0;
};

}  // namespace dravixctl
