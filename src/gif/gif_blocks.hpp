#pragma once
// The blocks of a GIF89a file, each written by a function of its own, to a
// byte sink: the header with the logical screen descriptor, colour tables,
// the loop extension, a frame's graphic control extension and image
// descriptor, its coded data and the trailer. Numbers of two bytes are
// written least significant byte first.
#include "gif/byte_sink.hpp"
#include "gif/frame_planner.hpp"

#include <cstdint>

namespace zoetra::gif_detail {

// Where one frame lies and how it is stored.
struct frame_layout {
    frame_rect rect;
    frame_disposal disposal = frame_disposal::keep;
    // Whether the frame has a transparent index, and which.
    bool transparency = true;
    std::uint8_t transparent = 255;
    // The LZW minimum code size.
    int code_size = 8;
    // 0: the global table; otherwise a local table of 1 << local_bits
    // entries.
    int local_bits = 0;
    const std::uint8_t* local_table = nullptr;
};

// The fewest bits whose table holds count entries (at least 1).
int table_bits_for(int count);

class gif_blocks {
  public:
    explicit gif_blocks(byte_sink& sink) : sink_(sink) {}

    // "GIF89a" and the logical screen descriptor: the screen's size, a
    // global table of 1 << table_bits entries with 8-bit colour resolution,
    // not sorted, background index 0, aspect ratio 0.
    void header(std::uint16_t width, std::uint16_t height, int table_bits);
    // 1 << bits entries of red, green and blue.
    void colour_table(const std::uint8_t* rgb, int bits);
    // The application extension that makes viewers repeat the animation.
    void loop_extension(std::uint16_t loop_count);
    // The graphic control extension and the image descriptor, with the local
    // table if there is one, and the minimum code size of the data.
    void frame_head(const frame_layout& frame, std::uint16_t delay);
    // Coded data sub-blocks and the block terminator.
    void image_data(const memory_sink& coded);
    void trailer();

  private:
    byte_sink& sink_;
};

} // namespace zoetra::gif_detail
