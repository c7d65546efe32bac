#pragma once
#include <string>
#include <string_view>

namespace zoetra {

// Letter-case-blind comparison used by every look-up that ignores case.
bool same_name(std::string_view a, std::string_view b);

// The process clock in seconds (milliseconds resolution).
double seconds();

// One draw of the program's pseudo-random generator: 0 to 32767, uniform.
int random_draw();
void seed_random(unsigned seed);
// lo + (hi - lo) * n / 32767 with n a fresh draw.
double random_real(double lo, double hi);

// The generator's step, for loops that take many draws: they hold the state
// (the process state's random_state) in hand and give it back when done.
// random_draw() is next_random_draw(process().random_state).
inline int next_random_draw(unsigned long& state) {
    state = state * 1103515245UL + 12345UL;
    return static_cast<int>((state / 65536UL) % 32768UL);
}

// The longest leading decimal number of a text (blanks, sign, digits,
// fraction, exponent), 0 when the text does not start with one.
double read_number(std::string_view text);

// printf-style formatting into a std::string.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

} // namespace zoetra
