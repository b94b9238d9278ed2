#include "platform/configText.h"

#include <climits>

namespace dravix {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Value of `line` when it defines `name`.
bool valueOfLine(std::string_view line, std::string_view name, std::string_view& value) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    const std::string_view key = trimmed(line.substr(0, equals));
    if (key.empty() || key.front() == '#' || key.front() == ';' || key != name) {
        return false;
    }
    value = line.substr(equals + 1);
    return true;
}

}  // namespace

int atoiValue(std::string_view text) {
    text = text.substr(0, kConfigValueMaxLength);
    std::size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > limit) {
            magnitude = limit;
        }
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

int configValueFromText(std::string_view text, std::string_view name) {
    int result = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        std::string_view value;
        if (valueOfLine(line, name, value)) {
            result = atoiValue(value);
        }
    }
    return result;
}

}  // namespace dravix
