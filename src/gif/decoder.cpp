#include "gif/decoder.hpp"

#include "resources/resource.hpp"

#include <algorithm>
#include <cstring>

namespace zoetra {
namespace {

constexpr int image_separator = 0x2C;      // ','
constexpr int extension_introducer = 0x21; // '!'
constexpr int plain_text_label = 0x01;
constexpr int graphic_control_label = 0xF9;
constexpr int comment_label = 0xFE;
constexpr int application_label = 0xFF;

constexpr int disposal_to_background = 2;
// Restore to previous. The GIF89a format document numbers it 3, but old files
// wrote 4 for it, and this reader takes 4, and only 4, to mean it: 3 leaves
// the canvas as drawn, as 0, 1 and 5 to 7 do. The writer never writes either
// number (its frames keep, 1, or clear, 2: see frame_planner.hpp), so its
// files show the same in this reader and in every viewer.
constexpr int disposal_to_previous = 4;

bool fits_limits(std::uint32_t width, std::uint32_t height) {
    return width <= max_gif_side && height <= max_gif_side &&
           std::uint64_t(width) * height <= max_gif_pixels;
}

std::string size_text(std::uint32_t width, std::uint32_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

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

// The part of a frame's rectangle that lies on the canvas.
struct visible_part {
    std::size_t columns = 0;
    std::size_t rows = 0;
};
visible_part clip(std::uint32_t left, std::uint32_t top, std::uint32_t width, std::uint32_t height,
                  const buffer& canvas) {
    visible_part part;
    if (left < canvas.width())
        part.columns = std::min<std::uint32_t>(width, canvas.width() - left);
    if (top < canvas.height())
        part.rows = std::min<std::uint32_t>(height, canvas.height() - top);
    return part;
}

} // namespace

gif_reader::gif_reader() : decoder_(std::make_unique<lzw_decoder>()) {}
gif_reader::~gif_reader() = default;

outcome gif_reader::open(const std::string& name) {
    close();
    failure_.clear();
    if (name.empty())
        return fail("no file name");
    file_ptr file = zoetra::open_file(name, "rb");
    if (!file)
        return fail("cannot open " + name);
    std::optional<file_bytes> bytes = read_whole_file(file.get());
    if (!bytes)
        return fail("cannot read " + name);
    return open_file(std::move(*bytes));
}

outcome gif_reader::open_bytes(const std::uint8_t* data, std::size_t size) {
    close();
    failure_.clear();
    return open_file(copy_bytes(data, size));
}

outcome gif_reader::open_file(file_bytes bytes) {
    file_ = std::move(bytes);
    stream_ = byte_stream(file_.data.get(), file_.size);
    open_ = true;
    return read_header();
}

void gif_reader::close() {
    open_ = false;
    stream_ = byte_stream();
    file_ = file_bytes();
    canvas_.reset();
}

outcome gif_reader::fail(std::string reason) {
    failure_ = std::move(reason);
    close();
    return outcome::failure(failure_);
}

outcome gif_reader::read_header() {
    // "GIF", a version ("87a" and "89a" alike, not checked), the logical
    // screen descriptor and the global colour table.
    std::uint8_t signature[3];
    if (stream_.read(signature, 3) != 3 || std::memcmp(signature, "GIF", 3) != 0)
        return fail("not a GIF file");
    stream_.skip(3);
    int width = stream_.read_u16();
    int height = stream_.read_u16();
    int flags = stream_.read_byte();
    int background_index = stream_.read_byte();
    if (width < 0 || height < 0 || flags < 0 || background_index < 0)
        return fail("the file ends inside its header");
    stream_.skip(1); // pixel aspect ratio
    if (width == 0 || height == 0)
        return fail("the logical screen is empty");
    if (!fits_limits(std::uint32_t(width), std::uint32_t(height)))
        return fail("the logical screen of " + size_text(width, height) + " pixels is too large");

    global_table_.fill(rgb{});
    if ((flags & 0x80) != 0 && !read_colour_entries(stream_, global_table_, table_entries(flags)))
        return fail("the file ends inside its global colour table");

    screen_width_ = std::uint16_t(width);
    screen_height_ = std::uint16_t(height);
    const rgb& entry = global_table_[std::size_t(background_index)];
    background_ = colour{0, entry.red, entry.green, entry.blue};
    canvas_ = std::make_unique<buffer>(screen_width_, screen_height_, background_);
    return outcome::success();
}

std::unique_ptr<buffer> gif_reader::read_frame() {
    return next_frame(hand_out::keep_reading);
}

std::unique_ptr<buffer> gif_reader::next_frame(hand_out mode) {
    if (!open_)
        return nullptr;
    frame_controls controls;
    if (!find_image(controls)) {
        close(); // the end of the file: no failure
        return nullptr;
    }
    image_descriptor image;
    colour_table table = global_table_;
    if (!read_image_descriptor(image, table))
        return nullptr;

    const result<heap_ptr<std::uint8_t>> indices = decode_indices(image);
    if (!indices)
        return nullptr;

    std::unique_ptr<buffer> saved;
    if (controls.disposal == disposal_to_previous && mode == hand_out::keep_reading)
        saved = canvas_->copy();
    draw(image, indices.value().get(), table, controls);

    if (mode == hand_out::last_frame)
        return std::move(canvas_);
    if (controls.disposal == disposal_to_previous) {
        std::unique_ptr<buffer> drawn = std::move(canvas_);
        canvas_ = std::move(saved);
        return drawn;
    }
    std::unique_ptr<buffer> frame = canvas_->copy();
    if (controls.disposal == disposal_to_background)
        clear_to_background(image);
    return frame;
}

result<heap_ptr<std::uint8_t>> gif_reader::decode_indices(const image_descriptor& image) {
    const std::size_t pixel_count = std::size_t(image.width) * image.height;
    // Zeroed: pixels that short data never reaches are index 0. A large
    // block comes zeroed from the system without being touched, so a huge
    // frame with little data costs little.
    auto indices = allocate_zeroed_array<std::uint8_t>(std::max<std::size_t>(pixel_count, 1));
    auto line = allocate_array<std::uint8_t>(std::max<std::size_t>(image.width, 1));
    const lzw_status status = decoder_->decode(stream_, image.interlaced, image.width, image.height,
                                               indices.get(), line.get());
    if (status != lzw_status::decoded)
        return fail(status == lzw_status::bad_code_size
                        ? "an image's minimum code size is outside 2 to 9"
                        : "the file ends before an image's data");
    return indices;
}

bool gif_reader::find_image(frame_controls& controls) {
    // Bytes are taken one at a time up to the image separator; extensions
    // are read or skipped, and any other byte (the trailer among them) is
    // passed over.
    for (;;) {
        int byte = stream_.read_byte();
        if (byte < 0)
            return false;
        if (byte == image_separator)
            return true;
        if (byte == extension_introducer)
            read_extension(controls);
    }
}

void gif_reader::read_extension(frame_controls& controls) {
    switch (stream_.read_byte()) {
    case graphic_control_label:
        read_graphic_control(controls);
        break;
    case plain_text_label:
    case application_label: {
        int header_size = stream_.read_byte();
        stream_.skip(std::size_t(std::max(header_size, 0)));
        skip_sub_blocks();
        break;
    }
    case comment_label:
        skip_sub_blocks();
        break;
    default:
        break; // an unknown label: scanning goes on after it
    }
}

void gif_reader::read_graphic_control(frame_controls& controls) {
    // Block size (always 4), packed fields, delay (2 bytes), transparent
    // index, block terminator.
    stream_.skip(1);
    int packed = std::max(stream_.read_byte(), 0);
    stream_.skip(2);
    int transparent_index = std::max(stream_.read_byte(), 0);
    stream_.skip(1);
    controls.transparent = (packed & 0x01) != 0;
    controls.disposal = (packed & 0x1C) >> 2;
    controls.transparent_index = std::uint8_t(transparent_index);
}

void gif_reader::skip_sub_blocks() {
    for (;;) {
        int size = stream_.read_byte();
        if (size <= 0)
            return;
        stream_.skip(std::size_t(size));
    }
}

outcome gif_reader::read_image_descriptor(image_descriptor& image, colour_table& table) {
    int left = stream_.read_u16();
    int top = stream_.read_u16();
    int width = stream_.read_u16();
    int height = stream_.read_u16();
    int flags = stream_.read_byte();
    if (left < 0 || top < 0 || width < 0 || height < 0 || flags < 0)
        return fail("the file ends inside an image descriptor");
    if (!fits_limits(std::uint32_t(width), std::uint32_t(height)))
        return fail("an image of " + size_text(width, height) + " pixels is too large");
    image = image_descriptor{std::uint16_t(left), std::uint16_t(top), std::uint16_t(width),
                             std::uint16_t(height), (flags & 0x40) != 0};
    // A local table replaces only as many entries as it has.
    if ((flags & 0x80) != 0 && !read_colour_entries(stream_, table, table_entries(flags)))
        return fail("the file ends inside a local colour table");
    return outcome::success();
}

void gif_reader::draw(const image_descriptor& image, const std::uint8_t* indices,
                      const colour_table& table, const frame_controls& controls) {
    std::array<pixel, 256> lookup;
    for (std::size_t i = 0; i < lookup.size(); ++i)
        lookup[i] = (pixel(table[i].red) << 16) | (pixel(table[i].green) << 8) | table[i].blue;

    const visible_part part = clip(image.left, image.top, image.width, image.height, *canvas_);
    if (part.rows == 0 || part.columns == 0)
        return;
    buffer_lock hold(*canvas_);
    const std::size_t canvas_width = canvas_->width();
    pixel* row = canvas_->pixels() + std::size_t(image.top) * canvas_width + image.left;
    for (std::size_t y = 0; y < part.rows; ++y, row += canvas_width) {
        const std::uint8_t* source = indices + y * image.width;
        if (!controls.transparent) {
            for (std::size_t x = 0; x < part.columns; ++x)
                row[x] = lookup[source[x]];
        } else {
            // Transparent pixels leave the canvas as it was.
            const std::uint8_t see_through = controls.transparent_index;
            for (std::size_t x = 0; x < part.columns; ++x)
                row[x] = source[x] == see_through ? row[x] : lookup[source[x]];
        }
    }
}

void gif_reader::clear_to_background(const image_descriptor& image) {
    const visible_part part = clip(image.left, image.top, image.width, image.height, *canvas_);
    if (part.rows == 0 || part.columns == 0)
        return;
    buffer_lock hold(*canvas_);
    const pixel background = filled_pixel(background_);
    const std::size_t canvas_width = canvas_->width();
    pixel* row = canvas_->pixels() + std::size_t(image.top) * canvas_width + image.left;
    for (std::size_t y = 0; y < part.rows; ++y, row += canvas_width)
        std::fill(row, row + part.columns, background);
}

result<std::unique_ptr<buffer>> gif_reader::first_frame_only() {
    std::unique_ptr<buffer> frame;
    if (open_) {
        frame = next_frame(hand_out::last_frame);
        if (!frame && failure_.empty())
            failure_ = "the file holds no image";
    }
    close();
    if (!frame)
        return outcome::failure(failure_);
    return frame;
}

result<std::unique_ptr<buffer>> read_gif(const std::string& name) {
    gif_reader reader;
    static_cast<void>(reader.open(name)); // a failure stays in the reader
    return reader.first_frame_only();
}

result<std::unique_ptr<buffer>> decode_gif(file_bytes bytes) {
    gif_reader reader;
    static_cast<void>(reader.open_file(std::move(bytes))); // a failure stays in the reader
    return reader.first_frame_only();
}

std::unique_ptr<buffer> load_gif(const std::string& name) {
    result<std::unique_ptr<buffer>> read = read_gif(name);
    return read ? std::move(read.value()) : nullptr;
}

} // namespace zoetra
