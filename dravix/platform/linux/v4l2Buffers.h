#pragma once

#include <linux/videodev2.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace dravix::platform {

class v4l2Node;

// The memory-mapped capture buffers of one V4L2 node, all queued to the driver once allocated.
// The destructor unmaps them and frees them in the driver; the node must outlive this object and
// streaming must be off by then, because the driver frees no buffers of a running queue.
class v4l2Buffers final {
  public:
    // Enough for the driver to fill one buffer while the streaming thread hands on another.
    static constexpr uint32_t kRequestedCount = 4;

    // Requests the buffers, maps and queues each of them. Null with `error` set to -errno when a
    // step fails (-EBUSY when another user of the device holds its buffers); nothing that was set
    // up is left behind then.
    static std::unique_ptr<v4l2Buffers> allocate(const v4l2Node& node, int& error);

    explicit v4l2Buffers(const v4l2Node& node);
    ~v4l2Buffers();
    v4l2Buffers(const v4l2Buffers&) = delete;
    v4l2Buffers& operator=(const v4l2Buffers&) = delete;

    std::size_t count() const { return mappings_.size(); }
    const uint8_t* data(std::size_t index) const;
    std::size_t length(std::size_t index) const { return mappings_[index].length; }

    // Takes the oldest filled buffer from the driver. 0 or -errno (-EAGAIN when none is filled).
    int dequeue(v4l2_buffer& buffer) const;
    // Gives buffer `index` back to the driver for filling. 0 or -errno.
    int queue(uint32_t index) const;

  private:
    struct mapping {
        void* address;
        std::size_t length;
    };

    int request(uint32_t count, uint32_t& granted);
    int map(uint32_t index);
    void release();

    const v4l2Node& node_;
    std::vector<mapping> mappings_;
    bool requested_ = false;
};

}  // namespace dravix::platform
