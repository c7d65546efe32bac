#include "gif/writer_context.hpp"

#include "base/utility.hpp"

#include <algorithm>

namespace zoetra::gif_detail {

coding_lane::coding_lane() : greedy(std::make_unique<lzw_encoder>()) {}

void coding_lane::need(unsigned tools) {
    if ((tools & standard_reduction) != 0 && !quantizer)
        quantizer = std::make_unique<colour_quantizer>();
    if ((tools & fine_reduction) != 0 && !fine)
        fine = std::make_unique<fine_quantizer>();
    if ((tools & lookahead_coding) != 0 && !lookahead)
        lookahead = std::make_unique<lzw_lookahead_encoder>();
    if ((tools & lossy_coding) != 0 && !lossy)
        lossy = std::make_unique<lzw_lossy_encoder>();
}

const memory_sink& coding_lane::code_greedily(int code_size, const std::uint8_t* indices,
                                              std::size_t count) {
    coded.clear();
    greedy->encode(code_size + 1, coded, indices, count);
    return coded;
}

void coding_lane::code_into(memory_sink& sink, int code_size, const std::uint8_t* indices,
                            std::size_t count, const lossy_frame& frame) {
    sink.clear();
    if (frame.level > 0)
        lossy->encode(code_size + 1, sink, indices, count, frame);
    else
        greedy->encode(code_size + 1, sink, indices, count);
}

const memory_sink& coding_lane::code_frame(int code_size, const std::uint8_t* indices,
                                           std::size_t count, const lossy_frame& frame) {
    code_into(coded, code_size, indices, count, frame);
    return coded;
}

const memory_sink& coding_lane::shortest(int code_size, const std::uint8_t* indices,
                                         std::size_t count, const memory_sink& greedy_data) {
    coded_ahead.clear();
    lookahead->encode(code_size + 1, coded_ahead, indices, count);
    return coded_ahead.byte_count() < greedy_data.byte_count() ? coded_ahead : greedy_data;
}

writer_context::writer_context(const file_state& file, coding_lane& own, coding_lane& helper)
    : file_(file), blocks_(file.sink), threads_(file.helper), lanes_{&own, &helper} {}

int writer_context::lossy_level() {
    const int level = std::clamp(file_.options.lossy, 0, max_lossy_level);
    if (level > 0)
        for (coding_lane* lane : lanes_)
            lane->need(coding_lane::lossy_coding);
    return level;
}

void writer_context::open_animation(int table_bits) {
    if (!file_.header_written)
        blocks_.header(file_.screen.width, file_.screen.height, table_bits);
    file_.header_written = true;
    blocks_.colour_table(file_.global_table.data(), table_bits);
    if (file_.loop_count != 1)
        blocks_.loop_extension(file_.loop_count);
}

void writer_context::write_frame(std::size_t i, const animation_frames& frames,
                                 const frame_layout& layout, const memory_sink& coded) {
    announce(i, frames);
    blocks_.frame_head(layout, frames.delay_of(i));
    blocks_.image_data(coded);
}

void writer_context::announce(std::size_t i, const animation_frames& frames) const {
    if (!file_.on_progress)
        return;
    const int number = int(i) + 1, total = int(frames.count());
    if (file_.estimating)
        file_.on_progress(format("Estimating gif89 frame %d of %d.", number, total));
    else
        file_.on_progress(format("Saving gif89 frame %d of %d with delay of %2.2f seconds "
                                 "between frames.\n",
                                 number, total, frames.delay_of(i) / 100.0));
}

} // namespace zoetra::gif_detail
