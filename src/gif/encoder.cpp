#include "gif/encoder.hpp"

#include "base/utility.hpp"
#include "gif/writer_support.hpp"

#include <algorithm>
#include <cmath>

namespace zoetra {
namespace {

constexpr int wanted_colours = 255;
// Frame palettes never use index 255, so it marks transparent pixels.
constexpr std::uint8_t transparent_index = 255;
constexpr int min_code_size = 8;
constexpr int lzw_initial_bits = min_code_size + 1;

using gif_detail::copy_crop;
using gif_detail::kept_indices;
using gif_detail::run_side_by_side;

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

// A writer given up half-way still closes its file; nobody is left to hear
// whether that went well.
gif_writer::~gif_writer() {
    if (is_open())
        static_cast<void>(close());
}

bool gif_writer::open(const std::string& name, crop_origin, crop_size size,
                      std::uint16_t loop_count) {
    if (is_open() || name.empty())
        return false;
    file_ = open_file(name, "wb");
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
    if (options_.colours == colour_mode::fine) {
        encode_fine(frames, origin, size, delay, kind);
        return;
    }
    const std::size_t frame_count = frames.size();
    const std::size_t pixel_count = std::size_t(size.width) * size.height;
    if (!helper_quantizer_) {
        helper_quantizer_ = std::make_unique<colour_quantizer>();
        helper_lzw_ = std::make_unique<lzw_encoder>();
    }
    quantizer_.prepare_for_width(std::max<int>(size.width, 256));
    helper_quantizer_->prepare_for_width(size.width);

    // Two frames are in hand at a time, one per core.
    auto rgb = allocate_array<std::uint8_t>(std::max<std::size_t>(pixel_count * 3 * 2, 1));
    auto transparent = allocate_array<std::uint8_t>(std::max<std::size_t>(pixel_count * 2, 1));
    kept_indices frame_indices(frame_count, pixel_count);
    auto palettes =
        allocate_zeroed_array<std::uint8_t>(std::max<std::size_t>(frame_count, 1) * 256 * 3);

    // Frame palettes: row i of the palette image is frame i's 256 entries,
    // entry 255 (and any entry the reduction left) black. Frame palettes never
    // use index 255, so it marks the transparent pixels meanwhile.
    auto reduce_frame = [&](colour_quantizer& quantizer, std::size_t i, std::size_t slot,
                            std::uint8_t* indices) {
        const std::uint8_t* colours = rgb.get() + slot * pixel_count * 3;
        const std::uint8_t* clear = transparent.get() + slot * pixel_count;
        std::uint8_t red[256] = {}, green[256] = {}, blue[256] = {};
        quantizer.reduce(colours, size.width, size.height, indices, red, green, blue,
                         wanted_colours);
        for (std::size_t p = 0; p < pixel_count; ++p)
            if (clear[p])
                indices[p] = transparent_index;
        std::uint8_t* row = palettes.get() + i * 256 * 3;
        for (int e = 0; e < 256; ++e) {
            row[e * 3] = red[e];
            row[e * 3 + 1] = green[e];
            row[e * 3 + 2] = blue[e];
        }
    };
    auto take_crop = [&](std::size_t i, std::size_t slot) {
        copy_crop(frames[i], origin, size, rgb.get() + slot * pixel_count * 3,
                  transparent.get() + slot * pixel_count);
    };
    // Allocation happens here, on this thread, before the pair is in hand.
    auto reduce_pair = [&](std::size_t i, bool pair) {
        frame_indices.pin(i, pair ? 2 : 1);
        std::uint8_t* first = frame_indices.make(i);
        std::uint8_t* second = pair ? frame_indices.make(i + 1) : nullptr;
        take_crop(i, 0);
        if (pair)
            take_crop(i + 1, 1);
        if (pair)
            run_side_by_side([&] { reduce_frame(quantizer_, i, 0, first); },
                             [&] { reduce_frame(*helper_quantizer_, i + 1, 1, second); },
                             helper_thread_);
        else
            reduce_frame(quantizer_, i, 0, first);
    };
    for (std::size_t i = 0; i < frame_count; i += 2)
        reduce_pair(i, i + 1 < frame_count);
    frame_indices.pin(0, 0);

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

    // A frame whose indices were freed meanwhile is reduced again (it must be pinned).
    auto keep_indices_of = [&](std::size_t i) {
        if (frame_indices.get(i) != nullptr)
            return;
        std::uint8_t* made = frame_indices.make(i);
        take_crop(i, 0);
        reduce_frame(quantizer_, i, 0, made);
    };
    auto to_global_indices = [&](std::size_t i) {
        std::uint8_t to_global[256];
        std::copy_n(global_indices.get() + i * 256, 256, to_global);
        to_global[transparent_index] = transparent_index;
        std::uint8_t* indices = frame_indices.get(i);
        for (std::size_t p = 0; p < pixel_count; ++p)
            indices[p] = to_global[indices[p]];
        return indices;
    };
    auto announce = [&](std::size_t i) { announce_frame(kind, i, frame_count, delay); };
    if (options_.optimize) {
        // Each frame's picture in global indices, once and in order.
        auto picture_of = [&](std::size_t i, std::uint8_t* picture) {
            frame_indices.pin(i, 1);
            keep_indices_of(i);
            std::copy_n(to_global_indices(i), pixel_count, picture);
            frame_indices.drop(i);
        };
        write_changes(frame_count, size, delay, picture_of, announce);
        return;
    }
    // Frames go out in order; while one is coded into the file, the helper
    // codes the next into memory.
    for (std::size_t i = 0; i < frame_count; i += 2) {
        const bool pair = i + 1 < frame_count;
        frame_indices.pin(i, pair ? 2 : 1);
        keep_indices_of(i);
        if (pair)
            keep_indices_of(i + 1);
        auto write_first = [&] {
            write_control(delay);
            announce(i);
            write_descriptor(size);
            lzw_->encode(lzw_initial_bits, *sink_, to_global_indices(i), pixel_count);
            sink_->put(0x00);
        };
        if (!pair) {
            write_first();
            break;
        }
        run_side_by_side(
            write_first,
            [&] {
                helper_output_.clear();
                helper_lzw_->encode(lzw_initial_bits, helper_output_, to_global_indices(i + 1),
                                    pixel_count);
            },
            helper_thread_);
        write_control(delay);
        announce(i + 1);
        write_descriptor(size);
        sink_->write(helper_output_.bytes().data(), helper_output_.bytes().size());
        sink_->put(0x00);
        // Written frames need their indices no more.
        frame_indices.drop(i);
        frame_indices.drop(i + 1);
    }
}

void gif_writer::announce_frame(progress kind, std::size_t i, std::size_t count,
                                std::uint16_t delay) {
    if (!on_progress)
        return;
    const int number = int(i) + 1, total = int(count);
    if (kind == progress::saving)
        on_progress(format("Saving gif89 frame %d of %d with delay of %2.2f seconds between "
                           "frames.\n",
                           number, total, delay / 100.0));
    else
        on_progress(format("Estimating gif89 frame %d of %d.", number, total));
}

// Graphic control extension: restore to background, transparency on, the
// delay, transparent index 255.
void gif_writer::write_control(std::uint16_t delay) {
    const std::uint8_t control[8] = {0x21,
                                     0xF9,
                                     0x04,
                                     0x09,
                                     std::uint8_t(delay & 0xFF),
                                     std::uint8_t(delay >> 8),
                                     transparent_index,
                                     0x00};
    sink_->write(control, sizeof control);
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

// Image descriptor at (0, 0) without a local table, not interlaced, and the
// minimum code size of the LZW data that follows.
void gif_writer::write_descriptor(crop_size size) {
    sink_->put(0x2C);
    sink_->put_word(0);
    sink_->put_word(0);
    sink_->put_word(size.width);
    sink_->put_word(size.height);
    sink_->put(0x00);
    sink_->put(min_code_size);
}

} // namespace zoetra
