#pragma once

#include "platform/fileSystem.h"

namespace dravix::platform {

// An open file descriptor, written with write(2) and closed with close(2).
class posixFile : public writableFile {
  public:
    explicit posixFile(int descriptor) : descriptor_(descriptor) {}
    ~posixFile() override;
    posixFile(const posixFile&) = delete;
    posixFile& operator=(const posixFile&) = delete;

    int write(const uint8_t* data, std::size_t length) override;
    int close() override;

  private:
    int descriptor_;
};

}  // namespace dravix::platform
