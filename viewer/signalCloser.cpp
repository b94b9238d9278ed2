#include "signalCloser.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kClosingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The socket the handler writes into; -1 while no closer listens. Lock-free, so that the
// handler may read it.
std::atomic<int> handlerSocket{-1};
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

signalCloser::signalCloser(QWidget& window, QObject* parent) : QObject(parent), window_(window) {
    // Both ends non-blocking: the handler never waits on a full socket (one byte there is
    // enough to close the window), and reading drains it without waiting.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sockets_) != 0) {
        std::printf("signals end the program: no socket pair (%d)\n", errno);
        return;
    }
    handlerSocket.store(sockets_[1]);
    notifier_ = new QSocketNotifier(sockets_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &signalCloser::readSignal);
    installHandlers();
}

signalCloser::~signalCloser() {
    restoreHandlers();
    handlerSocket.store(-1);
    for (const int socket : sockets_) {
        if (socket >= 0) {
            close(socket);
        }
    }
}

void signalCloser::onSignal(int signalNumber) {
    const int savedErrno = errno;
    const int socket = handlerSocket.load();
    if (socket >= 0) {
        const char number = static_cast<char>(signalNumber);
        [[maybe_unused]] const ssize_t written = write(socket, &number, 1);
    }
    errno = savedErrno;
}

void signalCloser::installHandlers() {
    struct sigaction action {};
    action.sa_handler = &signalCloser::onSignal;
    sigemptyset(&action.sa_mask);
    // Calls the library's threads are in when the signal lands on them go on as if nothing
    // happened.
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kClosingSignals) {
        struct sigaction previous {};
        if (sigaction(signalNumber, &action, &previous) == 0) {
            previousHandlers_.emplace_back(signalNumber, previous);
        }
    }
}

void signalCloser::restoreHandlers() {
    for (const auto& [signalNumber, previous] : previousHandlers_) {
        sigaction(signalNumber, &previous, nullptr);
    }
    previousHandlers_.clear();
}

void signalCloser::readSignal() {
    char numbers[16];
    for (ssize_t count; (count = read(sockets_[0], numbers, sizeof(numbers))) > 0;) {
        if (receivedSignal_ == 0) {
            receivedSignal_ = numbers[0];
        }
    }
    if (receivedSignal_ == 0 || previousHandlers_.empty()) {
        return;  // nothing arrived, or the window is being closed already
    }
    restoreHandlers();
    std::printf("signal %d: closing\n", receivedSignal_);
    closeModalDialogs();
    window_.close();
}

// A dialog that refuses to close ends the loop, as does one that stays the active modal widget.
void signalCloser::closeModalDialogs() {
    QWidget* modal = QApplication::activeModalWidget();
    while (modal != nullptr && modal->close()) {
        QWidget* next = QApplication::activeModalWidget();
        modal = next != modal ? next : nullptr;
    }
}
