#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QTemporaryDir;

// The test objects of kyrviewer_widgets_tests, run one after the other by its main().
std::unique_ptr<QObject> makeAspectRatioPixmapLabelTest();
std::unique_ptr<QObject> makeTextWindowClassTest();
std::unique_ptr<QObject> makeAboutBoxTest();

// Writes `content` to `name` in `dir` and returns the file's full path (empty on failure).
QString writeTestFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content);
