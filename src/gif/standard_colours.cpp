#include "gif/standard_colours.hpp"

#include <algorithm>
#include <cassert>

namespace zoetra::gif_detail {

namespace {

// Transparent pixels take the colour of the opaque pixel before them (those
// before the first opaque pixel, its colour).
void fill_transparent_pixels(source_crop& crop, std::size_t count) {
    std::uint8_t* rgb = crop.rgb.get();
    const std::uint8_t* clear = crop.transparent.get();
    const std::uint8_t* opaque = std::find(clear, clear + count, 0);
    if (opaque == clear + count)
        return;
    const std::uint8_t* colour = rgb + (opaque - clear) * 3;
    for (std::size_t p = 0; p < count; ++p) {
        if (clear[p])
            std::copy_n(colour, 3, rgb + p * 3);
        else
            colour = rgb + p * 3;
    }
}

} // namespace

standard_colours::standard_colours(writer_context& context, const animation_frames& frames,
                                   bool always_transparent)
    : context_(context), frames_(frames),
      pixel_count_(frames.pixel_count()), crops_{source_crop(pixel_count_),
                                                 source_crop(pixel_count_)},
      indices_(frames.count(), pixel_count_),
      palettes_(
          allocate_zeroed_array<std::uint8_t>(std::max<std::size_t>(frames.count(), 1) * 256 * 3)),
      fewer_(context.options().colours_max < 256),
      wanted_(std::clamp(context.options().colours_max, 2, standard_colour_count)),
      always_transparent_(always_transparent), frame_colours_(frames.count(), 0),
      has_transparent_(frames.count(), 0) {
    // The helper's reductions must allocate nothing; this thread's also
    // reduces the palettes, 256 entries wide.
    for (int k = 0; k < 2; ++k)
        context.lane(k).need(coding_lane::standard_reduction);
    context.lane(0).quantizer->prepare_for_width(std::max<int>(frames.size.width, 256));
    context.lane(1).quantizer->prepare_for_width(frames.size.width);
}

// Frame palettes never use index 255, so it marks the transparent pixels
// meanwhile.
void standard_colours::reduce_frame(colour_quantizer& quantizer, std::size_t i, int slot) {
    if (fewer_)
        fill_transparent_pixels(crops_[slot], pixel_count_);
    const std::uint8_t* colours = crops_[slot].rgb.get();
    const std::uint8_t* clear = crops_[slot].transparent.get();
    std::uint8_t* indices = indices_.get(i);
    std::uint8_t red[256] = {}, green[256] = {}, blue[256] = {};
    [[maybe_unused]] const outcome reduced =
        quantizer.reduce(colours, frames_.size.width, frames_.size.height, indices, red, green,
                         blue, standard_colour_count);
    assert(reduced.ok());
    frame_colours_[i] = quantizer.colour_count();
    for (std::size_t p = 0; p < pixel_count_; ++p)
        if (clear[p]) {
            indices[p] = standard_transparent;
            has_transparent_[i] = 1;
        }
    std::uint8_t* row = palettes_.get() + i * 256 * 3;
    for (int e = 0; e < 256; ++e) {
        row[e * 3] = red[e];
        row[e * 3 + 1] = green[e];
        row[e * 3 + 2] = blue[e];
    }
}

void standard_colours::reduce_frames() {
    context_.threads().in_pairs(
        frames_.count(), [&](std::size_t first, std::size_t n) { take_pair(first, n); },
        [&](std::size_t frame, int lane) {
            reduce_frame(*context_.lane(lane).quantizer, frame, lane);
        },
        [&](std::size_t frame, int) {
            // Fewer colours map every frame again.
            if (fewer_)
                indices_.drop(frame);
        });
    indices_.pin(0, 0);
}

// Allocation happens here, on this thread, before the pair is in hand.
void standard_colours::take_pair(std::size_t first, std::size_t n) {
    indices_.pin(first, n);
    for (std::size_t k = 0; k < n; ++k)
        indices_.make(first + k);
    for (std::size_t k = 0; k < n; ++k)
        crops_[k].take(frames_, first + k);
}

void standard_colours::choose_global_table() {
    if (fewer_) {
        choose_fewer_colours();
        return;
    }
    const std::size_t frame_count = frames_.count();
    global_indices_ = allocate_array<std::uint8_t>(std::max<std::size_t>(frame_count, 1) * 256);
    colour_quantizer& quantizer = *context_.lane(0).quantizer;
    std::uint8_t red[256] = {}, green[256] = {}, blue[256] = {};
    [[maybe_unused]] const outcome reduced =
        quantizer.reduce(palettes_.get(), 256, int(frame_count), global_indices_.get(), red, green,
                         blue, standard_colour_count);
    assert(reduced.ok());
    std::array<std::uint8_t, 768>& table = context_.global_table();
    for (int e = 0; e < quantizer.colour_count(); ++e) {
        table[std::size_t(e) * 3] = red[e];
        table[std::size_t(e) * 3 + 1] = green[e];
        table[std::size_t(e) * 3 + 2] = blue[e];
    }
}

// The frame palettes, each repeated to the width of the largest one so that
// no entry brings a colour of its own (a frame without colours takes the
// first frame's that has some), reduced together to the colours wanted.
void standard_colours::choose_fewer_colours() {
    const std::size_t frame_count = frames_.count();
    int width = 1;
    for (int count : frame_colours_)
        width = std::max(width, count);
    const auto coloured = std::find_if(frame_colours_.begin(), frame_colours_.end(),
                                       [](int count) { return count > 0; });
    const std::size_t room = std::max<std::size_t>(frame_count, 1) * std::size_t(width);
    auto rows = allocate_zeroed_array<std::uint8_t>(room * 3);
    for (std::size_t i = 0; i < frame_count; ++i) {
        const std::size_t from = frame_colours_[i] > 0 || coloured == frame_colours_.end()
                                     ? i
                                     : std::size_t(coloured - frame_colours_.begin());
        const int count = std::max(1, frame_colours_[from]);
        const std::uint8_t* palette = palettes_.get() + from * 256 * 3;
        std::uint8_t* row = rows.get() + i * std::size_t(width) * 3;
        for (int e = 0; e < width; ++e)
            std::copy_n(palette + (e % count) * 3, 3, row + e * 3);
    }
    auto ignored = allocate_array<std::uint8_t>(room);
    colour_quantizer& quantizer = *context_.lane(0).quantizer;
    [[maybe_unused]] const outcome reduced = quantizer.reduce(
        rows.get(), width, int(frame_count), ignored.get(), red_, green_, blue_, wanted_);
    assert(reduced.ok());
    colour_count_ = std::max(1, quantizer.colour_count());
    std::array<std::uint8_t, 768>& table = context_.global_table();
    table.fill(0);
    for (int e = 0; e < colour_count_; ++e) {
        table[std::size_t(e) * 3] = red_[e];
        table[std::size_t(e) * 3 + 1] = green_[e];
        table[std::size_t(e) * 3 + 2] = blue_[e];
    }
    transparency_ =
        always_transparent_ ||
        std::find(has_transparent_.begin(), has_transparent_.end(), 1) != has_transparent_.end();
    transparent_ = transparency_ ? std::uint8_t(colour_count_) : 0;
    table_bits_ = table_bits_for(colour_count_ + (transparency_ ? 1 : 0));
}

void standard_colours::map_to_global(std::size_t i) {
    source_crop& crop = crops_[0];
    crop.take(frames_, i);
    fill_transparent_pixels(crop, pixel_count_);
    std::uint8_t* indices = indices_.get(i);
    context_.lane(0).quantizer->map_to(crop.rgb.get(), frames_.size.width, frames_.size.height,
                                       indices, red_, green_, blue_, colour_count_);
    const std::uint8_t* clear = crop.transparent.get();
    for (std::size_t p = 0; p < pixel_count_; ++p)
        if (clear[p])
            indices[p] = transparent_;
}

void standard_colours::keep(std::size_t i) {
    if (indices_.get(i) != nullptr)
        return;
    indices_.make(i);
    if (fewer_) {
        map_to_global(i);
        return;
    }
    crops_[0].take(frames_, i);
    reduce_frame(*context_.lane(0).quantizer, i, 0);
}

const std::uint8_t* standard_colours::to_global(std::size_t i) {
    if (fewer_)
        return indices_.get(i);
    std::uint8_t to_table[256];
    std::copy_n(global_indices_.get() + i * 256, 256, to_table);
    to_table[standard_transparent] = standard_transparent;
    std::uint8_t* indices = indices_.get(i);
    for (std::size_t p = 0; p < pixel_count_; ++p)
        indices[p] = to_table[indices[p]];
    return indices;
}

} // namespace zoetra::gif_detail
