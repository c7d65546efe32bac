#pragma once
// Standard colours drawn as changes (optimize). The pictures are known once
// the frames are reduced (every frame's indices in the global table, see
// standard_colours.hpp), so each frame is planned from them
// (frame_planner.hpp) and written in the shortest of the forms that show the
// same picture: its rectangle with only the changed pixels drawn, the same
// rectangle with every opaque pixel drawn, or the whole frame as the default
// writes it (so the file never grows); then, where shorter, with a local
// table of just the colours it uses, and coded with lookahead
// (lzw_lookahead.hpp). Asked for lossy coding, every form is coded lossily
// (lzw_lossy.hpp) with the table it is written with, and the lookahead
// coder's lossless stream is kept only where it is shorter still.
//
// A frame's plan depends on the rectangle the frame before was drawn in,
// which depends on how that frame coded, so the frames go one at a time; the
// helper thread codes the rectangle's second form and the whole frame while
// this thread codes the changes.
#include "gif/standard_colours.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

namespace zoetra::gif_detail {

class changes_writer {
  public:
    changes_writer(writer_context& context, const animation_frames& frames);
    void write();

  private:
    // One way of writing a frame: its pixels (the rectangle's, row by row),
    // their coded data and the frame's layout.
    struct form {
        const std::uint8_t* pixels;
        const memory_sink* data;
        frame_layout layout;
    };

    void make_room();
    void take_picture(std::size_t i, std::uint8_t* picture);
    // Moves on to frame i: its picture becomes the current one, and the next
    // picture is taken.
    void advance(std::size_t i);
    frame_step plan(std::size_t i);
    // The rectangle with only what must be drawn, and with every opaque pixel
    // drawn; whether the two differ (where a colour stayed).
    bool cut(const frame_rect& rect);
    form shortest_form(const frame_step& step, bool colours_stayed);
    // A frame that uses few colours may take a local table of just those:
    // narrower codes can more than pay for the table.
    void try_local_table(form& chosen);
    // What lossy coding needs of rows of width pixels in the table given.
    lossy_frame lossy(int width, const std::uint8_t* table, int transparent) const {
        return {width, table, transparent, lossy_level_, context_.options().kept.colours()};
    }

    writer_context& context_;
    const animation_frames& frames_;
    standard_colours colours_;
    const int width_;
    const std::size_t pixel_count_;
    frame_planner planner_;
    // Three pictures (the previous, this and the next), masks and the
    // rectangle's forms, in one block.
    heap_ptr<std::uint8_t> block_;
    std::uint8_t *previous_ = nullptr, *current_ = nullptr, *next_ = nullptr;
    std::uint8_t *first_opaque_ = nullptr, *opaque_ = nullptr, *next_opaque_ = nullptr;
    std::uint8_t *same_ = nullptr, *need_ = nullptr;
    std::uint8_t *changes_only_ = nullptr, *whole_rect_ = nullptr, *local_pixels_ = nullptr;
    memory_sink changes_data_, rect_data_, frame_data_, local_data_;
    std::array<std::uint8_t, 768> local_table_{};
    std::uint8_t transparent_ = standard_transparent;
    int lossy_level_ = 0;
};

} // namespace zoetra::gif_detail
