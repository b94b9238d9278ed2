#pragma once

#include <initializer_list>
#include <vector>

#include "platform/video.h"

namespace dravix::platform {

// Several video backends seen as one: their devices in backend order, and each path bound by
// the backend that knows it.
class combinedVideoBackend : public videoBackend {
  public:
    combinedVideoBackend(std::initializer_list<videoBackend*> backends);

    std::vector<videoDeviceInfo> enumerate() override;
    std::unique_ptr<videoCapture> bind(const std::string& devicePath, int& error) override;

  private:
    std::vector<videoBackend*> backends_;
};

}  // namespace dravix::platform
