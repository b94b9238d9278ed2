#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The few file operations the library's own files need, behind an interface so that tests can
// make any of them fail (a full disk, a removed medium). Failures are positive errno values.
namespace dravix::platform {

// A file created for writing. Owned by one thread at a time.
class writableFile {
  public:
    // Closes the file if close() was not called; its result is then lost.
    virtual ~writableFile() = default;
    // Writes all `length` bytes. 0 or errno.
    virtual int write(const uint8_t* data, std::size_t length) = 0;
    // Closes the file; where the medium reports a delayed write error, this is where it shows.
    // 0 or errno.
    virtual int close() = 0;
};

class fileSystem {
  public:
    virtual ~fileSystem() = default;

    // Creates a new file at `path`, never opening one that exists (EEXIST), never following a
    // link there. Null with `error` set when that fails.
    virtual std::unique_ptr<writableFile> createExclusive(const std::string& path, int& error) = 0;
    virtual bool isDirectory(const std::string& path) = 0;
    // Creates one directory level. 0 or errno.
    virtual int makeDirectory(const std::string& path) = 0;
    // 0 or errno.
    virtual int remove(const std::string& path) = 0;

    // The machine's own file system.
    static fileSystem& system();
};

}  // namespace dravix::platform
