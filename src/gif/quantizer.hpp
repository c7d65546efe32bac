#pragma once
// Colour reduction: a true-colour RGB image becomes at most `wanted` palette
// colours and one palette index per pixel.
//
// The method is two-pass median cut. The first pass counts the pixels into a
// 32 x 64 x 32 histogram (red 5 bits, green 6, blue 5) and cuts the occupied
// colour space into boxes; each box's weighted mean is one palette colour. The
// second pass maps every pixel with serpentine Floyd-Steinberg dithering whose
// error is damped before it spreads; the nearest palette colour of a cell is
// looked up in an inverse colour map that reuses the histogram's storage and
// is filled lazily, one block of 4 x 8 x 4 cells at a time.
//
// The encoder relies on the output being exactly reproducible: every rounding,
// tie and scan order below is part of the result.
#include "base/memory.hpp"
#include "base/outcome.hpp"

#include <cstddef>
#include <cstdint>

namespace zoetra {

class colour_quantizer {
  public:
    colour_quantizer();

    // Reduces width x height pixels of 3 bytes (red, green, blue; rows top to
    // bottom) to at most wanted colours. Writes one index per pixel and the
    // first colour_count() entries of the three maps; later entries are left
    // alone. Fails when wanted is outside 1..256, a side is negative or a
    // buffer is missing (working memory comes from the shared allocator,
    // which does not fail). An image without pixels chooses no colours.
    outcome reduce(const std::uint8_t* rgb, int width, int height, std::uint8_t* indices,
                   std::uint8_t* red_map, std::uint8_t* green_map, std::uint8_t* blue_map,
                   int wanted);

    // Maps width x height pixels (as for reduce) to the count colours given
    // (1 to 256), dithered as reduce dithers: for a table chosen elsewhere.
    // The maps must hold count entries each.
    void map_to(const std::uint8_t* rgb, int width, int height, std::uint8_t* indices,
                const std::uint8_t* red_map, const std::uint8_t* green_map,
                const std::uint8_t* blue_map, int count);

    // Sets aside the working rows for images up to width pixels wide, so that
    // reductions of such images allocate nothing (they may then run on a
    // helper thread, which must not reach the shared allocator).
    void prepare_for_width(int width);

    // The number of colours the last reduction chose.
    int colour_count() const { return colour_count_; }

  private:
    struct colour_box;

    // Counts the pixels into the histogram; the box of the occupied cells.
    colour_box count_pixels(const std::uint8_t* rgb, std::size_t pixel_count);
    void select_colours(int wanted, const colour_box& occupied);
    void shrink(colour_box& box) const;
    static void set_volume(colour_box& box);
    void set_box_colour(const colour_box& box, int entry);
    void map_pixels(const std::uint8_t* rgb, int width, int height, std::uint8_t* indices);
    // One row in the direction step (1 or -1), from the pixel at in.
    template <int step>
    void map_row(const std::uint8_t* in, std::uint8_t* out, std::uint16_t* errors, int width);
    void fill_cache_block(int cell_r, int cell_g, int cell_b);

    // The inverse colour map, one entry per cell: 255 - the palette colour
    // nearest to the cell (red, green, blue) and its index; a bit per cell
    // says whether the entry is known in this reduction.
    struct cell_entry {
        std::uint8_t rest[3];
        std::uint8_t index;
    };
    // The inverse map's entries; before they are needed, they hold two
    // histograms: pixel counts per cell (red in bits 11-15, green 5-10,
    // blue 0-4), and the odd pixels' counts while pixels are counted.
    heap_ptr<cell_entry> storage_;
    heap_ptr<std::uint64_t> known_;
    std::uint16_t* histogram_storage() const {
        return reinterpret_cast<std::uint16_t*>(storage_.get());
    }
    // Two interleaved rows of (width + 2) x 4 accumulated errors, in
    // sixteenths.
    heap_ptr<std::uint16_t> error_row_;
    std::size_t error_row_capacity_ = 0;

    int colour_count_ = 0;
    std::uint8_t palette_red_[256] = {};
    std::uint8_t palette_green_[256] = {};
    std::uint8_t palette_blue_[256] = {};
};

// A reduction with a quantizer kept for the life of the process, for one-off
// use (the writer keeps quantizers of its own, one per thread); see
// colour_quantizer::reduce. Not for two threads at once.
outcome reduce_colours(const std::uint8_t* rgb, int width, int height, std::uint8_t* indices,
                       std::uint8_t* red_map, std::uint8_t* green_map, std::uint8_t* blue_map,
                       int wanted);

} // namespace zoetra
