#pragma once
// A GIF file held whole in memory, and a read cursor over it. The reader asks
// of its input only what a binary file gives: one byte at a time (-1 at the
// end), runs of bytes, skipping forward and an end test. Keeping the file in
// memory lets the LZW decoder gather a frame's data sub-blocks with plain
// copies instead of one library call per byte.
#include "base/memory.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace zoetra {

// Larger files are refused rather than read: no frame the reader accepts needs
// more, and the whole file has to fit in memory next to the canvases.
inline constexpr std::size_t max_gif_file_bytes = std::size_t(1) << 30;

// An owned block with the bytes of one file.
struct file_bytes {
    heap_ptr<std::uint8_t> data;
    std::size_t size = 0;
};

// Reads the rest of a stream; none when it cannot be read or is too large.
std::optional<file_bytes> read_whole_file(std::FILE* file);
// A copy of size bytes at data (for in-memory input: tests, fuzzing).
file_bytes copy_bytes(const std::uint8_t* data, std::size_t size);

class byte_stream {
  public:
    byte_stream() = default;
    byte_stream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // The next byte, or -1 at the end.
    int read_byte() { return position_ < size_ ? data_[position_++] : -1; }
    // A little-endian 16-bit number; -1 when fewer than two bytes are left.
    int read_u16() {
        if (size_ - position_ < 2)
            return -1;
        int value = data_[position_] | (data_[position_ + 1] << 8);
        position_ += 2;
        return value;
    }
    // Copies up to count bytes; returns how many there were.
    std::size_t read(std::uint8_t* target, std::size_t count);
    // Moves forward count bytes, or to the end.
    void skip(std::size_t count) {
        position_ += count < size_ - position_ ? count : size_ - position_;
    }
    bool at_end() const { return position_ >= size_; }

    std::size_t position() const { return position_; }
    std::size_t remaining() const { return size_ - position_; }
    // The unread bytes, valid while the underlying block lives.
    const std::uint8_t* cursor() const { return data_ + position_; }

  private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
};

} // namespace zoetra
