// A stand-in for the camera library with only the entry points the viewer calls. It records every
// call and fails the ones a test names, so that the viewer's shutdown order can be checked.
// Built once complete and once without ZEL_CAM_StartPic (FAKE_DRAVIX_WITHOUT_STARTPIC).
#include <cstring>
#include <mutex>
#include <string>

#include "dravix/dravix.h"

namespace {

std::mutex callsMutex;
std::string calls;
std::string failing;

int32_t record(const char* name) {
    std::lock_guard<std::mutex> lock(callsMutex);
    calls += calls.empty() ? "" : ",";
    calls += name;
    return failing.find(std::string(",") + name + ",") != std::string::npos ? 1 : 0;
}

}  // namespace

extern "C" {

// Test control: the calls so far, comma-separated; which calls fail (a comma-separated list).
__attribute__((visibility("default"))) void fakeDravix_calls(char* text, int32_t size) {
    std::lock_guard<std::mutex> lock(callsMutex);
    std::strncpy(text, calls.c_str(), static_cast<std::size_t>(size) - 1);
    text[size - 1] = '\0';
}

__attribute__((visibility("default"))) void fakeDravix_reset(const char* failingCalls) {
    std::lock_guard<std::mutex> lock(callsMutex);
    calls.clear();
    failing = std::string(",") + failingCalls + ",";
}

int32_t ZEL_CAM_GetApiVersion(char* text) {
    std::strcpy(text, "fake 0.0.0");
    return record("GetApiVersion");
}

int32_t ZEL_CAM_InitName(int32_t, int32_t* index, uint8_t* count, const char*, uint16_t, uint16_t) {
    *index = 0;
    *count = 1;
    return record("InitName");
}

int32_t ZEL_CAM_Open(int32_t) {
    return record("Open");
}

int32_t ZEL_CAM_FrameCallback(int32_t, FrameCallback, void*) {
    return record("FrameCallback");
}

int32_t ZEL_CAM_StatusCallback(int32_t, StatusCallback, void*) {
    return record("StatusCallback");
}

#ifndef FAKE_DRAVIX_WITHOUT_STARTPIC
int32_t ZEL_CAM_StartPic(int32_t, int32_t, int32_t) {
    return record("StartPic");
}
#endif

int32_t ZEL_CAM_Stop(int32_t) {
    return record("Stop");
}

int32_t ZEL_CAM_Close(int32_t) {
    return record("Close");
}

int32_t ZEL_CAM_Destroy(uint8_t) {
    return record("Destroy");
}
}
