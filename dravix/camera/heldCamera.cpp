#include "camera/heldCamera.h"

#include "camera/camera.h"
#include "camera/videoDeviceList.h"

namespace dravix {

heldCamera::heldCamera(std::unique_ptr<camera> cam, std::shared_ptr<videoDeviceList> devices)
    : devices_(std::move(devices)),
      owned_(std::move(cam)),
      released_(std::make_shared<manualResetEvent>()),
      // The deleter keeps the event alive for the thread that drops the last hold.
      shared_(owned_.get(), [released = released_](camera*) { released->set(); }) {}

heldCamera::~heldCamera() {
    destroy();
}

void heldCamera::destroy() {
    if (owned_ == nullptr) {
        return;
    }
    shared_.reset();
    released_->wait();
    owned_.reset();
    devices_.reset();
}

}  // namespace dravix
