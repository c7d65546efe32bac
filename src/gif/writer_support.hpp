#pragma once
// The GIF writer's own helpers, shared by its plain and its optimizing paths:
// taking a frame's pixels, running two jobs on two cores, and keeping index
// images between the passes while memory lasts.
#include "base/memory.hpp"
#include "gif/encoder.hpp"
#include "raster/buffer.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace zoetra::gif_detail {

// A pixel outside the frame counts as background.
constexpr pixel outside_pixel = transparent_flag;

// Copies the crop rectangle of a frame as RGB bytes and marks the pixels
// whose transparent flag is set.
inline void copy_crop(buffer* frame, crop_origin origin, crop_size size, std::uint8_t* rgb,
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

// Runs two independent jobs at once, the second on a helper thread (or after
// the first when no thread can be had, or when the helper is switched off).
// The jobs touch neither the shared allocator nor any buffer: that stays on
// the window's thread.
template <class First, class Second>
void run_side_by_side(First&& first, Second&& second, bool helper = true) {
    if (!helper) {
        first();
        second();
        return;
    }
    std::jthread thread; // joins when it goes, even if first throws
    try {
        thread = std::jthread(second);
    } catch (const std::system_error&) {
        first();
        second();
        return;
    }
    first();
}

// The index images of the first pass, kept for the second so that no frame is
// reduced twice. When memory runs short, after the image buffers went to disk
// and the skin image cache was emptied, they are freed, the last frame's
// first; a frame whose indices went is reduced again, which gives the same
// indices. Frames in hand (being reduced or coded) are never freed.
class kept_indices {
  public:
    kept_indices(std::size_t frames, std::size_t pixels)
        : images_(frames), pixels_(frames, pixels) {
        source_ = register_memory_source(2, [this] { return free_one(); });
    }
    ~kept_indices() { unregister_memory_source(source_); }
    kept_indices(const kept_indices&) = delete;
    kept_indices& operator=(const kept_indices&) = delete;

    std::uint8_t* get(std::size_t i) const { return images_[i].get(); }
    // A fresh image for frame i (allocating may free other unpinned images).
    std::uint8_t* make(std::size_t i) {
        images_[i] = allocate_array<std::uint8_t>(std::max<std::size_t>(pixels_[i], 1));
        return images_[i].get();
    }
    // The same with room for pixels indices (frames of different sizes).
    std::uint8_t* make(std::size_t i, std::size_t pixels) {
        pixels_[i] = pixels;
        return make(i);
    }
    void drop(std::size_t i) { images_[i].reset(); }
    // Frames first .. first + count - 1 are in hand.
    void pin(std::size_t first, std::size_t count) {
        pinned_first_ = first;
        pinned_count_ = count;
    }

  private:
    bool free_one() {
        for (std::size_t i = images_.size(); i-- > 0;) {
            if (i - pinned_first_ < pinned_count_ || !images_[i])
                continue;
            images_[i].reset();
            return true;
        }
        return false;
    }

    std::vector<heap_ptr<std::uint8_t>> images_;
    std::vector<std::size_t> pixels_;
    std::size_t pinned_first_ = 0;
    std::size_t pinned_count_ = 0;
    int source_;
};

} // namespace zoetra::gif_detail
