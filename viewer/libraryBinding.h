#pragma once

#include <string>

#include "camApi.h"

// The camera library loaded at run time: its handle and its entry points bound by name.
class libraryBinding {
  public:
    libraryBinding() = default;
    libraryBinding(const libraryBinding&) = delete;
    libraryBinding& operator=(const libraryBinding&) = delete;
    ~libraryBinding();

    // Loads `fileName` with the system's search path (the program's run path first) and binds
    // every entry point; a name the library lacks leaves its slot empty. An empty name binds the
    // entry points the program itself exports (a program that links the library statically).
    // False when the load failed; error() then says why.
    bool load(const std::string& fileName);
    // Empties every slot and unloads the library; nothing when none is loaded.
    void unload();
    bool loaded() const { return handle_ != nullptr; }
    // The loader's text for the last failed load; empty after a success.
    const std::string& error() const { return error_; }

    const CamApi& api() const { return api_; }

  private:
    void* handle_ = nullptr;
    CamApi api_;
    std::string error_;
};
