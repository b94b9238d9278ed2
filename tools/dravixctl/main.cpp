// dravixctl: controls a dravix camera from the command line (see `dravixctl --help`).
#include <cstdio>
#include <string>
#include <vector>

#include "commandFailed.h"
#include "commandLine.h"
#include "commandRunner.h"
#include "signalWatcher.h"

int main(int argc, char** argv) {
    using namespace dravixctl;
    // Before anything starts a thread, so that every thread leaves the signals to the watcher.
    signalWatcher signals;
    try {
        const invocation call = commandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
        if (call.help) {
            std::fputs(commandLine::usage(call.command).c_str(), stdout);
            return 0;
        }
        commandRunner runner(call, signals);
        return runner.run();
    } catch (const usageError& error) {
        std::fprintf(stderr, "dravixctl: %s\n%s", error.what(),
                     commandLine::usage(error.command()).c_str());
        return 2;
    } catch (const commandFailed& error) {
        std::fprintf(stderr, "dravixctl: %s\n", error.what());
        return 1;
    }
}
