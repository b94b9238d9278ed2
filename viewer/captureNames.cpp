#include "captureNames.h"

#include <QFileInfo>

#include "video/takenNameSuffix.h"

QString captureNames::timeStamp(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[80];
    const std::size_t length = std::strftime(text, sizeof(text), "%Y.%m.%d-%H.%M.%S", &local);
    return QString::fromLatin1(text, static_cast<int>(length));
}

QString captureNames::suffix(int taken) {
    return QString::fromStdString(dravix::takenNameSuffix(taken));
}

QString captureNames::freeName(const QString& directory, const QString& prefix,
                               const QString& extension, std::time_t when) {
    const QString stem = directory + "/" + prefix + timeStamp(when);
    QString name = stem + extension;
    for (int taken = 1; QFileInfo::exists(name); ++taken) {
        name = stem + suffix(taken) + extension;
    }
    return name;
}
