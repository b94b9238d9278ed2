#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "dsp/cameraDsp.h"
#include "log/logger.h"

namespace dravix::emu {

// A stand-in for a camera's DSP functions without any channel: blocks are served from memory and
// every read and write is recorded in order, so that callers of cameraDsp can be checked for
// what they send without HID traffic. Reads and writes of a code outside the function table, of
// a function that cannot be read (or written), or of another length than the function's fail
// with 1, as do those of codes set to fail. Thread-safe.
class recordingDsp : public cameraDsp {
  public:
    enum class kind { read, write, pause };
    struct access {
        kind what;
        uint8_t code;
        std::vector<uint8_t> bytes;  // written, or read back
    };

    explicit recordingDsp(logger& log);

    using cameraDsp::getDspFunction;
    uint8_t getDspFunction(uint8_t code, uint8_t* out, int16_t length, bool& conflicting) override;
    uint8_t setDspFunction(uint8_t code, const uint8_t* in, int16_t length) override;

    // The block of `code` as last written or set; zeros before that.
    std::vector<uint8_t> block(uint8_t code) const;
    void setBlock(uint8_t code, std::vector<uint8_t> bytes);
    void setFailing(uint8_t code);
    // Records a pause between accesses (for callers that wait for the camera).
    void notePause();

    std::vector<access> accesses() const;
    std::vector<access> writes() const;
    void clearAccesses();

  private:
    mutable std::mutex mutex_;
    std::map<uint8_t, std::vector<uint8_t>> blocks_;
    std::set<uint8_t> failing_;
    std::vector<access> accesses_;
};

}  // namespace dravix::emu
