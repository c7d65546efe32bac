#include "gif/fine_quantizer.hpp"

#include <libimagequant.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

namespace zoetra {
namespace {

// libimagequant's speed: 5 keeps its edge- and noise-aware dithering and
// most of its palette refinement at about half the time of its default.
constexpr int liq_speed = 5;
constexpr float dithering_level = 1.0f;

// libimagequant brings OpenMP along; asking it for one thread on the calling
// thread keeps every sum in one order. The function is looked up rather than
// linked, since the program itself uses no OpenMP.
void use_one_openmp_thread() {
    thread_local bool done = false;
    if (done)
        return;
    done = true;
    using set_threads = void (*)(int);
    if (void* found = dlsym(RTLD_DEFAULT, "omp_set_num_threads"))
        reinterpret_cast<set_threads>(found)(1);
}

// When libimagequant fails (it only does when memory runs out): a fixed cube
// of 6 x 7 x 6 colours, each pixel the nearest one, without dithering; with
// fewer colours allowed, fewer steps on the longest side (green first) until
// the cube fits. A side of one step is mid-grey.
int cube_colours(const std::uint8_t* rgba, std::size_t count, std::uint8_t* indices,
                 std::uint8_t* colours, int most) {
    int reds = 6, greens = 7, blues = 6;
    while (reds * greens * blues > most) {
        if (greens >= reds && greens >= blues)
            --greens;
        else if (reds >= blues)
            --reds;
        else
            --blues;
    }
    auto level = [](int step, int steps) {
        return steps == 1 ? 128 : (step * 255 + (steps - 1) / 2) / (steps - 1);
    };
    int n = 0;
    for (int r = 0; r < reds; ++r)
        for (int g = 0; g < greens; ++g)
            for (int b = 0; b < blues; ++b, ++n) {
                colours[n * 3] = std::uint8_t(level(r, reds));
                colours[n * 3 + 1] = std::uint8_t(level(g, greens));
                colours[n * 3 + 2] = std::uint8_t(level(b, blues));
            }
    auto nearest = [](int value, int steps) { return (value * (steps - 1) + 127) / 255; };
    for (std::size_t p = 0; p < count; ++p) {
        const std::uint8_t* px = rgba + p * 4;
        indices[p] =
            px[3] == 0
                ? fine_quantizer::not_drawn
                : std::uint8_t((nearest(px[0], reds) * greens + nearest(px[1], greens)) * blues +
                               nearest(px[2], blues));
    }
    return n;
}

// The opaque entries of libimagequant's palette (at most most of them),
// numbered in order, into colours; to_colour maps its indices to those
// numbers (not_drawn for its transparent entry and any left over). Returns
// how many.
int take_palette(const liq_palette& palette, std::uint8_t* to_colour, std::uint8_t* colours,
                 int most) {
    int n = 0;
    std::fill_n(to_colour, 256, fine_quantizer::not_drawn);
    for (unsigned e = 0; e < palette.count && e < 256; ++e) {
        const liq_color& c = palette.entries[e];
        if (c.a == 0 || n == most)
            continue;
        colours[n * 3] = c.r;
        colours[n * 3 + 1] = c.g;
        colours[n * 3 + 2] = c.b;
        to_colour[e] = std::uint8_t(n++);
    }
    return n;
}

std::uint32_t rgb_key(const std::uint8_t* colour) {
    return std::uint32_t(colour[0]) << 16 | std::uint32_t(colour[1]) << 8 | colour[2];
}

liq_color opaque_colour(std::uint32_t rgb) {
    return {std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb), 255};
}

outcome quantized(liq_error error) {
    if (error == LIQ_OK)
        return outcome::success();
    return outcome::failure("libimagequant cannot choose the colours (error " +
                            std::to_string(int(error)) + ")");
}

// libimagequant's result, freed when it goes.
struct liq_handles {
    liq_image* image = nullptr;
    liq_result* result = nullptr;
    ~liq_handles() {
        if (result != nullptr)
            liq_result_destroy(result);
        if (image != nullptr)
            liq_image_destroy(image);
    }
};

} // namespace

fine_quantizer::fine_quantizer() : attr_(liq_attr_create()) {
    if (attr_ != nullptr)
        liq_set_speed(attr_, liq_speed);
}

void fine_quantizer::set_most_colours(int count) {
    most_colours_ = std::clamp(count, 2, max_colours);
}

void fine_quantizer::set_kept_colours(std::span<const std::uint32_t> colours) {
    kept_count_ = int(std::min(colours.size(), kept_.size()));
    std::copy_n(colours.begin(), kept_count_, kept_.begin());
}

fine_quantizer::~fine_quantizer() {
    drop_shared();
    if (attr_ != nullptr)
        liq_attr_destroy(attr_);
}

int fine_quantizer::reduce(const std::uint8_t* rgba, int width, int height, std::uint8_t* indices,
                           std::uint8_t* colours) {
    const std::size_t count = std::size_t(width) * std::size_t(height);
    bool any_drawn = false, any_left = false;
    for (std::size_t p = 0; p < count; ++p) {
        const bool drawn = rgba[p * 4 + 3] != 0;
        any_drawn = any_drawn || drawn;
        any_left = any_left || !drawn;
    }
    if (!any_drawn) {
        std::memset(indices, not_drawn, count);
        return 0;
    }
    if (attr_ == nullptr)
        return fallback_colours(rgba, count, indices, colours);
    use_one_openmp_thread();

    // Pixels left out become one fully transparent entry of libimagequant's
    // palette, which is not one of the frame's colours.
    const int most = most_colours();
    liq_handles liq;
    if (liq_set_max_colors(attr_, any_left ? most + 1 : most) != LIQ_OK ||
        (liq.image = liq_image_create_rgba(attr_, rgba, width, height, 0)) == nullptr ||
        !choose_colours(liq.image, rgba, width, height, liq.result) ||
        liq_set_dithering_level(liq.result, dithering_ ? dithering_level : 0.0f) != LIQ_OK ||
        liq_write_remapped_image(liq.result, liq.image, indices, count) != LIQ_OK)
        return fallback_colours(rgba, count, indices, colours);

    const liq_palette* palette = liq_get_palette(liq.result);
    std::uint8_t to_colour[256];
    int n = take_palette(*palette, to_colour, colours, most);
    if (n == 0)
        return fallback_colours(rgba, count, indices, colours);
    renumber(rgba, count, to_colour, n, colours, indices);
    n = hold_kept_colours(colours, n);
    write_kept_colours(rgba, count, colours, n, indices);
    return n;
}

int fine_quantizer::fallback_colours(const std::uint8_t* rgba, std::size_t count,
                                     std::uint8_t* indices, std::uint8_t* colours) const {
    const int cube =
        cube_colours(rgba, count, indices, colours, std::max(1, most_colours() - kept_count_));
    const int n = hold_kept_colours(colours, cube);
    write_kept_colours(rgba, count, colours, n, indices);
    return n;
}

void fine_quantizer::add_kept_colours(liq_image* image) const {
    for (int k = 0; k < kept_count_; ++k)
        liq_image_add_fixed_color(image, opaque_colour(kept_[std::size_t(k)]));
}

int fine_quantizer::hold_kept_colours(std::uint8_t* colours, int count) const {
    auto is_kept = [&](const std::uint8_t* colour) {
        return std::find(kept_.begin(), kept_.begin() + kept_count_, rgb_key(colour)) !=
               kept_.begin() + kept_count_;
    };
    for (int k = 0; k < kept_count_; ++k) {
        const liq_color kept = opaque_colour(kept_[std::size_t(k)]);
        int nearest = -1, best = std::numeric_limits<int>::max();
        bool held = false;
        for (int e = 0; e < count && !held; ++e) {
            const std::uint8_t* colour = colours + e * 3;
            held = rgb_key(colour) == kept_[std::size_t(k)];
            const int dr = colour[0] - kept.r, dg = colour[1] - kept.g, db = colour[2] - kept.b;
            if (!is_kept(colour) && dr * dr + dg * dg + db * db < best) {
                best = dr * dr + dg * dg + db * db;
                nearest = e;
            }
        }
        if (held)
            continue;
        const int entry = count < most_colours() || nearest < 0 ? count++ : nearest;
        colours[entry * 3] = kept.r;
        colours[entry * 3 + 1] = kept.g;
        colours[entry * 3 + 2] = kept.b;
    }
    return count;
}

void fine_quantizer::write_kept_colours(const std::uint8_t* rgba, std::size_t count,
                                        const std::uint8_t* colours, int colour_count,
                                        std::uint8_t* indices) const {
    if (kept_count_ == 0 || rgba == nullptr)
        return;
    std::uint8_t entry[4] = {};
    for (int k = 0; k < kept_count_; ++k)
        for (int e = colour_count; e-- > 0;)
            if (rgb_key(colours + e * 3) == kept_[std::size_t(k)])
                entry[k] = std::uint8_t(e);
    for (std::size_t p = 0; p < count; ++p) {
        const std::uint8_t* px = rgba + p * 4;
        if (px[3] == 0)
            continue;
        const std::uint32_t colour = rgb_key(px);
        for (int k = 0; k < kept_count_; ++k)
            if (colour == kept_[std::size_t(k)])
                indices[p] = entry[k];
    }
}

// Colours are chosen from about sampled_pixels of a large picture: every
// step-th pixel of every step-th row (odd rows shifted by half a step). It
// costs a small part of the time and little of the quality; the whole
// picture is mapped all the same.
outcome fine_quantizer::choose_colours(liq_image* image, const std::uint8_t* rgba, int width,
                                       int height, liq_result*& result) {
    const double ratio = double(width) * double(height) / sampled_pixels;
    int step = 1;
    while (step < 64 && double(step) * step < ratio)
        ++step;
    if (step == 1) {
        add_kept_colours(image);
        return quantized(liq_image_quantize(image, attr_, &result));
    }
    const int sample_width = (width + step - 1) / step, sample_height = (height + step - 1) / step;
    sample_.resize(std::size_t(sample_width) * std::size_t(sample_height) * 4);
    std::uint8_t* out = sample_.data();
    for (int y = 0; y < sample_height; ++y) {
        const std::uint8_t* row = rgba + std::size_t(y) * step * width * 4;
        for (int x = 0; x < sample_width; ++x, out += 4)
            std::copy_n(row + std::size_t(std::min(width - 1, x * step + (y & 1) * step / 2)) * 4,
                        4, out);
    }
    liq_image* sample =
        liq_image_create_rgba(attr_, sample_.data(), sample_width, sample_height, 0);
    liq_histogram* histogram = liq_histogram_create(attr_);
    liq_error error = LIQ_OUT_OF_MEMORY;
    if (sample != nullptr)
        add_kept_colours(sample);
    if (sample != nullptr && histogram != nullptr &&
        (error = liq_histogram_add_image(histogram, attr_, sample)) == LIQ_OK)
        error = liq_histogram_quantize(histogram, attr_, &result);
    if (histogram != nullptr)
        liq_histogram_destroy(histogram);
    if (sample != nullptr)
        liq_image_destroy(sample);
    return quantized(error);
}

void fine_quantizer::renumber(const std::uint8_t* rgba, std::size_t count,
                              const std::uint8_t* to_colour, int colour_count,
                              const std::uint8_t* colours, std::uint8_t* indices) const {
    for (std::size_t p = 0; p < count; ++p) {
        const std::uint8_t* px = rgba + p * 4;
        std::uint8_t index = px[3] == 0 ? not_drawn : to_colour[indices[p]];
        if (px[3] != 0 && index == not_drawn) {
            // A drawn pixel that dithering sent to the transparent entry
            // takes the nearest colour instead.
            int best = std::numeric_limits<int>::max();
            for (int e = 0; e < colour_count; ++e) {
                const int dr = px[0] - colours[e * 3], dg = px[1] - colours[e * 3 + 1],
                          db = px[2] - colours[e * 3 + 2];
                const int distance = dr * dr + dg * dg + db * db;
                if (distance < best) {
                    best = distance;
                    index = std::uint8_t(e);
                }
            }
        }
        indices[p] = index;
    }
}

void fine_quantizer::drop_shared() {
    if (shared_ != nullptr)
        liq_result_destroy(shared_);
    if (histogram_ != nullptr)
        liq_histogram_destroy(histogram_);
    shared_ = nullptr;
    histogram_ = nullptr;
}

void fine_quantizer::start_shared() {
    drop_shared();
    shared_left_out_ = false;
    shared_count_ = 0;
    shared_failed_ = attr_ == nullptr || (histogram_ = liq_histogram_create(attr_)) == nullptr;
    for (int k = 0; k < kept_count_ && !shared_failed_; ++k)
        shared_failed_ = liq_histogram_add_fixed_color(
                             histogram_, opaque_colour(kept_[std::size_t(k)]), 0) != LIQ_OK;
}

void fine_quantizer::add_shared(const std::uint8_t* rgba, int width, int height) {
    const std::size_t count = std::size_t(width) * std::size_t(height);
    bool any_drawn = false;
    for (std::size_t p = 0; p < count; ++p) {
        const bool drawn = rgba[p * 4 + 3] != 0;
        any_drawn = any_drawn || drawn;
        shared_left_out_ = shared_left_out_ || !drawn;
    }
    if (shared_failed_ || !any_drawn)
        return;
    use_one_openmp_thread();
    liq_handles liq;
    shared_failed_ =
        (liq.image = liq_image_create_rgba(attr_, rgba, width, height, 0)) == nullptr ||
        liq_histogram_add_image(histogram_, attr_, liq.image) != LIQ_OK;
}

int fine_quantizer::choose_shared(std::uint8_t* colours) {
    use_one_openmp_thread();
    std::uint8_t ignored[1];
    const int most = most_colours();
    if (!shared_failed_ &&
        (liq_set_max_colors(attr_, shared_left_out_ ? most + 1 : most) != LIQ_OK ||
         liq_histogram_quantize(histogram_, attr_, &shared_) != LIQ_OK ||
         liq_set_dithering_level(shared_, dithering_ ? dithering_level : 0.0f) != LIQ_OK ||
         (shared_count_ = take_palette(*liq_get_palette(shared_), shared_to_colour_,
                                       shared_colours_, most)) == 0))
        shared_failed_ = true;
    if (shared_failed_)
        shared_count_ = fallback_colours(nullptr, 0, ignored, shared_colours_);
    else
        shared_count_ = hold_kept_colours(shared_colours_, shared_count_);
    std::copy_n(shared_colours_, shared_count_ * 3, colours);
    return shared_count_;
}

void fine_quantizer::map_shared(const std::uint8_t* rgba, int width, int height,
                                std::uint8_t* indices) {
    const std::size_t count = std::size_t(width) * std::size_t(height);
    use_one_openmp_thread();
    liq_handles liq;
    if (shared_failed_ || count == 0 ||
        (liq.image = liq_image_create_rgba(attr_, rgba, width, height, 0)) == nullptr ||
        liq_write_remapped_image(shared_, liq.image, indices, count) != LIQ_OK) {
        fallback_colours(rgba, count, indices, shared_colours_);
        return;
    }
    renumber(rgba, count, shared_to_colour_, shared_count_, shared_colours_, indices);
    write_kept_colours(rgba, count, shared_colours_, shared_count_, indices);
}

} // namespace zoetra
