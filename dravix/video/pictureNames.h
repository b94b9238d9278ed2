#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace dravix {

// The names of saved pictures: the client's path split into its directory and base name, the
// base name extended by the name mode's fields, and the limits of Linux paths.
class pictureNames {
  public:
    static constexpr int32_t kLastNameMode = 7;

    // A client's path taken apart: the directory with its trailing '/' (empty for the current
    // directory) and the file name without its extension (the part from its last '.' on).
    struct parts {
        std::string directory;
        std::string base;
    };
    static parts split(const std::string& path);

    // The directory of `parts` as one to create or test: no trailing '/', except for "/" itself;
    // empty for the current directory.
    static std::string directoryToMake(const parts& path);

    // `base` extended with the fields of `nameMode` (0..7) from the local time `local` and
    // `counter`: mode 0 "base", 1 "base_NNN", 2 "base_YYMMDD", 3 "base_YYMMDD_NNN", 4
    // "base_HHMMSS", 5 "base_HHMMSS_NN", 6 "base_YYMMDD_HHMMSS", 7 "base_YYMMDD_HHMMSS_NN". Empty
    // for other modes.
    static std::string baseName(int32_t nameMode, const std::string& base, const std::tm& local,
                                int counter);

    // directory + base + suffix + "." + extension.
    static std::string join(const parts& path, const std::string& suffix,
                            const std::string& extension);

    // True when the file name of `path` fits a directory entry and `path` fits the system's
    // path limit; a name is never cut to fit.
    static bool fitsLimits(const std::string& path);
};

}  // namespace dravix
