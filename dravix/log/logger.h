#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dravix/dravix.h"
#include "log/logEntry.h"
#include "log/logLineFormatter.h"
#include "platform/manualResetEvent.h"
#include "platform/ownedThread.h"

namespace dravix {

// The library's log: reporters format into a fixed ring of 1000 entries; a file thread appends
// them to the log file in batches, a callback thread hands them to the client's LogCallback.
//
// A logger is "open" between open() and close(); while closed every report is dropped. The
// process-wide instance (libraryLog()) lives for the whole process, so objects may keep a
// reference to it across the library's create/tear-down cycles.
class logger {
  public:
    static constexpr uint32_t kRingSize = 1000;
    static constexpr uint32_t kBatchSize = 50;
    static constexpr uint8_t kDefaultCallbackMask = LOG_ERROR | LOG_WARN | LOG_INFO;

    logger();
    ~logger();
    logger(const logger&) = delete;
    logger& operator=(const logger&) = delete;

    // Creates the log state with `filePath` and runs the log start. No effect when open.
    void open(const std::string& filePath, bool enable, bool fileEnable);
    // Logs "Session stopped", delivers and writes every waiting entry, ends both threads and
    // frees the ring. No effect when closed, or when called from inside the log callback.
    void close();
    bool isOpen() const;

    // The log start: sets the two switches, starts the file thread when needed, empties the log
    // file when file logging is on, and logs "Session started".
    void start(bool enable, bool fileEnable);
    void setLevelMask(uint8_t mask);
    void setFilePath(const std::string& path);
    std::string filePath() const;
    // Stores the callback and the levels it receives (0 selects ERROR, WARN and INFO); a non-null
    // callback gets a callback thread (the running one is reused).
    void setCallback(LogCallback callback, void* user, uint8_t mask);
    // Asks the callback thread to end after its next delivery pass.
    void stopCallback();
    // ERROR reports since open(); 0 while closed.
    uint32_t errorCount() const;

    void report(uint8_t level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void reportV(uint8_t level, const char* format, va_list args);
    void error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void warn(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void info(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void debug(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void verbose(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // True while the callback thread runs; false once a stopped one has ended its last pass.
    bool isCallbackRunning() const { return callbackRunning_; }

  private:
    enum class state { closed, open, closing };

    bool onLoggerThread() const;
    void queue(uint8_t level, const char* format, va_list args);
    void queueText(uint8_t level, const char* text);
    void store(const logEntry& entry);
    void append(const logEntry& entry);
    void reportOwnError(const char* text);
    bool hasRoomForOneMore() const;
    void waitForRoom();

    void fileThreadMain();
    void drainForFile();
    FILE* openForAppending();
    void writeWaitingEntries();
    void abandonWaitingEntries();
    void waitUntilCallbackHasSeen(uint32_t sequence);
    void emptyLogFile();

    void callbackThreadMain();
    bool deliverOne();
    void joinCallbackThread();

    // Lifecycle (open/close) is serialised; reporters are serialised by the writer mutex.
    std::mutex lifecycleMutex_;
    mutable std::recursive_mutex writerMutex_;
    std::atomic<state> state_{state::closed};

    // Switches, read by reporters on every call.
    std::atomic<bool> enabled_{false};
    std::atomic<bool> fileEnabled_{false};
    std::atomic<uint8_t> levelMask_{LOG_ALL};
    std::atomic<uint32_t> errorCount_{0};

    // The ring. Reporters store under queueMutex_; `written_` is the next sequence number.
    mutable std::mutex queueMutex_;
    std::unique_ptr<logEntry[]> ring_;
    uint32_t writeIndex_ = 0;
    std::atomic<uint32_t> written_{0};
    manualResetEvent spaceEvent_;

    // File side.
    mutable std::mutex fileMutex_;
    std::string filePath_;
    std::mutex threadsMutex_;  // guards the creation of fileThread_ against close()
    ownedThread fileThread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<uint32_t> fileConsumed_{0};
    uint32_t fileReadIndex_ = 0;
    manualResetEvent fileWake_;
    bool openFailureReported_ = false;
    // Owned by the file thread: the lines of a batch are collected here and written at once.
    std::vector<char> fileLines_;
    logLineFormatter lineFormatter_;

    // Callback side; the callback, its user value and mask are guarded by queueMutex_.
    LogCallback callback_ = nullptr;
    void* callbackUser_ = nullptr;
    uint8_t callbackMask_ = kDefaultCallbackMask;
    ownedThread callbackThread_;
    std::atomic<bool> callbackRunning_{false};
    std::atomic<bool> callbackStop_{false};
    std::atomic<uint32_t> callbackNext_{0};
    uint32_t callbackReadIndex_ = 0;
    manualResetEvent callbackWake_;
    manualResetEvent callbackProgress_;
};

// The process-wide log of the library.
logger& libraryLog();

}  // namespace dravix
