#pragma once
// Fine colours: what changes is decided by the source pixels, before any
// colour is chosen. A pixel whose source is the same as in the frame before
// keeps the colour it was shown in; only the pixels a frame has to draw are
// given to libimagequant, which makes that frame's palette
// (fine_quantizer.hpp). A pixel that must be drawn again although its source
// stayed (the frame before cleared it) takes its former colour whenever the
// new palette holds it exactly; when such pixels are more than a few, all
// frames share one palette, which holds them all. Every frame is coded
// greedily and with lookahead, the shorter kept.
//
// The steps: plan every frame's rectangle and disposal from the sources;
// choose the palettes (each frame's own, two frames at a time, or one shared
// by all); fill the global table with the palettes that fit it; settle each
// frame's table and indices, in order, on a canvas of what a viewer shows;
// code two frames at a time (lossily when asked, lzw_lossy.hpp); write them
// in order.
//
// With fewer colours (colours_max), every palette and the global table hold
// at most that many, and each table is the smallest that holds its colours
// and, where a frame that uses it leaves a pixel undrawn, the transparent
// entry.
//
// Kept colours are in every frame's palette (fine_quantizer.hpp), so the
// tables hold them as they hold any other colour of the palettes, and a
// still pixel of one keeps it as any still pixel keeps its colour.
#include "gif/writer_context.hpp"
#include "gif/writer_support.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace zoetra::gif_detail {

// What fine colours settle for an animation: every table, layout and index.
// None of it depends on the lossy level, so the same frames written again at
// another level are only coded again, with the same bytes a fresh write
// gives. The lookahead coder's lossless stream of each frame, which every
// level measures its own against, is kept too.
struct fine_settlement {
    struct frame {
        frame_layout layout;
        std::array<std::uint8_t, 768> local_table{};
        std::vector<std::uint8_t> indices;
        std::vector<std::uint8_t> lookahead;
    };
    // Settling past this many indices in all keeps nothing.
    static constexpr std::size_t most_indices = std::size_t(256) << 20;

    std::array<std::uint8_t, 768> global_table{};
    int global_bits = 0;
    std::vector<frame> frames;
    // Whether the whole animation was kept.
    bool complete = false;
};

class fine_writer {
  public:
    // settled: where the settlement is kept (written when not complete, and
    // coded from when it is); none to keep nothing.
    fine_writer(writer_context& context, const animation_frames& frames,
                fine_settlement* settled = nullptr);
    void write();

  private:
    // A frame's own colours.
    struct fine_palette {
        int count = 0;
        std::uint8_t colours[fine_quantizer::max_colours * 3] = {};
    };
    // The masks the planner reads and writes, one byte per pixel.
    struct plan_masks {
        std::uint8_t *first_opaque, *opaque, *next_opaque, *same, *need;
    };

    void plan();
    void compare(std::size_t i, const plan_masks& masks);
    void count_still(const plan_masks& masks);
    frame_rect cleared_before(std::size_t i) const;

    void choose_palettes();
    // Frames first .. first + n - 1 pinned, with fresh index images and
    // their inputs in slots 0 and 1.
    void take_pair(std::size_t first, std::size_t n);
    void take_input(std::size_t i, int slot);
    void reduce_frame(fine_quantizer& quantizer, std::size_t i, int slot);
    void choose_shared_palette();
    void map_shared(std::size_t i);
    void keep(std::size_t i);

    void fill_global_table();

    void settle(std::size_t i, std::array<std::uint8_t, 768>& local_table);
    void keep_former_colours(std::size_t i);
    const std::uint8_t* choose_table(std::size_t i, std::array<std::uint8_t, 768>& local_table,
                                     std::uint8_t* to_table);
    void draw_on_canvas(std::size_t i, const std::uint8_t* to_table, const std::uint8_t* table);

    void settle_code_and_write();
    // Frames first .. first + n - 1 pinned, their indices at hand and
    // settled, in order.
    void settle_pair(std::size_t first, std::size_t n);
    // Frame i coded in a lane: allocates nothing (unless it is kept).
    void code(std::size_t i, int lane);
    // What settling frame i gave, kept.
    void keep_settled(std::size_t i);
    // The frames coded again from a complete settlement.
    void write_settled();
    void code_settled(std::size_t i, int lane);
    void write_frame(std::size_t i, int lane);

    writer_context& context_;
    const animation_frames& frames_;
    const int width_;
    const std::size_t pixel_count_;
    const std::size_t room_;
    source_window sources_;
    frame_planner planner_;

    // The plan.
    std::vector<frame_step> steps_;
    // Pixels whose source stayed, and those of them that a frame must draw
    // again because the frame before cleared them.
    std::size_t still_ = 0;
    std::size_t redrawn_still_ = 0;

    // The palettes: libimagequant's input, two slots of RGBA; per frame, the
    // pixels drawn again although their source stayed (positions in the
    // frame's rectangle), its palette and its indices.
    heap_ptr<std::uint8_t> rgba_;
    std::vector<std::vector<std::uint32_t>> redrawn_;
    // Per frame, whether it leaves a pixel of its rectangle undrawn.
    std::vector<char> undrawn_;
    std::vector<fine_palette> palettes_;
    kept_indices indices_;
    bool shared_ = false;

    // The global table's colours and entries, and the frames that use it.
    std::unordered_map<std::uint32_t, std::uint8_t> global_colours_;
    std::vector<char> uses_global_;
    // Whether the global table has a transparent entry (always, unless
    // there are fewer colours).
    bool global_transparency_ = true;

    // What a viewer shows after each frame settled so far.
    heap_ptr<pixel> canvas_;
    std::vector<frame_layout> layouts_;
    std::array<std::uint8_t, 768> local_tables_[2] = {};
    const memory_sink* coded_[2] = {};

    // Fewer colours (colours_max below 256), and how many; the lossy level.
    const bool fewer_;
    const int most_colours_;
    int lossy_level_ = 0;
    fine_settlement* settled_;
};

} // namespace zoetra::gif_detail
