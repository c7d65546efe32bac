#pragma once
// An image buffer: width x height pixel words kept in a slot of the handle
// table, locked around every access, linked into the ring of all buffers and
// movable to a temporary file when memory runs short.
#include "base/geometry.hpp"
#include "raster/pixel.hpp"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace zoetra {

class buffer {
  public:
    // Allocates the pixels, links the buffer at the end of the ring and fast-fills
    // it with the background (every pixel starts with the transparent flag set).
    buffer(std::uint16_t width, std::uint16_t height, colour background);
    ~buffer();
    buffer(const buffer&) = delete;
    buffer& operator=(const buffer&) = delete;

    // A new buffer with the same fields and a copy of the pixels; it starts
    // unlocked, in memory and not swappable.
    std::unique_ptr<buffer> copy() const;

    void lock();
    void unlock();
    bool is_locked() const { return locked_; }

    std::uint16_t width() const { return width_; }
    std::uint16_t height() const { return height_; }
    rect window() const { return rect{0, 0, width_, height_}; }
    std::uint32_t byte_size() const { return std::uint32_t(width_) * height_ * 4u; }
    colour background() const { return background_; }
    // Valid while locked.
    pixel* pixels();
    const pixel* pixels() const;

    void set_swappable(bool flag) { swappable_ = flag; }
    bool swappable() const { return swappable_; }
    bool on_disk() const { return on_disk_; }
    bool can_swap() const { return swappable_ && !locked_ && !on_disk_; }

    // The memory handler's step: swaps out the first buffer of the ring, from
    // its head, that can swap, and moves the head past it. False when none can.
    static bool swap_out_one();
    static int ring_size();

  private:
    void swap_out();
    void swap_in();
    // ring links and swap file, managed by the implementation
    friend struct buffer_ring;
    std::uint16_t width_;
    std::uint16_t height_;
    colour background_;
    int storage_;
    bool locked_ = false;
    bool on_disk_ = false;
    bool swappable_ = false;
    std::FILE* swap_file_ = nullptr;
    buffer* next_ = nullptr;
    buffer* previous_ = nullptr;
};

// Locks a buffer for a scope, unless it was locked already.
class buffer_lock {
  public:
    explicit buffer_lock(buffer& b) : buffer_(b), was_locked_(b.is_locked()) {
        if (!was_locked_)
            buffer_.lock();
    }
    ~buffer_lock() {
        if (!was_locked_)
            buffer_.unlock();
    }
    buffer_lock(const buffer_lock&) = delete;
    buffer_lock& operator=(const buffer_lock&) = delete;

  private:
    buffer& buffer_;
    bool was_locked_;
};

} // namespace zoetra
