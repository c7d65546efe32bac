#include "gif/encoder.hpp"

#include "app/services/messages.hpp"
#include "app/services/utility.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zoetra {
namespace {

constexpr int wanted_colours = 255;
// Frame palettes never use index 255, so it marks transparent pixels.
constexpr std::uint8_t transparent_index = 255;
constexpr int min_code_size = 8;
constexpr int lzw_initial_bits = min_code_size + 1;

// A pixel outside the frame counts as background.
constexpr pixel outside_pixel = transparent_flag;

// Copies the crop rectangle of a frame as RGB bytes and marks the pixels
// whose transparent flag is set.
void copy_crop(buffer* frame, crop_origin origin, crop_size size, std::uint8_t* rgb,
               std::uint8_t* transparent) {
    if (frame == nullptr) {
        const std::size_t count = std::size_t(size.width) * size.height;
        std::memset(rgb, 0, count * 3);
        std::memset(transparent, 1, count);
        return;
    }
    buffer_lock hold(*frame);
    const pixel* pixels = frame->pixels();
    const int frame_width = frame->width(), frame_height = frame->height();
    for (int y = 0; y < size.height; ++y) {
        const int fy = origin.y + y;
        for (int x = 0; x < size.width; ++x) {
            const int fx = origin.x + x;
            const pixel p = fx < frame_width && fy < frame_height
                                ? pixels[std::size_t(fy) * frame_width + fx]
                                : outside_pixel;
            rgb[0] = static_cast<std::uint8_t>((p & 0xFF0000) >> 16);
            rgb[1] = static_cast<std::uint8_t>((p & 0xFF00) >> 8);
            rgb[2] = static_cast<std::uint8_t>(p & 0xFF);
            rgb += 3;
            *transparent++ = (p & transparent_flag) != 0;
        }
    }
}

} // namespace

std::uint16_t gif_delay_from_seconds(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    const double hundredths = seconds * 100;
    if (hundredths >= 65535)
        return 65535;
    return static_cast<std::uint16_t>(hundredths);
}

gif_writer::gif_writer() : lzw_(std::make_unique<lzw_encoder>()) {}

gif_writer::~gif_writer() {
    if (is_open())
        close();
}

bool gif_writer::open(const std::string& name, crop_origin, crop_size size,
                      std::uint16_t loop_count) {
    if (is_open() || name.empty())
        return false;
    file_ = open_resource(name, "wb");
    if (!file_)
        return false;
    sink_ = std::make_unique<file_sink>(file_.get());
    return start(size, loop_count);
}

bool gif_writer::open_for_estimate(const std::string&, crop_origin, crop_size size,
                                   std::uint16_t loop_count) {
    if (is_open())
        return false;
    sink_ = std::make_unique<counting_sink>();
    return start(size, loop_count);
}

bool gif_writer::open_in_memory(crop_origin, crop_size size, std::uint16_t loop_count) {
    if (is_open())
        return false;
    sink_ = std::make_unique<memory_sink>();
    return start(size, loop_count);
}

bool gif_writer::start(crop_size size, std::uint16_t loop_count) {
    screen_ = size;
    loop_count_ = loop_count;
    total_ = 0;
    memory_file_.clear();
    write_header(size);
    return true;
}

void gif_writer::write_frames(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                              std::uint16_t delay) {
    encode_frames(frames, origin, size, delay, progress::saving);
}

void gif_writer::estimate_frames(std::span<buffer* const> frames, crop_origin origin,
                                 crop_size size, std::uint16_t delay) {
    encode_frames(frames, origin, size, delay, progress::estimating);
}

bool gif_writer::close() {
    if (!is_open())
        return false;
    sink_->put(0x3B); // trailer
    total_ = static_cast<std::uint32_t>(sink_->byte_count());
    bool ok = true;
    if (file_) {
        ok = !static_cast<file_sink&>(*sink_).failed();
        ok = std::fclose(file_.release()) == 0 && ok;
    } else if (auto* memory = dynamic_cast<memory_sink*>(sink_.get())) {
        memory_file_ = memory->take_bytes();
    }
    sink_.reset();
    global_table_.fill(0);
    return ok;
}

void gif_writer::encode_frames(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                               std::uint16_t delay, progress kind) {
    if (!is_open())
        return;
    const std::size_t frame_count = frames.size();
    const std::size_t pixel_count = std::size_t(size.width) * size.height;
    const int width = size.width, height = size.height;

    // Each frame's indices are kept from the palette pass, so no frame is
    // reduced twice.
    auto rgb = allocate_array<std::uint8_t>(std::max<std::size_t>(pixel_count * 3, 1));
    auto transparent = allocate_array<std::uint8_t>(std::max<std::size_t>(pixel_count, 1));
    auto frame_indices =
        allocate_array<std::uint8_t>(std::max<std::size_t>(frame_count * pixel_count, 1));
    auto palettes =
        allocate_zeroed_array<std::uint8_t>(std::max<std::size_t>(frame_count, 1) * 256 * 3);

    // Frame palettes: row i of the palette image is frame i's 256 entries,
    // entry 255 (and any entry the reduction left) black.
    for (std::size_t i = 0; i < frame_count; ++i) {
        std::uint8_t* indices = frame_indices.get() + i * pixel_count;
        copy_crop(frames[i], origin, size, rgb.get(), transparent.get());
        std::uint8_t red[256] = {}, green[256] = {}, blue[256] = {};
        quantizer_.reduce(rgb.get(), width, height, indices, red, green, blue, wanted_colours);
        for (std::size_t p = 0; p < pixel_count; ++p)
            if (transparent.get()[p])
                indices[p] = transparent_index;
        std::uint8_t* row = palettes.get() + i * 256 * 3;
        for (int e = 0; e < 256; ++e) {
            row[e * 3] = red[e];
            row[e * 3 + 1] = green[e];
            row[e * 3 + 2] = blue[e];
        }
    }

    // The global palette: the frame palettes reduced together. The index
    // image of that reduction says where each frame entry went.
    auto global_indices = allocate_array<std::uint8_t>(std::max<std::size_t>(frame_count, 1) * 256);
    std::uint8_t red[256] = {}, green[256] = {}, blue[256] = {};
    quantizer_.reduce(palettes.get(), 256, int(frame_count), global_indices.get(), red, green, blue,
                      wanted_colours);
    for (int e = 0; e < quantizer_.colour_count(); ++e) {
        global_table_[std::size_t(e) * 3] = red[e];
        global_table_[std::size_t(e) * 3 + 1] = green[e];
        global_table_[std::size_t(e) * 3 + 2] = blue[e];
    }

    sink_->write(global_table_.data(), global_table_.size());
    if (loop_count_ != 1)
        write_loop_extension();

    for (std::size_t i = 0; i < frame_count; ++i) {
        std::uint8_t to_global[256];
        std::copy_n(global_indices.get() + i * 256, 256, to_global);
        to_global[transparent_index] = transparent_index;
        std::uint8_t* indices = frame_indices.get() + i * pixel_count;
        for (std::size_t p = 0; p < pixel_count; ++p)
            indices[p] = to_global[indices[p]];

        const int number = int(i) + 1, count = int(frame_count);
        // Graphic control extension: restore to background, transparency on.
        const std::uint8_t control[8] = {0x21,
                                         0xF9,
                                         0x04,
                                         0x09,
                                         std::uint8_t(delay & 0xFF),
                                         std::uint8_t(delay >> 8),
                                         transparent_index,
                                         0x00};
        sink_->write(control, sizeof control);
        if (kind == progress::saving)
            set_status(format("Saving gif89 frame %d of %d with delay of %2.2f seconds between "
                              "frames.\n",
                              number, count, delay / 100.0));
        else
            set_status(format("Estimating gif89 frame %d of %d.", number, count));
        write_frame(indices, size);
    }
}

// "GIF89a", the logical screen size, 0xF7 (a global table of 256 entries,
// 8-bit colour resolution, not sorted), background index 0, aspect ratio 0.
void gif_writer::write_header(crop_size size) {
    static constexpr std::uint8_t signature[6] = {'G', 'I', 'F', '8', '9', 'a'};
    sink_->write(signature, sizeof signature);
    sink_->put_word(size.width);
    sink_->put_word(size.height);
    sink_->put(0xF7);
    sink_->put(0);
    sink_->put(0);
}

// The application extension that makes viewers repeat the animation: repeat
// count 0 plays for ever, otherwise the loop count less the first showing.
void gif_writer::write_loop_extension() {
    static constexpr std::uint8_t header[16] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S',  'C',
                                                'A',  'P',  'E',  '2', '.', '0', 0x03, 0x01};
    sink_->write(header, sizeof header);
    sink_->put_word(loop_count_ == 0 ? 0 : std::uint16_t(loop_count_ - 1));
    sink_->put(0x00);
}

// Image descriptor at (0, 0) without a local table, not interlaced; then the
// minimum code size, the LZW sub-blocks and the block terminator.
void gif_writer::write_frame(const std::uint8_t* indices, crop_size size) {
    sink_->put(0x2C);
    sink_->put_word(0);
    sink_->put_word(0);
    sink_->put_word(size.width);
    sink_->put_word(size.height);
    sink_->put(0x00);
    sink_->put(min_code_size);
    lzw_->encode(lzw_initial_bits, *sink_, indices, std::size_t(size.width) * size.height);
    sink_->put(0x00);
}

} // namespace zoetra
