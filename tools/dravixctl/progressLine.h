#pragma once

#include <cstdint>
#include <string>

namespace dravixctl {

// The text of a firmware update's progress: a bar redrawn in place on a terminal, or plain
// lines for logs and scripts, each with the percentage, rate and estimated time left.
class progressLine {
  public:
    // `bytes`: the size of the file, for the rate.
    explicit progressLine(uint64_t bytes) : bytes_(bytes) {}

    // The bar for `percent` after `seconds`: "\r[#####     ]  50%  12.3 KiB/s  0:04 left".
    std::string bar(int percent, double seconds) const;
    // "progress 50% 12.3 KiB/s 4 s left\n".
    std::string plain(int percent, double seconds) const;

    // Bytes per second so far, from the percentage done of the file.
    double rate(int percent, double seconds) const;
    // Seconds left at the rate so far; negative while unknown.
    double secondsLeft(int percent, double seconds) const;
    // "1.5 MiB/s", "800 B/s".
    static std::string rateText(double bytesPerSecond);

  private:
    uint64_t bytes_;
};

}  // namespace dravixctl
