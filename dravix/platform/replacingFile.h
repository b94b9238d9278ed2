#pragma once

#include <cstddef>
#include <string>

namespace dravix::platform {

// Writes a file that replaces its target only once it is complete: the bytes go to a temporary
// file in the target's directory, which commit() syncs and renames over the target. Until then
// the target (if any) stays as it was, and a writer that does not commit leaves no file behind.
// A target that is a symbolic link is replaced where the link points. The new file gets the mode
// of the file it replaces, or 0666 less the umask.
class replacingFile {
  public:
    explicit replacingFile(std::string target);
    replacingFile(const replacingFile&) = delete;
    replacingFile& operator=(const replacingFile&) = delete;
    // Removes the temporary file unless it was committed.
    ~replacingFile();

    // Creates the temporary file. 0, or a negative errno value.
    int create();
    // Writes all of `bytes`; false when any part could not be written.
    bool write(const void* bytes, std::size_t size);
    // Syncs, closes and renames the temporary file over the target; false (and the temporary
    // file removed) when any of these fails.
    bool commit();

  private:
    void discard();

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
};

}  // namespace dravix::platform
