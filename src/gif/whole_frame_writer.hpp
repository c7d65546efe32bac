#pragma once
// Every frame whole, in the standard colours (standard_colours.hpp): the
// bytes the program has always written. Each frame covers the screen with
// the global table, index 255 transparent (with fewer colours, the entry
// after them, if any), and clears to the background after it is shown; it
// is coded greedily, or lossily when asked (lzw_lossy.hpp).
#include "gif/standard_colours.hpp"

#include <cstddef>

namespace zoetra::gif_detail {

// The steps: the standard colours' two reductions, the global table, then
// the frames two at a time, coded side by side and written in order.
class whole_frame_writer {
  public:
    whole_frame_writer(writer_context& context, const animation_frames& frames);
    void write();

  private:
    // Frames first .. first + n - 1 pinned and their indices at hand.
    void keep_pair(std::size_t first, std::size_t n);
    // Frame i's picture coded in a lane: allocates nothing.
    void code(std::size_t i, int lane);
    void write_frame(std::size_t i, int lane, const frame_layout& whole);

    writer_context& context_;
    const animation_frames& frames_;
    standard_colours colours_;
    // The frames' table, transparent entry and kept colours, for lossy
    // coding.
    lossy_frame lossy_;
};

} // namespace zoetra::gif_detail
