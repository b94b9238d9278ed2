#pragma once

#include "platform/fileSystem.h"

namespace dravix::platform {

// The file system through POSIX calls: files are created 0666 and directories 0777, both under
// the process's umask; descriptors are close-on-exec, because a host process may fork.
class posixFileSystem : public fileSystem {
  public:
    std::unique_ptr<writableFile> createExclusive(const std::string& path, int& error) override;
    bool isDirectory(const std::string& path) override;
    int makeDirectory(const std::string& path) override;
    int remove(const std::string& path) override;
};

}  // namespace dravix::platform
