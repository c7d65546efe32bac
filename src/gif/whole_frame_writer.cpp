#include "gif/whole_frame_writer.hpp"

namespace zoetra::gif_detail {

whole_frame_writer::whole_frame_writer(writer_context& context, const animation_frames& frames)
    : context_(context), frames_(frames), colours_(context, frames, false) {}

void whole_frame_writer::write() {
    colours_.reduce_frames();
    colours_.choose_global_table();
    context_.open_animation(colours_.table_bits());
    const frame_layout whole{{0, 0, frames_.size.width, frames_.size.height},
                             frame_disposal::clear,
                             colours_.transparency(),
                             colours_.transparent(),
                             colours_.code_size()};
    lossy_ = {frames_.size.width, context_.global_table().data(),
              colours_.transparency() ? colours_.transparent() : -1, context_.lossy_level(),
              context_.options().kept.colours()};
    context_.threads().in_pairs(
        frames_.count(), [&](std::size_t first, std::size_t n) { keep_pair(first, n); },
        [&](std::size_t frame, int lane) { code(frame, lane); },
        [&](std::size_t frame, int lane) { write_frame(frame, lane, whole); });
}

void whole_frame_writer::keep_pair(std::size_t first, std::size_t n) {
    colours_.indices().pin(first, n);
    for (std::size_t k = 0; k < n; ++k)
        colours_.keep(first + k);
}

void whole_frame_writer::code(std::size_t i, int lane) {
    context_.lane(lane).code_frame(colours_.code_size(), colours_.to_global(i),
                                   frames_.pixel_count(), lossy_);
}

void whole_frame_writer::write_frame(std::size_t i, int lane, const frame_layout& whole) {
    context_.write_frame(i, frames_, whole, context_.lane(lane).coded);
    // A written frame needs its indices no more.
    colours_.indices().drop(i);
}

} // namespace zoetra::gif_detail
