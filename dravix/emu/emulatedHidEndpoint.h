#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ownedThread.h"

namespace dravix::emu {

// The camera's USB connection as the host sees it: whether it is plugged in, and the input
// reports on their way to the host.
//
// Each plug-in starts a new session; a handle works only within the session it was opened in.
// Reports are posted either at once or for a due time; a delivery thread, started on the first
// timed report and joined by the destructor, moves timed reports to the host when they are due.
// Thread-safe.
class emulatedHidEndpoint {
  public:
    using report = std::array<uint8_t, 64>;
    using clock = std::chrono::steady_clock;
    // Session number of an unplugged endpoint.
    static constexpr uint64_t kNoSession = 0;
    // Reports waiting for the host; more are dropped, like a host-side report buffer does.
    static constexpr std::size_t kQueueDepth = 1024;

    emulatedHidEndpoint();
    ~emulatedHidEndpoint();
    emulatedHidEndpoint(const emulatedHidEndpoint&) = delete;
    emulatedHidEndpoint& operator=(const emulatedHidEndpoint&) = delete;

    void plug();
    // Ends the session: waiting reports are discarded and every waiter returns -ENODEV.
    void unplug();
    // The current session, or kNoSession while unplugged.
    uint64_t session() const;
    bool isOpen(uint64_t session) const;

    // Reports for `session`; dropped when that session has ended.
    void post(uint64_t session, const report& input);
    void postAt(uint64_t session, const report& input, clock::time_point due);

    // Takes the oldest waiting report, waiting at most `timeout` (negative: without limit).
    // Returns its size, 0 on time-out or -ENODEV when the session has ended.
    int read(uint64_t session, report& input, std::chrono::milliseconds timeout);
    // Waits until the host has taken every report posted for `session` so far, timed ones too;
    // false when `timeout` passed first. True at once once the session has ended.
    bool waitUntilTaken(uint64_t session, std::chrono::milliseconds timeout);
    // Blocks like a write that the device never takes: 0 after `timeout` (negative: without
    // limit), or -ENODEV as soon as the session ends.
    int stall(uint64_t session, std::chrono::milliseconds timeout);

  private:
    struct timedReport {
        clock::time_point due;
        report input;
    };

    // The helpers below are called with mutex_ held.
    bool hasEnded(uint64_t session) const;
    // Waits until `ready` holds, the session ends or `timeout` passes (negative: no limit).
    template <typename Predicate>
    void waitInSession(std::unique_lock<std::mutex>& lock, uint64_t session,
                       std::chrono::milliseconds timeout, Predicate ready);
    void enqueue(const report& input);
    void releaseDueReports();
    void startDeliveryThread();

    void deliveryThreadMain();

    mutable std::mutex mutex_;
    // Readers and stalled writers wait on it; signalled for new reports and session ends.
    std::condition_variable changed_;
    // The delivery thread waits on it for the earliest due report.
    std::condition_variable scheduleChanged_;
    uint64_t session_ = kNoSession;
    uint64_t lastSession_ = kNoSession;
    // A fixed ring, so that posting a report never allocates.
    std::vector<report> queue_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    // Sorted by due time; reports due at the same time keep their posting order.
    std::vector<timedReport> timed_;
    bool stopping_ = false;
    ownedThread deliveryThread_;
};

}  // namespace dravix::emu
