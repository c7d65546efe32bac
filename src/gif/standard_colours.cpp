#include "gif/standard_colours.hpp"

#include <algorithm>
#include <cassert>

namespace zoetra::gif_detail {

standard_colours::standard_colours(writer_context& context, const animation_frames& frames)
    : context_(context), frames_(frames),
      pixel_count_(frames.pixel_count()), crops_{source_crop(pixel_count_),
                                                 source_crop(pixel_count_)},
      indices_(frames.count(), pixel_count_),
      palettes_(
          allocate_zeroed_array<std::uint8_t>(std::max<std::size_t>(frames.count(), 1) * 256 * 3)) {
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
    const std::uint8_t* colours = crops_[slot].rgb.get();
    const std::uint8_t* clear = crops_[slot].transparent.get();
    std::uint8_t* indices = indices_.get(i);
    std::uint8_t red[256] = {}, green[256] = {}, blue[256] = {};
    [[maybe_unused]] const outcome reduced =
        quantizer.reduce(colours, frames_.size.width, frames_.size.height, indices, red, green,
                         blue, standard_colour_count);
    assert(reduced.ok());
    for (std::size_t p = 0; p < pixel_count_; ++p)
        if (clear[p])
            indices[p] = standard_transparent;
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
        [](std::size_t, int) {});
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

void standard_colours::keep(std::size_t i) {
    if (indices_.get(i) != nullptr)
        return;
    indices_.make(i);
    crops_[0].take(frames_, i);
    reduce_frame(*context_.lane(0).quantizer, i, 0);
}

const std::uint8_t* standard_colours::to_global(std::size_t i) {
    std::uint8_t to_table[256];
    std::copy_n(global_indices_.get() + i * 256, 256, to_table);
    to_table[standard_transparent] = standard_transparent;
    std::uint8_t* indices = indices_.get(i);
    for (std::size_t p = 0; p < pixel_count_; ++p)
        indices[p] = to_table[indices[p]];
    return indices;
}

} // namespace zoetra::gif_detail
