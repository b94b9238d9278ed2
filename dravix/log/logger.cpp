#include "log/logger.h"
#include "platform/libraryThread.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

namespace dravix {
namespace {

using namespace std::chrono_literals;

constexpr auto kFileThreadPause = 10ms;
constexpr auto kCallbackThreadPause = 500ms;
// Lines are collected and written with one call per this many bytes.
constexpr std::size_t kWriteChunk = 64 * 1024;

// Set on the logger's own threads: their reports must never wait for room in the ring, since
// the room can only come from those very threads.
thread_local const logger* tlsLoggerThreadOwner = nullptr;

uint32_t nextIndex(uint32_t index) {
    return index + 1 == logger::kRingSize ? 0 : index + 1;
}

// An entry of `level` stamped with the current time; its text is left to the caller.
logEntry stampedEntry(uint8_t level) {
    logEntry entry;
    entry.level = level;
    entry.time = static_cast<int64_t>(std::time(nullptr));
    return entry;
}

logEntry textEntry(uint8_t level, const char* text) {
    logEntry entry = stampedEntry(level);
    std::snprintf(entry.text, sizeof entry.text, "%s", text);
    return entry;
}

}  // namespace

logger::logger() = default;

logger::~logger() {
    close();
}

void logger::open(const std::string& filePath, bool enable, bool fileEnable) {
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
    {
        std::lock_guard<std::recursive_mutex> writer(writerMutex_);
        if (state_ != state::closed) {
            return;
        }
        std::lock_guard<std::mutex> queue(queueMutex_);
        ring_ = std::make_unique<logEntry[]>(kRingSize);
        writeIndex_ = fileReadIndex_ = callbackReadIndex_ = 0;
        written_ = fileConsumed_ = callbackNext_ = 0;
        errorCount_ = 0;
        enabled_ = fileEnabled_ = false;
        levelMask_ = LOG_ALL;
        callback_ = nullptr;
        callbackUser_ = nullptr;
        callbackMask_ = kDefaultCallbackMask;
        stopRequested_ = callbackStop_ = false;
        openFailureReported_ = false;
        state_ = state::open;
    }
    setFilePath(filePath);
    start(enable, fileEnable);
}

void logger::close() {
    if (onLoggerThread()) {
        return;  // a log callback cannot end the threads it runs on
    }
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
    if (!isOpen()) {
        return;
    }
    info("%s", "Session stopped");
    {
        // From here on reports are dropped, so nobody can wait for room in the ring any more.
        std::lock_guard<std::recursive_mutex> writer(writerMutex_);
        state_ = state::closing;
    }
    callbackStop_ = true;
    stopRequested_ = true;
    callbackWake_.set();
    fileWake_.set();
    joinCallbackThread();
    ownedThread fileThread;
    {
        std::lock_guard<std::mutex> threads(threadsMutex_);
        fileThread = std::move(fileThread_);
    }
    if (fileThread.joinable()) {
        fileThread.join();
    }
    {
        // The logger outlives its sessions: free what the session allocated.
        std::lock_guard<std::mutex> file(fileMutex_);
        std::string().swap(filePath_);
        std::vector<char>().swap(fileLines_);
    }
    std::lock_guard<std::recursive_mutex> writer(writerMutex_);
    std::lock_guard<std::mutex> queue(queueMutex_);
    ring_.reset();
    callback_ = nullptr;
    state_ = state::closed;
}

bool logger::isOpen() const {
    return state_ == state::open;
}

// Takes no writer lock: it may be called from inside the log callback while a reporter holds
// that lock and waits for room.
void logger::start(bool enable, bool fileEnable) {
    if (state_ != state::open) {
        return;
    }
    enabled_ = enable;
    fileEnabled_ = fileEnable;
    if (enable) {
        std::lock_guard<std::mutex> threads(threadsMutex_);
        if (state_ == state::open && !fileThread_.joinable()) {
            fileThread_.start(
                [this] { libraryThread::run("logger::fileThread", [this] { fileThreadMain(); }); });
        }
    }
    if (fileEnable) {
        emptyLogFile();
    }
    info("%s", "Session started");
}

void logger::setLevelMask(uint8_t mask) {
    levelMask_ = mask;
}

void logger::setFilePath(const std::string& path) {
    std::lock_guard<std::mutex> file(fileMutex_);
    filePath_ = path;
}

std::string logger::filePath() const {
    std::lock_guard<std::mutex> file(fileMutex_);
    return filePath_;
}

void logger::setCallback(LogCallback callback, void* user, uint8_t mask) {
    if (!isOpen()) {
        return;
    }
    {
        std::lock_guard<std::mutex> queue(queueMutex_);
        callback_ = callback;
        callbackUser_ = user;
        callbackMask_ = mask != 0 ? mask : kDefaultCallbackMask;
    }
    if (callback == nullptr || onLoggerThread()) {
        return;  // from inside the callback: the running thread delivers until it ends
    }
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
    if (!isOpen()) {
        return;
    }
    if (callbackRunning_ && !callbackStop_) {
        callbackWake_.set();  // the running thread takes over the new callback
        return;
    }
    // A stopped thread may still be finishing its last pass: join it before starting anew.
    // The stop request stays set, so the new thread delivers what waits and then ends.
    joinCallbackThread();
    callbackRunning_ = true;
    callbackThread_.start(
        [this] { libraryThread::run("logger::callbackThread", [this] { callbackThreadMain(); }); });
}

void logger::stopCallback() {
    callbackStop_ = true;
    callbackWake_.set();
}

uint32_t logger::errorCount() const {
    return isOpen() ? errorCount_.load() : 0;
}

void logger::report(uint8_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    reportV(level, format, args);
    va_end(args);
}

void logger::reportV(uint8_t level, const char* format, va_list args) {
    std::unique_lock<std::recursive_mutex> writer(writerMutex_, std::defer_lock);
    // The logger's own threads never wait for a reporter: one may be waiting for them.
    if (onLoggerThread()) {
        if (!writer.try_lock()) {
            if (level == LOG_ERROR && isOpen()) {
                ++errorCount_;
            }
            return;
        }
    } else {
        writer.lock();
    }
    if (state_ != state::open) {
        return;
    }
    if (level == LOG_ERROR) {
        ++errorCount_;
    }
    if (enabled_) {
        queue(level, format, args);
    }
}

#define DRAVIX_LOGGER_LEVEL_REPORT(name, level)  \
    void logger::name(const char* format, ...) { \
        va_list args;                            \
        va_start(args, format);                  \
        reportV(level, format, args);            \
        va_end(args);                            \
    }
DRAVIX_LOGGER_LEVEL_REPORT(error, LOG_ERROR)
DRAVIX_LOGGER_LEVEL_REPORT(warn, LOG_WARN)
DRAVIX_LOGGER_LEVEL_REPORT(info, LOG_INFO)
DRAVIX_LOGGER_LEVEL_REPORT(debug, LOG_DEBUG)
DRAVIX_LOGGER_LEVEL_REPORT(verbose, LOG_VERBOSE)
#undef DRAVIX_LOGGER_LEVEL_REPORT

// ---- Reporting -------------------------------------------------------------------------------

bool logger::onLoggerThread() const {
    return tlsLoggerThreadOwner == this;
}

void logger::queue(uint8_t level, const char* format, va_list args) {
    if ((level & levelMask_) == 0) {
        return;
    }
    logEntry entry = stampedEntry(level);
    const int length = std::vsnprintf(entry.text, sizeof entry.text, format, args);
    store(entry);
    if (length >= static_cast<int>(sizeof entry.text)) {
        ++errorCount_;
        queueText(LOG_ERROR, "maximum message size exceeded!");
    }
}

void logger::queueText(uint8_t level, const char* text) {
    if ((level & levelMask_) == 0) {
        return;
    }
    store(textEntry(level, text));
}

// Called with the writer mutex held, so there is one storing thread at a time.
void logger::store(const logEntry& entry) {
    if (!hasRoomForOneMore()) {
        if (onLoggerThread()) {
            return;  // the logger's own threads drop rather than wait for themselves
        }
        waitForRoom();
    }
    append(entry);
    // Wake the file thread as soon as a batch is ready rather than at the end of its pause, so
    // that it writes while reporters go on.
    const uint32_t waiting = written_.load(std::memory_order_relaxed) - fileConsumed_.load();
    if (waiting % kBatchSize == 0) {
        fileWake_.set();
    }
    // Without a file the callback is the only reader: wake it before the ring laps it.
    if (!fileEnabled_ && callbackRunning_ &&
        written_.load(std::memory_order_relaxed) - callbackNext_.load() >= kRingSize / 2) {
        callbackWake_.set();
    }
}

void logger::append(const logEntry& entry) {
    std::lock_guard<std::mutex> queue(queueMutex_);
    logEntry& slot = ring_[writeIndex_];
    slot = entry;
    slot.sequence = written_.load(std::memory_order_relaxed);
    writeIndex_ = nextIndex(writeIndex_);
    written_.store(slot.sequence + 1, std::memory_order_release);
}

// An error of the file thread itself. It takes no writer mutex (a reporter holding it may be
// waiting for this very thread) and is queued only while the ring keeps one slot free for such
// a reporter, so it never blocks and never fills the ring.
void logger::reportOwnError(const char* text) {
    if (state_ != state::open) {
        return;
    }
    ++errorCount_;
    if (!enabled_ || (levelMask_ & LOG_ERROR) == 0 ||
        written_.load() - fileConsumed_.load() + 2 >= kRingSize) {
        return;
    }
    append(textEntry(LOG_ERROR, text));
}

// The ring is full for the file thread when it is 999 entries behind.
bool logger::hasRoomForOneMore() const {
    return written_.load(std::memory_order_relaxed) - fileConsumed_.load() + 1 < kRingSize;
}

void logger::waitForRoom() {
    for (;;) {
        spaceEvent_.reset();
        if (hasRoomForOneMore()) {
            return;
        }
        fileWake_.set();  // no need to wait for the file thread's next pause to end
        spaceEvent_.wait();
    }
}

// ---- File thread -----------------------------------------------------------------------------

void logger::fileThreadMain() {
    tlsLoggerThreadOwner = this;
    for (;;) {
        // Reset before looking for work, so that a wake-up during the pass is not lost.
        fileWake_.reset();
        const uint32_t waiting = written_.load(std::memory_order_acquire) - fileConsumed_.load();
        const bool stopping = stopRequested_.load();
        if (waiting >= kBatchSize || (stopping && waiting > 0)) {
            drainForFile();
        }
        if (stopping && fileConsumed_.load() == written_.load(std::memory_order_acquire)) {
            break;
        }
        fileWake_.waitFor(kFileThreadPause);
    }
}

void logger::drainForFile() {
    if (fileEnabled_) {
        writeWaitingEntries();
    } else {
        // Without a file the waiting entries only matter to the callback thread.
        {
            std::lock_guard<std::mutex> queue(queueMutex_);
            fileConsumed_.store(written_.load(std::memory_order_relaxed));
            fileReadIndex_ = writeIndex_;
        }
        spaceEvent_.set();
    }
}

// The file mutex covers the path and the opening only: the batch itself may wait for the
// callback thread, whose client code may change the path or restart the log meanwhile.
FILE* logger::openForAppending() {
    std::lock_guard<std::mutex> fileLock(fileMutex_);
    return std::fopen(filePath_.c_str(), "a");
}

void logger::writeWaitingEntries() {
    FILE* file = openForAppending();
    if (file == nullptr) {
        // A full ring would stop every reporter, and a tear-down would never end, until the
        // file can be opened: give up on the waiting entries instead of hanging the library.
        const bool abandon = !hasRoomForOneMore() || stopRequested_;
        if (abandon) {
            abandonWaitingEntries();
        }
        if (!openFailureReported_) {
            openFailureReported_ = true;  // once per batch, not on every retry
            reportOwnError("log file can't be opened");
        }
        if (abandon) {
            openFailureReported_ = false;  // the entries that come next form a new batch
        }
        return;
    }
    openFailureReported_ = false;
    fileLines_.resize(kWriteChunk);
    std::size_t used = 0;
    const uint32_t written = written_.load(std::memory_order_acquire);
    while (fileConsumed_.load() != written) {
        const uint32_t sequence = fileConsumed_.load();
        waitUntilCallbackHasSeen(sequence);
        // Reporters do not overwrite this slot before fileConsumed_ moves past it.
        used += lineFormatter_.format(ring_[fileReadIndex_], fileLines_.data() + used);
        fileReadIndex_ = nextIndex(fileReadIndex_);
        fileConsumed_.store(sequence + 1);
        if ((sequence + 1) % kBatchSize == 0) {
            spaceEvent_.set();  // a waiting reporter need not wait for the whole backlog
        }
        if (used + logLineFormatter::kMaxLineLength > fileLines_.size()) {
            std::fwrite(fileLines_.data(), 1, used, file);
            used = 0;
        }
    }
    std::fwrite(fileLines_.data(), 1, used, file);
    spaceEvent_.set();
    std::fclose(file);
}

void logger::abandonWaitingEntries() {
    const uint32_t written = written_.load(std::memory_order_acquire);
    while (fileConsumed_.load() != written) {
        waitUntilCallbackHasSeen(fileConsumed_.load());
        fileReadIndex_ = nextIndex(fileReadIndex_);
        ++fileConsumed_;
    }
    spaceEvent_.set();
}

// The file never overtakes the callback by more than one entry, so a registered callback sees
// every message that reaches the file.
void logger::waitUntilCallbackHasSeen(uint32_t sequence) {
    for (;;) {
        callbackProgress_.reset();
        if (!callbackRunning_ || static_cast<int32_t>(callbackNext_.load() - sequence) >= 0) {
            return;
        }
        callbackWake_.set();
        callbackProgress_.wait();
    }
}

void logger::emptyLogFile() {
    std::lock_guard<std::mutex> fileLock(fileMutex_);
    if (FILE* file = std::fopen(filePath_.c_str(), "w")) {
        std::fclose(file);
    }
}

// ---- Callback thread -------------------------------------------------------------------------

void logger::callbackThreadMain() {
    tlsLoggerThreadOwner = this;
    for (;;) {
        callbackWake_.reset();
        while (deliverOne()) {
        }
        if (callbackStop_) {
            break;
        }
        callbackWake_.waitFor(kCallbackThreadPause);
    }
    callbackRunning_ = false;
    callbackProgress_.set();
}

// Hands the next undelivered entry to the callback; false when none waits.
bool logger::deliverOne() {
    logEntry entry;
    LogCallback callback;
    void* user;
    uint8_t mask;
    {
        std::lock_guard<std::mutex> queue(queueMutex_);
        const uint32_t written = written_.load(std::memory_order_relaxed);
        if (callbackNext_.load() == written) {
            return false;
        }
        if (written - callbackNext_.load() > kRingSize) {
            // Lapped while file logging was off: continue with the oldest entry still held.
            callbackNext_ = written - kRingSize;
            callbackReadIndex_ = writeIndex_;
        }
        entry = ring_[callbackReadIndex_];
        callbackReadIndex_ = nextIndex(callbackReadIndex_);
        callback = callback_;
        user = callbackUser_;
        mask = callbackMask_;
        ++callbackNext_;
    }
    callbackProgress_.set();
    if (callback != nullptr && (entry.level & mask) != 0) {
        callback(entry.time, &entry.level, entry.text, user);
    }
    return true;
}

void logger::joinCallbackThread() {
    if (callbackThread_.joinable() && !callbackThread_.isCurrent()) {
        callbackThread_.join();
    }
}

logger& libraryLog() {
    // Built in static storage and never destroyed: threads and objects may report until the very
    // end of the process. close() frees everything that open() allocated.
    alignas(logger) static unsigned char storage[sizeof(logger)];
    static logger* const instance = new (storage) logger();
    return *instance;
}

}  // namespace dravix
