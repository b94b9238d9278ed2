#pragma once

#include <QString>

// Sends the process's standard output into a temporary file while it lives, so that tests can read
// the lines the viewer prints; restores it on destruction.
class stdoutCapture {
  public:
    stdoutCapture();
    stdoutCapture(const stdoutCapture&) = delete;
    stdoutCapture& operator=(const stdoutCapture&) = delete;
    ~stdoutCapture();

    // Everything printed since construction.
    QString text() const;

  private:
    int savedStdout_ = -1;
    int file_ = -1;
};
