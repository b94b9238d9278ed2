/*
 * dravixinfo: loads the dravix library at run time and prints its API version and build.
 *
 * usage: dravixinfo [LIBRARY]   (default: libdravix.so.2, found through the usual search path)
 * Exit status 0 on success, 1 when the library cannot be loaded or lacks a function.
 */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "dravix/dravix.h"

typedef __typeof__(&ZEL_CAM_GetApiVersion) GetApiVersionFn;
typedef __typeof__(&ZEL_CAM_GetApiBuild) GetApiBuildFn;
typedef __typeof__(&ZEL_CAM_Destroy) DestroyFn;

/* The library writes at most this many characters, including the terminating NUL. */
enum { kTextSize = 64 };

static void* bindFunction(void* library, const char* libraryName, const char* name) {
    dlerror();
    void* function = dlsym(library, name);
    if (function == NULL) {
        const char* reason = dlerror();
        fprintf(stderr, "dravixinfo: %s does not provide %s: %s\n", libraryName, name,
                reason != NULL ? reason : "null symbol");
    }
    return function;
}

int main(int argc, char** argv) {
    const char* libraryName = argc > 1 ? argv[1] : "libdravix.so.2";
    void* library = dlopen(libraryName, RTLD_NOW);
    if (library == NULL) {
        fprintf(stderr, "dravixinfo: cannot load %s: %s\n", libraryName, dlerror());
        return 1;
    }

    GetApiVersionFn getApiVersion =
        (GetApiVersionFn)bindFunction(library, libraryName, "ZEL_CAM_GetApiVersion");
    GetApiBuildFn getApiBuild =
        (GetApiBuildFn)bindFunction(library, libraryName, "ZEL_CAM_GetApiBuild");
    DestroyFn destroy = (DestroyFn)bindFunction(library, libraryName, "ZEL_CAM_Destroy");
    if (getApiVersion == NULL || getApiBuild == NULL || destroy == NULL) {
        dlclose(library);
        return 1;
    }

    char version[kTextSize];
    char build[kTextSize];
    memset(version, 0, sizeof version);
    memset(build, 0, sizeof build);
    getApiVersion(version);
    getApiBuild(build);
    version[kTextSize - 1] = '\0';
    build[kTextSize - 1] = '\0';
    printf("dravix API %s (build %s)\n", version, build);

    /* Ends the library's log session so that its threads are gone before the library is. */
    destroy(0);
    dlclose(library);
    return 0;
}
