#pragma once

#include <memory>

#include "platform/manualResetEvent.h"

namespace dravix {

class camera;
class videoDeviceList;

// A camera of the camera table, shared with the exports that use it: each export holds the
// camera for the length of its call. Whoever takes the camera out of the table destroys it, and
// only once every call has dropped its hold. Dropping the last hold only signals: a call that
// ends on one of the camera's own threads never destroys the camera, which would join the very
// thread it runs on.
class heldCamera {
  public:
    // `devices` (may be null) is the device list the camera's watcher enumerates into; it is let
    // go after the camera.
    heldCamera(std::unique_ptr<camera> cam, std::shared_ptr<videoDeviceList> devices);
    // destroy(), unless done already.
    ~heldCamera();
    heldCamera(const heldCamera&) = delete;
    heldCamera& operator=(const heldCamera&) = delete;

    // A hold on the camera; null after destroy().
    std::shared_ptr<camera> hold() const { return shared_; }
    camera* get() const { return owned_.get(); }

    // Drops the table's hold, waits until every call has dropped its own, then destroys the
    // camera (stream stopped, threads joined). On a client's thread only: a library thread may
    // be one of the calls waited for.
    void destroy();

  private:
    std::shared_ptr<videoDeviceList> devices_;
    std::unique_ptr<camera> owned_;
    std::shared_ptr<manualResetEvent> released_;
    std::shared_ptr<camera> shared_;
};

}  // namespace dravix
