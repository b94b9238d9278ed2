#include "platform/linux/v4l2Buffers.h"

#include <sys/mman.h>

#include <cerrno>

#include "platform/linux/v4l2Node.h"

namespace dravix::platform {
namespace {

v4l2_buffer mmapBuffer(uint32_t index) {
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = index;
    return buffer;
}

}  // namespace

std::unique_ptr<v4l2Buffers> v4l2Buffers::allocate(const v4l2Node& node, int& error) {
    auto buffers = std::make_unique<v4l2Buffers>(node);
    // The driver may grant a different number of buffers than asked for; all of them are used.
    uint32_t granted = 0;
    error = buffers->request(kRequestedCount, granted);
    for (uint32_t index = 0; error == 0 && index < granted; ++index) {
        error = buffers->map(index);
    }
    for (uint32_t index = 0; error == 0 && index < granted; ++index) {
        error = buffers->queue(index);
    }
    // The destructor undoes whatever part was done.
    return error == 0 ? std::move(buffers) : nullptr;
}

v4l2Buffers::v4l2Buffers(const v4l2Node& node) : node_(node) {}

v4l2Buffers::~v4l2Buffers() {
    release();
}

const uint8_t* v4l2Buffers::data(std::size_t index) const {
    return static_cast<const uint8_t*>(mappings_[index].address);
}

int v4l2Buffers::dequeue(v4l2_buffer& buffer) const {
    buffer = mmapBuffer(0);
    return node_.control(VIDIOC_DQBUF, &buffer);
}

int v4l2Buffers::queue(uint32_t index) const {
    v4l2_buffer buffer = mmapBuffer(index);
    return node_.control(VIDIOC_QBUF, &buffer);
}

int v4l2Buffers::request(uint32_t count, uint32_t& granted) {
    v4l2_requestbuffers request{};
    request.count = count;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    const int result = node_.control(VIDIOC_REQBUFS, &request);
    if (result != 0) {
        return result;
    }
    requested_ = true;
    if (request.count == 0) {
        return -ENOMEM;
    }
    granted = request.count;
    mappings_.reserve(granted);
    return 0;
}

int v4l2Buffers::map(uint32_t index) {
    v4l2_buffer buffer = mmapBuffer(index);
    const int result = node_.control(VIDIOC_QUERYBUF, &buffer);
    if (result != 0) {
        return result;
    }
    void* address = ::mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, node_.fd(),
                           buffer.m.offset);
    if (address == MAP_FAILED) {
        return -errno;
    }
    mappings_.push_back({address, buffer.length});
    return 0;
}

void v4l2Buffers::release() {
    // Mapped buffers count as in use; the driver frees them only once they are all unmapped.
    for (const mapping& entry : mappings_) {
        ::munmap(entry.address, entry.length);
    }
    mappings_.clear();
    if (requested_) {
        // Fails only for a device that is gone, whose buffers go with its last descriptor.
        v4l2_requestbuffers request{};
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        node_.control(VIDIOC_REQBUFS, &request);
        requested_ = false;
    }
}

}  // namespace dravix::platform
