#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "camera/libraryState.h"
#include "device/updateClock.h"
#include "dravix/dravix.h"
#include "emu/emulatedWireRecorder.h"
#include "eventually.h"
#include "log/logger.h"
#include "openCameraTest.h"

// A clock for updates that never waits for time: each wait returns at once, telling whether
// its event was set, and is recorded.
class fakeUpdateClock : public dravix::updateClock {
  public:
    bool waitFor(dravix::manualResetEvent& event, std::chrono::milliseconds duration) override {
        std::lock_guard<std::mutex> lock(mutex_);
        waits_.push_back(duration);
        return event.isSet();
    }
    std::vector<std::chrono::milliseconds> waits() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return waits_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::chrono::milliseconds> waits_;
};

// Camera 0 of openCameraTest with the fake clock, and the files and waits of update tests.
class firmwareTest : public openCameraTest {
  protected:
    void SetUp() override {
        openCameraTest::SetUp();
        cam()->firmware().setClock(clock_);
    }
    static std::shared_ptr<dravix::camera> cam() {
        return dravix::libraryState::instance().cameraAt(0);
    }
    std::string writeFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::filesystem::path path = home_.path() / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    // Waits for the update to finish; its result. The limit is generous: the largest images take
    // seconds under a sanitizer on a slow machine, and a result read early would be the 0 of an
    // update still running.
    static int32_t finishedResult() {
        uint8_t percent = 0;
        // Until the thread has ended: a next request waits for it only on the real clock.
        EXPECT_TRUE(
            eventually([] { return !cam()->firmware().isRunning(); }, std::chrono::seconds(60)))
            << "the update did not end";
        return ZEL_CAM_Fx3FirwwareUpdateProgress(0, &percent);
    }
    // Waits until the library has lost the camera after a planned unplug, plugs it in again and
    // waits until the library has reopened it.
    static void replugAfterLoss() {
        ASSERT_TRUE(eventually([] { return !cam()->isHidOpen(); }));
        camera().replug();
        ASSERT_TRUE(eventually([] { return cam()->isHidOpen(); }));
    }
    // Waits for a logged line that starts with `prefix` (lines that carry a varying count).
    bool waitForLineStartingWith(const std::string& prefix) {
        return eventually([&] {
            const std::vector<std::string> lines = log_.lines();
            return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
                return line.compare(0, prefix.size(), prefix) == 0;
            });
        });
    }
    // The aborts logged so far, all of them: the log delivers in order, and a marker logged now
    // has arrived.
    std::size_t abortsLogged() {
        const std::string marker = "test marker " + std::to_string(++markers_);
        dravix::libraryLog().info("%s", marker.c_str());
        EXPECT_TRUE(log_.waitFor("INFO " + marker));
        return countOf(log_.lines(), "ERROR camera::updateThread: update aborted");
    }
    // The command reports the host sent: command id and the payload bytes after it.
    static std::vector<std::vector<uint8_t>> sentCommands() {
        std::vector<std::vector<uint8_t>> commands;
        for (const auto& record : camera().recorded()) {
            if (record.kind == dravix::emu::wireKind::output) {
                commands.emplace_back(record.bytes.begin() + 1, record.bytes.end());
            }
        }
        return commands;
    }

    fakeUpdateClock clock_;
    int markers_ = 0;
};

// The command reports on the wire, one entry each: "ctrl <sub-command> <value>", "read" or
// "write" with the I2C address and register, or "cmd <id>" for any other command.
inline std::vector<std::string> commandTrace(const std::vector<dravix::emu::wireRecord>& records) {
    std::vector<std::string> trace;
    for (const auto& record : records) {
        if (record.kind != dravix::emu::wireKind::output) {
            continue;
        }
        const auto& bytes = record.bytes;
        char text[32];
        if (bytes[1] == 0xD0) {
            snprintf(text, sizeof text, "ctrl %02X %d", bytes[2], bytes[3]);
        } else if (bytes[1] == 0xE0 || bytes[1] == 0xE1) {
            snprintf(text, sizeof text, "%s %02X %02X", bytes[1] == 0xE0 ? "read" : "write",
                     bytes[2], bytes[6]);
        } else {
            snprintf(text, sizeof text, "cmd %02X", bytes[1]);
        }
        trace.push_back(text);
    }
    return trace;
}

// `size` bytes that differ from block to block and within each block.
inline std::vector<uint8_t> patternImage(std::size_t size, uint8_t seed = 1) {
    std::vector<uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<uint8_t>(i * 7 + i / 768 + seed);
    }
    return image;
}
