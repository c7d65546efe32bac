#pragma once
// LZW decoding of one GIF image's raster data: the minimum code size byte and
// the data sub-blocks that follow it become width x height colour indices.
//
// The string of a code is kept twice. The prefix/suffix tables are the
// classic form: a code's string is its prefix's string plus one suffix byte.
// Beside them each code remembers where its string already lies in the
// decoded output (start, length): a code's string is the previous output plus
// the first byte of the output after it, and the indices are never rewritten,
// so emitting a code is one block copy instead of a walk down the prefix
// chain. Streams that use codes beyond the table make prefixes point at
// entries that do not exist yet; from then on the image is decoded by walking
// the tables alone, which gives exactly what the classic form gives.
#include "gif/byte_stream.hpp"

#include <cstddef>
#include <cstdint>

namespace zoetra {

// How the decoding of one image's raster data ended.
enum class lzw_status {
    decoded,       // completely, or as far as the data went
    end_of_file,   // the minimum code size byte is missing
    bad_code_size, // the minimum code size is outside 2 to 9
};

class lzw_decoder {
  public:
    static constexpr int max_code_width = 12;
    static constexpr int table_size = 1 << max_code_width;

    // Decodes the raster data at the stream's position into indices (width x
    // height bytes, row-major). line is a scratch row of width bytes, used to
    // put interlaced rows in place. Returns decoded when the image was decoded,
    // completely or as far as its data went: pixels the data never reaches
    // keep what indices held (give a zeroed buffer for index 0), and a row
    // left incomplete by data that simply stops is cleared to 0 (an end code
    // keeps the pixels of its incomplete row). Returns
    // end_of_file when the minimum code size is missing and bad_code_size when
    // it is outside 2 to 9. Afterwards the stream stands after the image's
    // terminating empty sub-block (or at the end of the file).
    lzw_status decode(byte_stream& stream, bool interlaced, std::uint16_t width,
                      std::uint16_t height, std::uint8_t* indices, std::uint8_t* line);
    // Whether the last decode reached the image's last pixel: false when its
    // data stopped short (cut off, ended by an early end code, or corrupt) or
    // could not be decoded at all.
    bool last_image_complete() const { return last_image_complete_; }

  private:
    // The data sub-blocks joined into one run, followed by zero padding so
    // that a code can always be fetched with one 8-byte load.
    struct code_data {
        const std::uint8_t* bytes;
        std::uint64_t bit_count;
    };
    // Everything the decoding loop carries from one code to the next.
    struct decoding_state;
    struct expansion {
        std::size_t produced; // indices written, in decoding order
        bool finished;        // end code met or every row filled
    };

    code_data gather_sub_blocks(byte_stream& stream);
    expansion expand(code_data data, int code_size, std::uint8_t* out, std::size_t total);
    expansion expand_by_walking(decoding_state& state, int pending_code, std::uint8_t* out,
                                std::size_t total);
    void add_entry(decoding_state& state, int code, std::uint8_t root, std::size_t start,
                   std::size_t length, std::size_t& previous_start, std::size_t& previous_length);
    // Writes the string of code (walking the tables) at out + position, as
    // far as total; returns its length, or 0 when it is longer than the
    // output stack (a corrupt table). reserved stack bytes are already in use.
    std::size_t emit_by_walking(int code, int first_free, int reserved, std::uint8_t* out,
                                std::size_t position, std::size_t total);

    // The classic tables.
    std::uint16_t prefix_[table_size];
    std::uint8_t suffix_[table_size];
    std::uint8_t stack_[table_size];
    // Per code: where its string starts in the output (bits 0-31), its length
    // (bits 32-47; 0 when it is not there as a whole) and its first index
    // (bits 48-55).
    std::uint64_t span_[table_size];
    heap_ptr<std::uint8_t> joined_;
    std::size_t joined_capacity_ = 0;
    bool last_image_complete_ = false;
};

// Rows of an interlaced image in the order they are stored: every 8th row
// from 0, every 8th from 4, every 4th from 2, every 2nd from 1. Returns the
// row that the n-th stored row belongs to.
std::uint16_t interlaced_row(std::uint16_t n, std::uint16_t height);

// One image's raster data decoded with a decoder of its own (see
// lzw_decoder::decode).
lzw_status decode_lzw(bool interlaced, std::uint16_t height, std::uint16_t width,
                      byte_stream& stream, std::uint8_t* index_buffer, std::uint8_t* line_buffer);

} // namespace zoetra
