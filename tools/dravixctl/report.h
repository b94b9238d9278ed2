#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "jsonWriter.h"

namespace dravixctl {

// The result of a command as named fields in a fixed order, written either for people
// ("name: value" lines) or as members of a JSON object, so that both outputs say the same.
class report {
  public:
    using fieldValue = std::variant<std::string, int64_t, double, bool, std::vector<int64_t>>;

    // Any whole number is kept as int64_t, any text as std::string.
    template <typename T>
    report& add(const std::string& name, T value) {
        if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
            return addField(name, fieldValue(static_cast<int64_t>(value)));
        } else if constexpr (std::is_convertible_v<T, std::string>) {
            return addField(name, fieldValue(std::string(value)));
        } else {
            return addField(name, fieldValue(std::move(value)));
        }
    }
    report& addField(const std::string& name, fieldValue value);

    // "name: value" lines, each value as text (numbers of a list separated by spaces).
    std::string text() const;
    // The fields as members of the writer's current object.
    void writeMembers(jsonWriter& json) const;
    // One JSON object holding the fields.
    std::string json() const;
    // Writes json() and a line end, or text(), to standard output.
    void print(bool asJson) const;

    static std::string valueText(const fieldValue& value);

  private:
    std::vector<std::pair<std::string, fieldValue>> fields_;
};

}  // namespace dravixctl
