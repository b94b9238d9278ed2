// The QPR settings file exports against an open emulated camera: round trips of random settings
// for every head type, files that cannot be read, cameras that cannot be read or written, files
// that cannot be written, and calls from several threads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "dravix/dravix.h"
#include "dsp/cameraDsp.h"
#include "dsp/qprFile.h"
#include "emu/emulatedCamera.h"
#include "openCameraTest.h"

namespace {

namespace fs = std::filesystem;
namespace qpr = dravix::qprFile;
using dravix::dspCode;
using dravix::DspFunction;
using dravix::emu::wireKind;
using ::testing::Contains;
using bytes = std::vector<uint8_t>;

constexpr uint8_t kCmdDspSet = 0x21;
constexpr uint8_t kErrorStatus = 3;
constexpr uint8_t kForced = 0x80;

bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const bytes& content) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()),
               static_cast<std::streamsize>(content.size()));
}

std::vector<std::string> namesIn(const fs::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every block of the camera's function table.
std::map<uint8_t, bytes> blocksOf(dravix::emu::emulatedCamera& camera) {
    std::map<uint8_t, bytes> blocks;
    for (const dravix::dspFunctionSizes& sizes : dravix::kDspFunctions) {
        const uint8_t code = dspCode(sizes.function);
        blocks[code] = camera.dsp().dspBlock(code);
    }
    return blocks;
}

class qprExportsTest : public openCameraTest {
  protected:
    void SetUp() override {
        openCameraTest::SetUp();
        camera().setReplyLatency(std::chrono::microseconds(0));
        dir_ = home_.path() / "qpr";
        fs::create_directory(dir_);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // The functions written, in order (one entry per block, not per chunk).
    std::vector<int> writtenCodes() {
        std::vector<int> codes;
        for (const auto& record : camera().recorded()) {
            if (record.kind == wireKind::output && record.bytes[1] == kCmdDspSet &&
                record.bytes[3] == 0 && record.bytes[4] == 0) {
                codes.push_back(record.bytes[2]);
            }
        }
        camera().stopRecording();
        camera().clearRecording();
        return codes;
    }

    fs::path dir_;
};

// Where the payload of `letter` starts in a file written for `headType`.
std::size_t payloadOffset(uint8_t headType, char letter) {
    std::size_t offset = qpr::kIdentificationSize;
    for (char written : qpr::datasetsOf(headType)) {
        offset += qpr::kHeaderSize;
        if (written == letter) {
            break;
        }
        offset += qpr::findType(written)->size;
    }
    return offset;
}

int code(DspFunction function) {
    return dspCode(function);
}

// What each head type applies, in order.
std::vector<int> appliedCodes(uint8_t headType) {
    std::vector<int> codes;
    const bool ovExp = headType >= 4;
    const bool ae = headType == 1 || headType == 2;
    const bool many = headType >= 1 && headType <= 5;
    auto add = [&](bool when, std::initializer_list<DspFunction> functions) {
        for (DspFunction function : functions) {
            if (when) {
                codes.push_back(code(function));
            }
        }
    };
    add(many,
        {DspFunction::KeySetting, DspFunction::Gain, DspFunction::WbWindow, DspFunction::MaskParams,
         DspFunction::MaskEnable, DspFunction::Gamma1, DspFunction::Gamma0});
    add(headType != 0, {DspFunction::DpcTable, DspFunction::DpcConfig});
    add(many,
        {DspFunction::CrCbGain, DspFunction::Hue, DspFunction::Saturation, DspFunction::ColorMatrix,
         DspFunction::EdgeEnhancement1, DspFunction::EdgeEnhancement0, DspFunction::BayerMode,
         DspFunction::Sobel1, DspFunction::Sobel0});
    add(ae, {DspFunction::AEValues, DspFunction::Target, DspFunction::WindowSizes,
             DspFunction::WindowPosition});
    add(many, {DspFunction::Scale});
    add(ovExp && many,
        {DspFunction::OvExpTargetSteps, DspFunction::OvExpWeight, DspFunction::OvExp});
    add(many,
        {DspFunction::Offset, DspFunction::HvFlip, DspFunction::Binning, DspFunction::ucConfig});
    return codes;
}

// Writing random settings and reading them into a camera with other random settings applies
// exactly the head type's functions and leaves every other block alone; one more round
// reaches a fixed point: the file written after reading a file is that file, but for the clock
// and the camera type, which is written and never applied. Set DRAVIX_QPR_CORPUS_DIR to keep
// the files written first, with their head type in front, as fuzzing seeds.
TEST_F(qprExportsTest, settingsSurviveARoundTripForEveryHeadType) {
    const char* corpus = std::getenv("DRAVIX_QPR_CORPUS_DIR");
    for (uint8_t headType = 0; headType <= qpr::kLastHeadType; ++headType) {
        SCOPED_TRACE(static_cast<int>(headType));
        const std::string first = path("first" + std::to_string(headType) + ".qpr");
        camera().dsp().fillRandom(100 + headType);
        ASSERT_EQ(ZEL_CAM_writeQprFile(0, first.c_str(), headType), 0);
        const bytes firstBytes = readFile(first);
        EXPECT_EQ(firstBytes.size(), qpr::serialize(qpr::image{}, headType).size());
        if (corpus != nullptr) {
            bytes seed{headType};
            seed.insert(seed.end(), firstBytes.begin(), firstBytes.end());
            writeFile(fs::path(corpus) / ("written-head-type-" + std::to_string(headType)), seed);
        }

        camera().dsp().fillRandom(200 + headType);
        const auto before = blocksOf(camera());
        camera().startRecording();
        ASSERT_EQ(ZEL_CAM_readQprFile(0, first.c_str(), headType), 0);
        const std::vector<int> applied = writtenCodes();
        EXPECT_EQ(applied, appliedCodes(headType));
        for (const auto& [blockCode, block] : blocksOf(camera())) {
            if (std::find(applied.begin(), applied.end(), blockCode) == applied.end()) {
                EXPECT_EQ(block, before.at(blockCode)) << "block " << int(blockCode);
            }
        }
        if (headType == 0) {
            continue;  // nothing applied: no fixed point to reach
        }
        const std::string second = path("second.qpr");
        const std::string third = path("third.qpr");
        ASSERT_EQ(ZEL_CAM_writeQprFile(0, second.c_str(), headType), 0);
        camera().dsp().fillRandom(300 + headType);
        ASSERT_EQ(ZEL_CAM_readQprFile(0, second.c_str(), headType), 0);
        ASSERT_EQ(ZEL_CAM_writeQprFile(0, third.c_str(), headType), 0);
        bytes secondBytes = readFile(second);
        bytes thirdBytes = readFile(third);
        ASSERT_EQ(secondBytes.size(), thirdBytes.size());
        // The clock in bytes 5 to 10 of 'Z'; the camera type in 'I'.
        const std::size_t clock = payloadOffset(headType, 'Z') + 5;
        std::fill(secondBytes.begin() + clock, secondBytes.begin() + clock + 6, 0);
        std::fill(thirdBytes.begin() + clock, thirdBytes.begin() + clock + 6, 0);
        if (qpr::datasetsOf(headType).find('I') != std::string::npos) {
            const std::size_t cameraType = payloadOffset(headType, 'I');
            thirdBytes[cameraType] = secondBytes[cameraType];
        }
        EXPECT_EQ(secondBytes, thirdBytes);
    }
}

// Nothing that is not a regular file of sane size is read, and nothing hangs on one. The
// result is -2 unless the head type is forced; nothing reaches the camera.
TEST_F(qprExportsTest, onlyRegularFilesOfSaneSizeAreRead) {
    const std::string fifo = path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = path("large.qpr");
    {
        std::ofstream out(large, std::ios::binary);
        out.write(qpr::kIdentification, qpr::kIdentificationSize);
        out.seekp((1 << 20) + 1);
        out.put('X');
    }
    const std::vector<std::string> paths = {
        path("missing.qpr"), dir_.string(), fifo, "/dev/zero", large, "",
    };
    camera().startRecording();
    for (const std::string& name : paths) {
        EXPECT_EQ(ZEL_CAM_readQprFile(0, name.c_str(), 1), -2) << name;
        EXPECT_EQ(ZEL_CAM_readQprFile(0, name.c_str(), 1 | kForced), -1) << name;
    }
    EXPECT_TRUE(camera().recorded().empty());
    EXPECT_TRUE(log_.waitFor("ERROR readQprFile: open ", 2 * paths.size()));
    EXPECT_TRUE(log_.waitFor("ERROR Wrong QPR-File Contents: 1", paths.size()));
    EXPECT_EQ(ZEL_CAM_readQprFile(0, nullptr, 1), 1);
    EXPECT_EQ(ZEL_CAM_writeQprFile(0, nullptr, 1), 1);
    EXPECT_TRUE(log_.waitFor("ERROR main::ZEL_CAM_writeQprFile: NULL POINTER"));
}

// A damaged file reports -1 but still applies what it held whole before the damage.
TEST_F(qprExportsTest, aDamagedFileAppliesOnlyItsWholeDatasets) {
    bytes damaged = qpr::serialize(qpr::image{}, 1);
    damaged.resize(14 + 55 + 19 + 6);  // the identification, 'V', 'Z', 'H'
    const bytes target = {'T', 2, 0, 0, 0, 0x12, 0x34};
    const bytes cutTable = {'P', 64, 0, 0, 0, 1, 2, 3};
    damaged.insert(damaged.end(), target.begin(), target.end());
    damaged.insert(damaged.end(), cutTable.begin(), cutTable.end());
    writeFile(path("damaged.qpr"), damaged);
    camera().dsp().setDspBlock(code(DspFunction::DpcTable), bytes(64, 0x05));
    camera().startRecording();
    EXPECT_EQ(ZEL_CAM_readQprFile(0, path("damaged.qpr").c_str(), 1), -1);
    EXPECT_EQ(writtenCodes(), std::vector<int>{code(DspFunction::Target)});
    EXPECT_EQ(camera().dsp().dspBlock(code(DspFunction::Target)), (bytes{0x12, 0x34}));
    EXPECT_EQ(camera().dsp().dspBlock(code(DspFunction::DpcTable)), bytes(64, 0x05));
    EXPECT_TRUE(log_.waitFor("ERROR aborted, data structure error in qpr File"));
}

// A camera value that cannot be read writes no file and leaves an old one alone; a write to the
// camera that fails makes the read's result 1, and the later steps still run.
TEST_F(qprExportsTest, cameraFailuresAreReported) {
    const std::string name = path("settings.qpr");
    ASSERT_EQ(ZEL_CAM_writeQprFile(0, name.c_str(), 1), 0);
    const bytes old = readFile(name);
    for (DspFunction failing :
         {DspFunction::KeySetting, DspFunction::DpcTable, DspFunction::HvFlip}) {
        camera().dsp().setFailingCode(code(failing), kErrorStatus);
        EXPECT_EQ(ZEL_CAM_writeQprFile(0, name.c_str(), 1), 1) << code(failing);
        EXPECT_EQ(ZEL_CAM_writeQprFile(0, path("new.qpr").c_str(), 1), 1) << code(failing);
        camera().dsp().setFailingCode(code(failing), 0);
    }
    camera().dsp().setEchoForCode(code(DspFunction::Target), code(DspFunction::Hue));
    EXPECT_EQ(ZEL_CAM_writeQprFile(0, name.c_str(), 1), 1);
    camera().dsp().setEchoForCode(code(DspFunction::Target), code(DspFunction::Target));
    EXPECT_EQ(readFile(name), old);
    EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"settings.qpr"});

    camera().dsp().setFailingCode(code(DspFunction::Gain), kErrorStatus);
    camera().startRecording();
    EXPECT_EQ(ZEL_CAM_readQprFile(0, name.c_str(), 1), 1);
    EXPECT_EQ(writtenCodes(), appliedCodes(1));
    EXPECT_TRUE(log_.waitFor("ERROR readQprFile: 1 errors"));
    // Damage and a wrong head type keep their results.
    EXPECT_EQ(ZEL_CAM_readQprFile(0, name.c_str(), 2), -2);
}

// Writes `directory`/old.qpr with `headType`, expecting `result`, and checks that the old file
// is as it was and no other file appeared.
void expectOldFileIntact(const fs::path& directory, uint8_t headType, int32_t result) {
    if (!fs::exists(directory / "old.qpr")) {
        writeFile(directory / "old.qpr", {'o', 'l', 'd'});
    }
    const bytes old = readFile(directory / "old.qpr");
    const auto names = namesIn(directory);
    EXPECT_EQ(ZEL_CAM_writeQprFile(0, (directory / "old.qpr").c_str(), headType), result);
    EXPECT_EQ(readFile(directory / "old.qpr"), old);
    EXPECT_EQ(namesIn(directory), names);
}

// A file that cannot be completed leaves the old one as it was and no temporary file behind;
// a file that cannot be created at all is -1; a head type the reader would reject is refused.
TEST_F(qprExportsTest, failedWritesLeaveTheOldFileIntact) {
    struct rlimit normalLimit {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &normalLimit), 0);
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = normalLimit;
    small.rlim_cur = 200;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    expectOldFileIntact(dir_, 1, 1);
    setrlimit(RLIMIT_FSIZE, &normalLimit);

    expectOldFileIntact(dir_, 7, 1);
    EXPECT_TRUE(log_.waitFor("ERROR writeQprFile: head type 7 is not supported"));

    // A path below a regular file: even root cannot create it.
    writeFile(dir_ / "plain", {1});
    EXPECT_EQ(ZEL_CAM_writeQprFile(0, (dir_ / "plain" / "x.qpr").c_str(), 1), -1);
    EXPECT_TRUE(
        log_.waitFor("ERROR writeQprFile: could not open " + (dir_ / "plain" / "x.qpr").string()));
}

// A full file system: the old file stays as it was, and no temporary file is left.
TEST_F(qprExportsTest, aFullFileSystemLeavesTheOldFileIntact) {
    const fs::path small = dir_ / "small";
    fs::create_directory(small);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=16k") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs is not permitted here: " << std::strerror(errno);
    }
    ASSERT_EQ(ZEL_CAM_writeQprFile(0, (small / "old.qpr").c_str(), 1), 0);
    {
        std::ofstream filler(small / "filler", std::ios::binary);
        const std::string block(1024, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
        }
    }
    expectOldFileIntact(small, 1, 1);
    umount(small.c_str());
}

// A replaced file keeps its mode; a link keeps pointing at the file it names, which is replaced.
TEST_F(qprExportsTest, aReplacedFileKeepsItsModeAndLinks) {
    const fs::path target = dir_ / "target.qpr";
    writeFile(target, {'o', 'l', 'd'});
    chmod(target.c_str(), 0640);
    fs::create_symlink(target, dir_ / "link.qpr");
    ASSERT_EQ(ZEL_CAM_writeQprFile(0, (dir_ / "link.qpr").c_str(), 6), 0);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.qpr"));
    EXPECT_EQ(readFile(target).size(), 173u);
    struct stat status {};
    ASSERT_EQ(stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_TRUE(log_.waitFor("INFO writeQprFile: " + (dir_ / "link.qpr").string() + " written"));
}

// Two files read and written at once on one camera, beside a setter: each call keeps its own
// image, so every call succeeds and every file is whole.
TEST_F(qprExportsTest, callsOnOneCameraFromSeveralThreadsDoNotMix) {
    const std::string name = path("shared.qpr");
    ASSERT_EQ(ZEL_CAM_writeQprFile(0, name.c_str(), 4), 0);
    std::vector<std::thread> threads;
    std::vector<int32_t> results(3, -9);
    threads.emplace_back([&] {
        for (int i = 0; i < 5; ++i) {
            results[0] = std::max(results[0], ZEL_CAM_readQprFile(0, name.c_str(), 4));
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < 5; ++i) {
            const std::string own = path("own" + std::to_string(i) + ".qpr");
            results[1] = std::max(results[1], ZEL_CAM_writeQprFile(0, own.c_str(), 1));
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < 20; ++i) {
            results[2] = std::max(results[2], ZEL_CAM_setHue(0, static_cast<uint16_t>(i)));
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(results, (std::vector<int32_t>{0, 0, 0}));
    for (int i = 0; i < 5; ++i) {
        const bytes written = readFile(path("own" + std::to_string(i) + ".qpr"));
        EXPECT_EQ(qpr::parse(written.data(), written.size(), 1).result, 0);
    }
}

}  // namespace
