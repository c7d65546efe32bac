#pragma once
// Lossy LZW: the greedy coder (lzw_encoder.hpp) with one freedom more. Where
// the string in hand cannot grow by the next index, because the table holds
// no longer string with it, the pixel may take the index of another entry
// of the frame's colour table that does make the string grow, if that
// colour is close enough to the pixel's own. Fewer, longer strings mean
// fewer codes; a decoder reads an ordinary GIF LZW stream, which is exactly
// the greedy coder's stream of the indices written.
//
// Close enough is measured in CIE L*a*b* (D65 white, from sRGB), as the
// plain Euclidean distance there (delta E 1976): about 2.3 is the smallest
// difference a person tells between two flat patches, and it weighs changes
// of lightness, hue and saturation about as the eye does, which a distance
// in RGB does not. A level N lets a pixel move at most N / 5 delta E from
// the colour the lossless coder writes. Below 20 hardly a pixel moves (the
// entries of a photo's 255-colour table lie further apart than 4); at
// max_lossy_level (40 delta E) the picture is plainly damaged.
//
// Errors must not line up: a smooth area whose pixels all slip to the
// darker neighbouring entry would turn into a band. So what every pixel
// gives away, the colour wanted less the colour written, is spread over the
// pixels after it as in Floyd-Steinberg dithering (7/16 right, 3/16, 5/16
// and 1/16 on the row below), damped to three quarters, and the colour
// wanted at a pixel is its own plus what it received. A substitute must lie
// within the reach of both the pixel's own colour (the bound) and the colour
// wanted, and the nearest to the colour wanted is taken; a pixel that keeps
// its index passes on what it received. Since every pixel either gives away
// at most the reach or passes on three quarters of what it received, the
// carried error stays below the reach.
//
// The transparent index never stands for another, and no other stands for
// it; transparent pixels carry no error. The same holds for every entry of a
// kept colour (a caption's fill and outline, which must stay crisp): its
// pixels keep their index and pass on nothing, and no pixel moves onto it.
//
// The candidates are the longer strings of the string in hand; when they are
// more than the colours within the reach of the pixel's own, those colours
// are looked up in the string table instead.
#include "gif/byte_sink.hpp"
#include "gif/lzw_packer.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace zoetra {

// The highest lossy level, and the reach of a level, in sixteenths of a
// delta E unit (level N: N / 5 delta E).
inline constexpr int max_lossy_level = 200;
constexpr std::int32_t lossy_reach(int level) {
    return (level < 0 ? 0 : level > max_lossy_level ? max_lossy_level : level) * 16 / 5;
}

// A colour in CIE L*a*b*, each coordinate in sixteenths of a unit.
struct lab_colour {
    std::int32_t l = 0, a = 0, b = 0;
};
lab_colour lab_of(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
constexpr std::int64_t squared_distance(const lab_colour& x, const lab_colour& y) {
    const std::int64_t dl = x.l - y.l, da = x.a - y.a, db = x.b - y.b;
    return dl * dl + da * da + db * db;
}

// What the lossy coder knows of a frame besides its indices.
struct lossy_frame {
    // Pixels per row of the indices.
    int width = 1;
    // The colour table the indices refer to: red, green and blue of every
    // entry the code size allows.
    const std::uint8_t* table = nullptr;
    // The transparent index, or -1 for none.
    int transparent = -1;
    // 1 to max_lossy_level.
    int level = 0;
    // Colours (0xRRGGBB) whose entries stay as they are, as the transparent
    // one does.
    std::span<const std::uint32_t> kept = {};
};

class lzw_lossy_encoder {
  public:
    lzw_lossy_encoder();
    // Writes the sub-blocks of count indices, without the block terminator,
    // in sub-blocks of 254 bytes as the greedy coder does. initial_bits is
    // the minimum code size + 1, from 3 to 9; indices are masked to the
    // values that width allows.
    void encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices, std::size_t count,
                const lossy_frame& frame);
    // The indices the last stream decodes to.
    const std::vector<std::uint8_t>& written() const { return written_; }

  private:
    static constexpr int max_bits = lzw_packer::max_bits;
    static constexpr int max_codes = lzw_packer::max_codes;
    static constexpr int block_bytes = 254;
    // The string table as the greedy coder keeps it (lzw_encoder.hpp): open
    // addressing over 16384 slots, each entry the key (next index << 12) +
    // prefix code above the code of the longer string; all ones is free.
    static constexpr int table_bits = 14;
    static constexpr int table_size = 1 << table_bits;
    static constexpr std::uint32_t free_slot = 0xFFFFFFFFu;
    // L*, a* and b* in the first three of four lanes, the fourth 0.
    using lanes = std::int32_t __attribute__((vector_size(16)));

    // The L*a*b* colours of the table's first entries, kept while the table
    // stays the same; whether they are new.
    bool take_colours(const std::uint8_t* table, int entries);
    // The frame's reach, transparent index and kept colours; when they or
    // the table changed, which entries stay and no neighbours known.
    void take_frame(const lossy_frame& frame, bool new_colours);
    // The entries within the reach of entry e, known from now on.
    void find_neighbours(unsigned e);
    void clear_table(int roots);
    // The code of the string prefix + next, 0 for none; slot receives where
    // it is, or the free slot where it belongs.
    int find(int prefix, unsigned next, std::uint32_t& slot) const;
    // The longer string of prefix whose last index may stand for the pixel
    // whose own colour is entry truth and whose wanted colour is wanted: the
    // nearest to wanted, within the reach of both, the lower index on a tie;
    // 0 for none.
    int substitute(int prefix, unsigned truth, lanes wanted);
    void write_blocks(byte_sink& sink, std::size_t length) const;

    std::unique_ptr<std::uint32_t[]> entries_;
    // The longer strings of each code as a list: the latest made, and from
    // each the one made before it with the same prefix; 0 ends a list.
    std::unique_ptr<std::uint16_t[]> first_child_;
    std::unique_ptr<std::uint16_t[]> sibling_;
    // The last index of each string, and how many longer strings it has.
    std::unique_ptr<std::uint8_t[]> last_index_;
    std::unique_ptr<std::uint16_t[]> child_count_;

    std::array<lanes, 256> colours_{};
    std::array<std::uint8_t, 768> table_{};
    int table_entries_ = 0;
    // The frame in hand's reach, squared, transparent index and kept colours.
    std::int32_t reach_squared_ = 0;
    int transparent_ = -1;
    std::vector<std::uint32_t> kept_;
    // Per entry, whether it stays: the transparent entry and those of the
    // kept colours.
    std::array<bool, 256> stays_{};
    // Per entry, the other entries within the reach (none that stays) in
    // order, and how many; found for an entry when first needed, -1 until
    // then.
    std::unique_ptr<std::uint8_t[]> neighbours_;
    std::array<std::int16_t, 256> neighbour_count_{};
    // Two rows of carried errors, width + 2 entries each, in 64ths of the
    // colour units.
    std::vector<lanes> errors_;
    std::vector<std::uint8_t> packed_;
    std::vector<std::uint8_t> written_;
};

} // namespace zoetra
