#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace dravix {

// Names a thread for the check "is this that thread?", made from any thread; an owner keeps one
// in an atomic while its thread runs and clears it after (ids are reused by later threads).
using threadId = std::thread::id;
inline threadId currentThreadId() {
    return std::this_thread::get_id();
}

// The one way the library starts a thread: the object that holds an ownedThread owns the thread,
// starts it, may ask it to stop and joins it; a thread is never detached. Destroying an
// ownedThread joins a thread still running, so no owner can leave one behind. The body decides
// how it learns of a stop: through stopRequested() or a signal of the owner's own.
class ownedThread {
  public:
    ownedThread() = default;
    // Joins the thread, unless there is none (or this is it: an owner destroyed by its own
    // thread is a fault that std::thread reports by ending the process).
    ~ownedThread();
    ownedThread(const ownedThread&) = delete;
    ownedThread& operator=(const ownedThread&) = delete;
    // Hands the thread to another owner, which then joins it (outside a lock, say).
    ownedThread(ownedThread&& other) noexcept;
    // Takes over `other`'s thread; joins the one this held first.
    ownedThread& operator=(ownedThread&& other) noexcept;

    // Runs `body` on a new thread. There must be no thread yet, or only a joined one.
    void start(std::function<void()> body);
    // Asks the body to return; it sees the request through stopRequested().
    void requestStop() { stopRequested_ = true; }
    bool stopRequested() const { return stopRequested_; }
    // Waits until the body has returned; no effect without a thread.
    void join();

    bool joinable() const { return thread_.joinable(); }
    bool isCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }

  private:
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
};

}  // namespace dravix
