#include "xvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>

extern char** environ;

namespace dravix::test {
namespace {

// The descriptor the server writes its display number to.
constexpr int kDisplayFd = 3;
constexpr int kStartTimeoutMs = 30000;

// Starts Xvfb through setpriv, which makes the kernel kill it when its parent thread ends.
pid_t spawnServer(int displayFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, displayFd, kDisplayFd);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("setpriv"),    const_cast<char*>("--pdeathsig"),
                    const_cast<char*>("KILL"),       const_cast<char*>("Xvfb"),
                    const_cast<char*>("-displayfd"), const_cast<char*>("3"),
                    const_cast<char*>("-screen"),    const_cast<char*>("0"),
                    const_cast<char*>("320x240x24"), const_cast<char*>("-nolisten"),
                    const_cast<char*>("tcp"),        nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "setpriv", &actions, nullptr, argv, environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

}  // namespace

xvfbServer::xvfbServer() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    // Above the descriptor the child uses, so that dup2 really copies it without close-on-exec.
    const int writeFd = fcntl(fds[1], F_DUPFD_CLOEXEC, kDisplayFd + 1);
    close(fds[1]);
    pid_ = writeFd < 0 ? -1 : spawnServer(writeFd);
    if (writeFd >= 0) {
        close(writeFd);
    }
    if (pid_ > 0) {
        readDisplayNumber(fds[0]);
    }
    close(fds[0]);
}

xvfbServer::~xvfbServer() {
    kill();
}

void xvfbServer::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

void xvfbServer::readDisplayNumber(int fd) {
    std::string number;
    pollfd ready{fd, POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, kStartTimeoutMs) == 1 && read(fd, &c, 1) == 1 &&
           std::isdigit(static_cast<unsigned char>(c))) {
        number += c;
    }
    if (!number.empty()) {
        name_ = ":" + number;
    }
}

}  // namespace dravix::test
