#pragma once

namespace dravix::emu {

// What becomes of the reply to the command the camera is answering, and of the camera after it.
// A device model decides it deep inside the answer (behind the I2C bus, or in a feature phase
// whose outcome the end-of-transfer command reports), where no return value leads back to the
// camera; the camera takes it on the same thread once the command's handler returned.
struct emulatedReplyFate {
    enum class delivery {
        sent,
        // Kept back until emulatedCamera::releaseHeldReplies().
        held,
        // Never sent: the host's reply wait runs out.
        dropped,
    };
    enum class afterwards {
        stays,
        // Unplugged once the host has taken the reply.
        unplugged,
        // Unplugged likewise, then plugged in again: a reset of the camera.
        restarted,
    };

    delivery reply = delivery::sent;
    afterwards then = afterwards::stays;

    // Asks for `fate` for the reply that this thread is producing.
    static void request(const emulatedReplyFate& fate);
    // What this thread asked for since the last take(); a plain reply when nothing.
    static emulatedReplyFate take();
};

}  // namespace dravix::emu
