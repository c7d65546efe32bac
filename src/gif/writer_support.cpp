#include "gif/writer_support.hpp"

#include <algorithm>
#include <cstring>

namespace zoetra::gif_detail {

// A pixel outside the frame counts as background.
constexpr pixel outside_pixel = transparent_flag;

source_crop::source_crop(std::size_t pixels)
    : rgb(allocate_array<std::uint8_t>(std::max<std::size_t>(pixels, 1) * 3)),
      transparent(allocate_array<std::uint8_t>(std::max<std::size_t>(pixels, 1))) {}

void source_crop::take(const animation_frames& frames, std::size_t i) {
    buffer* frame = frames.pictures[i];
    const crop_size size = frames.size;
    std::uint8_t* colours = rgb.get();
    std::uint8_t* clear = transparent.get();
    if (frame == nullptr) {
        std::memset(colours, 0, frames.pixel_count() * 3);
        std::memset(clear, 1, frames.pixel_count());
        return;
    }
    buffer_lock hold(*frame);
    const pixel* pixels = frame->pixels();
    const int frame_width = frame->width(), frame_height = frame->height();
    for (int y = 0; y < size.height; ++y) {
        const int fy = frames.origin.y + y;
        for (int x = 0; x < size.width; ++x) {
            const int fx = frames.origin.x + x;
            const pixel p = fx < frame_width && fy < frame_height
                                ? pixels[std::size_t(fy) * frame_width + fx]
                                : outside_pixel;
            colours[0] = static_cast<std::uint8_t>((p & 0xFF0000) >> 16);
            colours[1] = static_cast<std::uint8_t>((p & 0xFF00) >> 8);
            colours[2] = static_cast<std::uint8_t>(p & 0xFF);
            colours += 3;
            *clear++ = (p & transparent_flag) != 0;
        }
    }
}

bool source_crop::same_as(const source_crop& other, std::size_t p) const {
    const bool clear_a = transparent.get()[p] != 0, clear_b = other.transparent.get()[p] != 0;
    if (clear_a || clear_b)
        return clear_a && clear_b;
    const std::uint8_t *x = rgb.get() + p * 3, *y = other.rgb.get() + p * 3;
    return x[0] == y[0] && x[1] == y[1] && x[2] == y[2];
}

source_window::source_window(const animation_frames& frames)
    : frames_(frames), slots_{source_crop(frames.pixel_count()), source_crop(frames.pixel_count()),
                              source_crop(frames.pixel_count())} {}

const source_crop& source_window::get(std::size_t frame) {
    const std::size_t slot = frame % 3;
    if (held_[slot] != frame) {
        slots_[slot].take(frames_, frame);
        held_[slot] = frame;
    }
    return slots_[slot];
}

kept_indices::kept_indices(std::size_t frames, std::size_t pixels)
    : images_(frames), pixels_(frames, pixels) {
    source_ = register_memory_source(2, [this] { return free_one(); });
}

kept_indices::~kept_indices() {
    unregister_memory_source(source_);
}

std::uint8_t* kept_indices::make(std::size_t i) {
    images_[i] = allocate_array<std::uint8_t>(std::max<std::size_t>(pixels_[i], 1));
    return images_[i].get();
}

bool kept_indices::free_one() {
    for (std::size_t i = images_.size(); i-- > 0;) {
        if (i - pinned_first_ < pinned_count_ || !images_[i])
            continue;
        images_[i].reset();
        return true;
    }
    return false;
}

} // namespace zoetra::gif_detail
