#include "emu/emulatedHeadController.h"

namespace dravix::emu {

emulatedHeadController::emulatedHeadController(std::shared_ptr<emulatedFlashLoader> loader,
                                               std::shared_ptr<emulatedJtagPort> jtag)
    : loader_(std::move(loader)), jtag_(std::move(jtag)) {}

bool emulatedHeadController::claims(uint32_t reg) const {
    return loader_->claims(reg) || jtag_->claims(reg);
}

emulatedI2cDevice& emulatedHeadController::partFor(uint32_t reg) const {
    if (jtag_->claims(reg)) {
        return *jtag_;
    }
    return *loader_;
}

bool emulatedHeadController::read(uint32_t reg, uint8_t* data, std::size_t length) {
    return partFor(reg).read(reg, data, length);
}

bool emulatedHeadController::write(uint32_t reg, const uint8_t* data, std::size_t length) {
    return partFor(reg).write(reg, data, length);
}

}  // namespace dravix::emu
