#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravixctl {

// The camera components `dravixctl firmware` updates: each name with the export that starts
// its update. The usage text, the error for an unknown name and the update use this one table.
class firmwareComponents {
  public:
    using startUpdate = int32_t (*)(int32_t index, const char* path);

    // The export that starts the update of `name`, or nullptr for an unknown name.
    static startUpdate find(const std::string& name);
    // The names in the table's order.
    static std::vector<std::string> names();
    // The names as "a, b or c".
    static std::string namesText();
};

}  // namespace dravixctl
