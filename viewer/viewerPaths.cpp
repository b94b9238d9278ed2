#include "viewerPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString viewerPaths::dataDirectory() {
    const QString configured = qEnvironmentVariable("KYRVIEWER_DATA_DIR");
    if (!configured.isEmpty()) {
        return configured;
    }
    return QDir(QCoreApplication::applicationDirPath() + "/../share/kyrViewer").absolutePath();
}

QString viewerPaths::mediaRoot() {
    if (qEnvironmentVariableIsSet("KYRVIEWER_MEDIA")) {
        return qEnvironmentVariable("KYRVIEWER_MEDIA");
    }
    const QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) {
        return {};
    }
    for (const QString& base : {QString("/run/media/") + user, QString("/media/") + user}) {
        const QString mounted = firstMountedDirectory(base);
        if (!mounted.isEmpty()) {
            return mounted;
        }
    }
    return {};
}

bool viewerPaths::mediaPresent() {
    const QString root = mediaRoot();
    return !root.isEmpty() && QFileInfo(root).isDir();
}

QString viewerPaths::firstMountedDirectory(const QString& base) {
    const QStringList entries = QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    return entries.isEmpty() ? QString() : base + "/" + entries.first();
}
