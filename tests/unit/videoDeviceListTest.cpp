// The shared list of video devices: which devices are counted, which slots they are registered
// in, and the slot the device watcher looks for. A scripted backend gives exact control over
// names and paths; the emulated cameras add unplug and replug.
#include "camera/videoDeviceList.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "emu/emulatedCameraSet.h"

namespace dravix {
namespace {

// Lists exactly the devices the test puts in; read-only while threads enumerate.
class scriptedVideo : public platform::videoBackend {
  public:
    std::vector<platform::videoDeviceInfo> enumerate() override { return devices; }
    std::unique_ptr<platform::videoCapture> bind(const std::string&, int& error) override {
        error = -ENOENT;
        return nullptr;
    }
    // Adds a device named `name` whose path has `key` as its third field.
    std::string add(const std::string& name, const std::string& key) {
        std::string path = "usb##vid_20f1#" + key + "#" + std::to_string(devices.size());
        devices.push_back({name, path});
        return path;
    }

    std::vector<platform::videoDeviceInfo> devices;
};

class videoDeviceListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dravix-devlist-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        log_.open(directory_ + "/dravix.log", true, true);
    }
    void TearDown() override {
        log_.close();
        std::system(("rm -rf " + directory_).c_str());
    }

    // Everything logged so far; ends the log.
    std::string loggedText() {
        log_.close();
        std::ifstream file(directory_ + "/dravix.log");
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Adds `count` devices "dravixUVC <i>" with keys "KEY<i>"; returns their paths.
    std::vector<std::string> addCameras(int count) {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(
                video_.add("dravixUVC " + std::to_string(i), "KEY" + std::to_string(i)));
        }
        return paths;
    }

    std::string directory_;
    logger log_;
    scriptedVideo video_;
    videoDeviceList list_{video_, log_};
    uint8_t count_ = 77;
};

TEST_F(videoDeviceListTest, noVideoDeviceAtAllFailsWithNoHardware) {
    // What Init sees on a machine without cameras: the emulator's empty set and no real device.
    // The camera code treats the result 1 as a failed enumeration.
    emu::emulatedCameraSet none(0);
    videoDeviceList list(none.videoBackend(), log_);
    EXPECT_EQ(list.enumerate(count_, "dravix"), 1);
    EXPECT_EQ(count_, 0);
    EXPECT_EQ(list.monikerAt(0), "");
    EXPECT_EQ(list.storedMatchName(), "dravix");
    EXPECT_EQ(log_.errorCount(), 1u);
    EXPECT_NE(loggedText().find("you have no video capture hardware"), std::string::npos);
}

TEST_F(videoDeviceListTest, nullMatchNameFailsWithoutEnumerating) {
    addCameras(1);
    EXPECT_EQ(list_.enumerate(count_, nullptr), 1);
    EXPECT_EQ(count_, 0);
    EXPECT_EQ(list_.monikerAt(0), "");
    EXPECT_EQ(list_.storedMatchName(), "");
}

TEST_F(videoDeviceListTest, countsAndRegistersOnlyNamesBeginningWithTheMatchName) {
    video_.add("Webcam dravix", "OTHER1");
    const std::string first = video_.add("dravixUVC 1", "KEYA");
    video_.add("Dravix UVC", "OTHER2");  // the comparison is case-sensitive
    video_.add("drav", "OTHER3");        // shorter than the match name
    const std::string second = video_.add("dravix", "KEYB");
    video_.devices.push_back({"dravix keyless", "usb#only"});  // never matches an empty slot

    EXPECT_EQ(list_.enumerate(count_, "dravix"), 0);
    EXPECT_EQ(count_, 3);
    EXPECT_EQ(list_.monikerAt(0), first);
    EXPECT_EQ(list_.monikerAt(1), second);
    EXPECT_EQ(list_.monikerAt(2), "usb#only");
    EXPECT_EQ(list_.nextSlot(), 3u);
    EXPECT_EQ(log_.errorCount(), 0u);
}

TEST_F(videoDeviceListTest, registeredDevicesKeepTheirSlotsAcrossEnumerations) {
    emu::emulatedCameraSet cameras(3);
    videoDeviceList list(cameras.videoBackend(), log_);
    ASSERT_EQ(list.enumerate(count_, "dravixUVC"), 0);
    EXPECT_EQ(count_, 3);
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(list.monikerAt(slot), cameras.camera(slot + 1)->videoPath());
    }

    cameras.camera(2)->unplug();
    ASSERT_EQ(list.enumerate(count_, "dravixUVC"), 0);
    EXPECT_EQ(count_, 2);
    EXPECT_EQ(list.nextSlot(), 0u);  // nothing new was registered
    cameras.camera(2)->replug();
    ASSERT_EQ(list.enumerate(count_, "dravixUVC"), 0);
    EXPECT_EQ(count_, 3);
    EXPECT_EQ(list.monikerAt(1), cameras.camera(2)->videoPath());
    EXPECT_EQ(list.monikerAt(3), "");
}

TEST_F(videoDeviceListTest, keysEqualOverTheStoredWidthAreRegisteredOnce) {
    // The first 17 characters agree; only 16 are stored.
    video_.add("dravix A", "ABCDEFGHIJKLMNOPQ1");
    video_.add("dravix B", "ABCDEFGHIJKLMNOPQ2");
    ASSERT_EQ(list_.enumerate(count_, "dravix"), 0);
    EXPECT_EQ(count_, 2);
    EXPECT_EQ(list_.monikerAt(1), "");
    EXPECT_EQ(list_.nextSlot(), 1u);

    // A key longer than the store must still be known as registered later on, also when its
    // slot is open and would be skipped.
    list_.setOpen(0);
    ASSERT_EQ(list_.enumerate(count_, "dravix"), 0);
    EXPECT_EQ(list_.monikerAt(1), "");
    EXPECT_EQ(list_.nextSlot(), 0u);
}

TEST_F(videoDeviceListTest, openSlotsAreSkippedAndNewDevicesDoNotReplaceEachOther) {
    list_.setOpen(0);
    list_.setOpen(2);
    const auto paths = addCameras(3);
    ASSERT_EQ(list_.enumerate(count_, "dravix"), 0);
    EXPECT_EQ(count_, 3);
    EXPECT_EQ(list_.monikerAt(0), "");
    EXPECT_EQ(list_.monikerAt(1), paths[0]);
    EXPECT_EQ(list_.monikerAt(2), "");
    EXPECT_EQ(list_.monikerAt(3), paths[1]);
    EXPECT_EQ(list_.monikerAt(4), paths[2]);
    EXPECT_EQ(list_.nextSlot(), 5u);
    EXPECT_TRUE(list_.isOpen(2));
    EXPECT_FALSE(list_.isOpen(3));
}

TEST_F(videoDeviceListTest, devicesBeyondTheTenSlotsAreCountedButNotRegistered) {
    const auto paths = addCameras(12);
    ASSERT_EQ(list_.enumerate(count_, "dravix"), 0);
    EXPECT_EQ(count_, 12);
    for (std::size_t slot = 0; slot < videoDeviceList::kSlots; ++slot) {
        EXPECT_EQ(list_.monikerAt(slot), paths[slot]);
    }
    EXPECT_EQ(list_.monikerAt(10), "");
    EXPECT_EQ(list_.nextSlot(), 10u);

    for (std::size_t slot = 0; slot < videoDeviceList::kSlots; ++slot) {
        list_.setOpen(slot);
    }
    addCameras(288);
    ASSERT_EQ(list_.enumerate(count_, "dravix"), 0);
    EXPECT_EQ(count_, 255);  // stops there: a count wrapped to 0 would read as every camera gone
    EXPECT_EQ(list_.monikerAt(0), paths[0]);
}

TEST_F(videoDeviceListTest, laterEnumerationsUseTheirOwnNameAndTheWatcherTheFirst) {
    addCameras(2);
    video_.add("other camera", "OTHERKEY");
    ASSERT_EQ(list_.enumerate(count_, "dravix"), 0);
    EXPECT_EQ(count_, 2);
    ASSERT_EQ(list_.enumerate(count_, "other"), 0);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(list_.storedMatchName(), "dravix");
    std::string path;
    ASSERT_EQ(list_.enumerateWatching("KEY1", count_, path), 0);
    EXPECT_EQ(count_, 2);
    EXPECT_EQ(path, video_.devices[1].devicePath);
}

TEST_F(videoDeviceListTest, watchSlotTurnsSeenOnlyWhenTheWatchedDeviceIsPresent) {
    const auto paths = addCameras(2);
    ASSERT_EQ(list_.enumerate(count_, "dravix"), 0);
    EXPECT_EQ(list_.watchSlot(), videoDeviceList::kWatchNone);

    list_.setWatchSlot(1);
    ASSERT_EQ(list_.enumerate(count_, "dravix"), 0);
    EXPECT_EQ(list_.watchSlot(), videoDeviceList::kWatchSeen);

    video_.devices.erase(video_.devices.begin() + 1);
    list_.setWatchSlot(1);
    ASSERT_EQ(list_.enumerate(count_, "dravix"), 0);
    EXPECT_EQ(list_.watchSlot(), 1u);

    list_.setWatchSlot(40);  // no slot: left alone, never used as an index
    ASSERT_EQ(list_.enumerate(count_, "dravix"), 0);
    EXPECT_EQ(list_.watchSlot(), 40u);
}

// A returning camera may be given another node: the watcher finds it by its key, and its slot
// holds its fresh path.
TEST_F(videoDeviceListTest, watcherPassFreesTheSlotOfAVanishedDeviceAndFindsItOnReturn) {
    emu::emulatedCameraSet cameras(2);
    videoDeviceList list(cameras.videoBackend(), log_);
    ASSERT_EQ(list.enumerate(count_, "dravixUVC"), 0);
    list.setOpen(0);
    list.setOpen(1);
    const std::string key = cameras.camera(2)->videoKey();

    std::string path;
    ASSERT_EQ(list.enumerateWatching(key, count_, path), 0);
    EXPECT_EQ(path, cameras.camera(2)->videoPath());
    EXPECT_TRUE(list.isOpen(1));
    EXPECT_EQ(list.watchSlot(), videoDeviceList::kWatchNone);

    cameras.camera(2)->unplug();
    ASSERT_EQ(list.enumerateWatching(key, count_, path), 0);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(path, "");
    EXPECT_TRUE(list.isOpen(0));
    EXPECT_FALSE(list.isOpen(1));

    cameras.camera(2)->renumberVideo();
    cameras.camera(2)->replug();
    ASSERT_EQ(list.enumerateWatching(key, count_, path), 0);
    EXPECT_EQ(count_, 2);
    EXPECT_EQ(path, cameras.camera(2)->videoPath());
    EXPECT_NE(path, list.monikerAt(0));
    EXPECT_EQ(list.monikerAt(1), path);
    EXPECT_EQ(list.monikerAt(2), "");
    EXPECT_EQ(list.watchSlot(), videoDeviceList::kWatchNone);
}

// While no video device is there at all, only the first watcher pass reports it; Init, which
// fails because of it, always does. The end of the period is logged once.
TEST_F(videoDeviceListTest, aPeriodWithoutDevicesIsReportedOnceByTheWatcher) {
    std::string path;
    for (int pass = 0; pass < 5; ++pass) {
        EXPECT_EQ(list_.enumerateWatching("KEY0", count_, path), 1);
    }
    EXPECT_EQ(log_.errorCount(), 1u);
    EXPECT_EQ(list_.enumerate(count_, "dravix"), 1);
    EXPECT_EQ(log_.errorCount(), 2u);

    addCameras(1);
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_EQ(list_.enumerateWatching("KEY0", count_, path), 0);
    }
    video_.devices.clear();
    EXPECT_EQ(list_.enumerateWatching("KEY0", count_, path), 1);
    EXPECT_EQ(list_.enumerateWatching("KEY0", count_, path), 1);
    EXPECT_EQ(log_.errorCount(), 3u);

    const std::string text = loggedText();
    std::size_t ends = 0;
    for (std::size_t at = text.find("video capture hardware present again");
         at != std::string::npos; at = text.find("video capture hardware present again", at + 1)) {
        ++ends;
    }
    EXPECT_EQ(ends, 1u);
}

TEST_F(videoDeviceListTest, longMatchNamesAreCutForInitAndWatcherAlike) {
    const std::string longName(300, 'n');
    video_.add(std::string(255, 'n') + "x", "KEYLONG");
    ASSERT_EQ(list_.enumerate(count_, longName.c_str()), 0);
    EXPECT_EQ(list_.storedMatchName(), std::string(255, 'n'));
    EXPECT_EQ(count_, 1);
    std::string path;
    ASSERT_EQ(list_.enumerateWatching("KEYLONG", count_, path), 0);
    EXPECT_EQ(count_, 1);
}

TEST_F(videoDeviceListTest, instanceKeyIsTheThirdFieldCutTo19Characters) {
    EXPECT_EQ(videoDeviceList::instanceKeyOf("emulated#video#EMUCAM-1-2#1"), "EMUCAM-1-2");
    EXPECT_EQ(videoDeviceList::instanceKeyOf("##a###b##key#x"), "key");
    EXPECT_EQ(videoDeviceList::instanceKeyOf("a#b#key"), "key");
    EXPECT_EQ(videoDeviceList::instanceKeyOf("a#b#0123456789ABCDEFGHIJKL#d"),
              "0123456789ABCDEFGHI");
    EXPECT_EQ(videoDeviceList::instanceKeyOf("a#b##"), "");
    EXPECT_EQ(videoDeviceList::instanceKeyOf(""), "");
    // The HID interfaces of a device carry its key without a capture node's index.
    EXPECT_EQ(videoDeviceList::usbDeviceKeyOf("v4l2#/dev/video2#3-1.4@2"), "3-1.4");
    EXPECT_EQ(videoDeviceList::usbDeviceKeyOf("v4l2#/dev/video0#3-1.4"), "3-1.4");
    EXPECT_EQ(videoDeviceList::usbDeviceKeyOf("a#b"), "");
}

TEST_F(videoDeviceListTest, clearReturnsToTheStateOfANewList) {
    addCameras(2);
    ASSERT_EQ(list_.enumerate(count_, "dravix"), 0);
    list_.setOpen(1);
    list_.setWatchSlot(0);
    list_.clear();
    EXPECT_EQ(list_.storedMatchName(), "");
    EXPECT_EQ(list_.monikerAt(0), "");
    EXPECT_FALSE(list_.isOpen(1));
    EXPECT_EQ(list_.nextSlot(), 0u);
    EXPECT_EQ(list_.watchSlot(), videoDeviceList::kWatchNone);

    // Nothing is remembered: the devices are registered afresh and the next name is stored.
    ASSERT_EQ(list_.enumerate(count_, "dravixUVC 1"), 0);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(list_.storedMatchName(), "dravixUVC 1");
    EXPECT_EQ(list_.monikerAt(0), video_.devices[1].devicePath);
}

TEST_F(videoDeviceListTest, concurrentEnumerationsKeepEveryDeviceInOneSlot) {
    const auto paths = addCameras(3);
    constexpr int kRounds = 300;
    auto initLoop = [&] {
        for (int i = 0; i < kRounds; ++i) {
            uint8_t count = 0;
            EXPECT_EQ(list_.enumerate(count, "dravix"), 0);
            EXPECT_EQ(count, 3);
        }
    };
    auto watcherLoop = [&] {
        for (int i = 0; i < kRounds; ++i) {
            uint8_t count = 0;
            std::string path;
            EXPECT_EQ(list_.enumerateWatching("KEY0", count, path), 0);
            EXPECT_EQ(count, 3);
            EXPECT_EQ(path, paths[0]);
            list_.setOpen(0);
        }
    };
    std::thread init(initLoop);
    std::thread watcherA(watcherLoop);
    std::thread watcherB(watcherLoop);
    for (int i = 0; i < kRounds; ++i) {
        const std::string moniker = list_.monikerAt(i % 3);
        EXPECT_TRUE(moniker.empty() || moniker == paths[i % 3]) << moniker;
    }
    init.join();
    watcherA.join();
    watcherB.join();

    // Slot 0's device was always present, so no watcher pass ever forgot it.
    EXPECT_TRUE(list_.isOpen(0));
    std::multiset<std::string> registered;
    for (std::size_t slot = 0; slot < videoDeviceList::kSlots; ++slot) {
        if (!list_.monikerAt(slot).empty()) {
            registered.insert(list_.monikerAt(slot));
        }
    }
    EXPECT_EQ(registered, std::multiset<std::string>(paths.begin(), paths.end()));
    EXPECT_EQ(list_.watchSlot(), videoDeviceList::kWatchNone);
}

}  // namespace
}  // namespace dravix
