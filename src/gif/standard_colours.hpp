#pragma once
// Standard colours, the writer's default. Every frame is first reduced to its
// own palette of at most 255 colours (quantizer.hpp), two frames at a time;
// the frame palettes, one row of 256 entries per frame, are then reduced
// together to the global table, and the index image of that second reduction
// says for every frame i and frame palette entry e the global index g(i, e).
// Because the reduction dithers, neighbouring palette entries share their
// errors in this step too. Index 255 is left for transparent pixels.
//
// A frame's picture is then its frame indices translated through g. The
// indices of the first pass are kept for that (kept_indices); a frame whose
// indices were freed meanwhile is reduced again, which gives the same
// indices, since every rounding, tie and scan order of the reduction is
// fixed.
//
// The whole-frame writer (whole_frame_writer.hpp) writes every picture whole
// with the global table; the changes writer (changes_writer.hpp) draws each
// as the change from the one before.
#include "gif/writer_context.hpp"
#include "gif/writer_support.hpp"

#include <cstddef>
#include <cstdint>

namespace zoetra::gif_detail {

// The standard colours' layout: a 255-colour global table of 256 entries,
// index 255 transparent, a minimum code size of 8.
inline constexpr int standard_colour_count = 255;
inline constexpr std::uint8_t standard_transparent = 255;
inline constexpr int standard_code_size = 8;

class standard_colours {
  public:
    standard_colours(writer_context& context, const animation_frames& frames);

    // Every frame's own palette, two frames at a time; the indices are kept.
    void reduce_frames();
    // The frame palettes reduced together: the global table, into the
    // context's, and g.
    void choose_global_table();
    // Makes sure frame i's frame indices are at hand, reducing the frame
    // again if they were freed; frame i must be pinned.
    void keep(std::size_t i);
    // Translates frame i's kept indices in place into global indices and
    // returns them: its picture. Allocates nothing, so it may run in either
    // lane.
    const std::uint8_t* to_global(std::size_t i);
    kept_indices& indices() { return indices_; }

  private:
    // Frames first .. first + n - 1 pinned, with fresh index images and their
    // pixels in slots 0 and 1.
    void take_pair(std::size_t first, std::size_t n);
    void reduce_frame(colour_quantizer& quantizer, std::size_t i, int slot);

    writer_context& context_;
    const animation_frames& frames_;
    const std::size_t pixel_count_;
    // One slot per lane.
    source_crop crops_[2];
    kept_indices indices_;
    // Row i: frame i's 256 palette entries; entry 255 (and any entry the
    // reduction left) black.
    heap_ptr<std::uint8_t> palettes_;
    // g: 256 global indices per frame.
    heap_ptr<std::uint8_t> global_indices_;
};

} // namespace zoetra::gif_detail
