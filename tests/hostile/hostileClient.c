/*
 * A hostile client of libdravix.so.2: loads the library with dlopen and calls every export from
 * one table generated from the public header, with null and bad pointers, camera indices that
 * do not exist, extreme numbers and sizes, empty, huge, unterminated and format-like strings,
 * before any Init, after Destroy and next to a streaming emulated camera, and unloads the library
 * while a camera streams. Whatever the library does with such calls, it must not crash, hang,
 * leak or touch memory it does not own; the sanitizer builds run it too.
 *
 * usage: hostileClient LIBRARY [--threads]
 *   --threads  instead: a few threads call every export that takes a camera index while the
 *              main thread starts, rescales and stops the stream.
 * Exit status 0 when every phase ran to its end.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <float.h>
#include <ftw.h>
#include <limits.h>
#include <math.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include "dravix/dravix.h"

/* ---- Hostile values ---------------------------------------------------------------------- */

/* One set of arguments for a call: the camera index, whether pointers point somewhere, whether
 * callbacks are real functions, and which of the value lists below the other arguments take. */
typedef struct hostileRound {
    int32_t index;
    int buffers;
    int callbacks;
    int variant;
    uint8_t* scratch; /* kRegions regions of the calling thread's own */
} hostileRound;

static const int32_t kIndices[] = {0, 1, -1, 10, 255, 1000, INT32_MIN};
enum { kVariants = 6 };

static const int64_t kNumbers[] = {0,     1,     -1,        4,         255,        256,  8192,
                                   65535, 65536, INT32_MAX, INT32_MIN, UINT32_MAX, 16384};

/* Each parameter position gets its own region of the scratch memory, so no two arguments of a
 * call overlap. Sizes that describe a buffer stay within a region when pointers are given. */
enum { kRegionSize = 128 * 1024, kRegions = 8, kLargestBufferSize = 65535 };
static uint8_t* gScratch;

static const char* gTexts[kVariants];
static char* gGuardedText;

static atomic_int gFrameCalls;
static atomic_int gStatusCalls;
static atomic_int gLogCalls;
static atomic_int gWbCalls;

static int64_t hostileNumber(const hostileRound* round, int position) {
    const size_t count = sizeof kNumbers / sizeof kNumbers[0];
    return kNumbers[(size_t)(round->variant * 5 + position * 3) % count];
}

static int64_t hostile_NUMBER(const hostileRound* round, int position) {
    return hostileNumber(round, position);
}

static int64_t hostile_SIZE(const hostileRound* round, int position) {
    const int64_t size = hostileNumber(round, position);
    if (round->buffers && (size < 0 || size > kLargestBufferSize)) {
        return kLargestBufferSize;
    }
    return size;
}

static int64_t hostile_INDEX(const hostileRound* round, int position) {
    (void)position;
    return round->index;
}

static float hostile_REAL(const hostileRound* round, int position) {
    const float reals[] = {0.0f, -1.0f, NAN, INFINITY, 1e30f, FLT_MIN, 2.0f, -INFINITY};
    return reals[(size_t)(round->variant + position) % (sizeof reals / sizeof reals[0])];
}

static void* hostile_BUFFER(const hostileRound* round, int position) {
    return round->buffers ? round->scratch + (size_t)position * kRegionSize : NULL;
}

static const char* hostile_TEXT(const hostileRound* round, int position) {
    (void)position;
    return round->buffers ? gTexts[round->variant] : NULL;
}

/* ---- Callbacks: real functions that count, some of them calling back into the library ------- */

typedef int32_t (*frameCountersFn)(int32_t, uint32_t*, uint32_t*, uint32_t*);
typedef uint32_t (*errorCountFn)(void);
static frameCountersFn gGetFrameCounters;
static errorCountFn gGetLogTotalErrorCnt;

static int onFrame(uint8_t* frame, int32_t length, void* user) {
    (void)user;
    atomic_fetch_add(&gFrameCalls, 1);
    if (frame != NULL && length > 0) {
        /* The whole frame is readable during the call. */
        volatile uint8_t ends = (uint8_t)(frame[0] ^ frame[length - 1]);
        (void)ends;
    }
    uint32_t shown = 0, missed = 0, length32 = 0;
    gGetFrameCounters(0, &shown, &missed, &length32);
    return 0;
}

static int onStatus(DeviceStatus* status, void* user) {
    (void)user;
    atomic_fetch_add(&gStatusCalls, 1);
    volatile uint32_t count = status != NULL ? status->cameraCount : 0;
    (void)count;
    (void)gGetLogTotalErrorCnt();
    return 0;
}

static int onLog(int64_t time, const uint8_t* level, const char* text, void* user) {
    (void)time;
    (void)user;
    atomic_fetch_add(&gLogCalls, 1);
    volatile size_t length = text != NULL ? strlen(text) : 0;
    volatile uint8_t bits = level != NULL ? *level : 0;
    (void)length;
    (void)bits;
    return 0;
}

static int onWbPush(void* user) {
    (void)user;
    atomic_fetch_add(&gWbCalls, 1);
    return 0;
}

static FrameCallback hostile_FrameCallback(const hostileRound* round, int position) {
    (void)position;
    return round->callbacks ? onFrame : NULL;
}

static StatusCallback hostile_StatusCallback(const hostileRound* round, int position) {
    (void)position;
    return round->callbacks ? onStatus : NULL;
}

static LogCallback hostile_LogCallback(const hostileRound* round, int position) {
    (void)position;
    return round->callbacks ? onLog : NULL;
}

static WbPushCallback hostile_WbPushCallback(const hostileRound* round, int position) {
    (void)position;
    return round->callbacks ? onWbPush : NULL;
}

static void* hostile_USER(const hostileRound* round, int position) {
    (void)position;
    return round->callbacks ? (void*)&gFrameCalls : NULL;
}

/* ---- The table of exports ------------------------------------------------------------------ */

typedef void (*exportCaller)(void* function, const hostileRound* round);

typedef struct hostileExport {
    const char* name;
    exportCaller call;
    int takesIndex;
} hostileExport;

#define HOSTILE_ARG(kind, type, position) ((type)hostile_##kind(round, position))
#define HOSTILE_EXPORT(result, name, types, arguments)                   \
    static void call_##name(void* function, const hostileRound* round) { \
        (void)round;                                                     \
        result(*typed) types = (result(*) types)function;                \
        typed arguments;                                                 \
    }
#include "hostileExports.h"
#undef HOSTILE_EXPORT

/* takesIndex is filled in by resolveExports, from the argument texts below. */
#define HOSTILE_EXPORT(result, name, types, arguments) {#name, call_##name, 0},
static hostileExport gExports[] = {
#include "hostileExports.h"
};
#undef HOSTILE_EXPORT

#define HOSTILE_EXPORT(result, name, types, arguments) #arguments,
static const char* const kArgumentTexts[] = {
#include "hostileExports.h"
};
#undef HOSTILE_EXPORT

enum { kExportCount = sizeof gExports / sizeof gExports[0] };
_Static_assert(kExportCount == HOSTILE_EXPORT_COUNT, "one table entry per export");
_Static_assert(kExportCount == 160, "the library exports 160 functions");

static void* gLibrary;
static void* gFunctions[kExportCount];

/* Exports that end, replace or restart the stream: after one of them the stream is set up
 * again, so that the following calls still meet a streaming camera. */
static const char* const kStreamChangers[] = {
    "ZEL_CAM_Init",  "ZEL_CAM_InitName", "ZEL_CAM_Destroy", "ZEL_CAM_Open",         "ZEL_CAM_Close",
    "ZEL_CAM_Start", "ZEL_CAM_StartPic", "ZEL_CAM_Stop",    "ZEL_CAM_FrameCallback"};

static int isStreamChanger(const char* name) {
    for (size_t i = 0; i < sizeof kStreamChangers / sizeof kStreamChangers[0]; ++i) {
        if (strcmp(name, kStreamChangers[i]) == 0) {
            return 1;
        }
    }
    return 0;
}

/* Whether a call may have ended or replaced the stream of camera 0. Init and InitName may
 * take slot 0 from the index they were given; Destroy takes its index as a byte. */
static int mayHaveChangedStream(const hostileExport* entry, const hostileRound* round) {
    if (!isStreamChanger(entry->name)) {
        return 0;
    }
    return !entry->takesIndex || strcmp(entry->name, "ZEL_CAM_Destroy") == 0 || round->index == 0;
}

/* Exports that create a camera (Open runs Init on an empty slot): left out where no camera may
 * exist yet. */
static int createsCamera(const char* name) {
    return strcmp(name, "ZEL_CAM_Init") == 0 || strcmp(name, "ZEL_CAM_InitName") == 0 ||
           strcmp(name, "ZEL_CAM_Open") == 0;
}

static void* function(const char* name) {
    for (int i = 0; i < kExportCount; ++i) {
        if (strcmp(gExports[i].name, name) == 0) {
            return gFunctions[i];
        }
    }
    fprintf(stderr, "no export %s in the table\n", name);
    exit(2);
}

static int resolveExports(const char* path) {
    gLibrary = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (gLibrary == NULL) {
        fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 0;
    }
    for (int i = 0; i < kExportCount; ++i) {
        gFunctions[i] = dlsym(gLibrary, gExports[i].name);
        if (gFunctions[i] == NULL) {
            fprintf(stderr, "%s is not exported\n", gExports[i].name);
            return 0;
        }
        gExports[i].takesIndex = strstr(kArgumentTexts[i], "HOSTILE_ARG(INDEX") != NULL;
    }
    gGetFrameCounters = (frameCountersFn)function("ZEL_CAM_GetFrameCounters");
    gGetLogTotalErrorCnt = (errorCountFn)function("ZEL_CAM_getLogTotalErrorCnt");
    return 1;
}

/* ---- The streaming camera ------------------------------------------------------------------ */

/* Waits until the frame callback ran once more than `before` times; 0 when it did. The limit
 * only ends a run whose stream never delivers. */
static int waitForFrameAfter(int before) {
    const struct timespec pause = {0, 2 * 1000 * 1000};
    for (int waited = 0; waited < 5000; waited += 2) {
        if (atomic_load(&gFrameCalls) > before) {
            return 0;
        }
        nanosleep(&pause, NULL);
    }
    fprintf(stderr, "no frame reached the frame callback\n");
    return 1;
}

static void destroyEverything(void) {
    int32_t (*destroy)(uint8_t) = (int32_t(*)(uint8_t))function("ZEL_CAM_Destroy");
    for (uint8_t index = 0; index < 10; ++index) {
        destroy(index);
    }
}

/* Camera 0 on the emulated camera, open and streaming to onFrame, in a fresh library session
 * (a device once opened keeps its slot until every camera is destroyed). 0 when it streams. */
static int startStreaming(void) {
    int32_t (*init)(int32_t, int32_t*, uint8_t*) =
        (int32_t(*)(int32_t, int32_t*, uint8_t*))function("ZEL_CAM_Init");
    int32_t (*open)(int32_t) = (int32_t(*)(int32_t))function("ZEL_CAM_Open");
    int32_t (*frameCallback)(int32_t, FrameCallback, void*) =
        (int32_t(*)(int32_t, FrameCallback, void*))function("ZEL_CAM_FrameCallback");
    int32_t (*statusCallback)(int32_t, StatusCallback, void*) =
        (int32_t(*)(int32_t, StatusCallback, void*))function("ZEL_CAM_StatusCallback");
    int32_t (*startPic)(int32_t, int32_t, int32_t) =
        (int32_t(*)(int32_t, int32_t, int32_t))function("ZEL_CAM_StartPic");
    void (*setLogState)(int32_t, int32_t) =
        (void (*)(int32_t, int32_t))function("ZEL_CAM_setLogState");

    destroyEverything();
    int32_t index = 0;
    uint8_t count = 0;
    if (init(0, &index, &count) != 0 || index != 0) {
        fprintf(stderr, "Init found no camera for slot 0 (slot %d)\n", index);
        return 1;
    }
    setLogState(1, 1);
    if (open(0) != 0) {
        fprintf(stderr, "Open(0) failed\n");
        return 1;
    }
    frameCallback(0, onFrame, NULL);
    statusCallback(0, onStatus, NULL);
    return startPic(0, 0, 0) == 0 ? 0 : 1;
}

/* ---- Sweeps -------------------------------------------------------------------------------- */

enum sweepMode { withoutCameras, nextToStream };

static atomic_long gCalls;

static int sweep(enum sweepMode mode) {
    for (int i = 0; i < kExportCount; ++i) {
        const hostileExport* entry = &gExports[i];
        if (mode == withoutCameras && createsCamera(entry->name)) {
            continue;
        }
        for (size_t k = 0; k < sizeof kIndices / sizeof kIndices[0]; ++k) {
            for (int variant = 0; variant < kVariants; ++variant) {
                const hostileRound round = {kIndices[k], variant != 0, variant % 2 == 1, variant,
                                            gScratch};
                entry->call(gFunctions[i], &round);
                ++gCalls;
                if (mode == nextToStream && mayHaveChangedStream(entry, &round) &&
                    startStreaming() != 0) {
                    fprintf(stderr, "the stream did not come back after %s\n", entry->name);
                    return 1;
                }
            }
            if (!entry->takesIndex) {
                break; /* the other rounds would repeat these calls */
            }
        }
    }
    return 0;
}

/* ---- Threads next to a stream ------------------------------------------------------------- */

enum { kCallerThreads = 4 };
static atomic_int gStopThreads;

static void* callIndexedExports(void* seed) {
    const int offset = (int)(intptr_t)seed;
    uint8_t* const scratch = calloc(kRegions, kRegionSize);
    if (scratch == NULL) {
        return NULL;
    }
    for (int pass = 0; !atomic_load(&gStopThreads); ++pass) {
        for (int i = 0; i < kExportCount; ++i) {
            const hostileExport* entry = &gExports[(i + offset * 37) % kExportCount];
            if (!entry->takesIndex || isStreamChanger(entry->name)) {
                continue;
            }
            const hostileRound round = {(offset + pass) % 2, 1, 1, (offset + i) % kVariants,
                                        scratch};
            entry->call(gFunctions[(i + offset * 37) % kExportCount], &round);
            atomic_fetch_add(&gCalls, 1);
        }
    }
    free(scratch);
    return NULL;
}

static int runThreads(void) {
    int32_t (*stop)(int32_t) = (int32_t(*)(int32_t))function("ZEL_CAM_Stop");
    int32_t (*startPic)(int32_t, int32_t, int32_t) =
        (int32_t(*)(int32_t, int32_t, int32_t))function("ZEL_CAM_StartPic");
    int32_t (*setVideoScale)(int32_t, int32_t, int32_t, float) =
        (int32_t(*)(int32_t, int32_t, int32_t, float))function("ZEL_CAM_SetVideoScale");
    if (startStreaming() != 0) {
        return 1;
    }
    pthread_t threads[kCallerThreads];
    for (int t = 0; t < kCallerThreads; ++t) {
        if (pthread_create(&threads[t], NULL, callIndexedExports, (void*)(intptr_t)t) != 0) {
            return 1;
        }
    }
    int failed = 0;
    for (int cycle = 0; cycle < 20 && !failed; ++cycle) {
        setVideoScale(0, 64 * (cycle % 4), 48, 0.5f);
        stop(0);
        const int before = atomic_load(&gFrameCalls);
        startPic(0, 0, 0);
        failed = waitForFrameAfter(before);
    }
    atomic_store(&gStopThreads, 1);
    for (int t = 0; t < kCallerThreads; ++t) {
        pthread_join(threads[t], NULL);
    }
    return failed;
}

/* ---- Set-up -------------------------------------------------------------------------------- */

/* A text without a terminator whose last byte is the last readable one: the next page is
 * inaccessible. As long as the longest path the library takes. */
static char* makeGuardedText(size_t length) {
    const size_t page = (size_t)sysconf(_SC_PAGESIZE);
    const size_t size = (length / page + 2) * page;
    char* memory = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED || mprotect(memory + size - page, page, PROT_NONE) != 0) {
        return NULL;
    }
    char* text = memory + size - page - length;
    memset(text, 'u', length);
    return text;
}

static char gHome[] = "/tmp/dravix-hostile-XXXXXX";

static int removeEntry(const char* path, const struct stat* status, int type, struct FTW* where) {
    (void)status;
    (void)type;
    (void)where;
    remove(path);
    return 0;
}

static int setUp(void) {
    char* const home = gHome;
    if (mkdtemp(home) == NULL || chdir(home) != 0) {
        perror("temporary directory");
        return 0;
    }
    /* Files the library writes for relative names land here; its log and settings too. */
    setenv("HOME", home, 1);
    setenv("XDG_CONFIG_HOME", home, 1);
    setenv("DRAVIX_CAMEMU", "1", 1);
    setenv("DRAVIX_CAMEMU_FORMAT", "160x120@60", 1);

    gScratch = calloc(kRegions, kRegionSize);
    static char longText[64 * 1024];
    memset(longText, 'L', sizeof longText - 1);
    gGuardedText = makeGuardedText(PATH_MAX);
    if (gScratch == NULL || gGuardedText == NULL) {
        return 0;
    }
    gTexts[0] = NULL;
    gTexts[1] = "";
    gTexts[2] = longText;
    gTexts[3] = gGuardedText;
    gTexts[4] = "%s%s%n%n%x%x";
    gTexts[5] = "/nonexistent-directory/hostile";
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s LIBRARY [--threads]\n", argv[0]);
        return 2;
    }
    const int threaded = argc > 2 && strcmp(argv[2], "--threads") == 0;
    char library[PATH_MAX];
    if (realpath(argv[1], library) == NULL) {
        perror(argv[1]);
        return 1;
    }
    if (!setUp() || !resolveExports(library)) {
        return 1;
    }
    int failed = 0;
    if (threaded) {
        failed = runThreads();
    } else {
        failed = sweep(withoutCameras); /* before any Init */
        failed = failed || startStreaming();
        destroyEverything();
        failed = failed || sweep(withoutCameras); /* after Destroy */
        failed = failed || startStreaming() || sweep(nextToStream);
        for (int cycle = 0; cycle < 20 && !failed; ++cycle) {
            failed = startStreaming();
            destroyEverything();
        }
        const int before = atomic_load(&gFrameCalls);
        failed = failed || startStreaming() || waitForFrameAfter(before);
    }
    /* Unloaded while the camera streams: the library ends its threads itself. */
    if (dlclose(gLibrary) != 0) {
        fprintf(stderr, "dlclose: %s\n", dlerror());
        failed = 1;
    }
    printf("%ld calls; callbacks: %d frame, %d status, %d log, %d white balance\n",
           atomic_load(&gCalls), atomic_load(&gFrameCalls), atomic_load(&gStatusCalls),
           atomic_load(&gLogCalls), atomic_load(&gWbCalls));
    free(gScratch);
    nftw(gHome, removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    return failed;
}
