#include "device/steadyUpdateClock.h"

namespace dravix {

bool steadyUpdateClock::waitFor(manualResetEvent& event, std::chrono::milliseconds duration) {
    return event.waitFor(duration);
}

steadyUpdateClock& steadyUpdateClock::instance() {
    static steadyUpdateClock clock;
    return clock;
}

}  // namespace dravix
