#include "gif/lzw_lossy.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zoetra {
namespace {

// sRGB to linear light.
double linear(std::uint8_t value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// The L*a*b* companding of a ratio to the white point.
double lab_curve(double ratio) {
    constexpr double delta = 6.0 / 29.0;
    return ratio > delta * delta * delta ? std::cbrt(ratio)
                                         : ratio / (3 * delta * delta) + 4.0 / 29.0;
}

// Sixteenths of a unit. Every coordinate lies within -200..200, so the
// rounded value fits easily.
std::int32_t sixteenths(double value) {
    return std::int32_t(std::lround(std::clamp(value, -200.0, 200.0) * 16));
}

// Of the error carried to a pixel, in 64ths, the part it takes: rounded.
std::int32_t carried(std::int32_t gathered) {
    return (gathered + 32) >> 6;
}

} // namespace

lab_colour lab_of(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const double r = linear(red), g = linear(green), b = linear(blue);
    // XYZ relative to the D65 white.
    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
    const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
    const double fx = lab_curve(x), fy = lab_curve(y), fz = lab_curve(z);
    return {sixteenths(116 * fy - 16), sixteenths(500 * (fx - fy)), sixteenths(200 * (fy - fz))};
}

lzw_lossy_encoder::lzw_lossy_encoder()
    : child_(std::make_unique_for_overwrite<std::uint16_t[]>(std::size_t(max_codes) * 256)),
      first_child_(std::make_unique<std::uint16_t[]>(max_codes)),
      sibling_(std::make_unique<std::uint16_t[]>(max_codes)),
      last_index_(std::make_unique<std::uint8_t[]>(max_codes)) {}

void lzw_lossy_encoder::take_colours(const std::uint8_t* table, int entries) {
    const std::size_t bytes = std::size_t(entries) * 3;
    if (entries == table_entries_ && std::memcmp(table, table_.data(), bytes) == 0)
        return;
    std::memcpy(table_.data(), table, bytes);
    table_entries_ = entries;
    for (int e = 0; e < entries; ++e)
        colours_[std::size_t(e)] = lab_of(table[e * 3], table[e * 3 + 1], table[e * 3 + 2]);
}

void lzw_lossy_encoder::clear_row(int code) {
    std::fill_n(child_.get() + std::size_t(code) * 256, 256, std::uint16_t(0));
    first_child_[std::size_t(code)] = 0;
}

int lzw_lossy_encoder::substitute(int prefix, const lab_colour& truth, const lab_colour& wanted,
                                  std::int64_t reach_squared, int transparent) const {
    int best = 0;
    std::int64_t best_distance = reach_squared + 1;
    for (int code = first_child_[std::size_t(prefix)]; code != 0;
         code = sibling_[std::size_t(code)]) {
        const int index = last_index_[std::size_t(code)];
        if (index == transparent)
            continue;
        const lab_colour& colour = colours_[std::size_t(index)];
        if (squared_distance(truth, colour) > reach_squared)
            continue;
        if (const std::int64_t distance = squared_distance(wanted, colour);
            distance < best_distance) {
            best_distance = distance;
            best = code;
        }
    }
    return best;
}

void lzw_lossy_encoder::encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices,
                               std::size_t count, const lossy_frame& frame) {
    initial_bits = std::clamp(initial_bits, 3, 9);
    const int clear_code = 1 << (initial_bits - 1);
    const int end_code = clear_code + 1;
    const unsigned mask = unsigned(clear_code - 1);
    int next_code = clear_code + 2;
    take_colours(frame.table, clear_code);
    const std::int64_t reach = lossy_reach(frame.level);
    const std::int64_t reach_squared = reach * reach;
    const int transparent = frame.transparent;
    const std::size_t width = std::size_t(std::max(frame.width, 1));

    // Room for every code (see lzw_lookahead.cpp) and the packer's spare bytes.
    const std::size_t most_codes = count + count / 1024 + 4;
    if (packed_.size() < most_codes * 3 / 2 + 16)
        packed_.resize(most_codes * 3 / 2 + 16);
    lzw_packer out(packed_.data(), initial_bits);
    written_.resize(count);
    const std::size_t row_entries = (width + 2) * 3;
    errors_.assign(row_entries * 2, 0);
    std::int32_t* here = errors_.data();
    std::int32_t* below = here + row_entries;

    auto clear_table = [&] {
        for (int root = 0; root < clear_code; ++root)
            clear_row(root);
    };
    // The pixel at column x wanted wanted and got the colour of index got:
    // the difference, damped, goes to the pixels after it.
    auto spread = [&](std::size_t x, const lab_colour& wanted, unsigned got) {
        const lab_colour& shown = colours_[got];
        const std::int32_t error[3] = {wanted.l - shown.l, wanted.a - shown.a, wanted.b - shown.b};
        for (int c = 0; c < 3; ++c) {
            here[(x + 2) * 3 + c] += error[c] * 21;
            below[x * 3 + c] += error[c] * 9;
            below[(x + 1) * 3 + c] += error[c] * 15;
            below[(x + 2) * 3 + c] += error[c] * 3;
        }
    };

    clear_table();
    out.put(clear_code);
    if (count > 0) {
        int prefix = int(indices[0] & mask);
        written_[0] = std::uint8_t(prefix);
        std::size_t x = 0;
        for (std::size_t i = 1; i < count; ++i) {
            if (++x == width) {
                x = 0;
                std::swap(here, below);
                std::fill_n(below, row_entries, 0);
            }
            const unsigned next = indices[i] & mask;
            const std::int32_t* received = here + (x + 1) * 3;
            const lab_colour& truth = colours_[next];
            const lab_colour wanted{truth.l + carried(received[0]), truth.a + carried(received[1]),
                                    truth.b + carried(received[2])};
            unsigned got = next;
            if (const int longer = child_[std::size_t(prefix) * 256 + next]; longer != 0) {
                prefix = longer;
            } else if (const int other =
                           int(next) == transparent
                               ? 0
                               : substitute(prefix, truth, wanted, reach_squared, transparent);
                       other != 0) {
                prefix = other;
                got = last_index_[std::size_t(other)];
            } else {
                out.put(prefix);
                out.widen(next_code);
                if (next_code < max_codes) {
                    const auto code = std::uint16_t(next_code++);
                    child_[std::size_t(prefix) * 256 + next] = code;
                    clear_row(code);
                    last_index_[code] = std::uint8_t(next);
                    sibling_[code] = first_child_[std::size_t(prefix)];
                    first_child_[std::size_t(prefix)] = code;
                } else {
                    // Code 4095 is taken: start a fresh table at the narrowest width.
                    clear_table();
                    next_code = clear_code + 2;
                    out.put(clear_code);
                    out.narrow();
                }
                prefix = int(next);
            }
            written_[i] = std::uint8_t(got);
            if (int(got) != transparent)
                spread(x, wanted, got);
        }
        out.put(prefix);
        out.widen(next_code);
    }
    out.put(end_code);
    write_blocks(sink, out.finish());
}

void lzw_lossy_encoder::write_blocks(byte_sink& sink, std::size_t length) const {
    for (std::size_t at = 0; at < length; at += block_bytes) {
        const std::size_t n = std::min<std::size_t>(block_bytes, length - at);
        sink.put(std::uint8_t(n));
        sink.write(packed_.data() + at, n);
    }
}

} // namespace zoetra
