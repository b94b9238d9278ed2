#pragma once

#include "device/updateClock.h"

namespace dravix {

// The real clock of the updates: a wait on the event's condition with the steady clock.
class steadyUpdateClock : public updateClock {
  public:
    bool waitFor(manualResetEvent& event, std::chrono::milliseconds duration) override;

    // The clock every camera uses unless a test gives it another.
    static steadyUpdateClock& instance();
};

}  // namespace dravix
