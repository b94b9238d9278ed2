/*
 * cameraClient: a small client of an installed dravix. Lists the cameras, opens the first,
 * receives frames through the frame callback, stops, closes and prints what it saw.
 *
 * usage: cameraClient [FRAMES]   (default 10)
 * Exit status 0 when every call succeeded and the frames arrived, 1 otherwise, 2 for bad usage.
 */
/* clock_gettime and the POSIX threads of a strict C11 build. */
#define _POSIX_C_SOURCE 200809L

#include <dravix/dravix.h>
#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

/* The cameras: video devices whose name begins with kMatchName, USB ids of their HID side. */
static const char kMatchName[] = "dravixUVC";
enum { kVendorId = 0x20F1, kProductId = 0x0107 };
/* How long the client waits for its frames before it gives up. */
enum { kFrameTimeoutSeconds = 20 };

typedef struct FrameTally {
    pthread_mutex_t lock;
    pthread_cond_t arrived;
    long frames;
    long wanted;
    int32_t length;
} FrameTally;

static int onFrame(uint8_t* frame, int32_t length, void* user) {
    FrameTally* tally = (FrameTally*)user;
    (void)frame;
    pthread_mutex_lock(&tally->lock);
    tally->frames++;
    tally->length = length;
    if (tally->frames >= tally->wanted) {
        pthread_cond_signal(&tally->arrived);
    }
    pthread_mutex_unlock(&tally->lock);
    return 0;
}

/* Reports a failed call; returns whether it succeeded. */
static int succeeded(const char* call, int32_t result) {
    if (result != 0) {
        fprintf(stderr, "cameraClient: %s failed with %d\n", call, (int)result);
    }
    return result == 0;
}

/* Waits until the callback has counted the wanted frames or the time is up. */
static int waitForFrames(FrameTally* tally) {
    struct timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += kFrameTimeoutSeconds;
    int status = 0;
    pthread_mutex_lock(&tally->lock);
    while (tally->frames < tally->wanted && status != ETIMEDOUT) {
        status = pthread_cond_timedwait(&tally->arrived, &tally->lock, &deadline);
    }
    int complete = tally->frames >= tally->wanted;
    pthread_mutex_unlock(&tally->lock);
    if (!complete) {
        fprintf(stderr, "cameraClient: no %ld frames within %d s\n", tally->wanted,
                kFrameTimeoutSeconds);
    }
    return complete;
}

/* Streams from the opened camera until the wanted frames arrived, then stops. */
static int streamFrames(int32_t index, FrameTally* tally) {
    if (!succeeded("ZEL_CAM_FrameCallback", ZEL_CAM_FrameCallback(index, onFrame, tally)) ||
        !succeeded("ZEL_CAM_StartPic", ZEL_CAM_StartPic(index, 0, 0))) {
        return 0;
    }
    int complete = waitForFrames(tally);
    return succeeded("ZEL_CAM_Stop", ZEL_CAM_Stop(index)) && complete;
}

/* Prints what the callback counted; locked, since a stop that failed may leave it running. */
static void printTally(int32_t index, FrameTally* tally, uint32_t missed) {
    pthread_mutex_lock(&tally->lock);
    printf("camera %d: %ld frames of %d bytes received, %u missed\n", (int)index, tally->frames,
           (int)tally->length, (unsigned)missed);
    pthread_mutex_unlock(&tally->lock);
}

int main(int argc, char** argv) {
    char version[64] = "";
    int32_t index = 0;
    uint8_t count = 0;
    uint32_t shown = 0;
    uint32_t missed = 0;
    uint32_t frameLength = 0;
    FrameTally tally = {PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER, 0, 10, 0};
    if (argc > 1) {
        tally.wanted = strtol(argv[1], NULL, 10);
    }
    if (tally.wanted < 1) {
        fprintf(stderr, "usage: cameraClient [FRAMES]   (FRAMES at least 1)\n");
        return 2;
    }

    /* The version call returns the number of characters it wrote, 1 only when it failed. */
    int ok = ZEL_CAM_GetApiVersion(version) > 1 &&
             succeeded("ZEL_CAM_InitName",
                       ZEL_CAM_InitName(0, &index, &count, kMatchName, kVendorId, kProductId));
    if (ok) {
        printf("dravix %s: %u camera(s)\n", version, (unsigned)count);
        if (count == 0) {
            fprintf(stderr, "cameraClient: no camera found\n");
        }
        ok = count > 0 && succeeded("ZEL_CAM_Open", ZEL_CAM_Open(index));
    }
    if (ok) {
        ok = streamFrames(index, &tally) &&
             succeeded("ZEL_CAM_GetFrameCounters",
                       ZEL_CAM_GetFrameCounters(index, &shown, &missed, &frameLength));
        ok = succeeded("ZEL_CAM_Close", ZEL_CAM_Close(index)) && ok;
    }
    printTally(index, &tally, missed);
    ZEL_CAM_Destroy((uint8_t)index);
    return ok ? 0 : 1;
}
