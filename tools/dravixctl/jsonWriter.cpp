#include "jsonWriter.h"

#include <cmath>
#include <cstdio>

namespace dravixctl {
namespace {

// The length of the valid UTF-8 sequence at `at`, or 0.
std::size_t utf8Length(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    unsigned char lowest = 0x80;
    unsigned char highest = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = lead == 0xE0 ? 0xA0 : 0x80;
        highest = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = lead == 0xF0 ? 0x90 : 0x80;
        highest = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        const bool second = i == 1;
        if (next < (second ? lowest : 0x80) || next > (second ? highest : 0xBF)) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string jsonWriter::quoted(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = utf8Length(text, i);
            out += length == 0 ? std::string("\xEF\xBF\xBD") : text.substr(i, length);
            i += length == 0 ? 1 : length;
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    return out + "\"";
}

void jsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!hasMember_.empty()) {
        if (hasMember_.back()) {
            text_ += ',';
        }
        hasMember_.back() = true;
    }
}

void jsonWriter::beginObject() {
    separate();
    text_ += '{';
    hasMember_.push_back(false);
}

void jsonWriter::endObject() {
    hasMember_.pop_back();
    text_ += '}';
}

void jsonWriter::beginArray() {
    separate();
    text_ += '[';
    hasMember_.push_back(false);
}

void jsonWriter::endArray() {
    hasMember_.pop_back();
    text_ += ']';
}

void jsonWriter::key(const std::string& name) {
    separate();
    text_ += quoted(name) + ':';
    afterKey_ = true;
}

void jsonWriter::value(const std::string& text) {
    separate();
    text_ += quoted(text);
}

void jsonWriter::value(int64_t number) {
    separate();
    text_ += std::to_string(number);
}

// JSON has no NaN or infinity: they are written as null.
void jsonWriter::value(double number) {
    separate();
    if (!std::isfinite(number)) {
        text_ += "null";
        return;
    }
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%.6g", number);
    text_ += formatted;
}

void jsonWriter::value(bool flag) {
    separate();
    text_ += flag ? "true" : "false";
}

void jsonWriter::value(const std::vector<int64_t>& numbers) {
    beginArray();
    for (const int64_t number : numbers) {
        value(number);
    }
    endArray();
}

}  // namespace dravixctl
