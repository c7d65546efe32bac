#pragma once
// Helpers shared by the GIF tests: hand-made files, a plain LZW coder and a
// step-by-step LZW decoder to check the fast ones against, and giflib as an
// independent reader with frames composed by the reader's rules.
#include "../support/files.hpp"
#include "gif/lzw_decoder.hpp"
#include "raster/buffer.hpp"

#include <gif_lib.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace zoetra::test {

using bytes = std::vector<std::uint8_t>;
using testing::read_file;
using testing::scratch_folder;
using testing::write_file;

// Frames owned by a test, with the raw pointers the writer takes.
struct frame_set {
    std::vector<std::unique_ptr<buffer>> owned;
    std::vector<buffer*> frames;

    template <class Paint> void add(int width, int height, Paint colour_at) {
        owned.push_back(std::make_unique<buffer>(std::uint16_t(width), std::uint16_t(height),
                                                 colour{1, 0, 0, 0}));
        frames.push_back(owned.back().get());
        buffer_lock hold(*frames.back());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                frames.back()->pixels()[y * width + x] = colour_at(x, y);
    }
};

// Packs codes least significant bit first, each as wide as the decoder reads
// it: every code but a clear code and the first after it makes an entry (the
// first code of a stream without a clear code makes one too), and the width
// grows when the next free code reaches 2^width, up to 12 bits.
class code_writer {
  public:
    explicit code_writer(int code_size) : code_size_(code_size) { reset(); }
    code_writer& put(int code) {
        for (int i = 0; i < width_; ++i, ++bit_count_) {
            if (bit_count_ % 8 == 0)
                data_.push_back(0);
            data_.back() |= std::uint8_t(((code >> i) & 1) << (bit_count_ % 8));
        }
        if (code == clear_code()) {
            reset();
            after_clear_ = true;
        } else if (after_clear_) {
            after_clear_ = false;
        } else if (next_free_ < 4096 && ++next_free_ == (1 << width_) && width_ < 12) {
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
    int code_size_, width_ = 0, next_free_ = 0;
    bool after_clear_ = false;
    long bit_count_ = 0;
    bytes data_;
};

// Data cut into sub-blocks of at most block_size bytes, without the terminator.
inline bytes sub_blocks(const bytes& data, std::size_t block_size) {
    bytes out;
    for (std::size_t at = 0; at < data.size(); at += block_size) {
        const std::size_t n = std::min(block_size, data.size() - at);
        out.push_back(std::uint8_t(n));
        out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
    }
    return out;
}

// An image's raster: code size byte, sub-blocks and the empty terminating block.
inline bytes raster_data(int code_size, const bytes& data, std::size_t block_size = 255) {
    bytes out = sub_blocks(data, block_size);
    out.insert(out.begin(), std::uint8_t(code_size));
    out.push_back(0);
    return out;
}

// The data of the sub-blocks from `at` on, up to an empty block or the end of
// the input, and where the blocks end (after the empty block).
inline std::pair<bytes, std::size_t> join_sub_blocks(const bytes& blocks, std::size_t at) {
    bytes data;
    for (; at < blocks.size() && blocks[at] != 0; at += blocks[at] + 1u)
        data.insert(data.end(), blocks.begin() + long(at) + 1,
                    blocks.begin() + long(std::min(blocks.size(), at + 1 + blocks[at])));
    return {data, std::min(at + 1, blocks.size())};
}

// A plain LZW coder (a map from strings to codes): a clear code first, and at
// a full table a clear code or, with keep_full_table, nothing, so that the
// decoder's table stays full at 12 bits. Packed codes, not yet in sub-blocks.
inline bytes plain_lzw(const bytes& indices, int code_size, bool keep_full_table = false) {
    code_writer writer(code_size);
    std::map<std::pair<int, int>, int> table; // (prefix code, index) -> code
    int next = writer.clear_code() + 2, current = -1;
    writer.put(writer.clear_code());
    for (std::uint8_t index : indices) {
        if (current < 0) {
            current = index;
            continue;
        }
        if (auto found = table.find({current, index}); found != table.end()) {
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
    return writer.put(writer.end_code()).data();
}

// Indices that repeat the previous one with the given chance in percent.
inline bytes random_image(std::mt19937& random, std::size_t count, int colours, int run_bias) {
    bytes indices(count);
    for (std::size_t i = 0; i < count; ++i)
        indices[i] = i > 0 && int(random() % 100) < run_bias ? indices[i - 1]
                                                             : std::uint8_t(random() % colours);
    return indices;
}

// Row numbers in the order an image stores them.
inline std::vector<int> row_order(int height, bool interlaced) {
    std::vector<int> rows;
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
        for (int y = interlaced ? starts[pass] : 0; y < height; y += interlaced ? steps[pass] : 1)
            rows.push_back(y);
    return rows;
}

// The decoding rules followed literally: codes read from the joined
// sub-blocks, strings pushed on a 4,096-byte stack through the prefix chains,
// rows filled through a line buffer. Rows the data never reaches, and the
// pending row when the data stops without an end code, hold 0. The data ends
// after the first empty sub-block, or at the end of the input.
struct reference_result {
    lzw_status status = lzw_status::decoded;
    bytes indices;
    std::size_t end_of_data = 0;
};
inline reference_result reference_lzw_decode(const bytes& raster, bool interlaced, int width,
                                             int height) {
    reference_result result{lzw_status::decoded, bytes(std::size_t(width) * height, 0)};
    const int size = raster.empty() ? 0 : raster[0];
    if (size < 2 || size > 9) {
        result.status = raster.empty() ? lzw_status::end_of_file : lzw_status::bad_code_size;
        return result;
    }
    const std::vector<int> rows = row_order(height, interlaced);
    std::size_t next_row = 0, in_line = 0;
    bytes line(std::size_t(width), 0);
    auto put_pixel = [&](std::uint8_t index) {
        if (next_row >= rows.size())
            return; // beyond the last row
        line[in_line++] = index;
        if (in_line == std::size_t(width)) {
            std::memcpy(&result.indices[std::size_t(rows[next_row++]) * width], line.data(),
                        in_line);
            in_line = 0;
        }
    };
    auto end_with_partial_line = [&] {
        if (in_line != 0 && next_row < rows.size())
            std::memcpy(&result.indices[std::size_t(rows[next_row]) * width], line.data(), in_line);
        return result;
    };

    const auto [data, end_of_data] = join_sub_blocks(raster, 1);
    result.end_of_data = end_of_data;
    std::size_t bit = 0;
    auto read = [&](int width) { // least significant bit first; -1 when the data ends within one
        if (bit + std::size_t(width) > data.size() * 8)
            return -1;
        int code = 0;
        for (int k = 0; k < width; ++k, ++bit)
            code |= ((data[bit / 8] >> (bit % 8)) & 1) << k;
        return code;
    };
    const int clear = 1 << size, end = clear + 1, first_free = end + 1;
    int code_width = size + 1, next_free = first_free, limit = 1 << code_width;
    std::vector<std::uint16_t> prefix(4096, 0);
    bytes suffix(4096, 0), stack;
    int old_code = 0, first_char = 0;
    bool after_clear = false;
    for (int c; next_row < rows.size() && width != 0 && (c = read(code_width)) >= 0;) {
        if (c == end)
            return end_with_partial_line();
        if (c == clear) {
            code_width = size + 1;
            next_free = first_free;
            limit = 1 << code_width;
            after_clear = true;
            continue;
        }
        if (after_clear) { // makes no entry; a code outside the table is 0
            after_clear = false;
            old_code = first_char = c < next_free ? c : 0;
            put_pixel(std::uint8_t(old_code));
            continue;
        }
        int k = c;
        stack.clear();
        if (k >= next_free) {
            stack.push_back(std::uint8_t(first_char));
            k = old_code;
        }
        for (; k >= first_free; k = prefix[k]) {
            if (stack.size() == 4096)
                return result; // the stack would overflow: corrupt data
            stack.push_back(suffix[k]);
        }
        if (stack.size() == 4096)
            return result;
        stack.push_back(std::uint8_t(k));
        if (next_free < limit) {
            suffix[next_free] = std::uint8_t(k);
            prefix[next_free++] = std::uint16_t(old_code);
            first_char = k;
            old_code = c;
        }
        if (next_free >= limit && code_width < 12) {
            limit *= 2;
            ++code_width;
        }
        for (; !stack.empty(); stack.pop_back())
            put_pixel(stack.back());
    }
    return result;
}

using table = std::vector<std::uint32_t>; // 0xRRGGBB entries, 2 to 256 of them

// One image of a hand-made file: where it lies, its indices and how they are stored.
struct picture {
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
                         int background_index = 0, const char* version = "89a") {
        const std::string signature = std::string("GIF") + version;
        data_.assign(signature.begin(), signature.end());
        put_u16(width);
        put_u16(height);
        raw({std::uint8_t(global_table.empty() ? 0 : 0xF0 | table_bits(global_table)),
             std::uint8_t(background_index), 0});
        put_table(global_table);
    }
    gif_builder& control(int packed, int transparent_index, int delay = 0) {
        raw({0x21, 0xF9, 4, std::uint8_t(packed)});
        put_u16(delay);
        return raw({std::uint8_t(transparent_index), 0});
    }
    gif_builder& raw(const bytes& data) {
        data_.insert(data_.end(), data.begin(), data.end());
        return *this;
    }
    // An image descriptor, its local table and its indices, plainly coded.
    gif_builder& image(const picture& pic) {
        bytes stored;
        for (int row : row_order(pic.height, pic.interlaced))
            stored.insert(stored.end(), pic.indices.begin() + long(row) * pic.width,
                          pic.indices.begin() + long(row + 1) * pic.width);
        return image_with_raster(pic, raster_data(pic.code_size, plain_lzw(stored, pic.code_size)));
    }
    gif_builder& image_with_raster(const picture& pic, const bytes& raster) {
        data_.push_back(0x2C);
        for (int value : {pic.left, pic.top, pic.width, pic.height})
            put_u16(value);
        const table& local = pic.local_table;
        data_.push_back(std::uint8_t((pic.interlaced ? 0x40 : 0) |
                                     (local.empty() ? 0 : 0x80 | table_bits(local))));
        put_table(local);
        return raw(raster);
    }
    bytes finish() const { // with the trailer
        bytes file = data_;
        file.push_back(0x3B);
        return file;
    }

  private:
    static int table_bits(const table& entries) { return std::bit_width(entries.size() - 1) - 1; }
    void put_u16(int value) {
        raw({std::uint8_t(value & 0xFF), std::uint8_t((value >> 8) & 0xFF)});
    }
    void put_table(const table& entries) {
        for (std::uint32_t rgb : entries)
            raw({std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)});
    }
    bytes data_;
};

// A file as giflib reads it; tables hold 3 bytes per entry, repeats is the
// loop extension's count (-1 without one).
struct giflib_frame {
    int left = 0, top = 0, width = 0, height = 0;
    bytes indices, local_table;
    int delay = -1, disposal = -1, transparent_index = -1;
};
struct giflib_file {
    int width = 0, height = 0, background = -1;
    bytes global_table;
    std::vector<giflib_frame> frames = {};
    int repeats = -1;
};

inline std::optional<giflib_file> giflib_decode(const bytes& file) {
    std::pair<const bytes*, std::size_t> input{&file, 0};
    auto read = [](GifFileType* gif, GifByteType* target, int count) -> int {
        auto& [data, at] = *static_cast<std::pair<const bytes*, std::size_t>*>(gif->UserData);
        const std::size_t n = std::min(data->size() - at, std::size_t(count));
        std::memcpy(target, data->data() + at, n);
        at += n;
        return int(n);
    };
    auto table_bytes = [](const ColorMapObject* map) {
        bytes out;
        for (int i = 0; map != nullptr && i < map->ColorCount; ++i)
            out.insert(out.end(), {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
        return out;
    };
    int error = 0;
    GifFileType* gif = DGifOpen(&input, read, &error);
    if (gif == nullptr)
        return std::nullopt;
    std::optional<giflib_file> out;
    if (DGifSlurp(gif) == GIF_OK) {
        out = giflib_file{gif->SWidth, gif->SHeight, gif->SBackGroundColor,
                          table_bytes(gif->SColorMap)};
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& image = gif->SavedImages[i];
            const GifImageDesc& d = image.ImageDesc;
            giflib_frame& frame = out->frames.emplace_back(giflib_frame{
                d.Left, d.Top, d.Width, d.Height,
                bytes(image.RasterBits, image.RasterBits + std::size_t(d.Width) * d.Height),
                table_bytes(d.ColorMap)});
            GraphicsControlBlock control;
            if (DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK) {
                frame.delay = control.DelayTime;
                frame.disposal = control.DisposalMode;
                frame.transparent_index = control.TransparentColor;
            }
            for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
                const ExtensionBlock* b = image.ExtensionBlocks + e;
                if (b->Function == APPLICATION_EXT_FUNC_CODE && b->ByteCount == 11 &&
                    std::memcmp(b->Bytes, "NETSCAPE2.0", 11) == 0 && b[1].ByteCount >= 3)
                    out->repeats = b[1].Bytes[1] | b[1].Bytes[2] << 8;
            }
        }
    }
    DGifCloseFile(gif, &error);
    return out;
}

// giflib gives only each frame's indices; this composes them by our own
// reader's rules, so it checks the indices and the tables independently but
// not the composition: a canvas of the background colour marked transparent,
// local tables over the global one, transparent indices skipped, disposal 2
// clearing the frame's rectangle afterwards and disposal 4 (only 4) restoring
// the canvas.
inline std::vector<std::vector<pixel>> compose_by_our_rules(const giflib_file& gif) {
    auto colour_of = [](const bytes& table, int index) {
        const auto at = std::size_t(index) * 3;
        return at + 2 < table.size()
                   ? pixel(table[at]) << 16 | pixel(table[at + 1]) << 8 | pixel(table[at + 2])
                   : pixel(0);
    };
    const pixel bg = colour_of(gif.global_table, gif.background) | transparent_flag;
    std::vector<pixel> canvas(std::size_t(gif.width) * gif.height, bg);
    std::vector<std::vector<pixel>> out;
    for (const giflib_frame& f : gif.frames) {
        auto each_visible_pixel = [&](auto action) {
            for (int y = 0; y < f.height && f.top + y < gif.height; ++y)
                for (int x = 0; x < f.width && f.left + x < gif.width; ++x)
                    action(f.indices[std::size_t(y) * f.width + x],
                           canvas[std::size_t(f.top + y) * gif.width + f.left + x]);
        };
        const std::vector<pixel> saved = canvas;
        each_visible_pixel([&](int index, pixel& to) {
            if (index != f.transparent_index)
                to = colour_of(std::size_t(index) * 3 < f.local_table.size() ? f.local_table
                                                                             : gif.global_table,
                               index);
        });
        out.push_back(canvas);
        if (f.disposal == 4)
            canvas = saved;
        if (f.disposal == 2)
            each_visible_pixel([&](int, pixel& to) { to = bg; });
    }
    return out;
}

inline std::vector<pixel> pixels_of(buffer& image) {
    buffer_lock hold(image);
    return std::vector<pixel>(image.pixels(),
                              image.pixels() + std::size_t(image.width()) * image.height());
}

} // namespace zoetra::test
