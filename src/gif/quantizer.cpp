#include "gif/quantizer.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace zoetra {
namespace {

// Histogram geometry: a cell holds the colours that agree in the top 5 bits
// of red, 6 of green and 5 of blue.
constexpr int red_cells = 32;
constexpr int green_cells = 64;
constexpr int blue_cells = 32;
constexpr int cell_count = red_cells * green_cells * blue_cells;
constexpr int red_shift = 3;   // 8 values of red per cell
constexpr int green_shift = 2; // 4 values of green per cell
constexpr int blue_shift = 3;  // 8 values of blue per cell
// Below this many pixels an image is counted pixel by pixel, without passes
// over every cell.
constexpr int small_image_pixels = cell_count / 4;

constexpr int cell_index(int r, int g, int b) {
    return (r << 11) | (g << 5) | b;
}
constexpr int cell_of_colour(int red, int green, int blue) {
    return cell_index(red >> red_shift, green >> green_shift, blue >> blue_shift);
}

// Distances weigh green most and blue least, roughly as the eye does: a
// step of one cell counts 16 on red (8 values x 2), 12 on green (4 x 3) and
// 8 on blue (8 x 1).
constexpr int red_scale = 2;
constexpr int green_scale = 3;
constexpr int blue_scale = 1;
constexpr int red_cell_weight = (1 << red_shift) * red_scale;
constexpr int green_cell_weight = (1 << green_shift) * green_scale;
constexpr int blue_cell_weight = (1 << blue_shift) * blue_scale;

// The inverse-map cache is filled per block of 4 x 8 x 4 cells (32 values of
// each colour), which keeps the nearest-colour searches few and local.
constexpr int block_red_cells = 4;
constexpr int block_green_cells = 8;
constexpr int block_blue_cells = 4;

// Dithering error passed on is limited: small errors go on unchanged, middle
// ones are halved beyond 16 and everything from 48 up is capped at 32, so
// that a colour far from every palette entry does not smear across the image.
struct error_limit_table {
    std::array<std::int16_t, 511> values{};
    constexpr error_limit_table() {
        for (int e = 0; e <= 255; ++e) {
            int limited = e <= 15 ? e : e <= 47 ? 16 + (e - 16) / 2 : 32;
            values[255 + e] = static_cast<std::int16_t>(limited);
            values[255 - e] = static_cast<std::int16_t>(-limited);
        }
    }
    constexpr int operator[](int error) const { return values[error + 255]; }
};
constexpr error_limit_table error_limit;

// The same limit looked up straight from the sum of error shares, in
// sixteenths, that a pixel received: limit((sum + 8) >> 4), at sum + offset.
// Sums stay within +-(7 + 1 + 5 + 3) x 255; the 255 entries before offset -
// 16 x 255 are never read but keep the dithering loop's pointers inside.
struct share_limit_table {
    static constexpr int largest_sum = 16 * 255;
    static constexpr int offset = 255 + largest_sum;
    std::array<std::int8_t, offset + largest_sum + 1> values{};
    constexpr share_limit_table() {
        for (int sum = -largest_sum; sum <= largest_sum; ++sum)
            values[sum + offset] = static_cast<std::int8_t>(error_limit[(sum + 8) >> 4]);
    }
};
constexpr share_limit_table share_limit;

// The dithering loop keeps its numbers positive: a cell's entry holds 255 -
// c for its palette colour c, so a pixel's error e = v - c (-255..255) is
// held as e + 255 = v + the entry; the shares an entry of the error row
// gathers (1 + 5 + 3 errors) as their sum + 9 x 255. 7 x a value + a share
// sum from above + 7 x a cell's entry is then the sum of shares + 16 x 255.
constexpr int error_bias = 255;
constexpr int row_bias = 9 * error_bias;

// Four 16-bit lanes: red, green and blue errors and an unused lane.
using lanes = std::uint16_t __attribute__((vector_size(8)));

// at[7 x rest], read as (at - rest)[8 x rest]: one subtraction, the rest of
// the sum left to the load's address. (The empty statement keeps the compiler
// from turning it back into a multiplication by 7, which takes two steps
// before the load instead of one.)
inline std::int8_t plus_seven(const std::int8_t* at, std::ptrdiff_t rest) {
    const std::int8_t* less = at - rest;
#if defined(__GNUC__)
    __asm__("" : "+r"(less));
#endif
    return less[8 * rest];
}

constexpr int clamp_sample(int value) {
    return value < 0 ? 0 : value > 255 ? 255 : value;
}

} // namespace

// Inclusive cell bounds, the weighted squared diagonal and the number of
// occupied cells inside.
struct colour_quantizer::colour_box {
    int r0, r1, g0, g1, b0, b1;
    std::int32_t volume = 0;
    int colour_count = 0;
};

colour_quantizer::colour_quantizer()
    : storage_(allocate_array<cell_entry>(cell_count)),
      known_(allocate_array<std::uint64_t>(cell_count / 64)) {}

outcome colour_quantizer::reduce(const std::uint8_t* rgb, int width, int height,
                                 std::uint8_t* indices, std::uint8_t* red_map,
                                 std::uint8_t* green_map, std::uint8_t* blue_map, int wanted) {
    colour_count_ = 0;
    if (wanted < 1 || wanted > 256)
        return outcome::failure("a reduction to " + std::to_string(wanted) +
                                " colours was asked for; 1 to 256 can be had");
    if (width < 0 || height < 0)
        return outcome::failure("an image of " + std::to_string(width) + " x " +
                                std::to_string(height) + " pixels cannot be reduced");
    const std::size_t pixel_count = std::size_t(width) * std::size_t(height);
    if (pixel_count == 0)
        return outcome::success();
    if (rgb == nullptr || indices == nullptr || red_map == nullptr || green_map == nullptr ||
        blue_map == nullptr)
        return outcome::failure("a reduction was given no pixels, indices or colour maps");

    select_colours(wanted, count_pixels(rgb, pixel_count));
    std::copy_n(palette_red_, colour_count_, red_map);
    std::copy_n(palette_green_, colour_count_, green_map);
    std::copy_n(palette_blue_, colour_count_, blue_map);
    map_pixels(rgb, width, height, indices);
    return outcome::success();
}

void colour_quantizer::map_to(const std::uint8_t* rgb, int width, int height, std::uint8_t* indices,
                              const std::uint8_t* red_map, const std::uint8_t* green_map,
                              const std::uint8_t* blue_map, int count) {
    colour_count_ = std::clamp(count, 1, 256);
    std::copy_n(red_map, colour_count_, palette_red_);
    std::copy_n(green_map, colour_count_, palette_green_);
    std::copy_n(blue_map, colour_count_, palette_blue_);
    if (width > 0 && height > 0)
        map_pixels(rgb, width, height, indices);
}

void colour_quantizer::prepare_for_width(int width) {
    // Two rows: the one being read and the one below gathering its shares.
    const std::size_t entries = (std::size_t(std::max(width, 0)) + 2) * 8;
    if (entries > error_row_capacity_) {
        error_row_ = allocate_array<std::uint16_t>(entries);
        error_row_capacity_ = entries;
    }
}

// Pixels go alternately to two histograms, so that neighbours of one cell
// do not wait for each other's count; counts stick at 65535 instead of
// wrapping round to 0, in each histogram and in their sum. The pass that adds
// the two also finds the bounding box of the occupied cells and their number,
// which is what shrinking the whole space would give. A small image, with
// fewer pixels than there are cells, is counted into one histogram and its
// box found from its pixels, so that it does not pay for whole-space passes.
colour_quantizer::colour_box colour_quantizer::count_pixels(const std::uint8_t* rgb,
                                                            std::size_t pixel_count) {
    std::uint16_t* histogram = histogram_storage();
    auto count = [](std::uint16_t& n) {
        if (++n == 0)
            --n;
    };
    int r0 = INT_MAX, r1 = -1, g0 = INT_MAX, g1 = -1, b0 = INT_MAX, b1 = -1;
    int occupied = 0;
    auto include = [&](int r, int g, int b) {
        ++occupied;
        r0 = std::min(r0, r);
        r1 = std::max(r1, r);
        g0 = std::min(g0, g);
        g1 = std::max(g1, g);
        b0 = std::min(b0, b);
        b1 = std::max(b1, b);
    };
    if (pixel_count < std::size_t(small_image_pixels)) {
        std::memset(histogram, 0, cell_count * sizeof(std::uint16_t));
        for (std::size_t i = 0; i < pixel_count; ++i, rgb += 3) {
            std::uint16_t& n = histogram[cell_of_colour(rgb[0], rgb[1], rgb[2])];
            if (n == 0)
                include(rgb[0] >> red_shift, rgb[1] >> green_shift, rgb[2] >> blue_shift);
            count(n);
        }
    } else {
        std::uint16_t* second = histogram + cell_count;
        std::memset(histogram, 0, cell_count * sizeof(std::uint16_t));
        std::memset(second, 0, cell_count * sizeof(std::uint16_t));
        std::size_t i = 0;
        for (; i + 1 < pixel_count; i += 2, rgb += 6) {
            count(histogram[cell_of_colour(rgb[0], rgb[1], rgb[2])]);
            count(second[cell_of_colour(rgb[3], rgb[4], rgb[5])]);
        }
        if (i < pixel_count)
            count(histogram[cell_of_colour(rgb[0], rgb[1], rgb[2])]);
        for (int r = 0, cell = 0; r < red_cells; ++r)
            for (int g = 0; g < green_cells; ++g)
                for (int b = 0; b < blue_cells; ++b, ++cell) {
                    const int sum = int(histogram[cell]) + int(second[cell]);
                    histogram[cell] = static_cast<std::uint16_t>(std::min(sum, 65535));
                    if (sum != 0)
                        include(r, g, b);
                }
    }
    colour_box box{r0, r1, g0, g1, b0, b1};
    set_volume(box);
    box.colour_count = occupied;
    return box;
}

void colour_quantizer::select_colours(int wanted, const colour_box& occupied) {
    std::array<colour_box, 256> boxes;
    int box_count = 1;
    boxes[0] = occupied;

    // Median cut: early on split the box with the most colours, later the
    // biggest one, so that sparse corners of the space still get entries.
    while (box_count < wanted) {
        colour_box* picked = nullptr;
        if (box_count * 2 <= wanted) {
            int most = 0;
            for (int i = 0; i < box_count; ++i)
                if (boxes[i].colour_count > most && boxes[i].volume > 0) {
                    most = boxes[i].colour_count;
                    picked = &boxes[i];
                }
        } else {
            std::int32_t largest = 0;
            for (int i = 0; i < box_count; ++i)
                if (boxes[i].volume > largest) {
                    largest = boxes[i].volume;
                    picked = &boxes[i];
                }
        }
        if (picked == nullptr)
            break;

        colour_box& low = *picked;
        colour_box& high = boxes[box_count++];
        high = low;
        const int red_length = (low.r1 - low.r0) * red_cell_weight;
        const int green_length = (low.g1 - low.g0) * green_cell_weight;
        const int blue_length = (low.b1 - low.b0) * blue_cell_weight;
        // Ties go to green, then red, then blue.
        int longest = green_length;
        char axis = 'g';
        if (red_length > longest) {
            longest = red_length;
            axis = 'r';
        }
        if (blue_length > longest)
            axis = 'b';
        switch (axis) {
        case 'r':
            low.r1 = (low.r0 + low.r1) / 2;
            high.r0 = low.r1 + 1;
            break;
        case 'g':
            low.g1 = (low.g0 + low.g1) / 2;
            high.g0 = low.g1 + 1;
            break;
        default:
            low.b1 = (low.b0 + low.b1) / 2;
            high.b0 = low.b1 + 1;
            break;
        }
        shrink(low);
        shrink(high);
    }

    for (int i = 0; i < box_count; ++i)
        set_box_colour(boxes[i], i);
    colour_count_ = box_count;
}

// Moves every face of the box inwards past empty cell planes. Since only
// empty planes are dropped, the result is the bounding box of the occupied
// cells inside, which one scan finds together with their number.
void colour_quantizer::shrink(colour_box& box) const {
    const std::uint16_t* histogram = histogram_storage();
    int r0 = INT_MAX, r1 = -1, g0 = INT_MAX, g1 = -1, b0 = INT_MAX, b1 = -1;
    int occupied = 0;
    for (int r = box.r0; r <= box.r1; ++r) {
        for (int g = box.g0; g <= box.g1; ++g) {
            const std::uint16_t* cell = histogram + cell_index(r, g, box.b0);
            int first = -1, last = -1;
            for (int b = box.b0; b <= box.b1; ++b, ++cell) {
                if (*cell != 0) {
                    if (first < 0)
                        first = b;
                    last = b;
                    ++occupied;
                }
            }
            if (first >= 0) {
                r0 = std::min(r0, r);
                r1 = r;
                g0 = std::min(g0, g);
                g1 = std::max(g1, g);
                b0 = std::min(b0, first);
                b1 = std::max(b1, last);
            }
        }
    }
    if (occupied > 0) {
        box.r0 = r0;
        box.r1 = r1;
        box.g0 = g0;
        box.g1 = g1;
        box.b0 = b0;
        box.b1 = b1;
    }
    set_volume(box);
    box.colour_count = occupied;
}

void colour_quantizer::set_volume(colour_box& box) {
    const std::int32_t dr = (box.r1 - box.r0) * red_cell_weight;
    const std::int32_t dg = (box.g1 - box.g0) * green_cell_weight;
    const std::int32_t db = (box.b1 - box.b0) * blue_cell_weight;
    box.volume = dr * dr + dg * dg + db * db;
}

// The count-weighted mean of the cell centres in the box, rounded.
void colour_quantizer::set_box_colour(const colour_box& box, int entry) {
    const std::uint16_t* histogram = histogram_storage();
    std::int64_t total = 0, red = 0, green = 0, blue = 0;
    for (int r = box.r0; r <= box.r1; ++r) {
        for (int g = box.g0; g <= box.g1; ++g) {
            const std::uint16_t* cell = histogram + cell_index(r, g, box.b0);
            for (int b = box.b0; b <= box.b1; ++b, ++cell) {
                if (const std::int64_t count = *cell) {
                    total += count;
                    red += count * ((r << red_shift) + (1 << red_shift) / 2);
                    green += count * ((g << green_shift) + (1 << green_shift) / 2);
                    blue += count * ((b << blue_shift) + (1 << blue_shift) / 2);
                }
            }
        }
    }
    if (total == 0)
        total = 1; // only for a box of an empty histogram, which is never kept
    palette_red_[entry] = static_cast<std::uint8_t>((red + total / 2) / total);
    palette_green_[entry] = static_cast<std::uint8_t>((green + total / 2) / total);
    palette_blue_[entry] = static_cast<std::uint8_t>((blue + total / 2) / total);
}

// Serpentine Floyd-Steinberg: even rows left to right, odd rows right to
// left. Errors are kept in sixteenths: 7/16 of a pixel's error goes to the
// next pixel of its row, 3/16, 5/16 and 1/16 to the pixels below behind, below
// and below ahead. Two error rows take turns: one holds the shares of the row
// being mapped, the other gathers the shares of the row below. They are
// interleaved, eight entries per column (red, green, blue and an unused
// entry of the even rows' shares, then the same of the odd rows'); column
// k - 1 has the entries from 8k, so columns -1 and width are edges whose
// entries are written but never used.
//
// The pixels of a row form one chain: each pixel's colour waits for the
// previous pixel's error. The chain is kept short: the next pixel's share sum
// is 7 x this value + the share from above (both known early) - 7 x the
// cell's palette colour, which one load of the cell's entry gives; a value
// out of range is rare, so it is clamped behind a branch; and the row below
// is summed in registers, four lanes at a time, and written once per entry.
template <int step>
void colour_quantizer::map_row(const std::uint8_t* in, std::uint8_t* out, std::uint16_t* errors,
                               int width) {
    constexpr std::ptrdiff_t step3 = step * 3;
    constexpr std::ptrdiff_t step8 = step * 8;
    // Even rows (left to right) read the even rows' shares; odd ones the odd.
    constexpr std::ptrdiff_t above = step == 1 ? 0 : 4;
    constexpr std::ptrdiff_t below = 4 - above;
    const cell_entry* const cells = storage_.get();
    const std::uint64_t* const known = known_.get();
    const std::int8_t* const limit =
        share_limit.values.data() + share_limit_table::offset - 16 * error_bias;

    // The limit table moved on by the share from above, and then also by 7 x
    // the previous pixel's value; with 7 x the previous cell's entry added,
    // at the sum of shares.
    const std::int8_t* sum_r = limit + errors[above];
    const std::int8_t* sum_g = limit + errors[above + 1];
    const std::int8_t* sum_b = limit + errors[above + 2];
    // The previous pixel's cell entry (before the first: no error).
    std::ptrdiff_t rest_r = error_bias, rest_g = error_bias, rest_b = error_bias;
    // The entry behind: its shares so far (1 x the error before the previous
    // pixel's and 5 x the previous pixel's); the previous error.
    lanes behind = lanes{} + std::uint16_t(6 * error_bias);
    lanes last = lanes{} + std::uint16_t(error_bias);
    for (int n = width; n > 0; --n) {
        std::ptrdiff_t vr = std::ptrdiff_t(in[0]) + plus_seven(sum_r, rest_r);
        std::ptrdiff_t vg = std::ptrdiff_t(in[1]) + plus_seven(sum_g, rest_g);
        std::ptrdiff_t vb = std::ptrdiff_t(in[2]) + plus_seven(sum_b, rest_b);
        if (((vr | vg | vb) & ~std::ptrdiff_t{0xFF}) != 0) [[unlikely]] {
            vr = clamp_sample(int(vr));
            vg = clamp_sample(int(vg));
            vb = clamp_sample(int(vb));
        }
        const std::ptrdiff_t cell = ((vr & 0xF8) << 8) | ((vg & 0xFC) << 3) | (vb >> blue_shift);
        if ((known[cell >> 6] >> (cell & 63) & 1) == 0) [[unlikely]]
            fill_cache_block(int(vr) >> red_shift, int(vg) >> green_shift, int(vb) >> blue_shift);
        const cell_entry found = cells[cell];
        *out = found.index;
        rest_r = found.rest[0];
        rest_g = found.rest[1];
        rest_b = found.rest[2];
        // At the row's end this reads the edge entry, which is written (at
        // the first pixel of the row before) but never used.
        sum_r = limit + (7 * vr + errors[step8 + above]);
        sum_g = limit + (7 * vg + errors[step8 + above + 1]);
        sum_b = limit + (7 * vb + errors[step8 + above + 2]);

        // The errors, value + entry; the fourth lane is never read.
        const lanes error = lanes{std::uint16_t(vr + rest_r), std::uint16_t(vg + rest_g),
                                  std::uint16_t(vb + rest_b), 0};
        const lanes done = behind + error * std::uint16_t(3);
        std::memcpy(errors - step8 + below, &done, sizeof done);
        behind = last + error * std::uint16_t(5);
        last = error;
        in += step3;
        out += step;
        errors += step8;
    }
    // The last entry has no share from ahead: an error of 0.
    const lanes done = behind + std::uint16_t(3 * error_bias);
    std::memcpy(errors - step8 + below, &done, sizeof done);
}

void colour_quantizer::map_pixels(const std::uint8_t* rgb, int width, int height,
                                  std::uint8_t* indices) {
    // No cell is known yet; the histograms overwrote the entries.
    std::memset(known_.get(), 0, cell_count / 8);
    prepare_for_width(width);
    std::uint16_t* errors = error_row_.get();
    // The first row receives no shares.
    std::fill_n(errors, (std::size_t(width) + 2) * 8, std::uint16_t(row_bias));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = rgb + std::size_t(y) * width * 3;
        std::uint8_t* out = indices + std::size_t(y) * width;
        if (y % 2 == 0) {
            map_row<1>(in, out, errors + 8, width);
        } else {
            const std::size_t last = std::size_t(width - 1);
            map_row<-1>(in + last * 3, out + last, errors + (last + 1) * 8, width);
        }
    }
}

namespace {

// A block of 4 x 8 x 4 cells of the inverse map: its first cell, and the
// centres of its first and last cells, in 8-bit units.
struct cache_block {
    int first_r, first_g, first_b;
    int min_r, min_g, min_b;
    int max_r, max_g, max_b;

    // The block that holds the given cell.
    cache_block(int cell_r, int cell_g, int cell_b)
        : first_r(cell_r / block_red_cells * block_red_cells),
          first_g(cell_g / block_green_cells * block_green_cells),
          first_b(cell_b / block_blue_cells * block_blue_cells),
          min_r((first_r << red_shift) + (1 << red_shift) / 2),
          min_g((first_g << green_shift) + (1 << green_shift) / 2),
          min_b((first_b << blue_shift) + (1 << blue_shift) / 2),
          max_r(min_r + (block_red_cells - 1) * (1 << red_shift)),
          max_g(min_g + (block_green_cells - 1) * (1 << green_shift)),
          max_b(min_b + (block_blue_cells - 1) * (1 << blue_shift)) {}
};

// The palette in three planes.
struct palette_planes {
    const std::uint8_t* red;
    const std::uint8_t* green;
    const std::uint8_t* blue;
    int count;
};

// The four blue cells of a block side by side in one vector; a block is
// block_rows of them.
static_assert(block_blue_cells == 4);
using cell_lanes = std::int32_t __attribute__((vector_size(16)));
constexpr int block_rows = block_red_cells * block_green_cells;

// Each colour's smallest weighted distance to the block, into nearest;
// returns the least of all colours' largest distances.
std::int32_t block_distances(const cache_block& block, const palette_planes& palette,
                             std::int32_t* nearest) {
    auto nearest_and_farthest = [](int value, int low, int high, int scale, std::int32_t& near,
                                   std::int32_t& far) {
        const int near_gap = value < low ? low - value : value > high ? value - high : 0;
        const int far_gap = std::max(std::abs(value - low), std::abs(value - high));
        near += (near_gap * scale) * (near_gap * scale);
        far += (far_gap * scale) * (far_gap * scale);
    };
    std::int32_t least_farthest = INT32_MAX;
    for (int i = 0; i < palette.count; ++i) {
        std::int32_t near = 0, far = 0;
        nearest_and_farthest(palette.red[i], block.min_r, block.max_r, red_scale, near, far);
        nearest_and_farthest(palette.green[i], block.min_g, block.max_g, green_scale, near, far);
        nearest_and_farthest(palette.blue[i], block.min_b, block.max_b, blue_scale, near, far);
        nearest[i] = near;
        least_farthest = std::min(least_farthest, far);
    }
    return least_farthest;
}

// For every cell of the block the nearest of the candidates, the colours whose
// smallest distance (in nearest) does not exceed least_farthest.
void nearest_candidates(const cache_block& block, const palette_planes& palette,
                        const std::int32_t* nearest, std::int32_t least_farthest,
                        cell_lanes* best_colour) {
    cell_lanes best_distance[block_rows];
    for (int k = 0; k < block_rows; ++k) {
        best_distance[k] = cell_lanes{} + INT32_MAX;
        best_colour[k] = cell_lanes{};
    }
    for (int i = 0; i < palette.count; ++i) {
        if (nearest[i] > least_farthest)
            continue;
        // The distance separates into one term per axis.
        std::int32_t red_term[block_red_cells], green_term[block_green_cells];
        for (int k = 0; k < block_red_cells; ++k) {
            const int d = (block.min_r + (k << red_shift) - palette.red[i]) * red_scale;
            red_term[k] = d * d;
        }
        for (int k = 0; k < block_green_cells; ++k) {
            const int d = (block.min_g + (k << green_shift) - palette.green[i]) * green_scale;
            green_term[k] = d * d;
        }
        cell_lanes blue_term;
        for (int k = 0; k < block_blue_cells; ++k) {
            const int d = (block.min_b + (k << blue_shift) - palette.blue[i]) * blue_scale;
            blue_term[k] = d * d;
        }
        const cell_lanes colour = cell_lanes{} + i;
        for (int r = 0, k = 0; r < block_red_cells; ++r) {
            for (int g = 0; g < block_green_cells; ++g, ++k) {
                const cell_lanes distance = blue_term + (red_term[r] + green_term[g]);
                // Strictly less: the first colour in palette order wins ties.
                const cell_lanes nearer = distance < best_distance[k];
                best_distance[k] = (distance & nearer) | (best_distance[k] & ~nearer);
                best_colour[k] = (colour & nearer) | (best_colour[k] & ~nearer);
            }
        }
    }
}

} // namespace

// Fills the inverse map for the block of 4 x 8 x 4 cells holding the given
// cell. Distances are weighted squares, (2 dR)^2 + (3 dG)^2 + (dB)^2, to the
// cell centres. A palette colour can be nearest to some cell of the block only
// if its smallest distance to the block does not exceed the least of all
// colours' largest distances; only those candidates are compared per cell.
void colour_quantizer::fill_cache_block(int cell_r, int cell_g, int cell_b) {
    const cache_block block(cell_r, cell_g, cell_b);
    const palette_planes palette{palette_red_, palette_green_, palette_blue_, colour_count_};
    std::int32_t nearest[256];
    const std::int32_t least_farthest = block_distances(block, palette, nearest);
    cell_lanes best_colour[block_rows];
    nearest_candidates(block, palette, nearest, least_farthest, best_colour);

    cell_entry* cells = storage_.get();
    std::uint64_t* known = known_.get();
    for (int r = 0, k = 0; r < block_red_cells; ++r)
        for (int g = 0; g < block_green_cells; ++g, ++k)
            for (int b = 0; b < block_blue_cells; ++b) {
                const int index = best_colour[k][b];
                const int cell =
                    cell_index(block.first_r + r, block.first_g + g, block.first_b + b);
                cell_entry& entry = cells[cell];
                entry.rest[0] = static_cast<std::uint8_t>(error_bias - palette_red_[index]);
                entry.rest[1] = static_cast<std::uint8_t>(error_bias - palette_green_[index]);
                entry.rest[2] = static_cast<std::uint8_t>(error_bias - palette_blue_[index]);
                entry.index = static_cast<std::uint8_t>(index);
                known[cell >> 6] |= std::uint64_t{1} << (cell & 63);
            }
}

outcome reduce_colours(const std::uint8_t* rgb, int width, int height, std::uint8_t* indices,
                       std::uint8_t* red_map, std::uint8_t* green_map, std::uint8_t* blue_map,
                       int wanted) {
    // One reduction at a time, on the window's thread.
    static colour_quantizer quantizer;
    return quantizer.reduce(rgb, width, height, indices, red_map, green_map, blue_map, wanted);
}

} // namespace zoetra
