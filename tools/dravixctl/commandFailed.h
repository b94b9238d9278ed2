#pragma once

#include <stdexcept>
#include <string>

namespace dravixctl {

// A command that could not be done; the message names what failed and what to do.
class commandFailed : public std::runtime_error {
  public:
    explicit commandFailed(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace dravixctl
