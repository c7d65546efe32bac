#include "gif/block_reading.hpp"

#include "resources/resource.hpp"

#include <algorithm>
#include <array>
#include <cstring>

namespace zoetra::gif_detail {
namespace {

constexpr int image_separator = 0x2C;      // ','
constexpr int extension_introducer = 0x21; // '!'
constexpr int plain_text_label = 0x01;
constexpr int graphic_control_label = 0xF9;
constexpr int comment_label = 0xFE;
constexpr int application_label = 0xFF;

const char* const missing_image_data = "the file ends before an image's data";
const char* const bad_code_size = "an image's minimum code size is outside 2 to 9";

// A colour table flag byte's table: 2^(n + 1) entries for its low three bits.
int table_entries(int flags) {
    return 2 << (flags & 7);
}

bool read_colour_entries(byte_stream& stream, colour_table& table, int count) {
    std::uint8_t triples[256 * 3];
    std::size_t bytes = std::size_t(count) * 3;
    if (stream.read(triples, bytes) != bytes)
        return false;
    for (int i = 0; i < count; ++i)
        table[i] = rgb{triples[3 * i], triples[3 * i + 1], triples[3 * i + 2]};
    return true;
}

void read_graphic_control(byte_stream& stream, frame_controls& controls) {
    // Block size (always 4), packed fields, delay (2 bytes), transparent
    // index, block terminator. The delay is read a byte at a time so that a
    // file ending inside it is passed over like any other.
    stream.skip(1);
    int packed = std::max(stream.read_byte(), 0);
    int delay_low = std::max(stream.read_byte(), 0);
    int delay_high = std::max(stream.read_byte(), 0);
    int transparent_index = std::max(stream.read_byte(), 0);
    stream.skip(1);
    controls.transparent = (packed & 0x01) != 0;
    controls.disposal = (packed & 0x1C) >> 2;
    controls.transparent_index = std::uint8_t(transparent_index);
    controls.delay = std::uint16_t(delay_low | delay_high << 8);
}

void read_extension(byte_stream& stream, frame_controls& controls) {
    switch (stream.read_byte()) {
    case graphic_control_label:
        read_graphic_control(stream, controls);
        break;
    case plain_text_label:
    case application_label: {
        int header_size = stream.read_byte();
        stream.skip(std::size_t(std::max(header_size, 0)));
        skip_sub_blocks(stream);
        break;
    }
    case comment_label:
        skip_sub_blocks(stream);
        break;
    default:
        break; // an unknown label: scanning goes on after it
    }
}

// Calls act(row, y, columns) for each row y of the image that lies on the
// canvas: row points where that row starts on the canvas, and its first
// columns pixels lie on the canvas (frames may reach past the screen).
template <class Act>
void for_each_visible_row(buffer& canvas, const image_descriptor& image, Act act) {
    if (image.left >= canvas.width() || image.top >= canvas.height())
        return;
    const std::size_t columns = std::min<std::size_t>(image.width, canvas.width() - image.left);
    const std::size_t rows = std::min<std::size_t>(image.height, canvas.height() - image.top);
    if (rows == 0 || columns == 0)
        return;
    buffer_lock hold(canvas);
    const std::size_t canvas_width = canvas.width();
    pixel* row = canvas.pixels() + std::size_t(image.top) * canvas_width + image.left;
    for (std::size_t y = 0; y < rows; ++y, row += canvas_width)
        act(row, y, columns);
}

} // namespace

bool fits_limits(std::uint32_t width, std::uint32_t height) {
    return width <= max_gif_side && height <= max_gif_side &&
           std::uint64_t(width) * height <= max_gif_pixels;
}

std::string size_text(std::uint32_t width, std::uint32_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

result<file_bytes> read_named_file(const std::string& name) {
    if (name.empty())
        return outcome::failure("no file name");
    file_ptr file = zoetra::open_file(name, "rb");
    if (!file)
        return outcome::failure("cannot open " + name);
    std::optional<file_bytes> bytes = read_whole_file(file.get());
    if (!bytes)
        return outcome::failure("cannot read " + name);
    return std::move(*bytes);
}

outcome read_screen(byte_stream& stream, screen_descriptor& screen) {
    std::uint8_t signature[3];
    if (stream.read(signature, 3) != 3 || std::memcmp(signature, "GIF", 3) != 0)
        return outcome::failure("not a GIF file");
    stream.skip(3);
    int width = stream.read_u16();
    int height = stream.read_u16();
    int flags = stream.read_byte();
    int background_index = stream.read_byte();
    if (width < 0 || height < 0 || flags < 0 || background_index < 0)
        return outcome::failure("the file ends inside its header");
    stream.skip(1); // pixel aspect ratio
    if (width == 0 || height == 0)
        return outcome::failure("the logical screen is empty");
    if (!fits_limits(std::uint32_t(width), std::uint32_t(height)))
        return outcome::failure("the logical screen of " + size_text(width, height) +
                                " pixels is too large");

    screen.global_table.fill(rgb{});
    if ((flags & 0x80) != 0 &&
        !read_colour_entries(stream, screen.global_table, table_entries(flags)))
        return outcome::failure("the file ends inside its global colour table");

    screen.width = std::uint16_t(width);
    screen.height = std::uint16_t(height);
    const rgb& entry = screen.global_table[std::size_t(background_index)];
    screen.background = colour{0, entry.red, entry.green, entry.blue};
    return outcome::success();
}

bool find_image(byte_stream& stream, frame_controls& controls) {
    // Bytes are taken one at a time up to the image separator; extensions
    // are read or skipped, and any other byte (the trailer among them) is
    // passed over.
    for (;;) {
        int byte = stream.read_byte();
        if (byte < 0)
            return false;
        if (byte == image_separator)
            return true;
        if (byte == extension_introducer)
            read_extension(stream, controls);
    }
}

bool skip_sub_blocks(byte_stream& stream) {
    for (;;) {
        int size = stream.read_byte();
        if (size <= 0)
            return size == 0;
        stream.skip(std::size_t(size));
    }
}

outcome read_image_descriptor(byte_stream& stream, image_descriptor& image, colour_table& table) {
    int left = stream.read_u16();
    int top = stream.read_u16();
    int width = stream.read_u16();
    int height = stream.read_u16();
    int flags = stream.read_byte();
    if (left < 0 || top < 0 || width < 0 || height < 0 || flags < 0)
        return outcome::failure("the file ends inside an image descriptor");
    if (!fits_limits(std::uint32_t(width), std::uint32_t(height)))
        return outcome::failure("an image of " + size_text(width, height) + " pixels is too large");
    image = image_descriptor{std::uint16_t(left), std::uint16_t(top), std::uint16_t(width),
                             std::uint16_t(height), (flags & 0x40) != 0};
    if ((flags & 0x80) != 0 && !read_colour_entries(stream, table, table_entries(flags)))
        return outcome::failure("the file ends inside a local colour table");
    return outcome::success();
}

outcome skip_image_data(byte_stream& stream) {
    const int code_size = stream.read_byte();
    if (code_size < 0)
        return outcome::failure(missing_image_data);
    if (code_size < 2 || code_size > 9)
        return outcome::failure(bad_code_size);
    if (!skip_sub_blocks(stream))
        return outcome::failure("the file ends inside an image's data");
    return outcome::success();
}

result<heap_ptr<std::uint8_t>> decode_indices(lzw_decoder& decoder, byte_stream& stream,
                                              const image_descriptor& image) {
    const std::size_t pixel_count = std::size_t(image.width) * image.height;
    // Zeroed: pixels that short data never reaches are index 0. A large
    // block comes zeroed from the system without being touched, so a huge
    // frame with little data costs little.
    auto indices = allocate_zeroed_array<std::uint8_t>(std::max<std::size_t>(pixel_count, 1));
    auto line = allocate_array<std::uint8_t>(std::max<std::size_t>(image.width, 1));
    const lzw_status status = decoder.decode(stream, image.interlaced, image.width, image.height,
                                             indices.get(), line.get());
    if (status != lzw_status::decoded)
        return outcome::failure(status == lzw_status::bad_code_size ? bad_code_size
                                                                    : missing_image_data);
    return indices;
}

void draw(buffer& canvas, const image_descriptor& image, const std::uint8_t* indices,
          const colour_table& table, const frame_controls& controls) {
    std::array<pixel, 256> lookup;
    for (std::size_t i = 0; i < lookup.size(); ++i)
        lookup[i] = (pixel(table[i].red) << 16) | (pixel(table[i].green) << 8) | table[i].blue;
    for_each_visible_row(canvas, image, [&](pixel* row, std::size_t y, std::size_t columns) {
        const std::uint8_t* source = indices + y * image.width;
        if (!controls.transparent) {
            for (std::size_t x = 0; x < columns; ++x)
                row[x] = lookup[source[x]];
        } else {
            const std::uint8_t see_through = controls.transparent_index;
            for (std::size_t x = 0; x < columns; ++x)
                row[x] = source[x] == see_through ? row[x] : lookup[source[x]];
        }
    });
}

void fill_rectangle(buffer& canvas, const image_descriptor& image, pixel value) {
    for_each_visible_row(canvas, image, [&](pixel* row, std::size_t, std::size_t columns) {
        std::fill(row, row + columns, value);
    });
}

} // namespace zoetra::gif_detail
