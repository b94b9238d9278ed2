#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

#include "device/fx3Hid.h"
#include "log/logger.h"
#include "platform/manualResetEvent.h"
#include "platform/restartableThread.h"

namespace dravix {

// The camera's interrupt handling: onHidInterrupt, called on the HID reader thread, appends each
// interrupt report to a bounded queue and sets the interrupt event; the thread takes the reports
// one by one, in order, and hands those of type 1 to the handler. A refresh set may take seconds
// while the camera sends a burst (boot, then head connected), so every report waits its turn;
// when the queue is full the oldest waiting report is dropped, and the thread logs a WARN.
class interruptThread {
  public:
    using data = std::array<uint8_t, fx3Hid::kInterruptDataSize>;
    // Runs on the interrupt thread; it may send commands on the channel and wait for replies.
    using handler = std::function<void(const data& report)>;
    using task = std::function<void()>;

    static constexpr uint8_t kStatusInterrupt = 1;
    // Reports that may wait while one is handled.
    static constexpr std::size_t kQueueDepth = 32;

    explicit interruptThread(logger& log);
    ~interruptThread();
    interruptThread(const interruptThread&) = delete;
    interruptThread& operator=(const interruptThread&) = delete;

    // The handler for later reports; set it before start().
    void setHandler(handler onReport);
    // What requestResync() runs; set it before start().
    void setResyncHandler(task onResync);
    bool isRunning() const { return thread_.isRunning(); }
    bool isCurrentThread() const { return thread_.isCurrentThread(); }
    // Starts the thread (or keeps it, see restartableThread) and installs onHidInterrupt in
    // `hid`. Reports of an earlier run are not handed on.
    void start(fx3Hid& hid);
    // Ends the thread and waits for it; a report being handled is finished first. Must run before
    // the channel the handler uses is destroyed.
    void stop() { thread_.stop(); }
    // Asks the thread to end after the report it handles; for the camera's own threads.
    void requestStop() { thread_.requestStop(); }
    // True once the thread is asked to end: long handling gives up between its commands.
    bool stopAsked() const { return thread_.stopAsked(); }
    // Runs the resync handler once on the thread, before the next report.
    void requestResync();

    // The InterruptCallback installed in the channel; `context` is the interruptThread.
    static void onHidInterrupt(uint8_t type, const uint8_t* data, void* context);

    // Reports put into the queue and taken from it (of every type), and those whose handling has
    // ended; for diagnostics and for tests that must know a report was acted on.
    uint64_t reportsQueued() const { return reportsQueued_; }
    uint64_t reportsTaken() const { return reportsTaken_; }
    uint64_t reportsHandled() const { return reportsHandled_; }

  private:
    struct entry {
        uint8_t type = 0;
        data report{};
    };

    void run();
    // Waits until there is work and takes it: a resync (`resync`) or the oldest report
    // (`taken`). False when the thread is to end.
    bool take(entry& next, bool& taken, bool& resync);
    // Appends `report`, dropping the oldest when full; queueMutex_ held.
    void push(const entry& report);
    void warnAboutDropped();

    logger& log_;
    manualResetEvent interruptEvent_;
    std::mutex queueMutex_;
    // A fixed ring, so that the reader thread never allocates.
    std::array<entry, kQueueDepth> queue_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    uint64_t dropped_ = 0;  // since the last WARN
    bool resyncPending_ = false;

    handler handler_;
    task resyncHandler_;
    std::atomic<uint64_t> reportsQueued_{0};
    std::atomic<uint64_t> reportsTaken_{0};
    std::atomic<uint64_t> reportsHandled_{0};
    // Last: it ends before the members its thread uses.
    restartableThread thread_;
};

}  // namespace dravix
