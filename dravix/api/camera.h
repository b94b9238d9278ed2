#pragma once

#include <memory>

#include "log/logger.h"
#include "video/fx3UvcVid.h"

namespace dravix {

// One camera of the camera table: the object the exports of its index work on. It owns the
// camera's video path.
class camera {
  public:
    explicit camera(logger& log = libraryLog(),
                    platform::videoBackend& video = platform::systemVideo());
    camera(const camera&) = delete;
    camera& operator=(const camera&) = delete;

    fx3UvcVid& video() { return *video_; }

  private:
    std::unique_ptr<fx3UvcVid> video_;
};

}  // namespace dravix
