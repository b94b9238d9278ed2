// The parts of a firmware update that need no camera: the progress arithmetic, reading an
// untrusted file and the cancellable clock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device/firmwareFile.h"
#include "device/flashLoaderImage.h"
#include "device/jtagSchedule.h"
#include "device/steadyUpdateClock.h"
#include "device/updateProgress.h"

namespace {

using dravix::firmwareFile;
using dravix::updateProgress;

TEST(updateProgressTest, PercentFollowsTheCountersIn64BitsAndReaches100OnlyOnSuccess) {
    const struct {
        uint64_t total;
        uint64_t done;
        bool finished;
        uint8_t result;
        uint8_t percent;
    } cases[] = {
        {0, 0, false, 0, 0},
        {1000, 500, false, 0, 50},
        {1000, 1000, false, 0, 99},              // all sent, final answer pending
        {1000, 1000, true, 0, 100},              //
        {0, 0, true, 0, 100},                    // nothing to write, still a success
        {1000, 1000, true, 1, 99},               // a failure never shows 100
        {1000, 400, true, 47, 40},               //
        {50'000'000, 49'000'000, false, 0, 98},  // above 2^32 / 100
        {5'000'000'000, 2'500'000'000, false, 0, 50},
        {100, 250, false, 0, 99},  // capped
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << test.done << " of " << test.total);
        updateProgress progress;
        progress.begin(test.total);
        progress.advance(test.done);
        if (test.finished) {
            progress.finish(test.result);
        }
        EXPECT_EQ(progress.percent(), test.percent);
    }
}

class firmwareFileTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dravix-fw-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }
    std::string file(const std::string& name, std::size_t size) {
        const std::string path = (directory_ / name).string();
        std::ofstream(path) << std::string(size, 'x');
        return path;
    }
    std::filesystem::path directory_;
};

TEST_F(firmwareFileTest, OnlyRegularFilesUpToTheLimitAreRead) {
    const std::string fifo = (directory_ / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        firmwareFile::outcome outcome;
        std::size_t size;
    } cases[] = {
        {file("small", 10), firmwareFile::outcome::ok, 10},
        {file("limit", 100), firmwareFile::outcome::ok, 100},
        {file("empty", 0), firmwareFile::outcome::ok, 0},
        {file("over", 101), firmwareFile::outcome::tooLarge, 0},
        {(directory_ / "missing").string(), firmwareFile::outcome::cannotOpen, 0},
        {directory_.string(), firmwareFile::outcome::notRegular, 0},
        {fifo, firmwareFile::outcome::notRegular, 0},
        {"/dev/zero", firmwareFile::outcome::notRegular, 0},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.path);
        std::vector<uint8_t> image(3);
        EXPECT_EQ(firmwareFile::read(test.path, 100, image), test.outcome);
        EXPECT_EQ(image.size(), test.size);
    }
}

TEST(flashLoaderImageTest, ChecksumIsCrc8Tech3250OverTheNumberAndTheReversedBlock) {
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(dravix::flashLoaderImage::crc8(check, sizeof check), 0x97);
    uint8_t block[128];
    uint8_t reversed[129];
    reversed[0] = 9;
    for (int i = 0; i < 128; ++i) {
        block[i] = static_cast<uint8_t>(i * 3);
        reversed[128 - i] = block[i];
    }
    EXPECT_EQ(dravix::flashLoaderImage::blockChecksum(9, block),
              dravix::flashLoaderImage::crc8(reversed, sizeof reversed));
}

TEST(flashLoaderImageTest, OnlyImagesFrom1153To32767BytesAreConvertedAndCounted) {
    const struct {
        std::size_t size;
        bool valid;
        std::size_t lastBlock;  // the highest block number written
    } cases[] = {
        {1151, false, 0}, {1152, false, 0},   {1153, true, 8},
        {1280, true, 9},  {32767, true, 254}, {32768, false, 0},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.size);
        std::vector<uint8_t> image(test.size, 0x11);
        image[0] = 3;
        std::fill(image.begin() + 1, image.begin() + 128, 0xFF);
        ASSERT_EQ(dravix::flashLoaderImage::convert(image), test.valid);
        if (test.valid) {
            const auto blocks = dravix::flashLoaderImage::blocksToWrite(image);
            ASSERT_FALSE(blocks.empty());
            EXPECT_EQ(blocks.front().number, 8);
            EXPECT_EQ(blocks.back().number, test.lastBlock);
        }
    }
}

TEST(jtagBinFileTest, CrcFeedsEachByteAsA32BitWord) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(dravix::jtagBinFile::crc32(abc, sizeof abc), 0x049120EDu);
}

// Pauses are due at position ÷ 2 bytes; chunks end there and are never empty.
TEST(jtagScheduleTest, ChunksEndAtEveryPendingPause) {
    const struct {
        std::vector<dravix::jtagBinFile::pause> pauses;
        std::size_t length;
        std::vector<std::size_t> chunks;
        std::vector<uint16_t> delays;
    } cases[] = {
        {{}, 300, {128, 128, 44}, {}},
        {{{0, 7}}, 10, {10}, {7}},
        {{{20, 2}, {21, 1}}, 200, {10, 128, 62}, {2, 1}},  // both due after 10 bytes
        {{{500, 5}}, 300, {128, 122, 50}, {5}},
        {{{601, 5}}, 300, {128, 128, 44}, {}},  // beyond the end
    };
    for (const auto& test : cases) {
        dravix::jtagSchedule schedule(test.pauses, test.length);
        std::vector<std::size_t> chunks;
        std::vector<uint16_t> delays;
        std::size_t sent = 0;
        while (std::size_t length = schedule.chunkLength(sent)) {
            for (uint16_t delay : schedule.takeDuePauses(sent)) {
                delays.push_back(delay);
            }
            length = schedule.chunkLength(sent);
            chunks.push_back(length);
            sent += length;
        }
        EXPECT_EQ(chunks, test.chunks);
        EXPECT_EQ(delays, test.delays);
    }
}

// A cancel ends the longest pause of a head update (65,535 ms) at once.
TEST(steadyUpdateClockTest, ACancelEndsALongWait) {
    dravix::manualResetEvent cancel;
    bool cancelled = false;
    std::thread waiter([&] {
        cancelled =
            dravix::steadyUpdateClock::instance().waitFor(cancel, std::chrono::milliseconds(65535));
    });
    cancel.set();
    waiter.join();
    EXPECT_TRUE(cancelled);
}

}  // namespace
