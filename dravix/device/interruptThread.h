#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "device/fx3Hid.h"
#include "platform/manualResetEvent.h"
#include "platform/restartableThread.h"

namespace dravix {

// The camera's interrupt handling: onHidInterrupt, called on the HID reader thread, puts the
// newest interrupt report into a one-report mailbox and sets the interrupt event; the thread
// takes the report and hands reports of type 1 to the handler. A report that arrives before the
// previous one was taken replaces it.
class interruptThread {
  public:
    using data = std::array<uint8_t, fx3Hid::kInterruptDataSize>;
    // Runs on the interrupt thread; it may send commands on the channel and wait for replies.
    using handler = std::function<void(const data& report)>;

    static constexpr uint8_t kStatusInterrupt = 1;

    interruptThread();
    ~interruptThread();
    interruptThread(const interruptThread&) = delete;
    interruptThread& operator=(const interruptThread&) = delete;

    // The handler for later reports; set it before start().
    void setHandler(handler onReport);
    bool isRunning() const { return thread_.isRunning(); }
    bool isCurrentThread() const { return thread_.isCurrentThread(); }
    // Starts the thread (or keeps it, see restartableThread) and installs onHidInterrupt in
    // `hid`. A report of an earlier run is not handed on.
    void start(fx3Hid& hid);
    // Ends the thread and waits for it; a report being handled is finished first. Must run before
    // the channel the handler uses is destroyed.
    void stop() { thread_.stop(); }
    // Asks the thread to end after the report it handles; for the camera's own threads.
    void requestStop() { thread_.requestStop(); }

    // The InterruptCallback installed in the channel; `context` is the interruptThread.
    static void onHidInterrupt(uint8_t type, const uint8_t* data, void* context);

    // Reports taken from the mailbox (of every type), for diagnostics.
    uint64_t reportsTaken() const { return reportsTaken_; }

  private:
    void run();
    // Waits for the event and takes the mailbox's report if it holds a new one (`taken`); false
    // when the thread is to end.
    bool take(uint8_t& type, data& report, bool& taken);

    manualResetEvent interruptEvent_;
    std::mutex mailboxMutex_;
    uint8_t interruptType_ = 0;
    data interruptData_{};
    bool fresh_ = false;  // the mailbox holds a report not taken yet

    handler handler_;
    std::atomic<uint64_t> reportsTaken_{0};
    // Last: it ends before the members its thread uses.
    restartableThread thread_;
};

}  // namespace dravix
