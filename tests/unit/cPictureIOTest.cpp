// Picture requests and their files: names, never overwriting, directories, the request state,
// the three writers, and write failures injected at the file layer.
#include "video/cPictureIO.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "decodedJpeg.h"
#include "fileLog.h"
#include "video/bmpImage.h"
#include "video/colorConverter.h"
#include "video/pictureNames.h"

// OpenCV's picture reading registers GDAL's drivers once per process and never frees them, and
// takes GDAL's own locks in both orders; neither is ours, and the sanitizer builds are told so.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgdal.so\n";
}
extern "C" const char* __tsan_default_suppressions() {
    return "deadlock:libgdal.so\n";
}

namespace dravix {
namespace {

namespace fs = std::filesystem;
using pictureType = cPictureIO::pictureType;

// The machine's file system, with failures to order: creating, writing (after half the bytes)
// or closing a file fails with the errno set here.
class faultyFiles : public platform::fileSystem {
  public:
    std::atomic<int> createError{0};
    std::atomic<int> writeError{0};
    std::atomic<int> closeError{0};

    std::unique_ptr<platform::writableFile> createExclusive(const std::string& path,
                                                            int& error) override {
        if (createError != 0) {
            error = createError;
            return nullptr;
        }
        auto file = system().createExclusive(path, error);
        return file == nullptr ? nullptr : std::make_unique<faultyFile>(std::move(file), *this);
    }
    bool isDirectory(const std::string& path) override { return system().isDirectory(path); }
    int makeDirectory(const std::string& path) override { return system().makeDirectory(path); }
    int remove(const std::string& path) override { return system().remove(path); }

  private:
    class faultyFile : public platform::writableFile {
      public:
        faultyFile(std::unique_ptr<platform::writableFile> file, faultyFiles& owner)
            : file_(std::move(file)), owner_(owner) {}
        int write(const uint8_t* data, std::size_t length) override {
            if (owner_.writeError != 0) {
                file_->write(data, length / 2);
                return owner_.writeError;
            }
            return file_->write(data, length);
        }
        int close() override {
            const int result = file_->close();
            return owner_.closeError != 0 ? owner_.closeError.load() : result;
        }

      private:
        std::unique_ptr<platform::writableFile> file_;
        faultyFiles& owner_;
    };
};

// 6 December 2026, 14:30:05 local time, plus `seconds`.
std::time_t pictureTime(int seconds = 0) {
    std::tm local{};
    local.tm_year = 126;
    local.tm_mon = 11;
    local.tm_mday = 6;
    local.tm_hour = 14;
    local.tm_min = 30;
    local.tm_sec = 5;
    local.tm_isdst = -1;
    return std::mktime(&local) + seconds;
}

std::vector<uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A YUY2 frame with every byte different from its neighbours.
std::vector<uint8_t> yuy2Frame(int width, int height) {
    std::vector<uint8_t> frame(static_cast<std::size_t>(width) * height * 2);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(i * 7 + i / 13);
    }
    return frame;
}

class cPictureIOTest : public ::testing::Test {
  protected:
    std::unique_ptr<cPictureIO> makePictures() {
        return std::make_unique<cPictureIO>(log_.log(), files_, *counter_, [this] { return now_; });
    }
    std::string in(const std::string& name) const { return (directory_ / name).string(); }
    cPictureIO::frameView view(const std::vector<uint8_t>& frame, int width, int height,
                               int32_t colorMode = 0) const {
        return {frame.data(), static_cast<uint32_t>(frame.size()), static_cast<uint16_t>(width),
                static_cast<uint16_t>(height), colorMode};
    }
    std::vector<std::string> filesThere() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string messages() {
        std::string all;
        for (const std::string& line : log_.messages()) {
            all += line + "\n";
        }
        return all;
    }

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "dravix-pictures-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
    }
    void TearDown() override {
        pictures_.reset();
        fs::remove_all(directory_);
    }
    void removeFiles() {
        for (const auto& entry : fs::directory_iterator(directory_)) {
            fs::remove_all(entry.path());
        }
    }

    test::fileLog log_{"dravix-pictures"};
    fs::path directory_;
    faultyFiles files_;
    std::unique_ptr<pictureCounter> counter_ = std::make_unique<pictureCounter>();
    std::time_t now_ = pictureTime();
    std::unique_ptr<cPictureIO> pictures_ = makePictures();
};

TEST_F(cPictureIOTest, nameModes) {
    const struct {
        int32_t mode;
        const char* name;  // empty: refused
    } cases[] = {
        {0, "shot.jpg"},
        {1, "shot_001.jpg"},
        {2, "shot_261206.jpg"},
        {3, "shot_261206_001.jpg"},
        {4, "shot_143005.jpg"},
        {5, "shot_143005_00.jpg"},  // the per-second modes count from 0
        {6, "shot_261206_143005.jpg"},
        {7, "shot_261206_143005_00.jpg"},
        {-1, ""},
        {8, ""},
    };
    // Each the first picture of a process and camera.
    for (const auto& c : cases) {
        counter_ = std::make_unique<pictureCounter>();
        pictures_ = makePictures();
        const uint32_t errors = log_.log().errorCount();
        const int result = pictures_->setPictureFilename(pictureType::jpeg, in("shot.png"), c.mode);
        if (c.name[0] == '\0') {
            EXPECT_NE(result, 0) << c.mode;
            EXPECT_FALSE(pictures_->isPending());
            EXPECT_EQ(log_.log().errorCount(), errors + 1) << c.mode;
            continue;
        }
        ASSERT_EQ(result, 0) << c.mode;
        EXPECT_EQ(pictures_->pendingPath(), in(c.name)) << c.mode;
        pictures_->cancel();
        EXPECT_FALSE(fs::exists(in(c.name))) << "the empty file of a cancelled request goes";
    }
    const std::string text = messages();
    EXPECT_NE(text.find("cPictureIO::setPictureFilename(name mode): -1"), std::string::npos);
    EXPECT_NE(text.find("cPictureIO::setPictureFilename(name mode): 8"), std::string::npos);
}

TEST_F(cPictureIOTest, counterAndSecondRules) {
    const struct {
        int32_t mode;
        int seconds;  // after the picture time
        int counter;
    } sequence[] = {
        {7, 0, 0}, {7, 0, 1}, {7, 0, 2}, {7, 1, 0}, {7, 1, 1},  // per second, from 0
        {1, 1, 2}, {1, 2, 3}, {5, 2, 4},                        // the same second goes on
        {5, 3, 0}, {1, 3, 1},
    };
    std::time_t last = 0;
    for (const auto& step : sequence) {
        std::time_t now = 0;
        EXPECT_EQ(counter_->next(
                      step.mode, [&] { return pictureTime(step.seconds); }, last, now),
                  step.counter)
            << step.mode << " +" << step.seconds;
    }
    // Any other camera's first picture in this second is a new second for it (its last picture is
    // long ago) and restarts the counter: only the exclusive create keeps the two files apart.
    std::time_t otherCamera = 0;
    std::time_t now = 0;
    EXPECT_EQ(counter_->next(
                  7, [] { return pictureTime(3); }, otherCamera, now),
              0);
    // 999 is followed by 0.
    for (int i = 0; i < 997; ++i) {
        counter_->next(
            1, [] { return pictureTime(3); }, last, now);
    }
    EXPECT_EQ(counter_->next(
                  1, [] { return pictureTime(3); }, last, now),
              998);
    EXPECT_EQ(counter_->next(
                  1, [] { return pictureTime(3); }, last, now),
              999);
    EXPECT_EQ(counter_->next(
                  1, [] { return pictureTime(3); }, last, now),
              0);
}

TEST_F(cPictureIOTest, pathsAreSplitIntoDirectoryAndBase) {
    const struct {
        const char* path;
        const char* directory;
        const char* base;
    } cases[] = {
        {"/tmp/pics/shot.png", "/tmp/pics/", "shot"},
        {"shot", "", "shot"},
        {"a/b.c.d", "a/", "b.c"},
        {"/pics/", "/pics/", ""},
        {"/pics/.png", "/pics/", ""},
        {"x.", "", "x"},
        {"/shot", "/", "shot"},
    };
    for (const auto& c : cases) {
        const pictureNames::parts parts = pictureNames::split(c.path);
        EXPECT_EQ(parts.directory, c.directory) << c.path;
        EXPECT_EQ(parts.base, c.base) << c.path;
    }
    EXPECT_EQ(pictureNames::directoryToMake({"/", "x"}), "/");
    EXPECT_EQ(pictureNames::directoryToMake({"/a//", "x"}), "/a");
}

TEST_F(cPictureIOTest, neverOverwritesAndNeverCutsANameOrFollowsALink) {
    std::ofstream(in("shot.jpg")) << "older";
    fs::create_symlink(in("target"), in("shot_01.jpg"));
    ASSERT_EQ(pictures_->setPictureFilename(pictureType::jpeg, in("shot"), 0), 0);
    EXPECT_EQ(pictures_->pendingPath(), in("shot_02.jpg"));
    EXPECT_EQ(fileBytes(in("shot.jpg")).size(), 5u);
    EXPECT_FALSE(fs::exists(in("target")));

    // Two cameras' first pictures in one second get the same name: the second gets the suffix.
    auto cameraA = makePictures();
    auto cameraB = makePictures();
    ASSERT_EQ(cameraA->setPictureFilename(pictureType::raw, in("cam"), 7), 0);
    ASSERT_EQ(cameraB->setPictureFilename(pictureType::raw, in("cam"), 7), 0);
    EXPECT_EQ(cameraA->pendingPath(), in("cam_261206_143005_00.ycrcb"));
    EXPECT_EQ(cameraB->pendingPath(), in("cam_261206_143005_00_01.ycrcb"));

    // Linux limits: 255 bytes per name; one more is refused, never cut.
    pictures_->cancel();
    EXPECT_EQ(pictures_->setPictureFilename(pictureType::jpeg, in(std::string(251, 'n')), 0), 0);
    pictures_->cancel();
    EXPECT_EQ(pictures_->setPictureFilename(pictureType::jpeg, in(std::string(252, 'n')), 0),
              ENAMETOOLONG);
    EXPECT_EQ(pictures_->setPictureFilename(pictureType::jpeg, std::string(4096, '/') + "x", 0),
              ENAMETOOLONG);
    EXPECT_NE(messages().find("cPictureIO::setPictureFilename(makepath): 36"), std::string::npos);
}

TEST_F(cPictureIOTest, oneMissingDirectoryLevelIsCreated) {
    ASSERT_EQ(pictures_->setPictureFilename(pictureType::raw, in("new/shot"), 0), 0);
    EXPECT_TRUE(fs::is_directory(in("new")));
    EXPECT_EQ(pictures_->setPictureFilename(pictureType::raw, in("one/two/shot"), 0), 1);
    pictures_->cancel();
    EXPECT_EQ(pictures_->setPictureFilename(pictureType::raw, in("one/two/shot"), 0), ENOENT);
    EXPECT_FALSE(pictures_->isPending());
    EXPECT_NE(messages().find("cPictureIO::setPictureFilename(open file): 2"), std::string::npos);
}

// A second request keeps the first one's type; a short frame is not written; the next complete
// one is, and only once.
TEST_F(cPictureIOTest, requestStateAndCompleteFrames) {
    const int width = 18;
    const int height = 14;
    const std::vector<uint8_t> frame = yuy2Frame(width, height);
    pictures_->setJpegQuality(95);
    ASSERT_EQ(pictures_->setPictureFilename(pictureType::jpeg, in("shot"), 0), 0);
    pictures_->setJpegQuality(1);  // later requests only
    EXPECT_EQ(pictures_->setPictureFilename(pictureType::bmp, in("shot"), 0), 1);
    EXPECT_EQ(pictures_->pendingPath(), in("shot.jpg"));

    const std::vector<uint8_t> shortFrame(frame.begin(), frame.end() - 4);
    pictures_->writePending(view(shortFrame, width, height));
    EXPECT_TRUE(pictures_->isPending());
    EXPECT_EQ(fileBytes(in("shot.jpg")).size(), 0u);

    pictures_->writePending(view(frame, width, height));
    EXPECT_FALSE(pictures_->isPending());
    const std::vector<uint8_t> written = fileBytes(in("shot.jpg"));
    const decodedJpeg decoded = decodedJpeg::of(written.data(), written.size());
    EXPECT_EQ(decoded.width, width);
    EXPECT_EQ(decoded.height, height);
    // The file quality 95 gives: the request kept its quality.
    jpegPlanes planes;
    planes.build(frame.data(), width, height);
    jpegEncoder encoder;
    ASSERT_TRUE(encoder.encodePlanes(planes, 95));
    EXPECT_EQ(written, std::vector<uint8_t>(encoder.data(), encoder.data() + encoder.size()));

    pictures_->writePending(view(frame, width, height));
    EXPECT_EQ(filesThere(), std::vector<std::string>{"shot.jpg"});
    EXPECT_NE(messages().find("cPictureIO::setPictureFilename(file already opened): 1"),
              std::string::npos);
}

TEST_F(cPictureIOTest, rawFileIsTheFrame) {
    const std::vector<uint8_t> frame = yuy2Frame(34, 3);
    ASSERT_EQ(pictures_->setPictureFilename(pictureType::raw, in("raw.png"), 0), 0);
    pictures_->writePending(view(frame, 34, 3));
    EXPECT_EQ(fileBytes(in("raw.ycrcb")), frame);
}

// A failed create, write or close: ERROR with the reason, no file left, the next request works.
TEST_F(cPictureIOTest, failuresLeaveNoFileAndTheNextRequestWorks) {
    const std::vector<uint8_t> frame = yuy2Frame(18, 14);
    const struct {
        std::atomic<int> faultyFiles::*fault;
        int error;
        pictureType type;
        const char* message;
    } cases[] = {
        {&faultyFiles::createError, EACCES, pictureType::jpeg,
         "cPictureIO::setPictureFilename(open file): 13"},
        {&faultyFiles::writeError, ENOSPC, pictureType::jpeg,
         "cPictureIO::writeJPGFile: write: No space left on device (28); "},
        {&faultyFiles::writeError, EIO, pictureType::bmp,
         "cPictureIO::writeBMPFile: write: Input/output error (5); "},
        {&faultyFiles::closeError, ENOSPC, pictureType::raw,
         "cPictureIO::writeRAWFile: close: No space left on device (28); "},
    };
    for (const auto& c : cases) {
        files_.*c.fault = c.error;
        const uint32_t errors = log_.log().errorCount();
        if (pictures_->setPictureFilename(c.type, in("shot"), 0) == 0) {
            pictures_->writePending(view(frame, 18, 14));
        }
        EXPECT_EQ(log_.log().errorCount(), errors + 1) << c.message;
        EXPECT_TRUE(filesThere().empty()) << c.message;
        files_.*c.fault = 0;
        ASSERT_EQ(pictures_->setPictureFilename(c.type, in("shot"), 0), 0) << c.message;
        pictures_->writePending(view(frame, 18, 14));
        EXPECT_EQ(filesThere().size(), 1u) << c.message;
        removeFiles();
    }
    const std::string text = messages();
    for (const auto& c : cases) {
        EXPECT_NE(text.find(c.message), std::string::npos) << c.message;
    }
}

TEST_F(cPictureIOTest, bmpHeaderAndPadding) {
    const auto header = bmpImage::header(250, 250);
    // clang-format off
    const std::vector<uint8_t> expected = {
        'B', 'M', 0x96, 0xDE, 0x02, 0x00, 0, 0, 0, 0, 54, 0, 0, 0,   // size 188,054; offset 54
        40, 0, 0, 0, 250, 0, 0, 0, 0x06, 0xFF, 0xFF, 0xFF,           // width 250, height -250
        1, 0, 24, 0,                                                 // planes, bits per pixel
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    // clang-format on
    EXPECT_EQ(std::vector<uint8_t>(header.begin(), header.end()), expected);
    EXPECT_EQ(bmpImage::rowBytes(250), 752u);  // padded by 2
    EXPECT_EQ(bmpImage::rowBytes(200), 600u);  // not padded
}

// Every colour mode gives the display conversion's values in blue, green, red order (mode 8, red
// first on the display, too), rows padded with zeros, and OpenCV reads the file.
TEST_F(cPictureIOTest, bmpPixelsInEveryColourMode) {
    for (const int width : {200, 250}) {
        const int height = 6;
        const std::vector<uint8_t> frame = yuy2Frame(width, height);
        for (const int32_t mode : {0, 1, 2, 3, 4, 5, 6, 7, 8, 99}) {
            const std::string name = "m" + std::to_string(mode) + "w" + std::to_string(width);
            ASSERT_EQ(pictures_->setPictureFilename(pictureType::bmp, in(name), 0), 0);
            pictures_->writePending(view(frame, width, height, mode));
            const std::vector<uint8_t> file = fileBytes(in(name + ".bmp"));
            const std::size_t row = bmpImage::rowBytes(width);
            ASSERT_EQ(file.size(), 54 + row * height) << name;
            std::vector<uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
            colorConverter::convertScalar(mode == 8 ? 4 : mode, frame.data(), pixels.data(),
                                          static_cast<std::size_t>(width) * height);
            const cv::Mat read = cv::imread(in(name + ".bmp"), cv::IMREAD_COLOR);
            ASSERT_EQ(read.cols, width);
            ASSERT_EQ(read.rows, height);
            for (int r = 0; r < height; ++r) {
                const uint8_t* expected = pixels.data() + static_cast<std::size_t>(width) * 3 * r;
                const uint8_t* stored = file.data() + 54 + row * r;
                EXPECT_TRUE(std::equal(expected, expected + width * 3, stored))
                    << name << " row " << r;
                EXPECT_TRUE(std::all_of(stored + width * 3, stored + row,
                                        [](uint8_t b) { return b == 0; }));
                EXPECT_TRUE(std::equal(expected, expected + width * 3, read.ptr<uint8_t>(r)))
                    << name << " read back, row " << r;
            }
        }
    }
}

// Requests on one thread, writes on another: each accepted request ends in one whole file.
TEST_F(cPictureIOTest, requestsAgainstTheWriter) {
    const std::vector<uint8_t> frame = yuy2Frame(34, 4);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        while (!done) {
            pictures_->writePending(view(frame, 34, 4));
        }
    });
    int accepted = 0;
    for (int i = 0; i < 200; ++i) {
        accepted += pictures_->setPictureFilename(pictureType::raw, in("r"), 0) == 0;
        pictures_->setJpegQuality(static_cast<uint8_t>(i));
    }
    while (pictures_->isPending()) {
        std::this_thread::yield();
    }
    done = true;
    writer.join();
    const std::vector<std::string> names = filesThere();
    EXPECT_EQ(names.size(), static_cast<std::size_t>(accepted));
    for (const std::string& name : names) {
        EXPECT_EQ(fileBytes(in(name)), frame) << name;
    }
}

}  // namespace
}  // namespace dravix
