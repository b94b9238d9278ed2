#include "emu/emulatedI2cBus.h"

#include <algorithm>
#include <stdexcept>

namespace dravix::emu {

void emulatedI2cBus::attach(uint8_t address, std::shared_ptr<emulatedI2cDevice> device) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (device) {
        models_[address] = std::move(device);
    } else {
        models_.erase(address);
    }
}

bool emulatedI2cBus::read(uint8_t address, uint32_t reg, uint8_t* data, std::size_t length) {
    // A model is called without the bus lock: it may be slow or use the bus itself.
    if (auto model = modelAt(address); model != nullptr && model->claims(reg)) {
        return model->read(reg, data, length);
    }
    return copyOut(address, reg, data, length);
}

bool emulatedI2cBus::write(uint8_t address, uint32_t reg, const uint8_t* data, std::size_t length) {
    if (auto model = modelAt(address); model != nullptr && model->claims(reg)) {
        return model->write(reg, data, length);
    }
    return copyIn(address, reg, data, length);
}

void emulatedI2cBus::preset(uint8_t address, uint32_t reg, const std::vector<uint8_t>& bytes) {
    if (!copyIn(address, reg, bytes.data(), bytes.size())) {
        throw std::out_of_range("emulatedI2cBus::preset: range outside the storage");
    }
}

std::vector<uint8_t> emulatedI2cBus::contents(uint8_t address, uint32_t reg, std::size_t length) {
    std::vector<uint8_t> bytes(length);
    if (!copyOut(address, reg, bytes.data(), length)) {
        throw std::out_of_range("emulatedI2cBus::contents: range outside the storage");
    }
    return bytes;
}

bool emulatedI2cBus::fits(uint32_t reg, std::size_t length) {
    return reg <= kStorageSize && length <= kStorageSize - reg;
}

std::shared_ptr<emulatedI2cDevice> emulatedI2cBus::modelAt(uint8_t address) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = models_.find(address);
    return found == models_.end() ? nullptr : found->second;
}

std::vector<uint8_t>& emulatedI2cBus::storageOf(uint8_t address) {
    auto& storage = storage_[address];
    if (storage.empty()) {
        storage.resize(kStorageSize);
    }
    return storage;
}

bool emulatedI2cBus::copyOut(uint8_t address, uint32_t reg, uint8_t* data, std::size_t length) {
    if (!fits(reg, length)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const auto& storage = storageOf(address);
    std::copy_n(storage.begin() + reg, length, data);
    return true;
}

bool emulatedI2cBus::copyIn(uint8_t address, uint32_t reg, const uint8_t* data,
                            std::size_t length) {
    if (!fits(reg, length)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::copy_n(data, length, storageOf(address).begin() + reg);
    return true;
}

}  // namespace dravix::emu
