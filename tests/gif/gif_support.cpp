#include "gif_support.hpp"

#include <gif_lib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <utility>

namespace zoetra::test {
namespace {

// The data of the sub-blocks from `at` on, up to an empty block or the end.
bytes join_sub_blocks(const bytes& blocks, std::size_t at) {
    bytes data;
    for (; at < blocks.size() && blocks[at] != 0; at += blocks[at] + 1u)
        data.insert(data.end(), blocks.begin() + long(at) + 1,
                    blocks.begin() + long(std::min(blocks.size(), at + 1 + blocks[at])));
    return data;
}

// Codes taken least significant bit first; -1 when the data ends within one.
class bit_reader {
  public:
    explicit bit_reader(bytes data) : data_(std::move(data)) {}
    int read(int width) {
        if (bit_ + std::size_t(width) > data_.size() * 8)
            return -1;
        int code = 0;
        for (int k = 0; k < width; ++k, ++bit_)
            code |= ((data_[bit_ / 8] >> (bit_ % 8)) & 1) << k;
        return code;
    }

  private:
    bytes data_;
    std::size_t bit_ = 0;
};

// Row numbers in the order the image stores them.
std::vector<int> row_order(int height, bool interlaced) {
    std::vector<int> rows;
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
        for (int y = interlaced ? starts[pass] : 0; y < height; y += interlaced ? steps[pass] : 1)
            rows.push_back(y);
    return rows;
}

} // namespace

reference_result reference_lzw_decode(const bytes& raster, bool interlaced, int width, int height) {
    reference_result result{0, bytes(std::size_t(width) * height, 0)};
    const int size = raster.empty() ? 0 : raster[0];
    if (size < 2 || size > 9) {
        result.status = raster.empty() ? -1 : -20;
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

    bit_reader bits(join_sub_blocks(raster, 1));
    const int clear = 1 << size, end = clear + 1, first_free = end + 1;
    int code_width = size + 1, next_free = first_free, limit = 1 << code_width;
    std::vector<std::uint16_t> prefix(4096, 0);
    bytes suffix(4096, 0), stack;
    int old_code = 0, first_char = 0;
    for (;;) {
        if (next_row >= rows.size() || width == 0)
            return result;
        int c = bits.read(code_width);
        if (c == end)
            return end_with_partial_line();
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
            if (c == end)
                return end_with_partial_line();
            if (c >= next_free)
                c = 0;
            put_pixel(std::uint8_t(c));
            old_code = first_char = c;
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
}

bytes plain_lzw(const bytes& indices, int code_size, bool keep_full_table) {
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

bytes sub_blocks(const bytes& data, std::size_t block_size) {
    bytes out;
    for (std::size_t at = 0; at < data.size(); at += block_size) {
        const std::size_t n = std::min(block_size, data.size() - at);
        out.push_back(std::uint8_t(n));
        out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
    }
    return out;
}

bytes raster_data(int code_size, const bytes& data, std::size_t block_size) {
    bytes out{std::uint8_t(code_size)};
    for (std::uint8_t byte : sub_blocks(data, block_size))
        out.push_back(byte);
    out.push_back(0);
    return out;
}

std::vector<traced_code> trace_codes(const bytes& blocks, int code_size) {
    bit_reader bits(join_sub_blocks(blocks, 0));
    code_widths widths(code_size);
    std::vector<traced_code> codes;
    for (int code = 0; code != widths.end_code() && (code = bits.read(widths.width())) >= 0;) {
        codes.push_back({code, widths.width()});
        widths.advance(code);
    }
    return codes;
}

gif_builder::gif_builder(int width, int height, const table& global_table, int background_index,
                         const char* version) {
    const std::string signature = std::string("GIF") + version;
    data_.assign(signature.begin(), signature.end());
    put_u16(width);
    put_u16(height);
    const int bits = global_table.empty() ? 0 : std::bit_width(global_table.size() - 1) - 1;
    raw({std::uint8_t(global_table.empty() ? 0 : 0xF0 | bits), std::uint8_t(background_index), 0});
    for (std::uint32_t rgb : global_table)
        raw({std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)});
}

gif_builder& gif_builder::control(int packed, int transparent_index, int delay) {
    raw({0x21, 0xF9, 4, std::uint8_t(packed)});
    put_u16(delay);
    return raw({std::uint8_t(transparent_index), 0});
}

gif_builder& gif_builder::comment(const std::string& text) {
    raw({0x21, 0xFE, std::uint8_t(text.size())});
    return raw(bytes(text.begin(), text.end())).raw({0});
}

gif_builder& gif_builder::raw(const bytes& data) {
    data_.insert(data_.end(), data.begin(), data.end());
    return *this;
}

gif_builder& gif_builder::image(const image_spec& spec) {
    bytes stored;
    for (int row : row_order(spec.height, spec.interlaced))
        stored.insert(stored.end(), spec.indices.begin() + long(row) * spec.width,
                      spec.indices.begin() + long(row + 1) * spec.width);
    return image_with_raster(spec, raster_data(spec.code_size, plain_lzw(stored, spec.code_size)));
}

gif_builder& gif_builder::image_with_raster(const image_spec& spec, const bytes& raster) {
    data_.push_back(0x2C);
    for (int value : {spec.left, spec.top, spec.width, spec.height})
        put_u16(value);
    const table& local = spec.local_table;
    const int bits = local.empty() ? 0 : 0x80 | (std::bit_width(local.size() - 1) - 1);
    data_.push_back(std::uint8_t((spec.interlaced ? 0x40 : 0) | bits));
    for (std::uint32_t rgb : local)
        raw({std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)});
    return raw(raster);
}

bytes gif_builder::finish() const {
    bytes file = data_;
    file.push_back(0x3B);
    return file;
}

void gif_builder::put_u16(int value) {
    raw({std::uint8_t(value & 0xFF), std::uint8_t((value >> 8) & 0xFF)});
}

namespace {

bytes table_bytes(const ColorMapObject* map) {
    bytes out;
    for (int i = 0; map != nullptr && i < map->ColorCount; ++i)
        out.insert(out.end(), {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
    return out;
}

std::optional<int> repeat_count_of(const ExtensionBlock* blocks, int count) {
    for (int i = 0; i + 1 < count; ++i)
        if (blocks[i].Function == APPLICATION_EXT_FUNC_CODE && blocks[i].ByteCount == 11 &&
            std::memcmp(blocks[i].Bytes, "NETSCAPE2.0", 11) == 0 && blocks[i + 1].ByteCount == 3 &&
            blocks[i + 1].Bytes[0] == 1)
            return blocks[i + 1].Bytes[1] | (blocks[i + 1].Bytes[2] << 8);
    return std::nullopt;
}

} // namespace

std::optional<giflib_file> giflib_decode(const bytes& file) {
    std::pair<const bytes*, std::size_t> input{&file, 0};
    auto read = [](GifFileType* gif, GifByteType* target, int count) -> int {
        auto& [data, at] = *static_cast<std::pair<const bytes*, std::size_t>*>(gif->UserData);
        const std::size_t n = std::min(data->size() - at, std::size_t(count));
        std::memcpy(target, data->data() + at, n);
        at += n;
        return int(n);
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
            giflib_frame frame{
                d.Left,
                d.Top,
                d.Width,
                d.Height,
                bytes(image.RasterBits, image.RasterBits + std::size_t(d.Width) * d.Height),
                table_bytes(d.ColorMap)};
            GraphicsControlBlock control;
            if (DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK) {
                frame.delay = control.DelayTime;
                frame.disposal = control.DisposalMode;
                frame.transparent_index = control.TransparentColor;
            }
            if (!out->repeat_count)
                out->repeat_count =
                    repeat_count_of(image.ExtensionBlocks, image.ExtensionBlockCount);
            out->frames.push_back(std::move(frame));
        }
        if (!out->repeat_count)
            out->repeat_count = repeat_count_of(gif->ExtensionBlocks, gif->ExtensionBlockCount);
    }
    DGifCloseFile(gif, &error);
    return out;
}

std::vector<pixel> pixels_of(buffer& image) {
    buffer_lock hold(image);
    return std::vector<pixel>(image.pixels(),
                              image.pixels() + std::size_t(image.width()) * image.height());
}

std::filesystem::path scratch_directory(const std::string& name) {
    const char* base = std::getenv("ZOETRA_TEST_TMP");
    const auto dir =
        std::filesystem::path(base != nullptr ? base : ZOETRA_BINARY_DIR "/test-tmp") / name;
    std::filesystem::create_directories(dir);
    return dir;
}

bytes read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::filesystem::path& path, const bytes& data) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

} // namespace zoetra::test
