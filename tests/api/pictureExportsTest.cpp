// The picture exports on a camera whose video path streams from an emulated camera: files from
// the next delivered frame, the exports' guard and results, and the request across stops, starts
// and Close.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <vector>

#include "../unit/decodedJpeg.h"
#include "dravix/dravix.h"
#include "emu/emulatedCamera.h"
#include "eventually.h"
#include "installedCamera.h"
#include "logCapture.h"
#include "openCameraTest.h"
#include "tempHome.h"
#include "video/colorConverter.h"

namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::HasSubstr;

constexpr uint16_t kWidth = 208;
constexpr uint16_t kHeight = 200;
constexpr std::size_t kFrameBytes = std::size_t{kWidth} * kHeight * 2;

// Copies of the frames handed to the frame callback.
class seenFrames {
  public:
    static int callback(uint8_t* frame, int32_t length, void* user) {
        auto* self = static_cast<seenFrames*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->frames_.emplace_back(frame, frame + length);
        self->arrived_.notify_all();
        return 0;
    }
    bool waitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(10),
                                 [&] { return frames_.size() >= count; });
    }
    std::vector<uint8_t> last() {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_.back();
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::vector<uint8_t>> frames_;
};

std::vector<uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class pictureExportsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char version[20];
        ZEL_CAM_GetApiVersion(version);
        ZEL_CAM_setLogCallback(&logCapture::onMessage, &log_, ZEL_CAM_LOG_ALL);
        installed_.emplace(kWidth, kHeight, 60);
        camera_ = &installed_->camera();
        ASSERT_EQ(ZEL_CAM_FrameCallback(0, &seenFrames::callback, &seen_), 0);
        ASSERT_EQ(camera_->video().initVideo(nullptr), 0);
    }
    void TearDown() override { installed_.reset(); }
    void start() { ASSERT_EQ(camera_->video().startVideo(), 0); }
    // Waits for the next picture to be written (the writer's DEBUG message).
    bool written() {
        ++written_;
        return eventually([&] {
            const auto lines = log_.lines();
            return static_cast<std::size_t>(
                       std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
                           return line.rfind("DEBUG cPictureIO::write", 0) == 0 &&
                                  line.find(" written") != std::string::npos;
                       })) >= written_;
        });
    }
    std::string pics(const std::string& name) const {
        return (home_.path() / "pics" / name).string();
    }

    tempHome home_;
    logCapture log_;
    std::size_t written_ = 0;
    seenFrames seen_;
    std::optional<installedCamera> installed_;
    dravix::camera* camera_ = nullptr;
};

// The directory is made; the extension becomes "jpg"; the file holds the stream's size.
TEST_F(pictureExportsTest, saveJpgWritesTheNextFrame) {
    start();
    ASSERT_EQ(ZEL_CAM_SaveJPG(0, pics("shot.png").c_str(), 0), 0);
    ASSERT_TRUE(written());
    const std::vector<uint8_t> file = fileBytes(pics("shot.jpg"));
    ASSERT_FALSE(file.empty());
    const decodedJpeg decoded = decodedJpeg::of(file.data(), file.size());
    EXPECT_EQ(decoded.width, kWidth);
    EXPECT_EQ(decoded.height, kHeight);
    EXPECT_EQ(ZEL_CAM_getLogTotalErrorCnt(), 0u);
}

TEST_F(pictureExportsTest, guardArgumentsAndResults) {
    const std::string path = pics("x");
    const struct {
        int32_t result;
        int32_t expected;
        const char* line;
    } cases[] = {
        {ZEL_CAM_SaveJPG(10, path.c_str(), 0), 1, "ERROR main::ZEL_CAM_SaveJPG: DEVICE NOT FOUND"},
        {ZEL_CAM_SaveBMP(1, path.c_str(), 0), 1,
         "ERROR main::ZEL_CAM_SaveBMP: CAMERA NOT INITIALIZED"},
        {ZEL_CAM_SaveRAW(0, nullptr), 1, "ERROR main::ZEL_CAM_SaveRAW: NULL POINTER"},
        {ZEL_CAM_SetJPGOptions(0, nullptr), 1, "ERROR main::ZEL_CAM_SetJPGOptions: NULL POINTER"},
        {ZEL_CAM_SetBMPOptions(0, 3), 1, "WARN not implemented!"},
        {ZEL_CAM_SetBMPOptions(-1, 3), 1, "ERROR main::ZEL_CAM_SetBMPOptions: DEVICE NOT FOUND"},
        {ZEL_CAM_SaveJPG(0, path.c_str(), 8), 1,
         "ERROR cPictureIO::setPictureFilename(name mode): 8"},
        {ZEL_CAM_SaveBMP(0, (home_.path() / "pics/").c_str(), 0), 1,
         "ERROR cPictureIO::setPictureFilename(getpath): 22"},
        // Accepted, then a second request while it is pending.
        {ZEL_CAM_SaveRAW(0, path.c_str()), 0, "INFO cPictureIO::setPictureFilename: "},
        {ZEL_CAM_SaveJPG(0, path.c_str(), 0), 1,
         "ERROR cPictureIO::setPictureFilename(file already opened): 1"},
    };
    ASSERT_TRUE(log_.waitFor(cases[std::size(cases) - 1].line));
    for (const auto& c : cases) {
        EXPECT_EQ(c.result, c.expected) << c.line;
        EXPECT_THAT(log_.lines(), Contains(HasSubstr(c.line)));
    }

    const struct {
        uint8_t given;
        uint8_t stored;
    } qualities[] = {{0, 1}, {1, 1}, {80, 80}, {100, 100}, {101, 100}, {255, 100}};
    for (const auto& q : qualities) {
        EXPECT_EQ(ZEL_CAM_SetJPGOptions(0, &q.given), 0);
        EXPECT_EQ(camera_->video().pictures().jpegQuality(), q.stored) << int{q.given};
    }
}

// A request waits for a frame across a stop and a start; Close cancels one that no frame
// followed and removes its empty file.
TEST_F(pictureExportsTest, requestAcrossStopStartAndClose) {
    ASSERT_EQ(ZEL_CAM_SaveJPG(0, pics("before.png").c_str(), 0), 0);
    start();
    ASSERT_TRUE(written());
    EXPECT_GT(fs::file_size(pics("before.jpg")), 0u);

    installed_->cameras().camera(1)->pauseFrames(true);
    ASSERT_EQ(camera_->video().stopVideo(), 0);
    ASSERT_EQ(ZEL_CAM_SaveBMP(0, pics("stopped").c_str(), 0), 0);
    installed_->cameras().camera(1)->pauseFrames(false);
    start();
    ASSERT_TRUE(written());
    EXPECT_EQ(fs::file_size(pics("stopped.bmp")), 54u + kWidth * 3u * kHeight);

    ASSERT_EQ(camera_->video().stopVideo(), 0);
    ASSERT_EQ(ZEL_CAM_SaveRAW(0, pics("never").c_str()), 0);
    const std::string path = camera_->video().pictures().pendingPath();
    ASSERT_TRUE(fs::exists(path));
    ASSERT_EQ(ZEL_CAM_Close(0), 0);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(camera_->video().pictures().isPending());
    EXPECT_TRUE(log_.waitFor("ERROR cPictureIO::cancel: picture not written, no frame followed; " +
                             path + " removed"));
}

// Raw and BMP pictures hold the frame the callback saw, also in callback mode (BMP converted in
// the colour mode, blue first); a short buffer is handed on but not written.
TEST_F(pictureExportsTest, picturesHoldTheFrameTheCallbackSaw) {
    installed_->cameras().camera(1)->pauseFrames(true);
    start();
    ASSERT_EQ(ZEL_CAM_setColorMode(0, 8), 0);
    std::vector<uint8_t> frame(kFrameBytes);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(i * 31 + i / 416);
    }
    ASSERT_EQ(ZEL_CAM_SaveRAW(0, pics("raw").c_str()), 0);
    ASSERT_TRUE(
        installed_->cameras().camera(1)->deliverBuffer(std::vector<uint8_t>(kFrameBytes - 2, 7)));
    ASSERT_TRUE(seen_.waitFor(1));
    EXPECT_TRUE(camera_->video().pictures().isPending());
    ASSERT_TRUE(installed_->cameras().camera(1)->deliverBuffer(frame));
    ASSERT_TRUE(seen_.waitFor(2));
    ASSERT_TRUE(written());
    const fs::path raw = fs::directory_iterator(home_.path() / "pics")->path();
    EXPECT_EQ(raw.extension(), ".ycrcb");
    EXPECT_EQ(fileBytes(raw), seen_.last());
    EXPECT_EQ(seen_.last(), frame);

    ASSERT_EQ(ZEL_CAM_SaveBMP(0, pics("bmp").c_str(), 0), 0);
    ASSERT_TRUE(installed_->cameras().camera(1)->deliverBuffer(frame));
    ASSERT_TRUE(written());
    std::vector<uint8_t> pixels(std::size_t{kWidth} * kHeight * 3);
    dravix::colorConverter::convertScalar(4, frame.data(), pixels.data(),
                                          std::size_t{kWidth} * kHeight);
    const std::vector<uint8_t> bmp = fileBytes(pics("bmp.bmp"));
    ASSERT_EQ(bmp.size(), 54 + pixels.size());
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), bmp.begin() + 54));
}

}  // namespace

namespace {

class pictureOnLostCameraTest : public openCameraTest {};

// A camera that vanishes with a picture pending cancels it: its empty file goes.
TEST_F(pictureOnLostCameraTest, cameraLossCancelsThePendingPicture) {
    const std::string path = (home_.path() / "lost").string();
    ASSERT_EQ(ZEL_CAM_SaveRAW(0, path.c_str()), 0);
    fs::path file;
    for (const auto& entry : fs::directory_iterator(home_.path())) {
        if (entry.path().extension() == ".ycrcb") {
            file = entry.path();
        }
    }
    ASSERT_FALSE(file.empty());
    camera().unplug();
    EXPECT_TRUE(eventually([&] { return !fs::exists(file); }));
    EXPECT_TRUE(log_.waitFor("ERROR cPictureIO::cancel: picture not written, no frame followed; " +
                             file.string() + " removed"));
}

}  // namespace
