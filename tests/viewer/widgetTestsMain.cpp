#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "widgetTests.h"

QString writeTestFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QFile::WriteOnly) || file.write(content) != content.size()) {
        return QString();
    }
    return path;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    for (auto make : {makeAspectRatioPixmapLabelTest, makeTextWindowClassTest, makeAboutBoxTest}) {
        const std::unique_ptr<QObject> test = make();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
