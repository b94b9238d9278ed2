// The receiver against a scripted stand-in library (shutdown order, missing entry points) and
// against the real library code linked into this program, with an emulated camera.
#include <QtTest>

#include <dlfcn.h>

#include <memory>

#include <opencv2/core.hpp>

#include "dravixReceiver.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "frameRing.h"
#include "stdoutCapture.h"

namespace {

// The stand-in library's control functions, reached through a handle of the test's own, which
// also keeps the library (and what it recorded) loaded after the receiver unloads it.
class fakeLibrary {
  public:
    explicit fakeLibrary(const char* file) : handle_(dlopen(file, RTLD_NOW)) {
        QVERIFY2(handle_ != nullptr, dlerror());
        reset_ = reinterpret_cast<void (*)(const char*)>(dlsym(handle_, "fakeDravix_reset"));
        calls_ = reinterpret_cast<void (*)(char*, int32_t)>(dlsym(handle_, "fakeDravix_calls"));
    }
    ~fakeLibrary() { dlclose(handle_); }

    void failOn(const char* calls) { reset_(calls); }
    QString calls() const {
        char text[1024];
        calls_(text, sizeof(text));
        return QString::fromLatin1(text);
    }

  private:
    void* handle_;
    void (*reset_)(const char*) = nullptr;
    void (*calls_)(char*, int32_t) = nullptr;
};

// Waits up to `ms` for `condition`, processing events meanwhile.
template <class Condition>
bool waitFor(Condition condition, int ms = 5000) {
    return QTest::qWaitFor(condition, ms);
}

std::vector<uint8_t> filledFrame(int64_t bytes, uint8_t value) {
    return std::vector<uint8_t>(static_cast<std::size_t>(bytes), value);
}

// The first byte of slot `index`, read through a claim.
int slotValue(int index) {
    frameRing& ring = frameRing::shared();
    if (!ring.claim(index)) {
        return -1;
    }
    const int value = ring.claimed().empty() ? -2 : ring.claimed().data[0];
    ring.release();
    return value;
}

// A ring taking frames again, with no format and no slots, its newest index at 0.
frameRing& freshRing() {
    frameRing& ring = frameRing::shared();
    ring.stopTaking();
    ring.startTaking();
    ring.clearFormat();
    ring.store(filledFrame(80000, 0).data(), 80000);
    ring.allocate();
    std::vector<uint8_t> frame = filledFrame(80000, 0);
    while (ring.newestIndex() != 0) {
        ring.store(frame.data(), 80000);
    }
    ring.stopTaking();
    ring.startTaking();
    ring.clearFormat();
    ring.resetFrameCount();
    return ring;
}

}  // namespace

class dravixReceiverTest : public QObject {
    Q_OBJECT

  private slots:
    void formatsAreKnownByByteCount_data();
    void formatsAreKnownByByteCount();
    void framesFillTheSlotsInTurn();
    void framesThatDoNotFitAreDroppedButCounted();
    void shutdownStopsAtTheFirstFailure_data();
    void shutdownStopsAtTheFirstFailure();
    void restartsAndStartsInOrder();
    void aMissingEntryPointEndsStartUp();
    void aMissingLibraryEndsStartUp();
    void receivesTheEmulatedCamerasFrames();
    void theTableBindsEveryExportButThree();
};

void dravixReceiverTest::formatsAreKnownByByteCount_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    const int sizes[][2] = {{1920, 1080}, {1280, 720}, {1296, 726}, {656, 486}, {400, 400},
                            {400, 396},   {250, 250},  {208, 204},  {208, 200}, {204, 200},
                            {208, 196},   {200, 200},  {200, 196},  {196, 192}};
    for (const auto& size : sizes) {
        QTest::addRow("%dx%d", size[0], size[1]) << size[0] << size[1];
    }
}

void dravixReceiverTest::formatsAreKnownByByteCount() {
    QFETCH(int, width);
    QFETCH(int, height);
    frameRing& ring = freshRing();
    const int64_t bytes = int64_t{width} * height * 2;
    std::vector<uint8_t> frame = filledFrame(bytes + 1, 7);
    ring.store(frame.data(), bytes + 1);
    QCOMPARE(ring.currentFormat().width, 0);
    ring.store(frame.data(), bytes);
    QCOMPARE(ring.currentFormat().width, width);
    QCOMPARE(ring.currentFormat().height, height);
    QCOMPARE(ring.frameCount(), 2);
}

void dravixReceiverTest::framesFillTheSlotsInTurn() {
    frameRing& ring = freshRing();
    ring.store(filledFrame(80000, 9).data(), 80000);  // sets the format, not stored yet
    QCOMPARE(ring.newestIndex(), 0);
    ring.allocate();
    for (uint8_t value = 1; value <= 5; ++value) {
        ring.store(filledFrame(80000, value).data(), 80000);
    }
    QCOMPARE(ring.newestIndex(), 1);
    QCOMPARE(slotValue(1), 5);
    QCOMPARE(slotValue(2), 2);
    QCOMPARE(slotValue(3), 3);
    QCOMPARE(slotValue(0), 4);
    QCOMPARE(ring.frameCount(), 6);
}

void dravixReceiverTest::framesThatDoNotFitAreDroppedButCounted() {
    frameRing& ring = freshRing();
    ring.store(filledFrame(12345, 1).data(), 12345);  // unknown size
    QCOMPARE(ring.currentFormat().width, 0);
    ring.store(filledFrame(80000, 1).data(), 80000);
    ring.allocate();
    ring.store(filledFrame(83200, 2).data(), 83200);  // known, but not the current format
    ring.store(nullptr, 80000);
    QCOMPARE(ring.newestIndex(), 0);
    QCOMPARE(ring.currentFormat().width, 200);
    ring.stopTaking();
    ring.store(filledFrame(80000, 3).data(), 80000);
    QCOMPARE(ring.newestIndex(), 0);
    QCOMPARE(ring.frameCount(), 5);
    ring.startTaking();
}

void dravixReceiverTest::shutdownStopsAtTheFirstFailure_data() {
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QString>("errors");
    const QString opened = "GetApiVersion,InitName,Open,FrameCallback,StatusCallback,";
    QTest::newRow("none") << "" << opened + "Stop,Close,Destroy"
                          << "";
    QTest::newRow("stop") << "Stop" << opened + "Stop"
                          << "error stop\nerror close\nerror destroy\n";
    QTest::newRow("close") << "Close" << opened + "Stop,Close"
                           << "error close\nerror destroy\n";
    QTest::newRow("destroy") << "Destroy" << opened + "Stop,Close,Destroy"
                             << "error destroy\n";
}

void dravixReceiverTest::shutdownStopsAtTheFirstFailure() {
    QFETCH(QString, failing);
    QFETCH(QString, calls);
    QFETCH(QString, errors);
    fakeLibrary fake(FAKE_DRAVIX_FILE);
    fake.failOn(failing.toLatin1().constData());
    stdoutCapture output;
    {
        dravixReceiver receiver(FAKE_DRAVIX_FILE);
        QVERIFY(receiver.loadDll());
        receiver.initCam();
        QVERIFY(receiver.openCam());
        QCOMPARE(receiver.closeCam(), 0);
        QVERIFY(!receiver.isCameraOpened());
    }
    QCOMPARE(fake.calls(), calls);
    QVERIFY(output.text().endsWith("Camera open\n" + errors + "exiting cam receiver\n"));
}

// A start stops the stream first; a restart closes and reopens the camera without registering the
// callbacks again; both clear the format.
void dravixReceiverTest::restartsAndStartsInOrder() {
    fakeLibrary fake(FAKE_DRAVIX_FILE);
    fake.failOn("");
    dravixReceiver receiver(FAKE_DRAVIX_FILE);
    QVERIFY(receiver.loadDll());
    receiver.initCam();
    QVERIFY(receiver.openCam());
    fake.failOn("");
    frameRing::shared().store(filledFrame(80000, 1).data(), 80000);
    QCOMPARE(receiver.getWidth(), 200);
    QVERIFY(receiver.startAcquisition());
    QCOMPARE(fake.calls(), QString("Stop,StartPic"));
    QCOMPARE(receiver.getWidth(), 0);
    frameRing::shared().store(filledFrame(80000, 1).data(), 80000);
    fake.failOn("");
    QElapsedTimer pause;
    pause.start();
    QVERIFY(receiver.restartCam());
    QVERIFY(pause.elapsed() >= 2000);
    QCOMPARE(fake.calls(), QString("Stop,Close,Open,StartPic"));
    QCOMPARE(receiver.getWidth(), 0);
    receiver.closeCam();
}

void dravixReceiverTest::aMissingEntryPointEndsStartUp() {
    fakeLibrary fake(FAKE_DRAVIX_NO_STARTPIC_FILE);
    fake.failOn("");
    stdoutCapture output;
    dravixReceiver receiver(FAKE_DRAVIX_NO_STARTPIC_FILE);
    QVERIFY(!receiver.loadDll());
    QVERIFY(receiver.loadError() != 0);
    const QString text = output.text();
    QVERIFY(text.contains("has no entry point ZEL_CAM_StartPic\n"));
    QVERIFY(
        text.contains(QString("could not load dll:\"%1\"\n").arg(FAKE_DRAVIX_NO_STARTPIC_FILE)));
    QCOMPARE(receiver.initCam(), 1);
    QVERIFY(!receiver.openCam());
    QCOMPARE(fake.calls(), QString());
}

void dravixReceiverTest::aMissingLibraryEndsStartUp() {
    stdoutCapture output;
    dravixReceiver receiver("/nonexistent/libdravix.so.2");
    QVERIFY(!receiver.loadDll());
    QVERIFY(output.text().contains("could not load dll:\"/nonexistent/libdravix.so.2\"\n"));
}

void dravixReceiverTest::receivesTheEmulatedCamerasFrames() {
    dravix::emu::emulatedCameraSet::instance().configure(1);
    dravix::emu::emulatedCameraSet::instance().camera(1)->setVideoFormat(208, 200, 60);
    stdoutCapture output;
    dravixReceiver receiver("");  // the library code linked into this program
    QVERIFY(receiver.loadDll());
    QCOMPARE(receiver.initCam(), 0);
    QVERIFY(receiver.openCam());
    receiver.startAcquisition();
    QVERIFY(waitFor([&] { return receiver.getWidth() != 0; }));
    QCOMPARE(receiver.getWidth(), 208);
    QCOMPARE(receiver.getHeight(), 200);
    const int before = receiver.getFrameIndex();
    receiver.allocFrameBuffers();
    QVERIFY(waitFor([&] { return receiver.getFrameIndex() != before; }));
    const int index = receiver.getFrameIndex();
    const cv::Mat* frame = receiver.claimFrame(index);
    QVERIFY(frame != nullptr);
    QCOMPARE(frame->cols, 208);
    QCOMPARE(frame->rows, 200);
    receiver.releaseFrame();
    // The library reports a change of the camera count through the status callback.
    dravix::emu::emulatedCameraSet::instance().camera(1)->unplug();
    QVERIFY(waitFor([&] { return output.text().contains("StatusCallback:FPGAversion: "); }));
    dravix::emu::emulatedCameraSet::instance().camera(1)->replug();
    receiver.closeCam();

    const QString dashes(52, '-');
    const QString expectedStart =
        QString(
            "dll: \"\" loaded\n%1\nAPI VERSION: %2\n%1\n--- ZEL_CAM_Init ---\n   return: 0\n"
            "   camIdx: 0\n   camCnt: 1\nCamera open\n")
            .arg(dashes, receiver.apiVersion());
    // The status line comes from the library's watcher thread, at any point after registration.
    QString lines = output.text();
    lines.remove(QRegularExpression("StatusCallback:FPGAversion: [0-9.]+\n"));
    QVERIFY2(lines.startsWith(expectedStart), qPrintable(lines));
    QVERIFY(output.text().endsWith("exiting cam receiver\n"));
    QVERIFY(!output.text().contains("error"));
    QVERIFY(QString(receiver.apiVersion()).size() > 0);
}

// The table names every export of the library's list but the three the viewer leaves out, each
// once; bound against this program, which exports the library's functions, every slot is filled.
void dravixReceiverTest::theTableBindsEveryExportButThree() {
    QFile def(DRAVIX_DEF_FILE);
    QVERIFY(def.open(QIODevice::ReadOnly | QIODevice::Text));
    const QRegularExpression exportLine("^\\s+(ZEL_CAM_\\w+)\\s+@\\d+\\s*$");
    const QStringList leftOut = {"ZEL_CAM_getHvFlipStatic", "ZEL_CAM_recPrepareUsb",
                                 "ZEL_CAM_recReinitOsd"};
    QStringList exported;
    for (const QString& line : QString::fromUtf8(def.readAll()).split('\n')) {
        const QRegularExpressionMatch match = exportLine.match(line);
        if (match.hasMatch() && !leftOut.contains(match.captured(1))) {
            exported << match.captured(1);
        }
    }
    QStringList table;
    for (std::size_t slot = 0; slot < CamApi::kEntryCount; ++slot) {
        table << CamApi::names()[slot];
    }
    QCOMPARE(table.size(), 157);
    QCOMPARE(table.removeDuplicates(), 0);
    exported.sort();
    table.sort();
    QCOMPARE(table, exported);

    void* self = dlopen(nullptr, RTLD_NOW);
    CamApi api;
    QCOMPARE(api.bind([self](const char* name) { return dlsym(self, name); }), CamApi::kEntryCount);
    dlclose(self);
}

QTEST_MAIN(dravixReceiverTest)
#include "dravixReceiverTest.moc"
