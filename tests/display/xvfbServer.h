#pragma once

#include <sys/types.h>

#include <string>

namespace dravix::test {

// A private Xvfb server of this test process, for tests that end a server. It takes a free
// display number itself and dies with the thread that started it, so it never outlives the test.
class xvfbServer {
  public:
    // Starts the server and waits until it accepts connections; check started().
    xvfbServer();
    // Ends the server if it still runs.
    ~xvfbServer();
    xvfbServer(const xvfbServer&) = delete;
    xvfbServer& operator=(const xvfbServer&) = delete;

    bool started() const { return !name_.empty(); }
    // The display name, ":N".
    const std::string& name() const { return name_; }
    // Shuts the server down, which closes every connection, and waits until it is gone.
    void kill();

  private:
    // Reads the display number the server writes once it accepts connections.
    void readDisplayNumber(int fd);

    pid_t pid_ = -1;
    std::string name_;
};

}  // namespace dravix::test
