#include "commandLine.h"

#include <cerrno>
#include <cstdlib>

#include "firmwareComponents.h"

namespace dravixctl {
namespace {

struct commandSpec {
    const char* name;
    const char* synopsis;
    const char* description;
    std::size_t minimumArguments;
    std::size_t maximumArguments;
    // The command's own options, separated by spaces.
    const char* options;
};

constexpr std::size_t kAny = 1000;

const commandSpec kCommands[] = {
    {"list", "list", "List the cameras: index, serial number, versions and USB speed.", 0, 0, ""},
    {"info", "info", "Show one camera's identity, versions, stream format and status.", 0, 0, ""},
    {"get", "get [NAME | --list] [--bank N]",
     "Show the values of the DSP parameter NAME; without NAME or with --list, list every\n"
     "parameter with its value count and ranges. --bank selects the bank of banked parameters.",
     0, 1, "--list --bank"},
    {"set", "set NAME VALUES... [--bank N]",
     "Set the DSP parameter NAME to VALUES (as many as `dravixctl get --list` shows).", 2, kAny,
     "--bank"},
    {"qpr", "qpr save|load FILE --head N",
     "Save the camera's settings to the QPR file FILE, or load them from it, for head type N.", 2,
     2, "--head"},
    {"snapshot", "snapshot FILE",
     "Write the next frame to FILE: JPEG (.jpg, .jpeg), BMP (.bmp) or raw YUY2 (.raw, .yuv).", 1, 1,
     ""},
    {"stream", "stream [--seconds N]",
     "Receive frames for N seconds (default 5) and show frames, missed frames, frame rate and\n"
     "the CPU share of this process. Ctrl-C ends the stream early with the same summary.",
     0, 0, "--seconds"},
    {"firmware", "firmware COMPONENT FILE",
     "Update the camera component COMPONENT from FILE, with a progress bar. Ctrl-C aborts the\n"
     "update. COMPONENT is one of: ",
     2, 2, ""},
    {"log", "log [--level error|warn|info|debug|verbose]",
     "Follow the library's log while the camera is open, until Ctrl-C (default level info).", 0, 0,
     "--level"},
};

const commandSpec* findCommand(const std::string& name) {
    for (const commandSpec& spec : kCommands) {
        if (name == spec.name) {
            return &spec;
        }
    }
    return nullptr;
}

bool takesOption(const commandSpec* spec, const std::string& option) {
    const std::string own = std::string(" ") + (spec != nullptr ? spec->options : "") + " ";
    return own.find(" " + option + " ") != std::string::npos;
}

int32_t numberOption(const std::string& command, const std::string& option, const std::string& text,
                     int64_t minimum, int64_t maximum) {
    const auto number = commandLine::parseNumber(text, minimum, maximum);
    if (!number) {
        throw usageError(command, option + " needs a whole number from " + std::to_string(minimum) +
                                      " to " + std::to_string(maximum) + ", not '" + text + "'");
    }
    return static_cast<int32_t>(*number);
}

}  // namespace

std::optional<int64_t> commandLine::parseNumber(const std::string& text, int64_t minimum,
                                                int64_t maximum) {
    if (text.empty() || (text[0] != '-' && (text[0] < '0' || text[0] > '9'))) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long long number = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || number < minimum || number > maximum) {
        return std::nullopt;
    }
    return number;
}

std::optional<uint8_t> commandLine::logMaskFor(const std::string& level) {
    const char* const levels[] = {"error", "warn", "info", "debug", "verbose"};
    uint8_t mask = 0;
    for (std::size_t i = 0; i < 5; ++i) {
        mask = static_cast<uint8_t>(mask | (1u << i));
        if (level == levels[i]) {
            return mask;
        }
    }
    return std::nullopt;
}

std::vector<std::string> commandLine::commandNames() {
    std::vector<std::string> names;
    for (const commandSpec& spec : kCommands) {
        names.emplace_back(spec.name);
    }
    return names;
}

std::string commandLine::usage(const std::string& command) {
    const commandSpec* spec = findCommand(command);
    if (spec != nullptr) {
        const std::string components =
            command == "firmware" ? firmwareComponents::namesText() + "." : "";
        return std::string("usage: dravixctl [--camera N] [--json] ") + spec->synopsis + "\n" +
               spec->description + components + "\n";
    }
    std::string text =
        "usage: dravixctl [--camera N] [--json] COMMAND [ARGUMENTS]\n"
        "       dravixctl COMMAND --help\n"
        "Controls a dravix camera from the command line.\n\n"
        "Commands:\n";
    for (const commandSpec& each : kCommands) {
        text += std::string("  ") + each.synopsis + "\n";
    }
    text +=
        "\nOptions:\n"
        "  --camera N  the camera to use (default 0; `dravixctl list` shows them)\n"
        "  --json      JSON on standard output: one document, or for `log` one per line\n"
        "  --help      this text, or a command's own with COMMAND --help\n\n"
        "Exit status: 0 done, 1 failed, 2 usage error.\n";
    return text;
}

invocation commandLine::parse(const std::vector<std::string>& arguments) {
    invocation call;
    std::vector<std::pair<std::string, std::string>> valued;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool isOption =
            !optionsEnded && argument.size() > 1 && argument[0] == '-' &&
            !(argument[1] >= '0' && argument[1] <= '9');  // negative values are arguments
        if (!isOption) {
            (call.command.empty() ? call.command : call.arguments.emplace_back()) = argument;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument;
        std::optional<std::string> value;
        const std::size_t equals = argument.find('=');
        if (equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        if (name == "--json" || name == "--help" || name == "-h" || name == "--list") {
            if (value) {
                throw usageError(call.command, name + " takes no value");
            }
            (name == "--json" ? call.json : name == "--list" ? call.list : call.help) = true;
            continue;
        }
        if (name != "--camera" && name != "--seconds" && name != "--head" && name != "--bank" &&
            name != "--level") {
            throw usageError(call.command, "unknown option " + name);
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                throw usageError(call.command, name + " needs a value");
            }
            value = arguments[++i];
        }
        valued.emplace_back(name, *value);
    }
    if (call.help) {
        if (!call.command.empty() && findCommand(call.command) == nullptr) {
            throw usageError("", "unknown command '" + call.command + "'");
        }
        return call;
    }
    for (const auto& [name, value] : valued) {
        if (name == "--camera") {
            call.camera = numberOption(call.command, name, value, 0, 9);
        } else if (name == "--seconds") {
            call.seconds = numberOption(call.command, name, value, 1, 86400);
        } else if (name == "--head") {
            call.head = numberOption(call.command, name, value, 0, 255);
        } else if (name == "--bank") {
            call.bank = numberOption(call.command, name, value, 0, 255);
        } else {
            const auto mask = logMaskFor(value);
            if (!mask) {
                throw usageError(call.command, "--level is error, warn, info, debug or verbose");
            }
            call.logMask = *mask;
        }
    }
    checkArguments(call);
    for (const auto& [name, value] : valued) {
        if (name != "--camera" && !takesOption(findCommand(call.command), name)) {
            throw usageError(call.command, call.command + " has no option " + name);
        }
    }
    if (call.list && !takesOption(findCommand(call.command), "--list")) {
        throw usageError(call.command, call.command + " has no option --list");
    }
    if (call.logMask == 0) {
        call.logMask = *logMaskFor("info");
    }
    return call;
}

void commandLine::checkArguments(const invocation& call) {
    if (call.command.empty()) {
        throw usageError("", "no command given");
    }
    const commandSpec* spec = findCommand(call.command);
    if (spec == nullptr) {
        throw usageError("", "unknown command '" + call.command + "'");
    }
    const std::size_t count = call.arguments.size();
    if (count < spec->minimumArguments || count > spec->maximumArguments) {
        throw usageError(call.command, call.command + " takes " +
                                           (count < spec->minimumArguments ? "more" : "fewer") +
                                           " arguments");
    }
    if (call.command == "qpr") {
        if (call.arguments[0] != "save" && call.arguments[0] != "load") {
            throw usageError(call.command, "qpr is followed by save or load");
        }
        if (!call.head) {
            throw usageError(call.command, "qpr needs --head N (the head type, 0 to 255)");
        }
    }
}

}  // namespace dravixctl
