#include "emu/emulatedHidDevice.h"

namespace dravix::emu {

emulatedHidDevice::emulatedHidDevice(std::shared_ptr<emulatedCamera> camera, uint64_t session)
    : camera_(std::move(camera)), session_(session) {}

int emulatedHidDevice::writeReport(const uint8_t* report, std::size_t length, int timeoutMs) {
    return camera_->writeReport(session_, report, length, timeoutMs);
}

int emulatedHidDevice::readReport(uint8_t* buffer, std::size_t size, int timeoutMs) {
    return camera_->readReport(session_, buffer, size, timeoutMs);
}

int emulatedHidDevice::sendFeatureReport(const uint8_t* report, std::size_t length) {
    return camera_->sendFeatureReport(session_, report, length);
}

int emulatedHidDevice::getFeatureReport(uint8_t* report, std::size_t length) {
    return camera_->getFeatureReport(session_, report, length);
}

}  // namespace dravix::emu
