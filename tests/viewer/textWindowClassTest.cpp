#include <QFile>
#include <QFont>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

#include "textWindowClass.h"
#include "widgetTests.h"

namespace {

QString shownText(const textWindowClass& window) {
    return window.textEdit()->toPlainText();
}

}  // namespace

class textWindowClassTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void startsAsEmptyReadOnlyWindow() {
        textWindowClass window;
        QCOMPARE(window.windowTitle(), QStringLiteral("text"));
        QCOMPARE(window.size(), QSize(600, 842));
        QVERIFY(window.textEdit()->isReadOnly());
        QVERIFY(shownText(window).isEmpty());
    }

    void htmlFileIsShownFormatted() {
        const QString path = writeTestFile(dir_, "formatted.html", "<b>Bold</b> and plain");
        textWindowClass window;
        QVERIFY(window.loadFile(path));
        QCOMPARE(shownText(window), QStringLiteral("Bold and plain"));
        QTextCursor cursor(window.textEdit()->document());
        cursor.setPosition(1);
        QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
        cursor.setPosition(7);
        QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Normal));
    }

    void plainFileIsShownVerbatim() {
        const QByteArray content = "First line\n\n    indented & spaced  words\nlast";
        const QString path = writeTestFile(dir_, "plain.txt", content);
        textWindowClass window;
        QVERIFY(window.loadFile(path));
        QCOMPARE(shownText(window), QString::fromLocal8Bit(content));
    }

    void unreadableFileLeavesWindowUnchanged_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << dir_.filePath("missing.txt");
        QTest::newRow("directory") << dir_.path();
        QTest::newRow("read error") << QStringLiteral("/proc/self/mem");
    }

    void unreadableFileLeavesWindowUnchanged() {
        QFETCH(QString, path);
        textWindowClass window;
        QVERIFY(window.loadFile(writeTestFile(dir_, "kept.txt", "kept text")));
        QVERIFY(!window.loadFile(path));
        QCOMPARE(shownText(window), QStringLiteral("kept text"));
    }

    void shippedEulaIsPlainText() {
        const QString dataDir = qEnvironmentVariable("KYRVIEWER_DATA_DIR");
        QVERIFY2(!dataDir.isEmpty(), "KYRVIEWER_DATA_DIR is not set");
        QFile eula(dataDir + "/eula.txt");
        QVERIFY(eula.open(QFile::ReadOnly));
        const QString expected = QString::fromLocal8Bit(eula.readAll());
        QVERIFY(!expected.trimmed().isEmpty());

        textWindowClass window;
        QVERIFY(window.loadFile(eula.fileName()));
        QCOMPARE(shownText(window), expected);  // HTML would have collapsed its line breaks
    }

  private:
    QTemporaryDir dir_;
};

std::unique_ptr<QObject> makeTextWindowClassTest() {
    return std::make_unique<textWindowClassTest>();
}

#include "textWindowClassTest.moc"
