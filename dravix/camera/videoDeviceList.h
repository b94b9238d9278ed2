#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "log/logger.h"
#include "platform/threadAnnotations.h"
#include "platform/video.h"

namespace dravix {

// The video devices of the camera table, shared by all cameras: which device belongs to which
// slot (its device path, the "moniker"), which slots were opened, and the slot the device
// watcher looks for. Enumerations register matching devices into free slots by their instance
// key, the third '#'-separated field of the device path, and keep the path of a registered
// device current: a device that comes back may have been given another node.
//
// A period without any video device is reported once: the first watcher pass that finds none
// logs the ERROR, the following passes stay quiet, and the first enumeration that finds devices
// again logs its end. Init's enumerations always report the failure they return.
//
// Locking: one mutex serialises every enumeration and every accessor, because Init and the
// device watcher of each open camera enumerate into this one list from their own threads and
// must not interleave. The backend's enumerate() and the logger run while it is held; neither
// calls back into the list.
class videoDeviceList {
  public:
    static constexpr std::size_t kSlots = 10;
    static constexpr std::size_t kMaxMatchName = 255;
    // Instance keys are cut to kMaxKey characters; a slot stores and compares kStoredKey of them.
    static constexpr std::size_t kMaxKey = 19;
    static constexpr std::size_t kStoredKey = 16;
    static constexpr uint32_t kWatchNone = 255;
    static constexpr uint32_t kWatchSeen = 254;

    videoDeviceList(platform::videoBackend& video, logger& log);
    videoDeviceList(const videoDeviceList&) = delete;
    videoDeviceList& operator=(const videoDeviceList&) = delete;

    // Counts the devices whose friendly name begins with `matchName` into `count` and registers
    // the new ones. The first call stores the match name for the device watcher. 0, or 1 when
    // there is no device at all or `matchName` is null.
    uint8_t enumerate(uint8_t& count, const char* matchName);
    // The device watcher's pass for the device with instance key `key`, under one hold of the
    // lock: enumerates with the stored match name and gives the device's current path in
    // `devicePath`, empty when it is not present. While it is away, its slot's open flag is
    // cleared so that Init may use the slot again; the slot keeps the key, so the device returns
    // to it unless a new device took it meanwhile. Returns what the enumeration returned.
    uint8_t enumerateWatching(const std::string& key, uint8_t& count, std::string& devicePath);

    // The match name of the first enumeration; empty before it and after clear().
    std::string storedMatchName() const;
    // The device path of `slot`; empty when none is stored or the slot is out of range.
    std::string monikerAt(std::size_t slot) const;
    bool isOpen(std::size_t slot) const;
    void setOpen(std::size_t slot);
    uint32_t watchSlot() const;
    void setWatchSlot(uint32_t value);
    uint32_t nextSlot() const;
    // Forgets the device of `slot` as the device watcher does when it vanished: next slot 0,
    // open flag cleared, key emptied. The device path stays until another device replaces it.
    void resetSlot(std::size_t slot);
    // Back to the state of a new list, as when the last camera is destroyed.
    void clear();

    // The instance key of a device path: its third field when split at '#' (runs of '#' and
    // leading ones act as one separator), at most kMaxKey characters; empty when there is none.
    static std::string instanceKeyOf(const std::string& devicePath);
    // The key of the USB device a device path belongs to: its instance key without the '@' and
    // node index that tell apart several capture nodes of one device. The HID interfaces of
    // that device carry the same key.
    static std::string usbDeviceKeyOf(const std::string& devicePath);

  private:
    // `poll`: a watcher pass, which reports a period without devices only once.
    uint8_t enumerateLocked(uint8_t& count, const std::string& matchName, bool poll)
        REQUIRES(mutex_);
    void reportNoHardware(bool poll) REQUIRES(mutex_);
    void registerDevice(const std::string& path, const std::string& key) REQUIRES(mutex_);
    // The slot that holds `key`, or kSlots.
    std::size_t slotOf(const std::string& key) const REQUIRES(mutex_);
    void noteWatched(const std::string& key, const std::string& path) REQUIRES(mutex_);
    void resetSlotLocked(std::size_t slot) REQUIRES(mutex_);
    static bool sameKey(const std::string& stored, const std::string& key);

    platform::videoBackend& video_;
    logger& log_;

    mutable annotatedMutex mutex_;
    bool hasMatchName_ GUARDED_BY(mutex_) = false;
    std::string matchName_ GUARDED_BY(mutex_);
    uint32_t nextSlot_ GUARDED_BY(mutex_) = 0;
    std::array<std::string, kSlots> monikers_ GUARDED_BY(mutex_);
    std::array<bool, kSlots> open_ GUARDED_BY(mutex_){};
    uint32_t watchSlot_ GUARDED_BY(mutex_) = kWatchNone;
    std::array<std::string, kSlots> keys_ GUARDED_BY(mutex_);
    // The key a watcher pass looks for and the path it found for it.
    std::string watchedKey_ GUARDED_BY(mutex_);
    std::string watchedPath_ GUARDED_BY(mutex_);
    // The last enumeration found no video device at all.
    bool withoutHardware_ GUARDED_BY(mutex_) = false;
};

}  // namespace dravix
