#pragma once

#include <cstddef>
#include <cstdint>

#include "log/logEntry.h"

namespace dravix {

// Formats log entries as log file lines: "YYYY-MM-DD  hh:mm:ss<TAB>LEVEL<TAB><TAB>text<LF>" in
// local time. The date and time part is built once per second, since a batch of lines mostly
// shares its second.
class logLineFormatter {
  public:
    static constexpr std::size_t kMaxLineLength = 320;

    // Name of a level in the log file.
    static const char* levelName(uint8_t level);

    // Writes the line of `entry` to `out`, which holds at least kMaxLineLength bytes, and
    // returns its length (at most kMaxLineLength; no terminator is written).
    std::size_t format(const logEntry& entry, char* out);

  private:
    void updateStamp(int64_t time);

    bool hasStamp_ = false;
    int64_t stampTime_ = 0;
    char stamp_[48] = {};
    std::size_t stampLength_ = 0;
};

}  // namespace dravix
