#include "libraryBinding.h"

#include <dlfcn.h>

libraryBinding::~libraryBinding() {
    unload();
}

bool libraryBinding::load(const std::string& fileName) {
    unload();
    dlerror();
    handle_ = dlopen(fileName.empty() ? nullptr : fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        error_ = reason != nullptr ? reason : "unknown loader error";
        return false;
    }
    error_.clear();
    api_.bind([this](const char* name) { return dlsym(handle_, name); });
    return true;
}

void libraryBinding::unload() {
    api_.clear();
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}
