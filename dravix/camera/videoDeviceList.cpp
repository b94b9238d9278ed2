#include "camera/videoDeviceList.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace dravix {

videoDeviceList::videoDeviceList(platform::videoBackend& video, logger& log)
    : video_(video), log_(log) {}

uint8_t videoDeviceList::enumerate(uint8_t& count, const char* matchName) {
    mutexLock lock(mutex_);
    if (matchName == nullptr) {
        count = 0;
        log_.error("videoDeviceList::enumerate: no match name\n");
        return 1;
    }
    // Every name is cut to what the store holds, so that Init and the device watcher, which
    // uses the stored name, count the same devices.
    const std::string name(matchName, strnlen(matchName, kMaxMatchName));
    if (!hasMatchName_) {
        matchName_ = name;
        hasMatchName_ = true;
    }
    return enumerateLocked(count, name, false);
}

uint8_t videoDeviceList::enumerateWatching(const std::string& key, uint8_t& count,
                                           std::string& devicePath) {
    // One hold of the lock, so that another watcher cannot move watchSlot between the
    // enumeration and the check of what it saw.
    mutexLock lock(mutex_);
    const std::size_t slot = slotOf(key);
    watchSlot_ = slot < kSlots ? static_cast<uint32_t>(slot) : kWatchNone;
    // Found by key, not through the slot: a new device may have taken the slot while this one
    // was away.
    watchedKey_ = key.substr(0, kStoredKey);
    watchedPath_.clear();
    const uint8_t result = enumerateLocked(count, matchName_, true);
    devicePath = watchedPath_;
    watchedKey_.clear();
    if (slot < kSlots && watchSlot_ != kWatchSeen) {
        open_[slot] = false;
    }
    watchSlot_ = kWatchNone;
    return result;
}

uint8_t videoDeviceList::enumerateLocked(uint8_t& count, const std::string& matchName, bool poll) {
    count = 0;
    const auto devices = video_.enumerate();
    if (devices.empty()) {
        reportNoHardware(poll);
        return 1;
    }
    if (withoutHardware_) {
        withoutHardware_ = false;
        log_.info("video capture hardware present again\n");
    }
    nextSlot_ = 0;
    // The first device of a key in this enumeration keeps its slot's path current.
    std::array<bool, kSlots> refreshed{};
    for (const auto& device : devices) {
        if (device.friendlyName.compare(0, matchName.size(), matchName) != 0) {
            continue;
        }
        // Saturates: a count that wrapped to 0 would read as every camera gone.
        if (count < std::numeric_limits<uint8_t>::max()) {
            ++count;
        }
        const std::string key = instanceKeyOf(device.devicePath);
        const std::size_t slot = slotOf(key);
        if (slot == kSlots) {
            registerDevice(device.devicePath, key);
        } else if (!refreshed[slot]) {
            monikers_[slot] = device.devicePath;
            refreshed[slot] = true;
        }
        noteWatched(key, device.devicePath);
    }
    return 0;
}

// A watcher polls every 40 ms: only the first pass of a period without devices is an event.
void videoDeviceList::reportNoHardware(bool poll) {
    if (!poll || !withoutHardware_) {
        log_.error("you have no video capture hardware\n");
    }
    withoutHardware_ = true;
}

void videoDeviceList::registerDevice(const std::string& path, const std::string& key) {
    std::size_t slot = nextSlot_;
    while (slot < kSlots && open_[slot]) {
        ++slot;
    }
    if (slot >= kSlots) {
        return;  // counted, but no slot is left for it
    }
    monikers_[slot] = path;
    keys_[slot] = key.substr(0, kStoredKey);
    // Past the slot just filled, so that the next new device does not replace this one when
    // open slots were skipped.
    nextSlot_ = static_cast<uint32_t>(slot + 1);
}

std::size_t videoDeviceList::slotOf(const std::string& key) const {
    const auto found = std::find_if(keys_.begin(), keys_.end(), [&](const std::string& stored) {
        return sameKey(stored, key);
    });
    return static_cast<std::size_t>(found - keys_.begin());
}

void videoDeviceList::noteWatched(const std::string& key, const std::string& path) {
    if (watchSlot_ < kSlots && sameKey(keys_[watchSlot_], key)) {
        watchSlot_ = kWatchSeen;
    }
    if (watchedPath_.empty() && sameKey(watchedKey_, key)) {
        watchedPath_ = path;
    }
}

bool videoDeviceList::sameKey(const std::string& stored, const std::string& key) {
    // Compared over the stored width: a longer key compared over more characters would never
    // equal its own stored copy. An empty slot matches nothing.
    return !stored.empty() && stored == key.substr(0, kStoredKey);
}

std::string videoDeviceList::instanceKeyOf(const std::string& devicePath) {
    std::size_t begin = 0;
    for (int field = 0; field < 3; ++field) {
        begin = devicePath.find_first_not_of('#', begin);
        if (begin == std::string::npos) {
            return {};
        }
        const std::size_t end = std::min(devicePath.find('#', begin), devicePath.size());
        if (field == 2) {
            return devicePath.substr(begin, std::min(end - begin, kMaxKey));
        }
        begin = end;
    }
    return {};
}

std::string videoDeviceList::usbDeviceKeyOf(const std::string& devicePath) {
    const std::string key = instanceKeyOf(devicePath);
    return key.substr(0, key.find('@'));
}

std::string videoDeviceList::storedMatchName() const {
    mutexLock lock(mutex_);
    return matchName_;
}

std::string videoDeviceList::monikerAt(std::size_t slot) const {
    mutexLock lock(mutex_);
    return slot < kSlots ? monikers_[slot] : std::string();
}

bool videoDeviceList::isOpen(std::size_t slot) const {
    mutexLock lock(mutex_);
    return slot < kSlots && open_[slot];
}

void videoDeviceList::setOpen(std::size_t slot) {
    mutexLock lock(mutex_);
    if (slot < kSlots) {
        open_[slot] = true;
    }
}

uint32_t videoDeviceList::watchSlot() const {
    mutexLock lock(mutex_);
    return watchSlot_;
}

void videoDeviceList::setWatchSlot(uint32_t value) {
    mutexLock lock(mutex_);
    watchSlot_ = value;
}

uint32_t videoDeviceList::nextSlot() const {
    mutexLock lock(mutex_);
    return nextSlot_;
}

void videoDeviceList::resetSlot(std::size_t slot) {
    mutexLock lock(mutex_);
    resetSlotLocked(slot);
}

void videoDeviceList::resetSlotLocked(std::size_t slot) {
    nextSlot_ = 0;
    if (slot < kSlots) {
        open_[slot] = false;
        keys_[slot].clear();
    }
}

void videoDeviceList::clear() {
    mutexLock lock(mutex_);
    hasMatchName_ = false;
    matchName_.clear();
    nextSlot_ = 0;
    monikers_.fill(std::string());
    open_.fill(false);
    watchSlot_ = kWatchNone;
    keys_.fill(std::string());
    watchedPath_.clear();
    withoutHardware_ = false;
}

}  // namespace dravix
