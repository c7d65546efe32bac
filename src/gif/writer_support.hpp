#pragma once
// What the writer's paths share about their frames: a frame's pixels as the
// writer reads them, the source frames around the one in hand, and index
// images kept between passes while memory lasts.
#include "base/memory.hpp"
#include "gif/encoder.hpp"
#include "raster/buffer.hpp"

#include <cstdint>
#include <vector>

namespace zoetra::gif_detail {

// One frame as the writer reads it: the pixels of the crop rectangle as RGB
// bytes, and 1 where a pixel is transparent. A pixel outside the frame (or
// of a missing frame) counts as background.
struct source_crop {
    heap_ptr<std::uint8_t> rgb;
    heap_ptr<std::uint8_t> transparent;

    // Room for a crop of pixels pixels.
    explicit source_crop(std::size_t pixels);
    // Frame i's pixels.
    void take(const animation_frames& frames, std::size_t i);
    // Whether pixel p shows the same here and in other: both transparent, or
    // both opaque in the same colour.
    bool same_as(const source_crop& other, std::size_t p) const;
};

// The source frames around the one in hand, three at a time, each kept in
// slot (frame number mod 3) until another frame needs the slot.
class source_window {
  public:
    explicit source_window(const animation_frames& frames);
    const source_crop& get(std::size_t frame);

  private:
    const animation_frames& frames_;
    source_crop slots_[3];
    std::size_t held_[3] = {SIZE_MAX, SIZE_MAX, SIZE_MAX};
};

// The index images of the first pass, kept for the second so that no frame is
// reduced twice. When memory runs short, after the image buffers went to disk
// and the skin image cache was emptied, they are freed, the last frame's
// first; a frame whose indices went is reduced again, which gives the same
// indices. Frames in hand (being reduced or coded) are never freed.
class kept_indices {
  public:
    kept_indices(std::size_t frames, std::size_t pixels);
    ~kept_indices();
    kept_indices(const kept_indices&) = delete;
    kept_indices& operator=(const kept_indices&) = delete;

    std::uint8_t* get(std::size_t i) const { return images_[i].get(); }
    // A fresh image for frame i (allocating may free other unpinned images).
    std::uint8_t* make(std::size_t i);
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
    bool free_one();

    std::vector<heap_ptr<std::uint8_t>> images_;
    std::vector<std::size_t> pixels_;
    std::size_t pinned_first_ = 0;
    std::size_t pinned_count_ = 0;
    int source_;
};

} // namespace zoetra::gif_detail
