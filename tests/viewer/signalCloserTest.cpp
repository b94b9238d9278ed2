// SIGINT, SIGTERM and SIGHUP close the window the normal way: raised in this process against a
// plain window (also with a modal dialog open over it) and against the main window on the emulated
// camera while it records; and sent to the viewer program itself.
#include <QtTest>

#include <QCloseEvent>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

#include <opencv2/videoio.hpp>

#include "ImageViewer.h"
#include "signalCloser.h"
#include "stdoutCapture.h"
#include "viewerTestSupport.h"

using namespace viewerTestSupport;

namespace {

// Counts the close events it accepts.
class closeCounter : public QWidget {
  public:
    int closes = 0;

  protected:
    void closeEvent(QCloseEvent* event) override {
        ++closes;
        event->accept();
    }
};

using handlerFunction = void (*)(int);

handlerFunction currentHandler(int signalNumber) {
    struct sigaction now {};
    sigaction(signalNumber, nullptr, &now);
    return now.sa_handler;
}

QStringList capturesIn(const QString& directory) {
    return QDir(directory + "/Capture").entryList({"mov_*.avi"}, QDir::Files, QDir::Name);
}

int framesIn(const QString& file) {
    cv::VideoCapture video(file.toStdString());
    int frames = 0;
    for (cv::Mat frame; video.read(frame);) {
        ++frames;
    }
    return frames;
}

}  // namespace

class signalCloserTest : public QObject {
    Q_OBJECT

  private slots:
    void eachSignalClosesTheWindowOnce_data();
    void eachSignalClosesTheWindowOnce();
    void aModalDialogDoesNotKeepTheWindowOpen();
    void aSignalCompletesTheRecordingAndShutsTheCameraDown();
    void theViewerProgramEndsNormallyOnEachSignal_data();
    void theViewerProgramEndsNormallyOnEachSignal();

  private:
    void addSignalRows();
};

void signalCloserTest::addSignalRows() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void signalCloserTest::eachSignalClosesTheWindowOnce_data() {
    addSignalRows();
}

// The closer puts the handlers back it found once the window is closing: a second signal then
// does what it did before (here the test framework's handler), and so it is after the closer.
void signalCloserTest::eachSignalClosesTheWindowOnce() {
    QFETCH(int, signalNumber);
    const handlerFunction before = currentHandler(signalNumber);
    closeCounter window;
    window.show();
    {
        signalCloser closer(window);
        QVERIFY(closer.isListening());
        QVERIFY(currentHandler(signalNumber) != before);
        stdoutCapture output;
        QVERIFY(raise(signalNumber) == 0);
        QTRY_COMPARE(window.closes, 1);
        QCOMPARE(closer.receivedSignal(), signalNumber);
        QCOMPARE(output.text(), QString("signal %1: closing\n").arg(signalNumber));
        QVERIFY(currentHandler(signalNumber) == before);
        QTest::qWait(50);
        QCOMPARE(window.closes, 1);
    }
    QVERIFY(currentHandler(signalNumber) == before);
}

// A signal that arrives while a dialog runs its own event loop over the window closes the dialog
// too: otherwise the program would wait for someone to click it away.
void signalCloserTest::aModalDialogDoesNotKeepTheWindowOpen() {
    closeCounter window;
    window.show();
    signalCloser closer(window);
    QMessageBox box(QMessageBox::Warning, "Error", "Memory media not available", QMessageBox::Ok,
                    &window);
    QTimer::singleShot(0, [] { raise(SIGTERM); });
    box.exec();
    QCOMPARE(window.closes, 1);
    QVERIFY(!box.isVisible());
}

void signalCloserTest::aSignalCompletesTheRecordingAndShutsTheCameraDown() {
    QTemporaryDir media;
    QVERIFY(media.isValid());
    qputenv("KYRVIEWER_MEDIA", media.path().toUtf8());
    setUpEmulatedCamera();
    std::unique_ptr<ImageViewer> viewer = startRunningViewer();
    QVERIFY(viewer != nullptr);
    signalCloser closer(*viewer);
    viewer->on_memoryStickChecker();
    viewer->recordSteamTriggered();
    QVERIFY(viewer->isRecording());
    const int shownBefore = viewer->shownFrameCount();
    // Half a second of a 60 fps camera at least: 15 frames on the recording's 30 fps clock.
    QVERIFY(QTest::qWaitFor([&] { return viewer->shownFrameCount() >= shownBefore + 30; }));

    stdoutCapture output;
    QVERIFY(raise(SIGTERM) == 0);
    QTRY_VERIFY(!viewer->isVisible());
    QVERIFY(!viewer->isRecording());
    QVERIFY(!viewer->receiver().isCameraOpened());
    const QString text = withoutStatusLines(output.text());
    QVERIFY2(text.contains(QRegularExpression("^signal 15: closing\nVideo file closed\n.*exiting "
                                              "cam receiver\n$",
                                              QRegularExpression::DotMatchesEverythingOption)),
             qPrintable(text));
    QVERIFY(!text.contains("error"));

    const QStringList files = capturesIn(media.path());
    QCOMPARE(files.size(), 1);
    QVERIFY(framesIn(media.path() + "/Capture/" + files[0]) >= 10);
}

void signalCloserTest::theViewerProgramEndsNormallyOnEachSignal_data() {
    addSignalRows();
}

// The program as a user starts it, on an emulated camera: once the picture is up, the signal
// ends it with the camera shut down and the library unloaded, and an exit code of 0.
void signalCloserTest::theViewerProgramEndsNormallyOnEachSignal() {
    QFETCH(int, signalNumber);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.path() + "/.config");
    environment.insert("KYRVIEWER_MEDIA", home.path());
    environment.insert("DRAVIX_CAMEMU", "1");
    environment.insert("DRAVIX_CAMEMU_FORMAT", "208x200@30");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess viewer;
    viewer.setProcessEnvironment(environment);
    viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    viewer.start(KYRVIEWER_PROGRAM, QStringList());
    QVERIFY(viewer.waitForStarted());
    QByteArray output;
    QVERIFY(QTest::qWaitFor(
        [&] {
            output += viewer.readAllStandardOutput();
            return output.contains("first frame received\n");
        },
        20000));
    QVERIFY(kill(static_cast<pid_t>(viewer.processId()), signalNumber) == 0);
    QVERIFY(viewer.waitForFinished(20000));
    output += viewer.readAllStandardOutput();
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
    QVERIFY2(output.contains(QString("signal %1: closing\n").arg(signalNumber).toUtf8()),
             output.constData());
    QVERIFY(output.endsWith("exiting cam receiver\n"));
    QVERIFY(!output.contains("error"));
}

QTEST_MAIN(signalCloserTest)
#include "signalCloserTest.moc"
