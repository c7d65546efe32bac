#pragma once
// The program's pseudo-random generator: a small linear congruential
// generator with the classic 15-bit output, so that sequences are the same on
// every platform. Effects draw from it, so the order of draws is part of the
// bytes of a saved file: each program (and each test) has one generator, in
// its context, seeded with 1.
namespace zoetra {

class random_generator {
  public:
    // One step of the generator on a state held in hand, for loops that take
    // many draws: they take state(), step it and leave it there.
    static int next_draw(unsigned long& state) {
        state = state * 1103515245UL + 12345UL;
        return static_cast<int>((state / 65536UL) % 32768UL);
    }

    // One draw: 0 to 32767, uniform.
    int draw() { return next_draw(state_); }
    // lo + (hi - lo) * n / 32767 with n a fresh draw.
    double real(double lo, double hi) { return lo + (hi - lo) * draw() * (1.0 / 32767.0); }
    void seed(unsigned seed) { state_ = seed; }
    unsigned long& state() { return state_; }

  private:
    unsigned long state_ = 1;
};

} // namespace zoetra
