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
#include "gif/lzw_packer.hpp"

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
    static constexpr int max_bits = lzw_packer::max_bits;
    static constexpr int max_codes = lzw_packer::max_codes;
    // The string table: open addressing with linear probing over 16384
    // slots, at most a quarter full, so that probes are few. A slot holds a
    // whole entry in one word: the key, (next index << 12) + prefix code,
    // above the code of the longer string. No stored entry is all ones (a
    // prefix of 4095 never gets a longer string), which marks a free slot.
    static constexpr int table_bits = 14;
    static constexpr int table_size = 1 << table_bits;
    static constexpr std::uint32_t free_slot = 0xFFFFFFFFu;
    static constexpr int block_bytes = 254;
    // Coded bytes gather here and leave in blocks once there are enough.
    static constexpr std::size_t staging_blocks = 16;

    void clear_table();
    // The entry that holds key, or free_slot; slot receives where it is, or
    // the free slot where it belongs.
    std::uint32_t find(std::uint32_t key, std::uint32_t& slot) const;
    // Sends the staged bytes as blocks of 254, keeping a partial block
    // unless everything is to go.
    std::size_t flush_blocks(byte_sink& sink, std::size_t length, bool everything);

    std::uint32_t entries_[table_size];
    // Per code, the two child strings found or made last, the latest in
    // recent_: (next index << 12) + its code, all ones for none. Runs and
    // two-colour pictures find nearly every string here without hashing.
    std::uint32_t recent_[max_codes];
    std::uint32_t earlier_[max_codes];
    // Eight spare bytes for the packer (lzw_packer.hpp).
    std::uint8_t staging_[staging_blocks * block_bytes + 8];
    std::uint8_t block_[block_bytes + 1];
};

// The process-wide coder and its counting twin, which gives the number of
// bytes lzw_encode would write.
void lzw_encode(int initial_bits, byte_sink& sink, const std::uint8_t* indices, std::size_t count);
std::uint64_t lzw_encoded_size(int initial_bits, const std::uint8_t* indices, std::size_t count);

} // namespace zoetra
