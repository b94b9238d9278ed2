#pragma once

#include <QObject>

#include <csignal>
#include <utility>
#include <vector>

class QSocketNotifier;
class QWidget;

// Closes a window the normal way when the process receives SIGINT, SIGTERM or SIGHUP, so that
// Ctrl-C, `kill` or a closed terminal still completes a recording and shuts the camera down
// instead of ending the process on the spot. The signal handler only writes the signal's number
// into a socket pair, which is async-signal-safe; a notifier on the GUI thread reads it, closes
// any modal dialog (its event loop would keep the program running) and then the window. The
// previous handlers come back once the window is being closed, so that a second signal ends a
// process whose shutdown hangs, and at the latest with the closer's destruction.
// One closer at a time per process: the handler knows a single socket pair.
class signalCloser : public QObject {
    Q_OBJECT

  public:
    explicit signalCloser(QWidget& window, QObject* parent = nullptr);
    ~signalCloser() override;
    signalCloser(const signalCloser&) = delete;
    signalCloser& operator=(const signalCloser&) = delete;

    // Whether the handlers are in place (false when the socket pair could not be made).
    bool isListening() const { return notifier_ != nullptr; }
    // The signal that closed the window; 0 while none has arrived.
    int receivedSignal() const { return receivedSignal_; }

  private:
    static void onSignal(int signalNumber);
    void installHandlers();
    void restoreHandlers();
    void readSignal();
    void closeModalDialogs();

    QWidget& window_;
    int sockets_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    std::vector<std::pair<int, struct sigaction>> previousHandlers_;
    int receivedSignal_ = 0;
};
