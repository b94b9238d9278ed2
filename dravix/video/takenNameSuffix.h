#pragma once

#include <string>

namespace dravix {

// The suffix of a file name that is already taken, put before the extension so that nothing is
// ever overwritten. Suffixes keep a plain byte-wise sort of the names in the order the files were
// made: the plain name comes first (since '_' sorts after '.'), then "_01" to "_99", then
// "_99_01" to "_99_99", "_99_99_01" and so on. Two digits per field: "_99" followed by a further
// field sorts after every shorter suffix and after "_99" itself.
//
// Header-only, because the viewer names its captures by the same rule and loads the library only
// at run time.
inline std::string takenNameSuffix(int taken) {
    constexpr int kLargestField = 99;
    std::string text;
    for (; taken > kLargestField; taken -= kLargestField) {
        text += "_99";
    }
    text += '_';
    text += static_cast<char>('0' + taken / 10);
    text += static_cast<char>('0' + taken % 10);
    return text;
}

}  // namespace dravix
