#include "platform/linux/posixFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/posixFile.h"

namespace dravix::platform {

fileSystem& fileSystem::system() {
    static posixFileSystem files;
    return files;
}

// O_EXCL also refuses a symbolic link at the path, wherever it points.
std::unique_ptr<writableFile> posixFileSystem::createExclusive(const std::string& path,
                                                               int& error) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::make_unique<posixFile>(descriptor);
}

bool posixFileSystem::isDirectory(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

int posixFileSystem::makeDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}

int posixFileSystem::remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

}  // namespace dravix::platform
