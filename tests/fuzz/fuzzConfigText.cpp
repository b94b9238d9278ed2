// Fuzz target of the configuration text parser. The input's first line is the value name, the
// rest is the configuration text. Besides memory safety it checks three properties:
//  - atoiValue agrees with the C library's strtoll on the same text, saturated to int;
//  - a value other than 0 comes only from text that contains the name and a '=';
//  - a definition appended to the text wins over everything before it.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/configText.h"

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzzConfigText: %s\n", what);
        std::abort();
    }
}

// atoi with saturation, from the C library; an embedded NUL ends the number there as well.
int referenceAtoi(std::string_view text) {
    const std::string copy(text.substr(0, dravix::kConfigValueMaxLength));
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A name that a KEY=VALUE line can define: non-empty, no '=', no blanks at its ends and not
// starting like a comment.
bool isDefinableName(std::string_view name) {
    return !name.empty() && name.find('=') == std::string_view::npos && !isBlank(name.front()) &&
           !isBlank(name.back()) && name.front() != '#' && name.front() != ';';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string_view name = input.substr(0, newline);
    const std::string_view text =
        newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

    check(dravix::atoiValue(text) == referenceAtoi(text), "atoiValue differs from strtoll");
    check(dravix::atoiValue(name) == referenceAtoi(name), "atoiValue differs from strtoll");

    const int value = dravix::configValueFromText(text, name);
    if (value != 0) {
        check(text.find(name) != std::string_view::npos && text.find('=') != std::string_view::npos,
              "a value was found for a name the text does not define");
    }

    if (isDefinableName(name)) {
        std::string redefined(text);
        redefined.append("\n").append(name).append("=-123");
        check(dravix::configValueFromText(redefined, name) == -123,
              "the last definition does not win");
    }
    return 0;
}
