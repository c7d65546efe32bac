#include "gif/exact_writer.hpp"

#include <algorithm>
#include <array>

namespace zoetra::gif_detail {
namespace {

constexpr std::size_t table_entries = 256;
// Above every colour's key (red, green and blue in 24 bits).
constexpr std::uint32_t transparent_key = 1u << 24;

} // namespace

exact_writer::exact_writer(writer_context& context, const animation_frames& frames)
    : context_(context), frames_(frames), pixel_count_(frames.pixel_count()), crop_(pixel_count_),
      indices_(allocate_array<std::uint8_t>(std::max<std::size_t>(pixel_count_, 1))) {}

outcome exact_writer::write() {
    if (outcome collected = collect_colours(); !collected)
        return collected;
    std::array<std::uint8_t, 768>& table = context_.global_table();
    table.fill(0);
    for (const auto& [key, entry] : entries_) {
        if (key == transparent_key)
            continue;
        table[entry * 3] = std::uint8_t(key >> 16);
        table[entry * 3 + 1] = std::uint8_t(key >> 8);
        table[entry * 3 + 2] = std::uint8_t(key);
    }
    const frame_layout whole = layout();
    context_.open_animation(table_bits_for(int(entries_.size())));
    coding_lane& lane = context_.lane(0);
    for (std::size_t i = 0; i < frames_.count(); ++i) {
        crop_.take(frames_, i);
        index_frame();
        context_.write_frame(i, frames_, whole,
                             lane.code_greedily(whole.code_size, indices_.get(), pixel_count_));
    }
    return outcome::success();
}

std::uint32_t exact_writer::key_of(std::size_t p) const {
    if (crop_.transparent.get()[p])
        return transparent_key;
    const std::uint8_t* colour = crop_.rgb.get() + p * 3;
    return std::uint32_t(colour[0]) << 16 | std::uint32_t(colour[1]) << 8 | colour[2];
}

outcome exact_writer::collect_colours() {
    for (std::size_t i = 0; i < frames_.count(); ++i) {
        crop_.take(frames_, i);
        for (std::size_t p = 0; p < pixel_count_; ++p) {
            const std::uint32_t key = key_of(p);
            if (entries_.size() == table_entries && !entries_.contains(key))
                return outcome::failure("the pictures have more colours than a colour table "
                                        "holds (256, transparency counting as one)");
            entries_.try_emplace(key, std::uint8_t(entries_.size()));
        }
    }
    return outcome::success();
}

frame_layout exact_writer::layout() const {
    const auto transparent = entries_.find(transparent_key);
    const bool transparency = transparent != entries_.end();
    return {{0, 0, frames_.size.width, frames_.size.height},
            frame_disposal::clear,
            transparency,
            transparency ? transparent->second : std::uint8_t(0),
            std::max(2, table_bits_for(int(entries_.size())))};
}

void exact_writer::index_frame() {
    for (std::size_t p = 0; p < pixel_count_; ++p)
        indices_.get()[p] = entries_.at(key_of(p));
}

} // namespace zoetra::gif_detail
