#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

// A fresh temporary directory used as HOME and XDG_CONFIG_HOME while it lives, so that the
// library's log file and configuration never touch the real home directory.
class tempHome {
  public:
    tempHome() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "dravix-api-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary directory");
        }
        path_ = pattern;
        setenv("HOME", path_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", configHome().c_str(), 1);
    }
    ~tempHome() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    tempHome(const tempHome&) = delete;
    tempHome& operator=(const tempHome&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path configHome() const { return path_ / "config"; }

  private:
    std::filesystem::path path_;
};
