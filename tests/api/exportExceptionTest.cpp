// No C++ exception leaves the library: an export that meets one fails with 1 and an ERROR naming
// it, and a library thread that meets one ends with an ERROR instead of ending the process.
//
// This program replaces the global allocation functions, so that a test can make large
// allocations on its own thread fail.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

#include "camera/libraryState.h"
#include "dravix/dravix.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "log/logger.h"
#include "logCapture.h"
#include "tempHome.h"

namespace {
// While not 0, allocations of this many bytes or more on this thread throw std::bad_alloc.
thread_local std::size_t tlsFailingSize = 0;

void* allocate(std::size_t size) {
    if (tlsFailingSize != 0 && size >= tlsFailingSize) {
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void* allocateOrNull(std::size_t size) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

namespace {

// Allocations of `size` bytes or more fail on this thread while it lives.
class failingAllocations {
  public:
    explicit failingAllocations(std::size_t size) { tlsFailingSize = size; }
    ~failingAllocations() { tlsFailingSize = 0; }
    failingAllocations(const failingAllocations&) = delete;
    failingAllocations& operator=(const failingAllocations&) = delete;
};

class exportExceptionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char version[20];
        ZEL_CAM_GetApiVersion(version);
        ZEL_CAM_setLogCallback(&logCapture::onMessage, &log_, ZEL_CAM_LOG_ALL);
        cameras().configure(1);
        cameras().camera(1)->setVideoFormat(160, 120, 60);
        int32_t index = 0;
        uint8_t count = 0;
        ASSERT_EQ(ZEL_CAM_Init(0, &index, &count), 0);
        ASSERT_EQ(ZEL_CAM_Open(0), 0);
    }

    void TearDown() override {
        EXPECT_EQ(ZEL_CAM_Destroy(0), 0);
        cameras().configure(0);
    }

    static dravix::emu::emulatedCameraSet& cameras() {
        return dravix::emu::emulatedCameraSet::instance();
    }

    tempHome home_;
    logCapture log_;
};

TEST_F(exportExceptionTest, anExportThatRunsOutOfMemoryFailsWithAnError) {
    {
        failingAllocations failing(1u << 20);
        EXPECT_EQ(ZEL_CAM_SetVideoScale(0, 1920, 1080, 1.0f), 1);  // a 6 MB drawing area
    }
    EXPECT_TRUE(log_.waitFor("ERROR main::ZEL_CAM_SetVideoScale: out of memory"));
    EXPECT_EQ(ZEL_CAM_SetVideoScale(0, 1920, 1080, 1.0f), 0);  // and nothing is left broken
}

// The client's callbacks run on the library's threads; one that throws ends that thread.
int throwingFrameCallback(uint8_t*, int32_t, void*) {
    throw std::runtime_error("thrown by the frame callback");
}

int throwingStatusCallback(DeviceStatus*, void*) {
    throw std::runtime_error("thrown by the status callback");
}

TEST_F(exportExceptionTest, aLibraryThreadThatMeetsAnExceptionEndsWithAnError) {
    ASSERT_EQ(ZEL_CAM_FrameCallback(0, &throwingFrameCallback, nullptr), 0);
    ASSERT_EQ(ZEL_CAM_StartPic(0, 0, 0), 0);
    EXPECT_TRUE(log_.waitFor(
        "ERROR fx3UvcVid::deliveryThread: thread ended by an exception: thrown by the frame "
        "callback"));

    ASSERT_EQ(ZEL_CAM_StatusCallback(0, &throwingStatusCallback, nullptr), 0);
    cameras().camera(1)->unplug();  // a count change to report
    EXPECT_TRUE(log_.waitFor(
        "ERROR deviceWatcher: thread ended by an exception: thrown by the status callback"));
    // Stop, Close and Destroy (in TearDown) join what is left.
    EXPECT_EQ(ZEL_CAM_Stop(0), 0);
    EXPECT_EQ(ZEL_CAM_Close(0), 0);
}

}  // namespace
