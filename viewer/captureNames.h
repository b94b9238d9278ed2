#pragma once

#include <QString>

#include <ctime>

// File names of captures: directory + "/" + prefix + local time + extension, the time formatted
// "%Y.%m.%d-%H.%M.%S". A name already taken (several captures within one second) gets a suffix
// before the extension, so that no capture ever overwrites another. Suffixes keep a plain
// byte-wise sort of the names in the order the captures were taken: "_01" to "_99" (after the
// plain name, since '_' sorts after '.'), then "_99_01" to "_99_99", "_99_99_01" and so on.
class captureNames {
  public:
    static QString timeStamp(std::time_t when);
    // The suffix of the `taken`-th name already taken (1 for the first): "_01", …, "_99",
    // "_99_01", ….
    static QString suffix(int taken);
    // A name in `directory` that no file has yet.
    static QString freeName(const QString& directory, const QString& prefix,
                            const QString& extension, std::time_t when);
};
