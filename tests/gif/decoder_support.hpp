#pragma once
// Test helpers for the GIF reader: a builder for hand-made files, an LZW code
// writer that follows the decoder's code widths, a plain LZW encoder, and a
// slow decoder that follows the decoding rules step by step, to check the
// fast one against.
#include "gif/byte_stream.hpp"
#include "raster/buffer.hpp"
#include "raster/pixel.hpp"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zoetra::decoder_test {

using bytes = std::vector<std::uint8_t>;

// Packs codes least significant bit first, each as wide as the decoder will
// read it at that point: the width grows when the next free code reaches
// 2^width (up to 12 bits), and every code but a clear code and the first
// after it makes an entry (the first code of a stream without a clear code
// makes one too).
class code_writer {
  public:
    explicit code_writer(int code_size) : code_size_(code_size) { reset(); }

    code_writer& put(int code) {
        for (int i = 0; i < width_; ++i, ++bit_count_) {
            if (bit_count_ % 8 == 0)
                data_.push_back(0);
            if ((code >> i) & 1)
                data_.back() |= std::uint8_t(1u << (bit_count_ % 8));
        }
        if (code == clear_code()) {
            reset();
            after_clear_ = true;
        } else if (after_clear_) {
            after_clear_ = false;
        } else if (next_free_ < 4096) {
            ++next_free_;
            if (next_free_ == (1 << width_) && width_ < 12)
                ++width_;
        }
        return *this;
    }
    code_writer& put_all(const std::vector<int>& codes) {
        for (int code : codes)
            put(code);
        return *this;
    }

    int clear_code() const { return 1 << code_size_; }
    int end_code() const { return clear_code() + 1; }
    int next_free() const { return next_free_; }
    int width() const { return width_; }
    const bytes& data() const { return data_; }

  private:
    void reset() {
        width_ = code_size_ + 1;
        next_free_ = clear_code() + 2;
    }
    int code_size_;
    int width_ = 0;
    int next_free_ = 0;
    bool after_clear_ = false;
    long bit_count_ = 0;
    bytes data_;
};

// The code size byte, the data cut into sub-blocks of at most block_size
// bytes, and the empty terminating block.
inline bytes raster_data(int code_size, const bytes& data, std::size_t block_size = 255) {
    bytes out{std::uint8_t(code_size)};
    for (std::size_t at = 0; at < data.size(); at += block_size) {
        std::size_t n = std::min(block_size, data.size() - at);
        out.push_back(std::uint8_t(n));
        out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
    }
    out.push_back(0);
    return out;
}

// A plain LZW encoder (a map from strings to codes): a clear code first, and
// at a full table either a clear code or, with keep_full_table, nothing, so
// that the decoder's table stays full at 12 bits.
inline bytes lzw_encode(const bytes& indices, int code_size, bool keep_full_table = false) {
    code_writer writer(code_size);
    std::map<std::pair<int, int>, int> table; // (prefix code, index) -> code
    int next = writer.clear_code() + 2;
    writer.put(writer.clear_code());
    int current = -1;
    for (std::uint8_t index : indices) {
        if (current < 0) {
            current = index;
            continue;
        }
        auto found = table.find({current, index});
        if (found != table.end()) {
            current = found->second;
            continue;
        }
        writer.put(current);
        if (next < 4096) {
            table[{current, index}] = next++;
        } else if (!keep_full_table) {
            writer.put(writer.clear_code());
            table.clear();
            next = writer.clear_code() + 2;
        }
        current = index;
    }
    if (current >= 0)
        writer.put(current);
    writer.put(writer.end_code());
    return writer.data();
}

// The decoding rules followed literally: bits fetched one byte at a time from
// the sub-blocks, strings pushed on a 4,096-byte stack through the prefix
// chains, rows filled through a line buffer. Returns the same codes as the
// decoder; rows the data never reaches, and the pending row when the data
// stops without an end code, hold 0.
struct reference_result {
    int status = 0;
    bytes indices;
};
reference_result reference_lzw_decode(const bytes& raster, bool interlaced, int width, int height);

// Colour tables are given as 0xRRGGBB values; their length must be a power
// of two from 2 to 256.
using table = std::vector<std::uint32_t>;

struct image_spec {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool interlaced = false;
    table local_table;
    int code_size = 8;
    bytes indices; // row-major, width x height
};

// A GIF file put together block by block.
class gif_builder {
  public:
    explicit gif_builder(int width, int height, const table& global_table = {},
                         int background_index = 0, const char* version = "89a");
    // A graphic control extension.
    gif_builder& control(int packed, int transparent_index, int delay = 0);
    gif_builder& comment(const std::string& text);
    // Any bytes, as they are.
    gif_builder& raw(const bytes& data);
    // An image descriptor, its local table and its LZW-coded indices.
    gif_builder& image(const image_spec& spec);
    // An image descriptor with the given raster data (code size byte and sub-blocks).
    gif_builder& image_with_raster(const image_spec& spec, const bytes& raster);
    // The file with its trailer.
    bytes finish() const;

  private:
    void put_u16(int value);
    void put_table(const table& entries);
    bytes data_;
};

// Table flag bits for a table of the given length (2 to 256 entries).
int table_size_bits(std::size_t length);
// Rows of a row-major image in the order an interlaced image stores them.
bytes to_interlaced_order(const bytes& indices, int width, int height);

// The pixels of a buffer, read under a lock.
std::vector<pixel> pixels_of(buffer& image);
// The pixel the reader writes for an opaque index of colour 0xRRGGBB, and the
// background it fills with.
inline pixel painted(std::uint32_t rgb) {
    return rgb;
}
inline pixel background_pixel(std::uint32_t rgb) {
    return rgb | transparent_flag;
}

} // namespace zoetra::decoder_test
