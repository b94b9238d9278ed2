#pragma once

#include <string>

#include "cameraSession.h"
#include "commandLine.h"
#include "liveCommands.h"
#include "report.h"
#include "signalWatcher.h"

namespace dravixctl {

// Runs one parsed command against the library and prints its result; list, info, get, set
// and qpr here, the commands that run for a while in liveCommands. Failures are thrown as
// commandFailed, wrong arguments as usageError.
class commandRunner {
  public:
    commandRunner(const invocation& call, signalWatcher& signals)
        : call_(call), signals_(signals), live_(call, signals, session_) {}

    // The exit status: 0 done, 1 failed.
    int run();

  private:
    int list();
    int info();
    int get();
    int listParameters();
    int set();
    int qpr();
    // The identity fields of camera `index` shared by list and info.
    report identity(int32_t index);

    const invocation& call_;
    signalWatcher& signals_;
    // Declared before the session, so destroyed after it: the library's log thread may still
    // deliver to the live commands' log callbacks until the session has ended the log.
    liveCommands live_;
    cameraSession session_;
};

}  // namespace dravixctl
