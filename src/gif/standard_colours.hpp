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
// Fewer colours (colours_max below 256) change two steps: the global
// reduction keeps that many, and every frame is then mapped again, from its
// pixels, onto the global table, dithered against the colours it will be
// shown in rather than translated entry by entry. Transparent pixels take
// the colour of an opaque neighbour first, so that whatever colour they hold
// takes no entry. The table is the smallest power of two that holds the
// colours, and the transparent entry (right after them) when a frame has a
// transparent pixel or the frames are drawn as changes.
//
// Kept colours (a caption's) take entries of their own, right before the
// transparent entry (with fewer colours, right after the reduced colours),
// and the reductions make that many colours fewer. Their pixels take no part
// in the reductions: they take the colour of the pixel before them, as
// transparent pixels do with fewer colours, so that they neither draw
// entries to their colours nor spread dithering error around a caption.
// Then each is written as its kept entry: a frame reduction marks them in
// its indices with the kept entries' numbers, which g leaves as they are;
// with fewer colours, mapping a frame to the global table sets them.
//
// The whole-frame writer (whole_frame_writer.hpp) writes every picture whole
// with the global table; the changes writer (changes_writer.hpp) draws each
// as the change from the one before.
#include "gif/writer_context.hpp"
#include "gif/writer_support.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zoetra::gif_detail {

// The standard colours' layout: a 255-colour global table of 256 entries,
// index 255 transparent, a minimum code size of 8 (full_table_bits).
inline constexpr int standard_colour_count = 255;
inline constexpr std::uint8_t standard_transparent = 255;

class standard_colours {
  public:
    // always_transparent: the frames need the transparent entry whatever
    // their pixels (they are drawn as changes).
    standard_colours(writer_context& context, const animation_frames& frames,
                     bool always_transparent);

    // Every frame's own palette, two frames at a time; the indices are kept.
    void reduce_frames();
    // The frame palettes reduced together: the global table, into the
    // context's, and g.
    void choose_global_table();
    // Makes sure frame i's frame indices are at hand, reducing the frame
    // again if they were freed (with fewer colours: its global indices,
    // mapped from its pixels); frame i must be pinned.
    void keep(std::size_t i);
    // Translates frame i's kept indices in place into global indices and
    // returns them: its picture (with fewer colours, keep made them global
    // already). Allocates nothing, so it may run in either lane.
    const std::uint8_t* to_global(std::size_t i);
    kept_indices& indices() { return indices_; }

    // The global table once it is chosen: 1 << table_bits() entries, the
    // minimum code size of the frames, and the transparent entry if there
    // is one.
    int table_bits() const { return table_bits_; }
    int code_size() const { return std::max(2, table_bits_); }
    bool transparency() const { return transparency_; }
    std::uint8_t transparent() const { return transparent_; }

  private:
    // Frames first .. first + n - 1 pinned, with fresh index images and their
    // pixels in slots 0 and 1.
    void take_pair(std::size_t first, std::size_t n);
    void reduce_frame(colour_quantizer& quantizer, std::size_t i, int slot);
    // Finds which pixels of the crop in slot show a kept colour (none when
    // there are none), and gives the pixels a reduction leaves out the
    // colour of one it does not: kept pixels, and with fewer colours
    // transparent ones.
    const std::uint8_t* leave_out(int slot);
    // Fewer colours: the frame palettes reduced together, and frame i mapped
    // onto the global table from its pixels.
    void choose_fewer_colours();
    // The kept colours into the global table, from entry first on.
    void put_kept_colours(int first);
    void map_to_global(std::size_t i);

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
    // The kept colours; per slot, for every pixel 1 + the number of the kept
    // colour it shows, or 0; the first kept entry of the frame palettes, and
    // of the global table with 255 colours.
    const std::span<const std::uint32_t> kept_;
    heap_ptr<std::uint8_t> kept_at_[2];
    const int first_kept_;

    // Fewer colours: how many, and per frame the colours of its palette and
    // whether it has a transparent pixel.
    const bool fewer_;
    const int wanted_;
    const bool always_transparent_;
    std::vector<int> frame_colours_;
    std::vector<char> has_transparent_;
    std::uint8_t red_[256] = {}, green_[256] = {}, blue_[256] = {};
    int colour_count_ = 0;

    int table_bits_ = full_table_bits;
    bool transparency_ = true;
    std::uint8_t transparent_ = standard_transparent;
};

} // namespace zoetra::gif_detail
