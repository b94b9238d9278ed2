#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace dravix::emu {

enum class wireKind { output, input, featureSet, featureGet };

// One report that crossed the wire, with its bytes as transferred (report id first).
struct wireRecord {
    wireKind kind;
    std::vector<uint8_t> bytes;
};

// Keeps the reports of one camera in the order they crossed the wire, while recording is on.
// Thread-safe.
class emulatedWireRecorder {
  public:
    void start();
    void stop();
    void clear();
    std::vector<wireRecord> records() const;

    void add(wireKind kind, const uint8_t* bytes, std::size_t length);

  private:
    // Checked without the lock so that traffic costs nothing while recording is off.
    std::atomic<bool> recording_{false};
    mutable std::mutex mutex_;
    std::vector<wireRecord> records_;
};

}  // namespace dravix::emu
