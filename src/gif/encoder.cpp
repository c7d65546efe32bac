#include "gif/encoder.hpp"

#include "base/utility.hpp"
#include "gif/byte_sink.hpp"
#include "gif/changes_writer.hpp"
#include "gif/error_words.hpp"
#include "gif/exact_writer.hpp"
#include "gif/fine_writer.hpp"
#include "gif/gif_blocks.hpp"
#include "gif/whole_frame_writer.hpp"
#include "gif/writer_context.hpp"

#include <cerrno>
#include <cmath>

namespace zoetra {

using gif_detail::coding_lane;

std::uint16_t gif_delay_from_seconds(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    const double hundredths = seconds * 100;
    if (hundredths >= 65535)
        return 65535;
    return static_cast<std::uint16_t>(hundredths);
}

gif_writer::gif_writer() = default;

// A writer given up half-way still closes its file; nobody is left to hear
// whether that went well.
gif_writer::~gif_writer() {
    if (is_open())
        static_cast<void>(close());
}

outcome gif_writer::open(const std::string& name, crop_origin, crop_size size,
                         std::uint16_t loop_count) {
    if (is_open())
        return outcome::failure("\"" + name + "\" cannot be created: the writer has \"" + name_ +
                                "\" open");
    if (name.empty())
        return outcome::failure("no file name was given for the GIF");
    errno = 0;
    file_ = open_file(name, "wb");
    if (!file_)
        return outcome::failure("\"" + name + "\" cannot be created: " +
                                (errno != 0 ? error_words(errno) : "it cannot be opened"));
    name_ = name;
    return start(std::make_unique<file_sink>(file_.get(), name), size, loop_count);
}

outcome gif_writer::open_for_estimate(const std::string&, crop_origin, crop_size size,
                                      std::uint16_t loop_count) {
    return start(std::make_unique<counting_sink>(), size, loop_count);
}

outcome gif_writer::open_in_memory(crop_origin, crop_size size, std::uint16_t loop_count) {
    return start(std::make_unique<memory_sink>(), size, loop_count);
}

outcome gif_writer::start(std::unique_ptr<byte_sink> sink, crop_size size,
                          std::uint16_t loop_count) {
    if (is_open())
        return outcome::failure("the writer has \"" + name_ + "\" open");
    sink_ = std::move(sink);
    screen_ = size;
    loop_count_ = loop_count;
    header_written_ = false;
    trouble_ = outcome::success();
    total_ = 0;
    memory_file_.clear();
    return outcome::success();
}

void gif_writer::write_frames(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                              std::uint16_t delay) {
    encode_frames({frames, origin, size, delay}, false);
}

void gif_writer::write_frames(std::span<buffer* const> frames, crop_origin origin, crop_size size,
                              std::span<const std::uint16_t> delays) {
    encode_frames({frames, origin, size, 0, delays}, false);
}

void gif_writer::estimate_frames(std::span<buffer* const> frames, crop_origin origin,
                                 crop_size size, std::span<const std::uint16_t> delays) {
    encode_frames({frames, origin, size, 0, delays}, true);
}

void gif_writer::estimate_frames(std::span<buffer* const> frames, crop_origin origin,
                                 crop_size size, std::uint16_t delay) {
    encode_frames({frames, origin, size, delay}, true);
}

outcome gif_writer::close() {
    if (!is_open())
        return outcome::failure("no GIF file is open");
    gif_detail::gif_blocks blocks(*sink_);
    if (!header_written_)
        blocks.header(screen_.width, screen_.height, gif_detail::full_table_bits);
    blocks.trailer();
    total_ = static_cast<std::uint32_t>(sink_->byte_count());
    outcome closed = std::move(trouble_);
    if (file_) {
        outcome written = static_cast<file_sink&>(*sink_).written();
        errno = 0;
        const bool flushed = std::fclose(file_.release()) == 0;
        if (closed && !written)
            closed = std::move(written);
        if (closed && !flushed)
            closed = outcome::failure("\"" + name_ + "\" cannot be written: " +
                                      (errno != 0 ? error_words(errno) : "it cannot be closed"));
    } else if (auto* memory = dynamic_cast<memory_sink*>(sink_.get())) {
        memory_file_ = memory->take_bytes();
    }
    sink_.reset();
    name_.clear();
    trouble_ = outcome::success();
    global_table_.fill(0);
    return closed;
}

void gif_writer::reuse_settled_colours(bool on) {
    reuse_settled_ = on;
    if (!on)
        settled_.reset();
}

gif_detail::fine_settlement* gif_writer::settlement_for(const animation_frames& frames) {
    if (!reuse_settled_)
        return nullptr;
    gif_encode_options options = options_;
    options.lossy = 0;
    const settled_frames these{frames.pictures.data(), frames.count(), frames.origin, frames.size,
                               options};
    const settled_frames& kept = settled_for_;
    const bool same = settled_ && kept.pictures == these.pictures && kept.count == these.count &&
                      kept.origin.x == these.origin.x && kept.origin.y == these.origin.y &&
                      kept.size.width == these.size.width &&
                      kept.size.height == these.size.height && kept.options == these.options;
    if (!same) {
        settled_ = std::make_unique<gif_detail::fine_settlement>();
        settled_for_ = these;
    }
    return settled_.get();
}

void gif_writer::encode_frames(const animation_frames& frames, bool estimating) {
    if (!is_open())
        return;
    for (auto& lane : lanes_)
        if (!lane)
            lane = std::make_unique<coding_lane>();
    gif_detail::writer_context context({*sink_, screen_, loop_count_, header_written_,
                                        global_table_, on_progress, estimating, helper_thread_,
                                        options_},
                                       *lanes_[0], *lanes_[1]);
    switch (options_.colours) {
    case colour_mode::fine:
        gif_detail::fine_writer(context, frames, settlement_for(frames)).write();
        return;
    case colour_mode::exact:
        if (outcome written = gif_detail::exact_writer(context, frames).write();
            !written && trouble_)
            trouble_ = std::move(written);
        return;
    case colour_mode::standard:
        break;
    }
    if (options_.optimize)
        gif_detail::changes_writer(context, frames).write();
    else
        gif_detail::whole_frame_writer(context, frames).write();
}

} // namespace zoetra
