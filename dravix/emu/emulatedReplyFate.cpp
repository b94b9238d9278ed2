#include "emu/emulatedReplyFate.h"

namespace dravix::emu {

namespace {
// Per thread: the handler of a command runs on the thread that wrote it.
thread_local emulatedReplyFate requested;
}  // namespace

void emulatedReplyFate::request(const emulatedReplyFate& fate) {
    requested = fate;
}

emulatedReplyFate emulatedReplyFate::take() {
    const emulatedReplyFate fate = requested;
    requested = emulatedReplyFate{};
    return fate;
}

}  // namespace dravix::emu
