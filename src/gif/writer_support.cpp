#include "gif/writer_support.hpp"

#include <algorithm>
#include <cstring>

namespace zoetra::gif_detail {

// A pixel outside the frame counts as background.
constexpr pixel outside_pixel = transparent_flag;

void copy_crop(buffer* frame, crop_origin origin, crop_size size, std::uint8_t* rgb,
               std::uint8_t* transparent) {
    if (frame == nullptr) {
        const std::size_t count = std::size_t(size.width) * size.height;
        std::memset(rgb, 0, count * 3);
        std::memset(transparent, 1, count);
        return;
    }
    buffer_lock hold(*frame);
    const pixel* pixels = frame->pixels();
    const int frame_width = frame->width(), frame_height = frame->height();
    for (int y = 0; y < size.height; ++y) {
        const int fy = origin.y + y;
        for (int x = 0; x < size.width; ++x) {
            const int fx = origin.x + x;
            const pixel p = fx < frame_width && fy < frame_height
                                ? pixels[std::size_t(fy) * frame_width + fx]
                                : outside_pixel;
            rgb[0] = static_cast<std::uint8_t>((p & 0xFF0000) >> 16);
            rgb[1] = static_cast<std::uint8_t>((p & 0xFF00) >> 8);
            rgb[2] = static_cast<std::uint8_t>(p & 0xFF);
            rgb += 3;
            *transparent++ = (p & transparent_flag) != 0;
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

source_window::source_window(const animation_frames& frames) : frames_(frames) {
    const std::size_t room = std::max<std::size_t>(frames.pixel_count(), 1);
    for (source_crop& slot : slots_) {
        slot.rgb = allocate_array<std::uint8_t>(room * 3);
        slot.transparent = allocate_array<std::uint8_t>(room);
    }
}

const source_crop& source_window::get(std::size_t frame) {
    const std::size_t slot = frame % 3;
    if (held_[slot] != frame) {
        copy_crop(frames_.pictures[frame], frames_.origin, frames_.size, slots_[slot].rgb.get(),
                  slots_[slot].transparent.get());
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
