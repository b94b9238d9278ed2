#include "liveCommands.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "commandFailed.h"
#include "firmwareComponents.h"
#include "jsonWriter.h"
#include "progressLine.h"

namespace dravixctl {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr milliseconds kFirstFrameWait{5000};
constexpr milliseconds kPoll{50};
constexpr milliseconds kPictureLogWait{500};
constexpr milliseconds kFirstLogLineWait{2000};
constexpr char kPictureLogPrefix[] = "cPictureIO::setPictureFilename: ";

double secondsSince(steady_clock::time_point start) {
    return std::chrono::duration<double>(steady_clock::now() - start).count();
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

const char* levelName(uint8_t level) {
    switch (level) {
        case ZEL_CAM_LOG_ERROR:
            return "ERROR";
        case ZEL_CAM_LOG_WARN:
            return "WARN";
        case ZEL_CAM_LOG_INFO:
            return "INFO";
        case ZEL_CAM_LOG_DEBUG:
            return "DEBUG";
        default:
            return "VERBOSE";
    }
}

std::string withoutFinalLineEnd(const char* text) {
    std::string line = text != nullptr ? text : "";
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

}  // namespace

std::string liveCommands::updateResultName(int32_t result) {
    switch (result) {
        case 0:
            return "done";
        case 1:
            return "failed";
        case 41:
            return "flash loader did not answer";
        case 42:
            return "no ready answer, or a block not acknowledged";
        case 43:
            return "flash loader query failed";
        case 44:
            return "erase failed";
        case 45:
            return "block write failed";
        case 46:
            return "read-back failed";
        case 47:
            return "read-back not clean";
        case 48:
            return "leaving the flash loader failed";
        default:
            return "unknown result";
    }
}

std::string liveCommands::pictureKindOf(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "jpg" || extension == "jpeg") {
        return "jpeg";
    }
    if (extension == "bmp") {
        return "bmp";
    }
    if (extension == "raw" || extension == "yuv") {
        return "raw";
    }
    return "";
}

int liveCommands::run() {
    if (call_.command == "snapshot") {
        return snapshot();
    }
    if (call_.command == "stream") {
        return stream();
    }
    if (call_.command == "firmware") {
        return firmware();
    }
    return follow();
}

int liveCommands::countFrame(uint8_t*, int32_t, void* user) {
    static_cast<liveCommands*>(user)->frames_.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

int32_t liveCommands::startStream() {
    ZEL_CAM_FrameCallback(call_.camera, &liveCommands::countFrame, this);
    return ZEL_CAM_StartPic(call_.camera, 0, 0);
}

void liveCommands::startCounting() {
    const int32_t result = startStream();
    if (result != 0) {
        throw commandFailed("cannot start the stream of camera " + std::to_string(call_.camera) +
                            ": is another program streaming from it? (result " +
                            std::to_string(result) + ")");
    }
}

bool liveCommands::waitForFrames(uint64_t count, milliseconds timeout) {
    return waitUntil([&] { return frames_.load(std::memory_order_relaxed) >= count; }, timeout);
}

std::string liveCommands::picturePath() {
    std::lock_guard<std::mutex> lock(pictureMutex_);
    return picturePath_;
}

uint32_t liveCommands::sampleFrameBytes() {
    if (startStream() != 0) {
        return 0;
    }
    const bool delivered = waitForFrames(frames_.load() + 1, milliseconds(1000));
    uint32_t shown = 0, missed = 0, frameLength = 0;
    ZEL_CAM_GetFrameCounters(call_.camera, &shown, &missed, &frameLength);
    ZEL_CAM_Stop(call_.camera);
    throwIfInterrupted();
    return delivered ? frameLength : 0;
}

// The library logs the name of the file it created; the picture is written from the frame after
// the request, on the thread that delivers frames, so it is complete once a second frame has
// arrived.
int liveCommands::onPictureLog(int64_t, const uint8_t*, const char* text, void* user) {
    auto* self = static_cast<liveCommands*>(user);
    const char* found = text != nullptr ? std::strstr(text, kPictureLogPrefix) : nullptr;
    if (found != nullptr) {
        std::lock_guard<std::mutex> lock(self->pictureMutex_);
        self->picturePath_ = withoutFinalLineEnd(found + std::strlen(kPictureLogPrefix));
    }
    return 0;
}

std::string liveCommands::requestPathFor(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    return path.substr(0, nameStart) + "." + path.substr(nameStart, dot - nameStart) +
           ".dravixctl-" + std::to_string(getpid()) + "-" + path.substr(dot);
}

std::vector<std::string> liveCommands::filesCreatedFor(const std::string& requested,
                                                       const std::string& kind) {
    const std::size_t slash = requested.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string directory = requested.substr(0, nameStart);
    const std::string prefix = requested.substr(nameStart, requested.rfind('.') - nameStart);
    const std::string suffix = std::string(".") + (kind == "jpeg"  ? "jpg"
                                                   : kind == "bmp" ? "bmp"
                                                                   : "ycrcb");
    std::vector<std::string> found;
    DIR* listing = opendir(directory.empty() ? "." : directory.c_str());
    if (listing == nullptr) {
        return found;
    }
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() >= prefix.size() + suffix.size() &&
            name.compare(0, prefix.size(), prefix) == 0 &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            found.push_back(directory + name);
        }
    }
    closedir(listing);
    return found;
}

void liveCommands::throwIfInterrupted() const {
    if (signals_.interrupted()) {
        throw commandFailed("interrupted");
    }
}

std::string liveCommands::createdFile(const std::string& requested, const std::string& kind) {
    const std::string logged = picturePath();
    if (!logged.empty()) {
        return logged;
    }
    const std::vector<std::string> created = filesCreatedFor(requested, kind);
    return created.size() == 1 ? created.front() : std::string();
}

// The picture is requested under a name of this process that no file starts with, so that the
// one file starting with it is the picture even when the library's log, which names the file,
// is switched off (the library adds a suffix to a taken name, and raw pictures always get the
// time and a counter); the file is then moved to the user's name.
int liveCommands::snapshot() {
    const std::string& path = call_.arguments[0];
    const std::string kind = pictureKindOf(path);
    if (kind.empty()) {
        throw usageError("snapshot", "FILE must end in .jpg, .jpeg, .bmp, .raw or .yuv");
    }
    const std::string requested = requestPathFor(path);
    const std::vector<std::string> inTheWay = filesCreatedFor(requested, kind);
    if (!inTheWay.empty()) {
        throw commandFailed("a file " + inTheWay.front() +
                            " is in the way: remove it and try again");
    }
    session_.openUpTo(call_.camera);
    startCounting();
    if (!waitForFrames(1, kFirstFrameWait)) {
        ZEL_CAM_Stop(call_.camera);
        throwIfInterrupted();
        throw commandFailed("no frame from camera " + std::to_string(call_.camera) +
                            " within 5 s: `dravixctl stream` shows whether it delivers");
    }
    ZEL_CAM_setLogCallback(&liveCommands::onPictureLog, this, ZEL_CAM_LOG_INFO);
    const uint64_t before = frames_.load();
    const int32_t result = kind == "jpeg"  ? ZEL_CAM_SaveJPG(call_.camera, requested.c_str(), 0)
                           : kind == "bmp" ? ZEL_CAM_SaveBMP(call_.camera, requested.c_str(), 0)
                                           : ZEL_CAM_SaveRAW(call_.camera, requested.c_str());
    const bool written = result == 0 && waitForFrames(before + 2, kFirstFrameWait);
    // The log line may lag behind the frames on the library's log thread, or never come when
    // the log is switched off.
    if (written) {
        waitUntil([&] { return !picturePath().empty(); }, kPictureLogWait);
    }
    ZEL_CAM_Stop(call_.camera);
    ZEL_CAM_stopLogCallback();
    const std::string created = createdFile(requested, kind);
    if (result != 0) {
        throw commandFailed("cannot create " + path + ": is the directory writable? (result " +
                            std::to_string(result) + ")");
    }
    if (!written) {
        if (!created.empty()) {
            std::remove(created.c_str());
        }
        throwIfInterrupted();
        throw commandFailed("the picture was not written: the stream stopped");
    }
    if (created.empty()) {
        throw commandFailed("the picture was written, but the library named no single file");
    }
    if (std::rename(created.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(created.c_str());
        throw commandFailed("the picture cannot be moved to " + path + ": " + reason);
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || info.st_size <= 0) {
        throw commandFailed("the picture file " + path + " is missing or empty");
    }
    report fields;
    fields.add("file", path).add("format", kind).add("bytes", static_cast<int64_t>(info.st_size));
    fields.print(call_.json);
    return 0;
}

int liveCommands::stream() {
    session_.openUpTo(call_.camera);
    const double cpuBefore = cpuSeconds();
    const auto start = steady_clock::now();
    startCounting();
    std::fprintf(stderr, "dravixctl: streaming from camera %d for %d s; Ctrl-C ends it\n",
                 call_.camera, call_.seconds);
    const bool interrupted = signals_.waitFor(milliseconds(call_.seconds * 1000));
    const uint64_t frames = frames_.load();
    const double seconds = secondsSince(start);
    const double cpu = cpuSeconds() - cpuBefore;
    uint32_t shown = 0, missed = 0, frameLength = 0;
    ZEL_CAM_GetFrameCounters(call_.camera, &shown, &missed, &frameLength);
    ZEL_CAM_Stop(call_.camera);
    report fields;
    fields.add("frames", static_cast<int64_t>(frames))
        .add("missed frames", missed)
        .add("seconds", seconds)
        .add("frame rate", seconds > 0 ? frames / seconds : 0.0)
        .add("frame bytes", frameLength)
        .add("cpu percent", seconds > 0 ? 100.0 * cpu / seconds : 0.0)
        .add("interrupted", interrupted);
    fields.print(call_.json);
    if (frames == 0 && !interrupted) {
        std::fprintf(stderr,
                     "dravixctl: camera %d delivered no frame: is it streaming to another "
                     "program?\n",
                     call_.camera);
        return 1;
    }
    return 0;
}

int liveCommands::firmware() {
    const std::string& component = call_.arguments[0];
    const std::string& path = call_.arguments[1];
    const firmwareComponents::startUpdate start = firmwareComponents::find(component);
    if (start == nullptr) {
        throw usageError("firmware", "unknown component '" + component +
                                         "': " + firmwareComponents::namesText());
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw commandFailed("cannot read the firmware file " + path + ": " +
                            (errno != 0 ? std::strerror(errno) : "not a regular file"));
    }
    session_.openUpTo(call_.camera);
    if (start(call_.camera, path.c_str()) != 0) {
        throw commandFailed("the camera refused the update of " + component +
                            ": `dravixctl log` or the library log says why (file checks, an "
                            "update already running)");
    }
    const bool terminal = !call_.json && isatty(STDOUT_FILENO) == 1;
    const progressLine progress(static_cast<uint64_t>(info.st_size));
    const auto began = steady_clock::now();
    int shownPercent = -1;
    int32_t result = 0;
    uint8_t percent = 0;
    bool aborted = false;
    for (;;) {
        result = ZEL_CAM_Fx3FirwwareUpdateProgress(call_.camera, &percent);
        const double seconds = secondsSince(began);
        if (!call_.json && (terminal || percent != shownPercent)) {
            const std::string line =
                terminal ? progress.bar(percent, seconds) : progress.plain(percent, seconds);
            std::fputs(line.c_str(), stdout);
            std::fflush(stdout);
        }
        shownPercent = percent;
        if (result != 0 || percent >= 100) {
            break;
        }
        if (signals_.waitFor(kPoll)) {
            aborted = true;
            session_.close(call_.camera);  // the library cancels and joins the update
            break;
        }
    }
    if (terminal) {
        std::fputs("\n", stdout);
    }
    report fields;
    fields.add("component", component)
        .add("file", path)
        .add("result", aborted ? 1 : result)
        .add("outcome", aborted ? "aborted" : updateResultName(result))
        .add("seconds", secondsSince(began));
    fields.print(call_.json);
    if (aborted || result != 0) {
        std::fprintf(stderr, "dravixctl: the update of %s %s (result %d)%s\n", component.c_str(),
                     aborted ? "was aborted" : "failed", aborted ? 1 : result,
                     aborted ? ": start it again to install the firmware"
                             : ": see the library log, then start the update again");
        return 1;
    }
    return 0;
}

// Runs on the library's log thread; the only writer of standard output while following.
int liveCommands::onFollowLog(int64_t time, const uint8_t* level, const char* text, void* user) {
    auto* self = static_cast<liveCommands*>(user);
    self->logLines_.fetch_add(1, std::memory_order_relaxed);
    const char* name = levelName(level != nullptr ? *level : 0);
    const std::string message = withoutFinalLineEnd(text);
    if (self->call_.json) {
        jsonWriter json;
        json.beginObject();
        json.key("time");
        json.value(static_cast<int64_t>(time));
        json.key("level");
        json.value(name);
        json.key("text");
        json.value(message);
        json.endObject();
        std::printf("%s\n", json.text().c_str());
    } else {
        const auto seconds = static_cast<std::time_t>(time);
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &utc);
        std::printf("%s %-7s %s\n", stamp, name, message.c_str());
    }
    std::fflush(stdout);
    return 0;
}

int liveCommands::follow() {
    // Asking for the version opens the library's log, so the callback sees the camera's opening.
    char version[64] = {};
    ZEL_CAM_GetApiVersion(version);
    // The library logs only the levels of its own mask; the callback's mask selects among them.
    ZEL_CAM_setLogLevel(call_.logMask);
    ZEL_CAM_setLogCallback(&liveCommands::onFollowLog, this, call_.logMask);
    try {
        session_.openUpTo(call_.camera);
    } catch (...) {
        ZEL_CAM_stopLogCallback();
        throw;
    }
    // The library writes no line at all when the user's configuration switches its log off.
    if (!waitUntil([&] { return logLines_.load(std::memory_order_relaxed) > 0; },
                   kFirstLogLineWait) &&
        !signals_.interrupted()) {
        std::fputs(
            "dravixctl: no log line yet: the library's log may be switched off "
            "(LOG_DISABLE=1 in dravix.conf)\n",
            stderr);
    }
    while (!signals_.waitFor(milliseconds(1000))) {
    }
    ZEL_CAM_stopLogCallback();
    return 0;
}

}  // namespace dravixctl
