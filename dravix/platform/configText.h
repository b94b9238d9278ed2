#pragma once

#include <string_view>

namespace dravix {

// Longest value text that is looked at; longer values are cut before conversion.
constexpr std::size_t kConfigValueMaxLength = 255;

// Converts text as atoi does: leading blanks, an optional sign, then decimal digits; 0 when
// there are none. Values beyond the int range saturate instead of overflowing.
int atoiValue(std::string_view text);

// Finds `name` in configuration text made of KEY=VALUE lines (blank lines and lines starting
// with '#' or ';' are ignored; blanks around the key are ignored; the last definition wins) and
// converts its value with atoiValue. Returns 0 when the name is absent.
int configValueFromText(std::string_view text, std::string_view name);

}  // namespace dravix
