#include "gif/standard_colours.hpp"

#include <algorithm>
#include <cassert>

namespace zoetra::gif_detail {

namespace {

// Pixels left out take the colour of the pixel before them that is not
// (those before the first such pixel, its colour).
template <class LeftOut>
void fill_left_out_pixels(source_crop& crop, std::size_t count, LeftOut left_out) {
    std::uint8_t* rgb = crop.rgb.get();
    std::size_t first = 0;
    while (first < count && left_out(first))
        ++first;
    if (first == count)
        return;
    const std::uint8_t* colour = rgb + first * 3;
    for (std::size_t p = 0; p < count; ++p) {
        if (left_out(p))
            std::copy_n(colour, 3, rgb + p * 3);
        else
            colour = rgb + p * 3;
    }
}

// For every pixel of the crop, 1 + the number of the kept colour it shows, or
// 0 (transparent pixels show none).
void find_kept_colours(const source_crop& crop, std::size_t count,
                       std::span<const std::uint32_t> kept, std::uint8_t* kept_at) {
    const std::uint8_t* rgb = crop.rgb.get();
    const std::uint8_t* clear = crop.transparent.get();
    for (std::size_t p = 0; p < count; ++p, rgb += 3) {
        const std::uint32_t colour =
            std::uint32_t(rgb[0]) << 16 | std::uint32_t(rgb[1]) << 8 | rgb[2];
        const auto found = std::find(kept.begin(), kept.end(), colour);
        kept_at[p] = clear[p] || found == kept.end() ? 0 : std::uint8_t(found - kept.begin() + 1);
    }
}

// Pixels of the kept colours written as the kept entries from first on.
void write_kept_colours(const std::uint8_t* kept_at, std::size_t count, int first,
                        std::uint8_t* indices) {
    for (std::size_t p = 0; p < count; ++p)
        if (kept_at[p] != 0)
            indices[p] = std::uint8_t(first + kept_at[p] - 1);
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
      kept_(context.options().kept.colours()),
      first_kept_(standard_colour_count - int(kept_.size())),
      fewer_(context.options().colours_max < 256),
      wanted_(std::max(1, std::clamp(context.options().colours_max, 2, standard_colour_count) -
                              int(kept_.size()))),
      always_transparent_(always_transparent), frame_colours_(frames.count(), 0),
      has_transparent_(frames.count(), 0) {
    if (!kept_.empty())
        for (heap_ptr<std::uint8_t>& slot : kept_at_)
            slot = allocate_array<std::uint8_t>(std::max<std::size_t>(pixel_count_, 1));
    // The helper's reductions must allocate nothing; this thread's also
    // reduces the palettes, 256 entries wide.
    for (int k = 0; k < 2; ++k)
        context.lane(k).need(coding_lane::standard_reduction);
    context.lane(0).quantizer->prepare_for_width(std::max<int>(frames.size.width, 256));
    context.lane(1).quantizer->prepare_for_width(frames.size.width);
}

const std::uint8_t* standard_colours::leave_out(int slot) {
    source_crop& crop = crops_[slot];
    if (kept_.empty()) {
        if (fewer_)
            fill_left_out_pixels(crop, pixel_count_,
                                 [&](std::size_t p) { return crop.transparent.get()[p] != 0; });
        return nullptr;
    }
    std::uint8_t* kept_at = kept_at_[slot].get();
    find_kept_colours(crop, pixel_count_, kept_, kept_at);
    fill_left_out_pixels(crop, pixel_count_, [&](std::size_t p) {
        return kept_at[p] != 0 || (fewer_ && crop.transparent.get()[p] != 0);
    });
    return kept_at;
}

// Frame palettes never use index 255 nor the kept entries before it, so they
// mark the transparent and the kept pixels meanwhile.
void standard_colours::reduce_frame(colour_quantizer& quantizer, std::size_t i, int slot) {
    const std::uint8_t* kept_at = leave_out(slot);
    const std::uint8_t* colours = crops_[slot].rgb.get();
    const std::uint8_t* clear = crops_[slot].transparent.get();
    std::uint8_t* indices = indices_.get(i);
    std::uint8_t red[256] = {}, green[256] = {}, blue[256] = {};
    [[maybe_unused]] const outcome reduced = quantizer.reduce(
        colours, frames_.size.width, frames_.size.height, indices, red, green, blue, first_kept_);
    assert(reduced.ok());
    frame_colours_[i] = quantizer.colour_count();
    for (std::size_t p = 0; p < pixel_count_; ++p)
        if (clear[p]) {
            indices[p] = standard_transparent;
            has_transparent_[i] = 1;
        }
    if (kept_at != nullptr)
        write_kept_colours(kept_at, pixel_count_, first_kept_, indices);
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
                         blue, first_kept_);
    assert(reduced.ok());
    std::array<std::uint8_t, 768>& table = context_.global_table();
    for (int e = 0; e < quantizer.colour_count(); ++e) {
        table[std::size_t(e) * 3] = red[e];
        table[std::size_t(e) * 3 + 1] = green[e];
        table[std::size_t(e) * 3 + 2] = blue[e];
    }
    put_kept_colours(first_kept_);
}

void standard_colours::put_kept_colours(int first) {
    std::array<std::uint8_t, 768>& table = context_.global_table();
    for (std::size_t k = 0; k < kept_.size(); ++k) {
        std::uint8_t* entry = table.data() + (std::size_t(first) + k) * 3;
        entry[0] = std::uint8_t(kept_[k] >> 16);
        entry[1] = std::uint8_t(kept_[k] >> 8);
        entry[2] = std::uint8_t(kept_[k]);
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
    put_kept_colours(colour_count_);
    const int colours = colour_count_ + int(kept_.size());
    transparency_ =
        always_transparent_ ||
        std::find(has_transparent_.begin(), has_transparent_.end(), 1) != has_transparent_.end();
    transparent_ = transparency_ ? std::uint8_t(colours) : 0;
    table_bits_ = table_bits_for(colours + (transparency_ ? 1 : 0));
}

void standard_colours::map_to_global(std::size_t i) {
    source_crop& crop = crops_[0];
    crop.take(frames_, i);
    const std::uint8_t* kept_at = leave_out(0);
    std::uint8_t* indices = indices_.get(i);
    context_.lane(0).quantizer->map_to(crop.rgb.get(), frames_.size.width, frames_.size.height,
                                       indices, red_, green_, blue_, colour_count_);
    const std::uint8_t* clear = crop.transparent.get();
    for (std::size_t p = 0; p < pixel_count_; ++p)
        if (clear[p])
            indices[p] = transparent_;
    if (kept_at != nullptr)
        write_kept_colours(kept_at, pixel_count_, colour_count_, indices);
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
    for (int e = first_kept_; e < 256; ++e)
        to_table[e] = std::uint8_t(e);
    std::uint8_t* indices = indices_.get(i);
    for (std::size_t p = 0; p < pixel_count_; ++p)
        indices[p] = to_table[indices[p]];
    return indices;
}

} // namespace zoetra::gif_detail
