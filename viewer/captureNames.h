#pragma once

#include <QString>

#include <ctime>

// File names of captures: directory + "/" + prefix + local time + extension, the time formatted
// "%Y.%m.%d-%H.%M.%S". A name already taken (two captures within one second) gets "-1", "-2", …
// before the extension, so that no capture ever overwrites another.
class captureNames {
  public:
    static QString timeStamp(std::time_t when);
    // A name in `directory` that no file has yet.
    static QString freeName(const QString& directory, const QString& prefix,
                            const QString& extension, std::time_t when);
};
