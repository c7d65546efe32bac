#include "decoder_support.hpp"

#include <cstring>

namespace zoetra::decoder_test {
namespace {

// Bits taken least significant first from data sub-blocks, one byte at a
// time; -1 when the data ends (at the end of the input or an empty block).
class sub_block_bits {
  public:
    sub_block_bits(const bytes& raster, std::size_t at) : raster_(raster), at_(at) {}
    int read(int width) {
        int code = 0;
        for (int i = 0; i < width; ++i) {
            if (bits_left_ == 0) {
                int byte = next_byte();
                if (byte < 0)
                    return -1;
                current_ = std::uint8_t(byte);
                bits_left_ = 8;
            }
            code |= (current_ & 1) << i;
            current_ >>= 1;
            --bits_left_;
        }
        return code;
    }

  private:
    int next_byte() {
        if (block_left_ == 0) {
            if (ended_ || at_ >= raster_.size() || raster_[at_] == 0) {
                ended_ = true;
                return -1;
            }
            block_left_ = raster_[at_++];
        }
        if (at_ >= raster_.size()) {
            ended_ = true;
            return -1;
        }
        --block_left_;
        return raster_[at_++];
    }
    const bytes& raster_;
    std::size_t at_;
    int block_left_ = 0;
    bool ended_ = false;
    std::uint8_t current_ = 0;
    int bits_left_ = 0;
};

std::vector<int> row_table(int height, bool interlaced) {
    std::vector<int> rows;
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    const int starts[4] = {0, 4, 2, 1};
    const int steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < height; y += steps[pass])
            rows.push_back(y);
    return rows;
}

} // namespace

reference_result reference_lzw_decode(const bytes& raster, bool interlaced, int width, int height) {
    reference_result result;
    result.indices.assign(std::size_t(width) * height, 0);
    if (raster.empty()) {
        result.status = -1;
        return result;
    }
    const int size = raster[0];
    if (size < 2 || size > 9) {
        result.status = -20;
        return result;
    }
    const std::vector<int> rows = row_table(height, interlaced);
    std::size_t next_row = 0;
    bytes line(std::size_t(width), 0);
    std::size_t in_line = 0;
    auto put_pixel = [&](std::uint8_t index) {
        if (next_row >= rows.size())
            return; // beyond the last row
        line[in_line++] = index;
        if (in_line == std::size_t(width)) {
            std::memcpy(&result.indices[std::size_t(rows[next_row++]) * width], line.data(),
                        std::size_t(width));
            in_line = 0;
        }
    };
    auto flush_partial_line = [&] {
        if (in_line != 0 && next_row < rows.size())
            std::memcpy(&result.indices[std::size_t(rows[next_row]) * width], line.data(), in_line);
    };

    sub_block_bits bits(raster, 1);
    const int clear = 1 << size;
    const int end = clear + 1;
    const int first_free = end + 1;
    int code_width = size + 1;
    int next_free = first_free;
    int limit = 1 << code_width;
    std::vector<std::uint16_t> prefix(4096, 0);
    std::vector<std::uint8_t> suffix(4096, 0);
    std::vector<std::uint8_t> stack;
    int old_code = 0;
    int first_char = 0;
    for (;;) {
        if (next_row >= rows.size() || width == 0)
            return result;
        int c = bits.read(code_width);
        if (c == end) {
            flush_partial_line();
            return result;
        }
        if (c < 0)
            return result;
        if (c == clear) {
            code_width = size + 1;
            next_free = first_free;
            limit = 1 << code_width;
            do {
                c = bits.read(code_width);
            } while (c == clear);
            if (c < 0)
                return result;
            if (c == end) {
                flush_partial_line();
                return result;
            }
            if (c >= next_free)
                c = 0;
            put_pixel(std::uint8_t(c));
            old_code = c;
            first_char = c;
            continue;
        }
        int k = c;
        stack.clear();
        if (k >= next_free) {
            stack.push_back(std::uint8_t(first_char));
            k = old_code;
        }
        while (k >= first_free) {
            if (stack.size() == 4096)
                return result; // the stack would overflow: corrupt data
            stack.push_back(suffix[k]);
            k = prefix[k];
        }
        if (stack.size() == 4096)
            return result;
        stack.push_back(std::uint8_t(k));
        if (next_free < limit) {
            suffix[next_free] = std::uint8_t(k);
            prefix[next_free] = std::uint16_t(old_code);
            ++next_free;
            first_char = k;
            old_code = c;
        }
        if (next_free >= limit && code_width < 12) {
            limit *= 2;
            ++code_width;
        }
        while (!stack.empty()) {
            put_pixel(stack.back());
            stack.pop_back();
        }
    }
}

int table_size_bits(std::size_t length) {
    int bits = 0;
    while ((std::size_t(2) << bits) < length)
        ++bits;
    return bits;
}

bytes to_interlaced_order(const bytes& indices, int width, int height) {
    bytes out;
    for (int row : row_table(height, true))
        out.insert(out.end(), indices.begin() + long(row) * width,
                   indices.begin() + long(row + 1) * width);
    return out;
}

gif_builder::gif_builder(int width, int height, const table& global_table, int background_index,
                         const char* version) {
    for (const char* c : {"GIF", version})
        for (int i = 0; i < 3; ++i)
            data_.push_back(std::uint8_t(c[i]));
    put_u16(width);
    put_u16(height);
    int flags = global_table.empty() ? 0 : 0x80 | 0x70 | table_size_bits(global_table.size());
    data_.push_back(std::uint8_t(flags));
    data_.push_back(std::uint8_t(background_index));
    data_.push_back(0); // aspect
    put_table(global_table);
}

gif_builder& gif_builder::control(int packed, int transparent_index, int delay) {
    raw({0x21, 0xF9, 4, std::uint8_t(packed)});
    put_u16(delay);
    raw({std::uint8_t(transparent_index), 0});
    return *this;
}

gif_builder& gif_builder::comment(const std::string& text) {
    raw({0x21, 0xFE});
    data_.push_back(std::uint8_t(text.size()));
    data_.insert(data_.end(), text.begin(), text.end());
    data_.push_back(0);
    return *this;
}

gif_builder& gif_builder::raw(const bytes& data) {
    data_.insert(data_.end(), data.begin(), data.end());
    return *this;
}

gif_builder& gif_builder::image(const image_spec& spec) {
    bytes stored =
        spec.interlaced ? to_interlaced_order(spec.indices, spec.width, spec.height) : spec.indices;
    return image_with_raster(spec, raster_data(spec.code_size, lzw_encode(stored, spec.code_size)));
}

gif_builder& gif_builder::image_with_raster(const image_spec& spec, const bytes& raster) {
    data_.push_back(0x2C);
    put_u16(spec.left);
    put_u16(spec.top);
    put_u16(spec.width);
    put_u16(spec.height);
    int flags = spec.interlaced ? 0x40 : 0;
    if (!spec.local_table.empty())
        flags |= 0x80 | table_size_bits(spec.local_table.size());
    data_.push_back(std::uint8_t(flags));
    put_table(spec.local_table);
    raw(raster);
    return *this;
}

bytes gif_builder::finish() const {
    bytes file = data_;
    file.push_back(0x3B);
    return file;
}

void gif_builder::put_u16(int value) {
    data_.push_back(std::uint8_t(value & 0xFF));
    data_.push_back(std::uint8_t((value >> 8) & 0xFF));
}

void gif_builder::put_table(const table& entries) {
    for (std::uint32_t rgb : entries)
        raw({std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)});
}

std::vector<pixel> pixels_of(buffer& image) {
    buffer_lock hold(image);
    return std::vector<pixel>(image.pixels(),
                              image.pixels() + std::size_t(image.width()) * image.height());
}

} // namespace zoetra::decoder_test
