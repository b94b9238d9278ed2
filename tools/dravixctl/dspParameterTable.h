#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravixctl {

// A run of values of a parameter that share one range.
struct valueRange {
    std::size_t count;
    int64_t minimum;
    int64_t maximum;
};

// One DSP parameter of the camera, reached through its get and set exports. Values travel as
// int64_t in the order of the exports' arguments; a missing getter or setter means the
// parameter is write-only or read-only.
struct dspParameter {
    using getter = int32_t (*)(int32_t index, uint8_t bank, int64_t* values);
    using setter = int32_t (*)(int32_t index, uint8_t bank, const int64_t* values);

    const char* name;
    const char* exports;
    bool banked;
    // The values the setter takes, in order; the getter yields the first getCount of them.
    std::vector<valueRange> ranges;
    std::size_t getCount;
    getter get;
    setter set;

    std::size_t setCount() const;
    // The range of value `position` (0-based) of the setter's values.
    valueRange rangeAt(std::size_t position) const;
    // "0..255 x3, 0..65535 x2": the ranges for people.
    std::string rangeText() const;
};

// The readable names of every DSP parameter of the public interface.
class dspParameterTable {
  public:
    static const std::vector<dspParameter>& all();
    // The parameter called `name`, or null.
    static const dspParameter* find(const std::string& name);
    // Checks `texts` against the parameter's setter: their count and each value's range. The
    // values, or an explanation of the first problem in `problem`.
    static std::vector<int64_t> parseValues(const dspParameter& parameter,
                                            const std::vector<std::string>& texts,
                                            std::string& problem);
};

}  // namespace dravixctl
