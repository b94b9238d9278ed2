// The frame ring's lock-free hand-off under load: a delivery thread stores frames as fast as it
// can while the display claims and reads the newest slot. A slot written while it is read would
// show a mix of two frames (and a data race to the thread sanitizer).
#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>

#include "frameRing.h"

class frameRingThreadTest : public QObject {
    Q_OBJECT

  private slots:
    void aClaimedSlotIsNeverWritten();
};

void frameRingThreadTest::aClaimedSlotIsNeverWritten() {
    constexpr int64_t kBytes = 200 * 200 * 2;
    constexpr int kFrames = 20000;
    frameRing& ring = frameRing::shared();
    ring.startTaking();
    ring.clearFormat();
    std::vector<uint8_t> first(kBytes, 0);
    ring.store(first.data(), kBytes);
    ring.allocate();

    std::atomic<bool> done{false};
    std::thread delivery([&] {
        std::vector<uint8_t> frame(kBytes);
        for (int n = 1; n <= kFrames; ++n) {
            std::fill(frame.begin(), frame.end(), static_cast<uint8_t>(n));
            ring.store(frame.data(), kBytes);
        }
        done = true;
    });
    int reads = 0;
    int torn = 0;
    while (!done) {
        if (!ring.claim(ring.newestIndex())) {
            continue;
        }
        const cv::Mat& slot = ring.claimed();
        const uint8_t value = slot.data[0];
        torn += cv::countNonZero(slot.reshape(1) != value) != 0 ? 1 : 0;
        ring.release();
        ++reads;
    }
    delivery.join();
    QCOMPARE(torn, 0);
    QVERIFY(reads > 0);
    QCOMPARE(ring.frameCount() >= kFrames, true);
    ring.stopTaking();
    ring.startTaking();
}

QTEST_APPLESS_MAIN(frameRingThreadTest)
#include "frameRingThreadTest.moc"
