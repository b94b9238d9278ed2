#pragma once

#include <functional>

namespace dravix {

// Marks the threads the library starts (device watchers, interrupt threads, HID readers,
// delivery threads, the log's threads). Client callbacks run on some of them and may call the
// exports; on such a thread nothing may wait for another library thread, because that thread
// may itself be waiting for this callback. So a stop asked for there only asks, and what can't
// be done without waiting (destroying a camera) is refused. Only the client's own threads join.
class libraryThread {
  public:
    // True on a thread started through run().
    static bool isCurrent();

    // The entry of a library thread: marks it and runs `body`. An exception that leaves `body`
    // ends the thread with ERROR "<name>: thread ended by an exception: <what>" instead of
    // reaching std::terminate.
    static void run(const char* name, const std::function<void()>& body) noexcept;
};

}  // namespace dravix
