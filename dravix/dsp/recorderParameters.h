#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The parameter bytes of the recorder functions that carry more than one byte: the date and the
// framed command text. Pure functions with no camera access.
namespace dravix::recorderParameters {

// The longest command text whose frame fits one report: 56 characters, "EOC" and one zero byte
// make 60 parameter bytes.
constexpr std::size_t kMaxCommandText = 56;
constexpr const char kEndOfCommand[] = "EOC";

// Seconds since 1970-01-01 00:00 UTC, low 32 bits, most significant byte first. Times before 1970
// count back from 0 in two's complement; from 2106 on the value starts again at 0.
std::array<uint8_t, 4> dateBytes(std::chrono::system_clock::time_point time);

// The text, "EOC", then zero bytes up to the smallest multiple of 4 that leaves at least one;
// none for a text longer than kMaxCommandText.
std::optional<std::vector<uint8_t>> commandFrame(const char* text, std::size_t length);

}  // namespace dravix::recorderParameters
