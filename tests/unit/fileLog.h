#pragma once

#include <stdlib.h>

#include <algorithm>
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
    // Each line of the log file without its time and level; continuation lines of a message
    // without their leading tabs.
    std::vector<std::string> messages() {
        log_.close();
        std::ifstream file(directory_ / "dravix.log");
        std::vector<std::string> texts;
        for (std::string line; std::getline(file, line);) {
            // A message's own line breaks continue it on lines without the prefix.
            const std::size_t prefix = line.find("\t\t");
            texts.push_back(prefix != std::string::npos
                                ? line.substr(prefix + 2)
                                : line.substr(std::min(line.find_first_not_of('\t'), line.size())));
        }
        return texts;
    }

  private:
    std::filesystem::path directory_;
    logger log_;
};

}  // namespace dravix::test
