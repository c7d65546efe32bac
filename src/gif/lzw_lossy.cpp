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

// The squared length of lanes: its first three.
template <class Lanes> std::int32_t squared_length(Lanes lanes) {
    const Lanes squares = lanes * lanes;
    return squares[0] + squares[1] + squares[2];
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
    : entries_(std::make_unique_for_overwrite<std::uint32_t[]>(table_size)),
      first_child_(std::make_unique<std::uint16_t[]>(max_codes)),
      sibling_(std::make_unique<std::uint16_t[]>(max_codes)),
      last_index_(std::make_unique<std::uint8_t[]>(max_codes)),
      child_count_(std::make_unique<std::uint16_t[]>(max_codes)),
      neighbours_(std::make_unique<std::uint8_t[]>(256 * 256)) {
    neighbour_count_.fill(-1);
}

bool lzw_lossy_encoder::take_colours(const std::uint8_t* table, int entries) {
    const std::size_t bytes = std::size_t(entries) * 3;
    if (entries == table_entries_ && std::memcmp(table, table_.data(), bytes) == 0)
        return false;
    std::memcpy(table_.data(), table, bytes);
    table_entries_ = entries;
    for (int e = 0; e < entries; ++e) {
        const lab_colour lab = lab_of(table[e * 3], table[e * 3 + 1], table[e * 3 + 2]);
        colours_[std::size_t(e)] = lanes{lab.l, lab.a, lab.b, 0};
    }
    return true;
}

void lzw_lossy_encoder::take_frame(const lossy_frame& frame, bool new_colours) {
    const std::int32_t reach = lossy_reach(frame.level);
    if (!new_colours && reach * reach == reach_squared_ && frame.transparent == transparent_ &&
        std::ranges::equal(frame.kept, kept_))
        return;
    reach_squared_ = reach * reach;
    transparent_ = frame.transparent;
    kept_.assign(frame.kept.begin(), frame.kept.end());
    for (int e = 0; e < table_entries_; ++e) {
        const std::uint8_t* colour = table_.data() + e * 3;
        const std::uint32_t rgb =
            std::uint32_t(colour[0]) << 16 | std::uint32_t(colour[1]) << 8 | colour[2];
        stays_[std::size_t(e)] = e == transparent_ || std::ranges::find(kept_, rgb) != kept_.end();
    }
    neighbour_count_.fill(-1);
}

void lzw_lossy_encoder::find_neighbours(unsigned e) {
    std::uint8_t* out = neighbours_.get() + std::size_t(e) * 256;
    std::int16_t n = 0;
    for (int c = 0; c < table_entries_; ++c)
        if (c != int(e) && !stays_[std::size_t(c)] &&
            squared_length(colours_[e] - colours_[std::size_t(c)]) <= reach_squared_)
            out[n++] = std::uint8_t(c);
    neighbour_count_[e] = n;
}

void lzw_lossy_encoder::clear_table(int roots) {
    std::fill_n(entries_.get(), table_size, free_slot);
    std::fill_n(first_child_.get(), roots, std::uint16_t(0));
    std::fill_n(child_count_.get(), roots, std::uint16_t(0));
}

int lzw_lossy_encoder::find(int prefix, unsigned next, std::uint32_t& slot) const {
    const std::uint32_t key = (std::uint32_t(next) << max_bits) + std::uint32_t(prefix);
    slot = (key * 0x9E3779B1u) >> (32 - table_bits);
    std::uint32_t entry = entries_[slot];
    while (entry != free_slot && entry >> max_bits != key) {
        slot = (slot + 1) & (table_size - 1);
        entry = entries_[slot];
    }
    return entry == free_slot ? 0 : int(entry & (max_codes - 1));
}

// Coordinates stay within 16 x 200 and the error carried within the reach
// (16 x 40), so squared lengths of differences fit 32 bits. A string has at
// most one longer string per index, so the lower index settles every tie
// whichever way the candidates are found.
int lzw_lossy_encoder::substitute(int prefix, unsigned truth, lanes wanted) {
    if (neighbour_count_[truth] < 0)
        find_neighbours(truth);
    int best = 0, best_index = 256;
    std::int32_t best_distance = reach_squared_ + 1;
    auto consider = [&](int code, int index) {
        const std::int32_t distance = squared_length(wanted - colours_[std::size_t(index)]);
        if (distance < best_distance || (distance == best_distance && index < best_index)) {
            best_distance = distance;
            best = code;
            best_index = index;
        }
    };
    const int neighbours = neighbour_count_[truth];
    if (child_count_[std::size_t(prefix)] > neighbours) {
        const std::uint8_t* near = neighbours_.get() + std::size_t(truth) * 256;
        std::uint32_t slot;
        for (int k = 0; k < neighbours; ++k)
            if (const int code = find(prefix, near[k], slot); code != 0)
                consider(code, near[k]);
        return best;
    }
    const lanes own = colours_[truth];
    for (int code = first_child_[std::size_t(prefix)]; code != 0;
         code = sibling_[std::size_t(code)]) {
        const int index = last_index_[std::size_t(code)];
        if (!stays_[std::size_t(index)] &&
            squared_length(own - colours_[std::size_t(index)]) <= reach_squared_)
            consider(code, index);
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
    take_frame(frame, take_colours(frame.table, clear_code));
    const std::size_t width = std::size_t(std::max(frame.width, 1));

    // Room for every code (see lzw_lookahead.cpp) and the packer's spare bytes.
    const std::size_t most_codes = count + count / 1024 + 4;
    if (packed_.size() < most_codes * 3 / 2 + 16)
        packed_.resize(most_codes * 3 / 2 + 16);
    lzw_packer out(packed_.data(), initial_bits);
    written_.resize(count);
    // Column x's entry is x + 1; columns -1 and width are edges, written but
    // never read.
    errors_.assign((width + 2) * 2, lanes{});
    lanes* here = errors_.data();
    lanes* below = here + width + 2;
    const lanes none{};

    clear_table(clear_code);
    out.put(clear_code);
    if (count > 0) {
        int prefix = int(indices[0] & mask);
        written_[0] = std::uint8_t(prefix);
        std::size_t x = 0;
        for (std::size_t i = 1; i < count; ++i) {
            if (++x == width) {
                x = 0;
                std::swap(here, below);
                std::fill_n(below, width + 2, none);
            }
            const unsigned next = indices[i] & mask;
            // What the pixel received, rounded; a pixel that keeps its index
            // passes it on.
            lanes error = (here[x + 1] + 32) >> 6;
            unsigned got = next;
            std::uint32_t slot;
            int longer = find(prefix, next, slot);
            if (longer == 0 && !stays_[next] && first_child_[std::size_t(prefix)] != 0) {
                // Another index may let the string grow.
                const lanes wanted = colours_[next] + error;
                longer = substitute(prefix, next, wanted);
                if (longer != 0) {
                    got = last_index_[std::size_t(longer)];
                    error = wanted - colours_[got];
                }
            }
            if (longer != 0) {
                prefix = longer;
            } else {
                out.put(prefix);
                out.widen(next_code);
                if (next_code < max_codes) {
                    const auto code = std::uint16_t(next_code++);
                    entries_[slot] = ((std::uint32_t(next) << max_bits) + std::uint32_t(prefix))
                                         << max_bits |
                                     code;
                    last_index_[code] = std::uint8_t(next);
                    first_child_[code] = 0;
                    child_count_[code] = 0;
                    sibling_[code] = first_child_[std::size_t(prefix)];
                    first_child_[std::size_t(prefix)] = code;
                    ++child_count_[std::size_t(prefix)];
                } else {
                    // Code 4095 is taken: start a fresh table at the narrowest width.
                    clear_table(clear_code);
                    next_code = clear_code + 2;
                    out.put(clear_code);
                    out.narrow();
                }
                prefix = int(next);
            }
            written_[i] = std::uint8_t(got);
            // Damped to three quarters: 21/64 to the right, 9/64, 15/64 and
            // 3/64 below behind, below and below ahead.
            if (!stays_[got] && (error[0] | error[1] | error[2]) != 0) {
                here[x + 2] += error * 21;
                below[x] += error * 9;
                below[x + 1] += error * 15;
                below[x + 2] += error * 3;
            }
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
