#pragma once
// LZW coding with one string of lookahead, for files that should be small
// rather than fixed to the byte.
//
// The greedy coder (lzw_encoder.hpp) always sends the longest string the
// table holds. Sometimes a shorter first string lets the next one reach much
// further: here, at every step, the lengths k = L, L-1, ... (down to 1, at
// most 16 of them) of the longest match L are tried, each followed by the
// longest match after it, and the k that reaches furthest is sent (the
// longest on a tie). The table still grows by one entry per code, the string
// just sent followed by the next index, as every decoder expects; an entry
// the table already holds takes a code number all the same and is never
// sent. So the stream is ordinary GIF LZW. On dithered pictures it is often
// a little shorter; on very repetitive ones, whose long strings the greedy
// coder builds up step by step, it can be much longer, so the writer codes
// both ways and keeps the shorter.
//
// Codes widen and the table starts over exactly as in the greedy coder; the
// data is cut into sub-blocks of 255 bytes.
#include "gif/byte_sink.hpp"
#include "gif/lzw_packer.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zoetra {

class lzw_lookahead_encoder {
  public:
    lzw_lookahead_encoder();
    // Writes the sub-blocks of count indices, without the block terminator.
    // initial_bits is the minimum code size + 1, from 3 to 9; indices are
    // masked to the values that width allows.
    void encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices, std::size_t count);

  private:
    static constexpr int max_bits = lzw_packer::max_bits;
    static constexpr int max_codes = lzw_packer::max_codes;

    // The first length bytes of packed_, cut into sub-blocks.
    void write_blocks(byte_sink& sink, std::size_t length) const;
    void clear_row(int code);

    // Per code and next index, the code of the longer string; 0 for none.
    // Rows of codes not yet made hold anything.
    std::unique_ptr<std::uint16_t[]> child_;
    std::vector<std::uint8_t> packed_;
};

} // namespace zoetra
