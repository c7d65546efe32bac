#pragma once
#include <string>
#include <string_view>

namespace zoetra {

// Letter-case-blind comparison used by every look-up that ignores case.
bool same_name(std::string_view a, std::string_view b);

// The longest leading decimal number of a text (blanks, sign, digits,
// fraction, exponent), 0 when the text does not start with one.
double read_number(std::string_view text);

// printf-style formatting into a std::string.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

} // namespace zoetra
