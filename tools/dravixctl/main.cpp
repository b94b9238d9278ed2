// dravixctl: controls a dravix camera from the command line (see `dravixctl --help`).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "commandLine.h"
#include "commandRunner.h"
#include "signalWatcher.h"

namespace {

// The command's exit status: 0 done, 1 failed, 2 usage error.
int runCommand(const std::vector<std::string>& arguments, dravixctl::signalWatcher& signals) {
    using namespace dravixctl;
    try {
        const invocation call = commandLine::parse(arguments);
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
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dravixctl: %s\n", error.what());
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything starts a thread, so that every thread leaves the signals to the watcher.
    dravixctl::signalWatcher signals;
    const int status = runCommand(std::vector<std::string>(argv + 1, argv + argc), signals);
    // Output that did not reach its file (a full disk, a closed pipe) is a failure.
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "dravixctl: cannot write the output: %s\n",
                     errno != 0 ? std::strerror(errno) : "write error");
        return 1;
    }
    return status;
}
