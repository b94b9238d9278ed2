#include "captureNames.h"

#include <QFileInfo>

namespace {

// Two digits per suffix field: "_99" followed by a further field sorts after every shorter
// suffix and after "_99" itself, so the byte order of the names never breaks.
constexpr int kLargestField = 99;

}  // namespace

QString captureNames::timeStamp(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[80];
    const std::size_t length = std::strftime(text, sizeof(text), "%Y.%m.%d-%H.%M.%S", &local);
    return QString::fromLatin1(text, static_cast<int>(length));
}

QString captureNames::suffix(int taken) {
    QString text;
    for (; taken > kLargestField; taken -= kLargestField) {
        text += QStringLiteral("_%1").arg(kLargestField);
    }
    return text + QStringLiteral("_%1").arg(taken, 2, 10, QLatin1Char('0'));
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
