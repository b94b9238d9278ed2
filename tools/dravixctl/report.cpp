#include "report.h"

#include <cstdio>

namespace dravixctl {

report& report::addField(const std::string& name, fieldValue value) {
    fields_.emplace_back(name, std::move(value));
    return *this;
}

void report::print(bool asJson) const {
    const std::string output = asJson ? json() + "\n" : text();
    std::fputs(output.c_str(), stdout);
}

std::string report::valueText(const fieldValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<int64_t>(&value)) {
        return std::to_string(*number);
    }
    if (const auto* real = std::get_if<double>(&value)) {
        char formatted[32];
        std::snprintf(formatted, sizeof formatted, "%.2f", *real);
        return formatted;
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag ? "yes" : "no";
    }
    std::string joined;
    for (const int64_t number : std::get<std::vector<int64_t>>(value)) {
        joined += (joined.empty() ? "" : " ") + std::to_string(number);
    }
    return joined;
}

std::string report::text() const {
    std::string out;
    for (const auto& [name, value] : fields_) {
        out += name + ": " + valueText(value) + "\n";
    }
    return out;
}

void report::writeMembers(jsonWriter& json) const {
    for (const auto& [name, value] : fields_) {
        json.key(name);
        std::visit([&json](const auto& v) { json.value(v); }, value);
    }
}

std::string report::json() const {
    jsonWriter json;
    json.beginObject();
    writeMembers(json);
    json.endObject();
    return json.text();
}

}  // namespace dravixctl
