#include "camApi.h"

const char* const* CamApi::names() {
#define KYRVIEWER_CAM_API_NAME(name) #name,
    static const char* const kNames[kEntryCount] = {KYRVIEWER_CAM_API(KYRVIEWER_CAM_API_NAME)};
#undef KYRVIEWER_CAM_API_NAME
    return kNames;
}
