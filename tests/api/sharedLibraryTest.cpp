// Loads the built shared library the way a client does (by file, at run time) and unloads it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "dravix/dravix.h"
#include "tempHome.h"

namespace {

namespace fs = std::filesystem;

std::size_t threadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : fs::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

// The log's threads run code of the library; unloading it without ZEL_CAM_Destroy must end them
// first, or they would run on unmapped memory. Under LeakSanitizer this also proves that a
// load/unload cycle leaves nothing allocated.
TEST(sharedLibrary, unloadingWithoutDestroyEndsTheLogThreads) {
    tempHome home;
    const std::size_t threadsBefore = threadCount();
    for (int cycle = 0; cycle < 2; ++cycle) {
        void* library = dlopen(DRAVIX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto getApiVersion = reinterpret_cast<decltype(&ZEL_CAM_GetApiVersion)>(
            dlsym(library, "ZEL_CAM_GetApiVersion"));
        ASSERT_NE(getApiVersion, nullptr);
        char version[20];
        EXPECT_EQ(getApiVersion(version), 5);
        EXPECT_STREQ(version, "2.2.0");
        EXPECT_GT(threadCount(), threadsBefore);

        ASSERT_EQ(dlclose(library), 0);
        EXPECT_EQ(threadCount(), threadsBefore) << "cycle " << cycle;
    }
}

// A cycle that opens an emulated camera also sets up the system's HID access (hidapi keeps
// process-wide state there); unloading must free that too, which LeakSanitizer checks.
TEST(sharedLibrary, unloadingAfterOpeningACameraLeavesNothingAllocated) {
    tempHome home;
    setenv("DRAVIX_CAMEMU", "1", 1);
    for (int cycle = 0; cycle < 2; ++cycle) {
        void* library = dlopen(DRAVIX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto init = reinterpret_cast<decltype(&ZEL_CAM_Init)>(dlsym(library, "ZEL_CAM_Init"));
        auto open = reinterpret_cast<decltype(&ZEL_CAM_Open)>(dlsym(library, "ZEL_CAM_Open"));
        ASSERT_NE(init, nullptr);
        ASSERT_NE(open, nullptr);
        int32_t index = 0;
        uint8_t count = 0;
        EXPECT_EQ(init(0, &index, &count), 0);
        EXPECT_EQ(open(index), 0);
        ASSERT_EQ(dlclose(library), 0) << "cycle " << cycle;
    }
    unsetenv("DRAVIX_CAMEMU");
}

// The DSP parameter exports work through the shared library against DRAVIX_CAMEMU.
TEST(sharedLibrary, dspParametersReachTheEmulatedCamera) {
    tempHome home;
    setenv("DRAVIX_CAMEMU", "1", 1);
    void* library = dlopen(DRAVIX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto bind = [library](const char* name) { return dlsym(library, name); };
    auto init = reinterpret_cast<decltype(&ZEL_CAM_Init)>(bind("ZEL_CAM_Init"));
    auto open = reinterpret_cast<decltype(&ZEL_CAM_Open)>(bind("ZEL_CAM_Open"));
    auto setOffset = reinterpret_cast<decltype(&ZEL_CAM_setOffset)>(bind("ZEL_CAM_setOffset"));
    auto getOffset = reinterpret_cast<decltype(&ZEL_CAM_getOffset)>(bind("ZEL_CAM_getOffset"));
    auto setTable = reinterpret_cast<decltype(&ZEL_CAM_setDpcTable)>(bind("ZEL_CAM_setDpcTable"));
    auto getTable = reinterpret_cast<decltype(&ZEL_CAM_getDpcTable)>(bind("ZEL_CAM_getDpcTable"));
    auto save = reinterpret_cast<decltype(&ZEL_CAM_SaveDspToEEp)>(bind("ZEL_CAM_SaveDspToEEp"));
    auto destroy = reinterpret_cast<decltype(&ZEL_CAM_Destroy)>(bind("ZEL_CAM_Destroy"));
    int32_t index = 0;
    uint8_t count = 0;
    ASSERT_EQ(init(0, &index, &count), 0);
    ASSERT_EQ(open(index), 0);
    int16_t offset = 0;
    EXPECT_EQ(setOffset(index, -5), 0);
    EXPECT_EQ(getOffset(index, &offset), 0);
    EXPECT_EQ(offset, -5);
    DpcEntry table[16] = {{0x123, 0x456}};
    DpcEntry back[16] = {};
    EXPECT_EQ(setTable(index, table), 0);
    EXPECT_EQ(getTable(index, back), 0);
    EXPECT_EQ(back[0].x, 0x123);
    EXPECT_EQ(back[0].y, 0x456);
    EXPECT_EQ(save(index), 0);
    EXPECT_EQ(destroy(static_cast<uint8_t>(index)), 0);
    ASSERT_EQ(dlclose(library), 0);
    unsetenv("DRAVIX_CAMEMU");
}

}  // namespace
