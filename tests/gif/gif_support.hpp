#pragma once
// Helpers shared by the GIF tests: hand-made files, a plain LZW coder and a
// step-by-step LZW decoder to check the fast ones against, giflib as an
// independent reader, scratch files and deterministic noise.
#include "raster/buffer.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zoetra::test {

using bytes = std::vector<std::uint8_t>;

// The decoder's view of code widths: every code but a clear code and the first
// after it makes an entry (the first code of a stream without a clear code
// makes one too), and the width grows when the next free code reaches
// 2^width, up to 12 bits.
class code_widths {
  public:
    explicit code_widths(int code_size) : code_size_(code_size) { reset(); }
    void advance(int code) {
        if (code == clear_code()) {
            reset();
            after_clear_ = true;
        } else if (after_clear_) {
            after_clear_ = false;
        } else if (next_free_ < 4096 && ++next_free_ == (1 << width_) && width_ < 12) {
            ++width_;
        }
    }
    int clear_code() const { return 1 << code_size_; }
    int end_code() const { return clear_code() + 1; }
    int next_free() const { return next_free_; }
    int width() const { return width_; }

  private:
    void reset() {
        width_ = code_size_ + 1;
        next_free_ = clear_code() + 2;
    }
    int code_size_;
    int width_ = 0;
    int next_free_ = 0;
    bool after_clear_ = false;
};

// Packs codes least significant bit first, each as wide as the decoder reads it.
class code_writer : public code_widths {
  public:
    using code_widths::code_widths;
    code_writer& put(int code) {
        for (int i = 0; i < width(); ++i, ++bit_count_) {
            if (bit_count_ % 8 == 0)
                data_.push_back(0);
            data_.back() |= std::uint8_t(((code >> i) & 1) << (bit_count_ % 8));
        }
        advance(code);
        return *this;
    }
    code_writer& put_all(const std::vector<int>& codes) {
        for (int code : codes)
            put(code);
        return *this;
    }
    const bytes& data() const { return data_; }

  private:
    long bit_count_ = 0;
    bytes data_;
};

// Codes of data in sub-blocks (no terminator), each with the width it is read at.
struct traced_code {
    int code;
    int width;
};
std::vector<traced_code> trace_codes(const bytes& blocks, int code_size);

// A plain LZW coder (a map from strings to codes): a clear code first, and at
// a full table a clear code or, with keep_full_table, nothing, so that the
// decoder's table stays full at 12 bits. Packed codes, not yet in sub-blocks.
bytes plain_lzw(const bytes& indices, int code_size, bool keep_full_table = false);
// Data cut into sub-blocks of at most block_size bytes, without the terminator.
bytes sub_blocks(const bytes& data, std::size_t block_size);
// An image's raster: code size byte, sub-blocks and the empty terminating block.
bytes raster_data(int code_size, const bytes& data, std::size_t block_size = 255);

// The decoding rules followed literally: bits fetched one byte at a time,
// strings pushed on a 4,096-byte stack through the prefix chains, rows filled
// through a line buffer. Returns the same codes as the decoder; rows the data
// never reaches, and the pending row when the data stops without an end code,
// hold 0.
struct reference_result {
    int status = 0;
    bytes indices;
};
reference_result reference_lzw_decode(const bytes& raster, bool interlaced, int width, int height);

using table = std::vector<std::uint32_t>; // 0xRRGGBB entries, 2 to 256 of them

struct image_spec {
    int left = 0, top = 0, width = 0, height = 0;
    bytes indices = {}; // row-major
    int code_size = 2;
    table local_table = {};
    bool interlaced = false;
};

// A GIF file put together block by block.
class gif_builder {
  public:
    explicit gif_builder(int width, int height, const table& global_table = {},
                         int background_index = 0, const char* version = "89a");
    gif_builder& control(int packed, int transparent_index, int delay = 0);
    gif_builder& comment(const std::string& text);
    gif_builder& raw(const bytes& data);
    // An image descriptor, its local table and its indices, plainly coded.
    gif_builder& image(const image_spec& spec);
    gif_builder& image_with_raster(const image_spec& spec, const bytes& raster);
    bytes finish() const; // with the trailer

  private:
    void put_u16(int value);
    bytes data_;
};

// A file as giflib reads it; tables hold 3 bytes per entry.
struct giflib_frame {
    int left = 0, top = 0, width = 0, height = 0;
    bytes indices, local_table;
    int delay = -1, disposal = -1, transparent_index = -1;
};
struct giflib_file {
    int width = 0, height = 0, background = -1;
    bytes global_table;
    std::optional<int> repeat_count = {}; // from the loop extension
    std::vector<giflib_frame> frames = {};
};
std::optional<giflib_file> giflib_decode(const bytes& file);

std::vector<pixel> pixels_of(buffer& image);
// A folder for this program's files under the test scratch directory.
std::filesystem::path scratch_directory(const std::string& name);
bytes read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const bytes& data);

// A cheap deterministic noise source.
class noise {
  public:
    explicit noise(std::uint32_t seed = 12345) : state_(seed) {}
    int next(int range) {
        state_ = state_ * 1103515245u + 12345u;
        return int((state_ >> 16) % unsigned(range));
    }

  private:
    std::uint32_t state_;
};

} // namespace zoetra::test
