#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "device/deviceCommands.h"
#include "device/identityRefresh.h"
#include "device/interruptThread.h"
#include "dsp/wbPushRegistration.h"
#include "log/logger.h"

namespace dravix {

// Decodes the camera's status interrupts (type 1) on the interrupt thread: logs the source and
// the names of the set event bits, runs what each event asks for (refresh sets of the status
// record, output size, head keys, the saved-settings flag, the white-balance callback, recorder
// log lines), then hands the status record to the client's status callback and clears the low
// nibbles of the head-key bytes.
//
// Bit 15 of the mask skips the actions of every source but the FPGA's, whose come first. Once the
// thread is asked to stop, handling gives up before its next command and reports nothing.
class interruptDecoder {
  public:
    // True once the interrupt thread is asked to end.
    using stopCheck = std::function<bool()>;
    // Hands the status record to the client's callback, if one is registered; called with the
    // record's lock held.
    using statusReport = std::function<void()>;

    static constexpr uint8_t kSourceFpga = 0;
    static constexpr uint8_t kSourceHead = 1;
    static constexpr uint8_t kSourceFx3 = 2;
    static constexpr uint8_t kSourceDriver = 3;
    static constexpr uint8_t kSourceRecorder = 4;
    static constexpr uint32_t kSkipActions = 1u << 15;

    interruptDecoder(logger& log, deviceCommands& commands, identityRefresh& refresh,
                     wbPushRegistration& wbPush, stopCheck stop, statusReport report);

    // One status interrupt: the source byte and the event mask, most significant byte first.
    void decode(const interruptThread::data& report);
    // After the camera came back: the full controller and head sets, then the report, so that
    // the record is filled even when the camera's own start interrupts were lost.
    void resync();

    // "FPGA", "HEAD", "FX3", "DRIVER", "REC", else "UNKOWN".
    static const char* typeName(uint8_t source);
    // The names of the set bits of `mask` that `source` names, in its logging order, joined by
    // ", ".
    static std::string eventText(uint8_t source, uint32_t mask);

  private:
    bool stopped() const { return stop_ && stop_(); }
    // Each runs the actions of one source for the bits set in `mask`; false when it stopped.
    bool fpgaActions(uint32_t mask, const interruptThread::data& report);
    bool headActions(uint32_t mask, const interruptThread::data& report);
    bool fx3Actions(uint32_t mask, const interruptThread::data& report);
    bool recorderActions(uint32_t mask);
    // getOutputSize unless stopped.
    bool outputSize();
    // The client's callback, then the head keys keep only their high nibbles.
    void reportStatus();

    logger& log_;
    deviceCommands& commands_;
    identityRefresh& refresh_;
    wbPushRegistration& wbPush_;
    const stopCheck stop_;
    const statusReport report_;
};

}  // namespace dravix
