#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "log/logger.h"

namespace dravix::test {

// A logger of its own for a test, writing every message to a file in a fresh temporary
// directory, so that a test can read back exactly what the code under test logged.
class fileLog {
  public:
    explicit fileLog(const char* prefix) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary directory");
        }
        directory_ = pattern;
        log_.open((directory_ / "dravix.log").string(), true, true);
    }
    ~fileLog() {
        log_.close();
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    fileLog(const fileLog&) = delete;
    fileLog& operator=(const fileLog&) = delete;

    logger& log() { return log_; }

    // The message texts logged so far. Ends the log session: whatever logs through it must be
    // gone first, and it is called once, at the end of a test.
    std::vector<std::string> messages() {
        log_.close();
        std::ifstream file(directory_ / "dravix.log");
        std::vector<std::string> texts;
        for (std::string line; std::getline(file, line);) {
            texts.push_back(line.substr(line.find("\t\t") + 2));
        }
        return texts;
    }

  private:
    std::filesystem::path directory_;
    logger log_;
};

}  // namespace dravix::test
