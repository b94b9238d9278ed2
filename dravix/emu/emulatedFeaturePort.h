#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

#include "emu/emulatedReplyFate.h"

namespace dravix::emu {

// The feature report of the emulated camera. A feature report is only accepted inside a data
// phase that a command opened: either one read (the device serves prepared data) or one write
// (the device hands the data to a sink). Anything else is stalled, as the device does.
// Thread-safe.
class emulatedFeaturePort {
  public:
    static constexpr std::size_t kReportSize = 1024;
    static constexpr std::size_t kDataSize = kReportSize - 1;

    // Consumes the kDataSize bytes after the report id of a written feature report; returns the
    // status that the end-of-transfer command reports for this phase.
    using writeSink = std::function<uint8_t(const uint8_t* data, std::size_t length)>;

    // Opens a read phase: the next feature read with `reportId` carries `data` after the id
    // (at most kDataSize bytes, the rest zero).
    void serveRead(uint8_t reportId, const uint8_t* data, std::size_t length);
    // Opens a write phase: the next feature write with `reportId` goes to `sink`.
    void acceptWrite(uint8_t reportId, writeSink sink);
    // Closes any open phase; returns the status of the phase's data (0 unless a sink failed).
    uint8_t endTransfer();
    // endTransfer() for the end-of-transfer command, whose reply also takes the fate a device
    // model behind the sink asked for while it took the data (a device that hung on the data
    // never answers the end).
    uint8_t answerEndTransfer();

    // While set, every feature transfer fails with -EIO and leaves the phase open.
    void setFailing(bool failing);

    // The host's feature transfers; they return the bytes transferred or a negative errno.
    int get(uint8_t* report, std::size_t length);
    int set(const uint8_t* report, std::size_t length);

  private:
    enum class phase { none, read, write };

    // Checks a transfer against the open phase; 0 when it may go on. Called with mutex_ held.
    int admit(phase direction, const uint8_t* report, std::size_t length) const;

    std::mutex mutex_;
    phase phase_ = phase::none;
    uint8_t reportId_ = 0;
    std::array<uint8_t, kReportSize> readData_{};
    writeSink sink_;
    uint8_t outcome_ = 0;
    emulatedReplyFate outcomeFate_;
    bool failing_ = false;
};

}  // namespace dravix::emu
