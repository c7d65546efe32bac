#pragma once
// LZW compression of palette indices as GIF image data: variable-width codes
// from initial_bits up to 12 bits, packed least significant bit first and cut
// into data sub-blocks of at most 254 bytes, each preceded by its length.
//
// The code stream is fixed exactly, not just decodable: the string table
// starts over (a clear code, back to initial_bits) at the first string that
// does not fit after code 4095 has been assigned, and the width grows right
// after the code that made the next free code pass the current limit.
#include "gif/byte_sink.hpp"

#include <cstddef>
#include <cstdint>

namespace zoetra {

class lzw_encoder {
  public:
    // Writes the sub-blocks of count indices, without the block terminator.
    // initial_bits is the minimum code size + 1, from 3 to 9; indices are
    // masked to the values that width allows.
    void encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices, std::size_t count);

  private:
    static constexpr int max_bits = 12;
    static constexpr int max_codes = 1 << max_bits;
    // An open-addressed string table: prefix code and next index map to the
    // code of the longer string. 5003 slots (a prime, about 120% of 4096
    // codes) keep probe chains short.
    static constexpr int table_size = 5003;

    void clear_table();
    // The slot that holds key, or else the free slot where it belongs.
    int find_slot(std::int32_t key, int slot) const;
    void output(int code);
    void flush_bits();
    void flush_block();

    // Key (next index << 12) + prefix code, -1 in a free slot; the code of
    // the string the key stands for.
    std::int32_t keys_[table_size];
    std::uint16_t codes_[table_size];

    byte_sink* sink_ = nullptr;
    int initial_bits_ = 9;
    int width_ = 9;
    int limit_ = 511;
    int clear_code_ = 256;
    int next_code_ = 258;
    bool reset_width_ = false;
    std::uint64_t bits_ = 0;
    int bit_count_ = 0;
    // Length byte followed by up to 254 data bytes.
    std::uint8_t block_[255];
    int block_length_ = 0;
};

// The process-wide coder and its counting twin, which gives the number of
// bytes lzw_encode would write.
void lzw_encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices, std::size_t count);
std::uint64_t lzw_encoded_size(int initial_bits, const std::uint8_t* indices, std::size_t count);

} // namespace zoetra
