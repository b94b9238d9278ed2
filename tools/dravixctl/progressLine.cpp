#include "progressLine.h"

#include <cstdio>

namespace dravixctl {
namespace {

constexpr int kBarWidth = 30;

std::string timeText(double seconds) {
    if (seconds < 0) {
        return "--:--";
    }
    const auto whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

double progressLine::rate(int percent, double seconds) const {
    if (seconds <= 0 || percent <= 0) {
        return 0;
    }
    return static_cast<double>(bytes_) * percent / 100.0 / seconds;
}

double progressLine::secondsLeft(int percent, double seconds) const {
    if (percent <= 0 || seconds <= 0) {
        return -1;
    }
    return seconds * (100 - percent) / percent;
}

std::string progressLine::rateText(double bytesPerSecond) {
    const char* const units[] = {"B/s", "KiB/s", "MiB/s", "GiB/s"};
    std::size_t unit = 0;
    while (bytesPerSecond >= 1024 && unit < 3) {
        bytesPerSecond /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytesPerSecond,
                  units[unit]);
    return text;
}

std::string progressLine::bar(int percent, double seconds) const {
    const int filled = percent * kBarWidth / 100;
    std::string text = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "]";
    char rest[96];
    std::snprintf(rest, sizeof rest, " %3d%%  %s  %s left ", percent,
                  rateText(rate(percent, seconds)).c_str(),
                  timeText(secondsLeft(percent, seconds)).c_str());
    return text + rest;
}

std::string progressLine::plain(int percent, double seconds) const {
    char text[96];
    std::snprintf(text, sizeof text, "progress %d%% %s %s left\n", percent,
                  rateText(rate(percent, seconds)).c_str(),
                  timeText(secondsLeft(percent, seconds)).c_str());
    return text;
}

}  // namespace dravixctl
