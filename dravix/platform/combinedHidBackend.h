#pragma once

#include <initializer_list>
#include <vector>

#include "platform/hid.h"

namespace dravix::platform {

// Several HID backends seen as one: their interfaces in backend order, and each path opened by
// the backend that knows it.
class combinedHidBackend : public hidBackend {
public:
    combinedHidBackend(std::initializer_list<hidBackend*> backends);

    std::vector<hidInterfaceInfo> enumerate(uint16_t vendorId, uint16_t productId) override;
    std::unique_ptr<hidDevice> open(const std::string& path) override;

private:
    std::vector<hidBackend*> backends_;
};

}  // namespace dravix::platform
