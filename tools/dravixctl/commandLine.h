#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace dravixctl {

// A command line that cannot be run as written; the message says what is wrong.
class usageError : public std::runtime_error {
  public:
    usageError(const std::string& command, const std::string& message)
        : std::runtime_error(message), command_(command) {}
    // The command whose usage applies, or empty for the global one.
    const std::string& command() const { return command_; }

  private:
    std::string command_;
};

// What the user asked for.
struct invocation {
    std::string command;
    std::vector<std::string> arguments;
    int32_t camera = 0;
    bool json = false;
    bool help = false;
    bool list = false;
    int32_t seconds = 5;
    std::optional<int32_t> head;
    int32_t bank = 0;
    uint8_t logMask = 0;
};

// Parses the arguments of dravixctl: global options and a command's own options may stand
// anywhere; "--" ends the options. Throws usageError for anything not understood.
class commandLine {
  public:
    static invocation parse(const std::vector<std::string>& arguments);
    // The usage text of `command`, or of the whole program when it is empty or unknown.
    static std::string usage(const std::string& command);
    static std::vector<std::string> commandNames();
    // A whole number in [minimum, maximum]; nothing else (no sign on unsigned, no trailing
    // text). Empty when the text is not such a number.
    static std::optional<int64_t> parseNumber(const std::string& text, int64_t minimum,
                                              int64_t maximum);
    // The log mask for a level name: that level and every more severe one.
    static std::optional<uint8_t> logMaskFor(const std::string& level);

  private:
    static void checkArguments(const invocation& call);
};

}  // namespace dravixctl
